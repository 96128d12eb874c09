// "hostsim run" and "hostsim tour": one command on a scene, or a scripted
// series of them, with what the module sent and the selection before and after.
#ifndef QZ_HOSTSIM_CLI_RUN_H
#define QZ_HOSTSIM_CLI_RUN_H

#include <string>
#include <vector>

#include "hostsim/cli/cli.h"

namespace hostsim {

int RunSubcommand(const std::vector<std::string>& arguments, Console& console);
int TourSubcommand(const std::vector<std::string>& arguments, Console& console);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_H
