// The tools panel's text link: "Send" (cmdSendText) sends the text box to the
// topic and item boxes through the platform's text link; "DDE send file info"
// goes the same way, one message per file position.
#pragma once

#include <functional>
#include <string>

namespace qv {

class Program;

// Sends Options2 Text3 to topic Text4, item Text5. A missing, empty or
// malformed topic, or a failed send, is reported in the status line and
// nothing is sent. True when the message went out.
bool cmdSendText_Click(Program& p);

// Attaches "Send" and returns the sender of file information: it puts the
// text into the text box and presses "Send". A failure it repeats (the loops
// send at every position) is reported once, so the status line keeps the
// loop's own texts.
std::function<void(const std::string&)> installTextSend(Program& p);

}  // namespace qv
