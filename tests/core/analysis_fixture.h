// A program with the analysis engine installed, real FFT and image surfaces.
#pragma once

#include <memory>

#include "analysis/engine.h"
#include "core/designer.h"
#include "core/program.h"
#include "platform/fftw/fftw_dsp.h"
#include "platform/qt/qimage_surface.h"

namespace qv::testing_support {

struct AnalysisProgram {
  FftwDsp dsp;
  QImageSurfaceFactory surfaces;
  std::unique_ptr<Program> program;
  std::unique_ptr<AnalysisEngine> engine;

  AnalysisProgram() {
    Services s;
    s.dsp = &dsp;
    s.surfaces = &surfaces;
    program = std::make_unique<Program>(s, "/tmp/qv-analysis-test");
    buildForms(program->forms());
    engine = installAnalysis(*program);
  }
  Form& f1() { return program->form1(); }
  Form& opt0() { return program->options0(); }
  Form& opt1() { return program->options1(); }
  PublicVars& vars() { return program->vars(); }
};

}  // namespace qv::testing_support
