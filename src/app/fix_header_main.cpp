#include "app/fix_header_main.h"

#include <iostream>
#include <string>

#include "files/header_tools.h"

namespace qv {

int runFixHeader(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "quorvel: " << kFixHeaderOption << " takes one or more WAV files\n";
    return 2;
  }
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    const std::string path = argv[i];
    InterruptedRepair r = repairInterruptedWav(path, true);
    switch (r.outcome) {
      case InterruptedRepair::Repaired:
        std::cout << "Repaired " << path << "\n";
        break;
      case InterruptedRepair::NotNeeded:
        break;
      case InterruptedRepair::BeingWritten:
      case InterruptedRepair::Failed:
        std::cerr << "quorvel: " << r.message << "\n";
        status = 1;
        break;
    }
  }
  return status;
}

}  // namespace qv
