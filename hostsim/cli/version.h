// "hostsim --version": what a problem report needs to name the release.
#ifndef QZ_HOSTSIM_CLI_VERSION_H
#define QZ_HOSTSIM_CLI_VERSION_H

#include <ostream>

namespace hostsim {

// The release, and on Windows the file and product version in the resource of
// the module hostsim loads by default (the one beside it). The resource keeps
// its numbers from release to release: they tell our module from another file
// of its name, while the release is told by hostsim's own line.
int PrintVersion(std::ostream& out);  // returns kExitDone

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_VERSION_H
