// "hostsim run" and "hostsim tour" run the module's commands in hostsim's own
// process. A command that does not return is ended after a time limit, and
// one that crashes takes hostsim down; either way one line on stderr names
// what was running, and the exit status is 1.
#ifndef QZ_HOSTSIM_CLI_WATCHDOG_H
#define QZ_HOSTSIM_CLI_WATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

namespace hostsim {

class Watchdog {
 public:
  Watchdog(std::ostream& err, double seconds);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // `what` runs from now until Stop(): "hostsim run: QZ_Sel_Child on ...".
  void Start(const std::string& what);
  void Stop();

 private:
  void Watch();

  std::ostream& err_;
  std::chrono::duration<double> limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool closing_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::string what_;
  std::thread thread_;
};

// What runs now, for a crash handler; always terminated, empty when nothing
// runs.
const char* CurrentActivity();

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_WATCHDOG_H
