#include "hostsim/host/protocol.h"

#include <cstdio>
#include <cstdlib>

namespace hostsim {

void AbortOutsideActivation(const char* what) {
  std::fprintf(stderr, "hostsim: the module called %s outside of a command activation\n", what);
  std::abort();
}

}  // namespace hostsim
