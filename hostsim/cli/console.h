// What every subcommand of hostsim's command line writes to and ends with:
// the console, the exit statuses, and the error that ends a subcommand.
//
// Exit status: 0 done; 1 the module failed a check or broke the host's rules;
// 2 the request could not be carried out (unknown command, item or option, a
// missing or malformed file), with one line on stderr saying why.
#ifndef QZ_HOSTSIM_CLI_CONSOLE_H
#define QZ_HOSTSIM_CLI_CONSOLE_H

#include <ostream>
#include <stdexcept>
#include <string>

#include "hostsim/host/scripted_run.h"

namespace hostsim {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool outIsTerminal = false;               // colour is used only there, unless asked for
  StepListener* validationSteps = nullptr;  // told each run validate makes, for a crash report
};

// Ends a subcommand with one line on stderr and an exit status.
struct CliError : std::runtime_error {
  explicit CliError(const std::string& message, int status = kExitUsage)
      : std::runtime_error(message), status(status) {}
  int status;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_CONSOLE_H
