#include "hostsim/cli/watchdog.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace hostsim {

namespace {

[[noreturn]] void EndProcess(int status) {
#if defined(_WIN32)
  // Not ExitProcess: the hung module's own teardown could hang as well.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
  std::_Exit(status);
}

}  // namespace

Watchdog::Watchdog(std::ostream& err, double seconds, StepListener* next)
    : err_(err), limit_(seconds), next_(next), thread_([this] { Watch(); }) {}

Watchdog::~Watchdog() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void Watchdog::Starting(const std::string& step) {
  if (next_ != nullptr) next_->Starting(step);
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    step_ = step;
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::nanoseconds>(limit_);
  }
  changed_.notify_all();
}

void Watchdog::Finished() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }
  changed_.notify_all();
  if (next_ != nullptr) next_->Finished();
}

void Watchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (closing_) return;
    if (!armed_) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, deadline_) != std::cv_status::timeout || !armed_ || closing_) continue;
    // The command is still running on the main thread, inside the module:
    // nothing else writes to the streams now.
    err_ << step_ << ": did not return within " << SecondsText(limit_.count()) << " s (--timeout); ended\n";
    err_.flush();
    std::fflush(nullptr);
    EndProcess(1);
  }
}

}  // namespace hostsim
