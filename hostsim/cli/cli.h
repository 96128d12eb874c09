// hostsim's command line: run a command of a module on a scene and see what
// it sent, list a scene, validate a module file, take the demo tour, save a
// scene. Every subcommand answers --help.
//
// Exit status: 0 done; 1 the module failed a check or broke the host's rules;
// 2 the request could not be carried out (unknown command, item or option, a
// missing or malformed file), with one line on stderr saying why.
#ifndef QZ_HOSTSIM_CLI_H
#define QZ_HOSTSIM_CLI_H

#include <ostream>
#include <string>
#include <vector>

#include "hostsim/validate/validate.h"

namespace hostsim {

struct Console {
  std::ostream& out;
  std::ostream& err;
  bool outIsTerminal = false;               // colour is used only there, unless asked for
  StepListener* validationSteps = nullptr;  // told each run validate makes, for a crash report
};

// `arguments` excludes the program name.
int RunCommandLine(const std::vector<std::string>& arguments, Console& console);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_H
