// "hostsim validate": the checks of validate.h from the command line.
#ifndef QZ_HOSTSIM_CLI_VALIDATE_H
#define QZ_HOSTSIM_CLI_VALIDATE_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kValidateSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_VALIDATE_H
