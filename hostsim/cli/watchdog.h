// "hostsim run" and "hostsim tour" run the module's commands in hostsim's own
// process. A command that does not return is ended after a time limit, with
// one line on stderr that names it and exit status 1; what a crash handler
// needs to name a crash is passed on to the listener behind.
#ifndef QZ_HOSTSIM_CLI_WATCHDOG_H
#define QZ_HOSTSIM_CLI_WATCHDOG_H

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>

#include "hostsim/host/scripted_run.h"

namespace hostsim {

class Watchdog : public StepListener {
 public:
  // `next`, which may be null, hears every step too.
  Watchdog(std::ostream& err, double seconds, StepListener* next);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // `step` runs from now until Finished(): "hostsim run: QZ_Sel_Child on ...".
  void Starting(const std::string& step) override;
  void Finished() override;

 private:
  void Watch();

  std::ostream& err_;
  std::chrono::duration<double> limit_;
  StepListener* next_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool closing_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::string step_;
  std::thread thread_;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_CLI_WATCHDOG_H
