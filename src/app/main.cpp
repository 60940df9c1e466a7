#include "app/host.h"

int main(int argc, char** argv) { return qv::runQuorvel(argc, argv); }
