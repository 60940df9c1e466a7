// The spectrum window, the TCP receiver window, and the whole set.
#include "core/designer.h"
#include "core/designer_util.h"

namespace qv {

using namespace designer;

void buildSpecForm(Form& f) {
  f.setTitle("Spec");
  f.setSize(536, 212);
  // Baseline at y 128: levels grow upwards, negative ones have 48 px below.
  at(tip(picture(f, "Picture1"), "Spectrum (black), average and maximum"), 8, 8, 520, 176);
  caption(f, "Text1Label", "Average weight", "", 8, 188, 100);
  at(tip(text(f, "Text1", "0.01"), "Weight of the newest spectrum in the average"), 110, 188, 60, 20);
  at(tip(button(f, "Command1", "Reset All"), "Clear the graph, its average and maximum"), 440, 186, 88, 24);
}

void buildTcpIp(Form& f) {
  f.setTitle("TcpIP Receiver");
  f.setSize(480, 196);
  at(frame(f, "FrameEcho", "Echo"), 8, 112, 200, 72);
  at(tip(text(f, "Text4", ""), "Connection state"), 8, 8, 464, 20);
  at(tip(text(f, "Text2", ""), "Last block"), 8, 32, 464, 20);
  at(tip(text(f, "Text5", ""), "Totals"), 8, 56, 464, 20);
  caption(f, "Text1Label", "Sample", "", 8, 82, 60);
  at(tip(text(f, "Text1", ""), "Sample 512 of the last block"), 70, 82, 80, 20);
  at(tip(text(f, "Text3", ""), "Acknowledgement target"), 160, 82, 312, 20);
  at(option(f, "Option2", "acknowledge", "Echo", true, "FrameEcho"), 8, 20, 120, 20);
  at(option(f, "Option1", "no echo", "Echo", false, "FrameEcho"), 8, 44, 120, 20);
  at(tip(button(f, "Command1", "OK"), "Analyse the received data"), 392, 156, 80, 28);
}

void buildForms(Forms& forms) {
  buildForm1(forms.form1());
  buildOptions0(forms.options0());
  buildOptions1(forms.options1());
  buildOptions2(forms.options2());
  buildSpecForm(forms.specForm());
  buildTcpIp(forms.tcpIp());
}

}  // namespace qv
