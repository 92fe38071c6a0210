// sectionhost: the reference host. Parses the command line and hands over to the batch front
// end (BatchRunner), or without a script to the terminal front end (TerminalRunner, built when
// libedit is there: SECTIONHOST_TERMINAL); see HostOptions.cpp for the usage and
// docs/sectionhost.md for the contract.
#include <iostream>

#include "BatchRunner.h"
#include "HostOptions.h"
#ifdef SECTIONHOST_TERMINAL
#include <unistd.h>

#include "TerminalRunner.h"
#endif

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
  if (options.Interactive()) {
#ifdef SECTIONHOST_TERMINAL
    return sectionhost::TerminalRunner::Run(options, STDIN_FILENO, stdin, stdout, std::cout, std::cerr);
#else
    std::cerr << "sectionhost: this build has no interactive mode (libedit was not found); use --script\n";
    return 2;
#endif
  }
  return sectionhost::BatchRunner::Run(options, std::cout, std::cerr);
}
