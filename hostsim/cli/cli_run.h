// "hostsim run": one command on a scene, with what the module sent and the
// selection before and after.
#ifndef QZ_HOSTSIM_CLI_RUN_H
#define QZ_HOSTSIM_CLI_RUN_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kRunSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_RUN_H
