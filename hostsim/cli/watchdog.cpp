#include "hostsim/cli/watchdog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace hostsim {

namespace {

char g_activity[1024] = "";

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

[[noreturn]] void EndProcess(int status) {
#if defined(_WIN32)
  // Not ExitProcess: the hung module's own teardown could hang as well.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
#endif
  std::_Exit(status);
}

}  // namespace

Watchdog::Watchdog(std::ostream& err, double seconds) : err_(err), limit_(seconds) {
  thread_ = std::thread([this] { Watch(); });
}

Watchdog::~Watchdog() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  thread_.join();
  g_activity[0] = '\0';
}

void Watchdog::Start(const std::string& what) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    what_ = what;
    armed_ = true;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::nanoseconds>(limit_);
    std::snprintf(g_activity, sizeof g_activity, "%s", what.c_str());
  }
  changed_.notify_all();
}

void Watchdog::Stop() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
    g_activity[0] = '\0';
  }
  changed_.notify_all();
}

void Watchdog::Watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (closing_) return;
    if (!armed_) {
      changed_.wait(lock);
      continue;
    }
    if (changed_.wait_until(lock, deadline_) != std::cv_status::timeout || !armed_) continue;
    // The command is still running on the main thread, inside the module:
    // nothing else writes to the stream now.
    err_ << what_ << ": did not return within " << SecondsText(limit_.count()) << " s (--timeout); ended\n";
    err_.flush();
    std::fflush(nullptr);
    EndProcess(1);
  }
}

const char* CurrentActivity() { return g_activity; }

}  // namespace hostsim
