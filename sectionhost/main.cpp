// sectionhost: the reference host. Parses the command line and hands over to the host's check
// of itself (SelfCheck), to the batch front end (BatchRunner), or without a script to the
// terminal front end (TerminalRunner); see HostOptions.cpp for the usage and docs/sectionhost.md
// for the contract.
#include <unistd.h>

#include <iostream>

#include "sectionhost/script/BatchRunner.h"
#include "sectionhost/session/HostOptions.h"
#include "sectionhost/session/SelfCheck.h"
#include "sectionhost/terminal/TerminalRunner.h"

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
  if (options.selfCheck) return sectionhost::SelfCheck::Run(options, std::cout, std::cerr);
  if (options.Interactive()) {
    return sectionhost::TerminalRunner::Run(options, STDIN_FILENO, stdin, stdout, std::cout, std::cerr);
  }
  return sectionhost::BatchRunner::Run(options, std::cout, std::cerr);
}
