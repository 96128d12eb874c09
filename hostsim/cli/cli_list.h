// "hostsim list": a scene's items as a tree, or as JSON.
#ifndef QZ_HOSTSIM_CLI_LIST_H
#define QZ_HOSTSIM_CLI_LIST_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kListSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_LIST_H
