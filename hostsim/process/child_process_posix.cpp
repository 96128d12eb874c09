// Natively the child is a fork of the caller, watched through a pipe and
// waitpid; it reads its memory from /proc and dies with its parent by prctl,
// both Linux's. Built everywhere but Windows.
#if !defined(_WIN32)

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "hostsim/process/child_channel.h"
#include "hostsim/process/child_process.h"
#include "hostsim/process/crash_cause.h"

#if defined(__SANITIZE_ADDRESS__)
#define QZ_CHILD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QZ_CHILD_ASAN 1
#endif
#endif
#if defined(QZ_CHILD_ASAN)
#include <sanitizer/common_interface_defs.h>
#endif

namespace hostsim {

namespace child_channel {

namespace {

int g_channel = -1;

}  // namespace

void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(g_channel, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void EndChild(int status) { _exit(status); }

// Private writable memory: the heap and anonymous mappings.
std::uint64_t MemoryInUse() {
  const int file = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (file < 0) return 0;
  char text[128];
  const ssize_t size = read(file, text, sizeof text - 1);
  close(file);
  if (size <= 0) return 0;
  // size resident shared text lib data dirty, in pages; data is the sixth.
  std::uint64_t fields[6] = {};
  int field = 0;
  for (ssize_t at = 0; at < size && field < 6; ++at) {
    if (text[at] >= '0' && text[at] <= '9') {
      fields[field] = fields[field] * 10 + static_cast<std::uint64_t>(text[at] - '0');
    } else if (text[at] == ' ') {
      ++field;
    }
  }
  return fields[5] * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

namespace {

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

void OnChildSignal(int signal) {
  if (PastMemoryLimit()) {
    SendRaw(kMemoryMessage, "");
  } else {
    const char* name = KnownSignalName(signal);
    SendRaw(kCrashMessage, name != nullptr ? name : "signal");
  }
  // Die of the signal itself, so that the exit status tells it too.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

#if defined(QZ_CHILD_ASAN)
// The sanitizer ends the process itself, after its report, on what it finds.
void OnSanitizerDeath() { SendRaw(PastMemoryLimit() ? kMemoryMessage : kCrashMessage, "sanitizer report"); }
#endif

void InstallCrashHandlers() {
  // Its own stack, so that a stack overflow is reported too.
  static char stack[64 * 1024];
  stack_t alternate{};
  alternate.ss_sp = stack;
  alternate.ss_size = sizeof stack;
  sigaltstack(&alternate, nullptr);
  struct sigaction action {};
  action.sa_handler = OnChildSignal;
  action.sa_flags = SA_ONSTACK;
  sigemptyset(&action.sa_mask);
  for (const int signal : kCrashSignals) sigaction(signal, &action, nullptr);
#if defined(QZ_CHILD_ASAN)
  __sanitizer_set_death_callback(OnSanitizerDeath);
#endif
}

void WatchMemory() {
  for (;;) {
    if (PastMemoryLimit()) EndOverMemory();
    usleep(2000);
  }
}

[[noreturn]] void ServeForked(int channel, pid_t parent, const std::string& request, const ChildWork& work,
                              const ChildLimits& limits) {
  // Killed with the parent, and not left behind if it is already gone.
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (getppid() != parent) _exit(kOrphanExit);
  const int nowhere = open("/dev/null", O_RDWR | O_CLOEXEC);
  if (nowhere >= 0) {
    for (int stream = 0; stream <= 2; ++stream) dup2(nowhere, stream);
    if (nowhere > 2) close(nowhere);
  }
  g_channel = channel;
  InstallCrashHandlers();
  std::thread(WatchMemory).detach();
  StartMemoryLimit(limits.memoryMiB);
  // The limit proper is watched; the hard one, half as much again above it,
  // stops a burst faster than the watch.
  const std::uint64_t hard = MemoryBaseline() + (limits.memoryMiB << 20) * 3 / 2;
  const rlimit data{static_cast<rlim_t>(hard), static_cast<rlim_t>(hard)};
  setrlimit(RLIMIT_DATA, &data);
  RunWork(work, request);
}

}  // namespace

}  // namespace child_channel

void SetChildProgram(const std::string&) {}
std::string ChildProgram() { return std::string(); }

ChildOutcome RunInChild(const std::string& request, const ChildWork& work, const ChildLimits& limits,
                        const std::function<void(const std::string& note)>& onNote) {
  using namespace child_channel;
  int channel[2];
  if (pipe2(channel, O_CLOEXEC) != 0) throw std::runtime_error(std::string("cannot make a pipe: ") + strerror(errno));
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    const int error = errno;
    close(channel[0]);
    close(channel[1]);
    throw std::runtime_error(std::string("cannot start a child process: ") + strerror(error));
  }
  if (child == 0) {
    close(channel[0]);
    ServeForked(channel[1], parent, request, work, limits);
  }
  close(channel[1]);

  ChildMessages messages(onNote, limits.seconds);
  bool timedOut = false;
  for (;;) {
    const long long left = messages.MillisecondsLeft();
    if (left <= 0) {
      timedOut = true;
      break;
    }
    pollfd ready{channel[0], POLLIN, 0};
    const int count = poll(&ready, 1, static_cast<int>(std::min<decltype(left)>(left, 1000)));
    if (count <= 0) continue;
    char buffer[65536];
    const ssize_t size = read(channel[0], buffer, sizeof buffer);
    if (size > 0) {
      messages.Add(buffer, static_cast<std::size_t>(size));
    } else if (size == 0 || errno != EINTR) {
      break;
    }
  }
  close(channel[0]);
  // Past its pipe's end the child is on its way out; one that closed the pipe
  // and lives on is ended at the deadline all the same.
  int status = 0;
  for (;;) {
    if (timedOut) kill(child, SIGKILL);
    const pid_t done = waitpid(child, &status, timedOut ? 0 : WNOHANG);
    if (done == child || (done < 0 && errno != EINTR)) break;
    if (done == 0 && messages.MillisecondsLeft() <= 0) timedOut = true;
    if (done == 0) usleep(1000);
  }

  ChildOutcome outcome = Classify(messages.reader, timedOut);
  if (outcome.end == ChildEnd::Crashed && outcome.cause.empty() && WIFSIGNALED(status))
    outcome.cause = SignalName(WTERMSIG(status));
  if (!timedOut) {
    outcome.detail = WIFSIGNALED(status) ? "ended by " + SignalName(WTERMSIG(status))
                                         : "exit status " + std::to_string(WEXITSTATUS(status));
  }
  return outcome;
}

void ServeChild(const std::vector<std::string>&, const ChildWork&) {
  std::fputs("hostsim: --internal-child is for hostsim's own use, on Windows\n", stderr);
  std::exit(2);
}

}  // namespace hostsim

#endif
