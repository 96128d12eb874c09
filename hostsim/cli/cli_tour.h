// "hostsim tour": a scripted series of runs, one a line, on one loaded module,
// with each step's selection, or the compact transcript the golden test reads.
#ifndef QZ_HOSTSIM_CLI_TOUR_H
#define QZ_HOSTSIM_CLI_TOUR_H

#include "hostsim/cli/options.h"

namespace hostsim {

extern const Subcommand kTourSubcommand;

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_TOUR_H
