// What the service records of the emulated host share: where the protocol
// errors they find go, and what becomes of a call with no command running.
#ifndef QZ_HOSTSIM_HOST_PROTOCOL_H
#define QZ_HOSTSIM_HOST_PROTOCOL_H

#include <string>

namespace hostsim {

// Takes what a service found out of place in the module's calls.
class ProtocolErrors {
 public:
  virtual void ReportProtocolError(std::string error) = 0;

 protected:
  ~ProtocolErrors() = default;
};

// A record function called with no command running: the module kept a record
// past its activation, which no host survives either. Says so and aborts.
[[noreturn]] void AbortOutsideActivation(const char* what);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_HOST_PROTOCOL_H
