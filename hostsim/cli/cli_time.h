// "hostsim time": how long the module's commands take on a scene, against a
// replay of the same host calls without the module's logic (the floor).
#ifndef QZ_HOSTSIM_CLI_TIME_H
#define QZ_HOSTSIM_CLI_TIME_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kTimeSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_TIME_H
