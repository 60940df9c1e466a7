// "GPS DDE": the GPS text that another program sends through the text link
// fills the GPS label (DDETXT) as the UDP GPS input does. While the box is
// ticked the program hears the link topic of the tools panel ("Topic", a
// port or host:port of which the port is used); when "Item" is filled, only
// messages with that item count.
#pragma once

namespace qv {

class Program;

// Attaches "GPS DDE" and the tools panel's topic and item boxes.
void installGpsTextLink(Program& p);

}  // namespace qv
