// "hostsim save": a scene, or the random scene validate made from a seed,
// written as a version-5 scene file.
#ifndef QZ_HOSTSIM_CLI_SAVE_H
#define QZ_HOSTSIM_CLI_SAVE_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kSaveSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_SAVE_H
