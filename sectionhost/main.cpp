// sectionhost: the reference host. Parses the command line and hands over to the batch front
// end (BatchRunner); see HostOptions.cpp for the usage and docs/sectionhost.md for the contract.
#include <iostream>

#include "BatchRunner.h"
#include "HostOptions.h"

int main(int argc, char** argv) {
  sectionhost::HostOptions options;
  std::string error;
  if (!sectionhost::HostOptions::Parse(argc, argv, &options, &error)) {
    std::cerr << "sectionhost: " << error << "\n" << sectionhost::HostOptions::Usage();
    return 2;
  }
  if (options.help) {
    std::cout << sectionhost::HostOptions::Usage();
    return 0;
  }
  if (options.selfCheck) return sectionhost::BatchRunner::SelfCheck(options, std::cout, std::cerr);
  return sectionhost::BatchRunner::Run(options, std::cout, std::cerr);
}
