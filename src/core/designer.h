// The windows as designed: every control with its kind, caption, item list,
// designer default, tooltip, frame and pixel geometry.
#pragma once

namespace qv {

class Forms;
class Form;

void buildForms(Forms& forms);
void buildForm1(Form& f);
void buildOptions0(Form& f);
void buildOptions1(Form& f);
void buildOptions2(Form& f);
void buildSpecForm(Form& f);
void buildTcpIp(Form& f);

}  // namespace qv
