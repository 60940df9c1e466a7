// Pictures carry text, text needs fonts, and fonts need a GUI application
// (never a display): one for every benchmark.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdlib>

#include "bench_summary.h"

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  bench::printSummary();
  benchmark::Shutdown();
  return 0;
}
