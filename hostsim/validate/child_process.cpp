#include "hostsim/validate/child_process.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <thread>
#endif

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

namespace {

// Each message is a type letter, the payload's length in eight hex digits,
// then the payload.
constexpr char kNoteMessage = 'N';
constexpr char kResultMessage = 'R';
constexpr char kCrashMessage = 'C';
constexpr char kMemoryMessage = 'M';
constexpr std::size_t kHeaderSize = 9;

// Exit statuses of a child that ended itself; what counts is the message
// sent before, these only show in a process list or a debugger.
constexpr int kCrashExit = 70;
constexpr int kMemoryExit = 71;
constexpr int kOrphanExit = 72;

void FormatHeader(char type, std::size_t size, char* header) {
  header[0] = type;
  for (int digit = 0; digit < 8; ++digit) header[8 - digit] = "0123456789abcdef"[(size >> (4 * digit)) & 0xF];
}

// The parent's reading of the child's messages, as they arrive.
class MessageReader {
 public:
  void Add(const char* data, std::size_t size) {
    buffer_.append(data, size);
    std::size_t at = 0;
    while (buffer_.size() - at >= kHeaderSize) {
      std::size_t length = 0;
      for (std::size_t digit = 1; digit < kHeaderSize; ++digit) {
        const char c = buffer_[at + digit];
        const int value = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (value < 0) {
          // Not our framing: nothing after this can be trusted.
          garbled = true;
          buffer_.clear();
          return;
        }
        length = length * 16 + static_cast<std::size_t>(value);
      }
      if (buffer_.size() - at - kHeaderSize < length) break;
      const std::string payload = buffer_.substr(at + kHeaderSize, length);
      switch (buffer_[at]) {
        case kNoteMessage:
          note = payload;
          ++notes;
          if (onNote) onNote(note);
          break;
        case kResultMessage:
          result = payload;
          finished = true;
          break;
        case kCrashMessage:
          if (cause.empty()) cause = payload;
          break;
        case kMemoryMessage: memory = true; break;
        default: garbled = true; break;
      }
      at += kHeaderSize + length;
    }
    buffer_.erase(0, at);
  }

  std::function<void(const std::string&)> onNote;
  std::string note, result, cause;
  std::size_t notes = 0;
  bool finished = false, memory = false, garbled = false;

 private:
  std::string buffer_;
};

// What the child sends, as it arrives. Each note (a run starting) gives the
// child the whole time limit again: the limit is for one run, not a check.
class ChildMessages {
 public:
  ChildMessages(const std::function<void(const std::string& note)>& onNote, double seconds)
      : limit_(std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds))),
        deadline_(std::chrono::steady_clock::now() + limit_) {
    reader.onNote = onNote;
  }
  void Add(const char* data, std::size_t size) {
    reader.Add(data, size);
    if (reader.notes == notes_) return;
    notes_ = reader.notes;
    deadline_ = std::chrono::steady_clock::now() + limit_;
  }
  long long MillisecondsLeft() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now()).count();
  }
  MessageReader reader;

 private:
  std::chrono::steady_clock::duration limit_;
  std::chrono::steady_clock::time_point deadline_;
  std::size_t notes_ = 0;
};

ChildOutcome Classify(const MessageReader& reader, bool timedOut) {
  ChildOutcome outcome;
  outcome.note = reader.note;
  if (reader.finished) {
    outcome.end = ChildEnd::Finished;
    outcome.result = reader.result;
  } else if (reader.memory) {
    outcome.end = ChildEnd::OutOfMemory;
  } else if (!reader.cause.empty()) {
    outcome.end = ChildEnd::Crashed;
    outcome.cause = reader.cause;
  } else {
    outcome.end = timedOut ? ChildEnd::TimedOut : ChildEnd::Crashed;
  }
  return outcome;
}

// ---- the child's side, shared ------------------------------------------------

std::mutex g_sending;

#if defined(_WIN32)
HANDLE g_channel = INVALID_HANDLE_VALUE;
void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(g_channel, data, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20)), &written, nullptr))
      return;
    data += written;
    size -= written;
  }
}
[[noreturn]] void EndChild(int status) {
  // Not ExitProcess: the module's own teardown must not run after the result.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  std::abort();
}
#else
int g_channel = -1;
void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = write(g_channel, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}
[[noreturn]] void EndChild(int status) { _exit(status); }
#endif

// For a crash handler: no allocation, no lock; one write, so that a message
// of a few bytes arrives whole.
void SendRaw(char type, const char* payload) {
  char message[96];
  const std::size_t size = std::min<std::size_t>(std::strlen(payload), sizeof message - kHeaderSize);
  FormatHeader(type, size, message);
  for (std::size_t at = 0; at < size; ++at) message[kHeaderSize + at] = payload[at];
  WriteAll(message, kHeaderSize + size);
}

void Send(char type, const std::string& payload) {
  std::string message(kHeaderSize, '\0');
  FormatHeader(type, payload.size(), &message[0]);
  message += payload;
  const std::lock_guard<std::mutex> lock(g_sending);
  WriteAll(message.data(), message.size());
}

class PipeReporter : public ChildReporter {
 public:
  void Note(const std::string& note) override { Send(kNoteMessage, note); }
};

std::atomic<std::uint64_t> g_memoryBaseline{0};
std::atomic<std::uint64_t> g_memoryLimit{0};  // 0 until the limit is in force

std::uint64_t MemoryInUse();

bool PastMemoryLimit() {
  const std::uint64_t limit = g_memoryLimit.load();
  return limit != 0 && MemoryInUse() >= g_memoryBaseline.load() + limit;
}

// Ends the child the moment it is past its limit, before the machine feels it.
[[noreturn]] void EndOverMemory() {
  {
    const std::lock_guard<std::mutex> lock(g_sending);
    SendRaw(kMemoryMessage, "");
  }
  EndChild(kMemoryExit);
}

void OnAllocationFailure() { EndOverMemory(); }

void StartMemoryLimit(std::uint64_t memoryMiB) {
  g_memoryBaseline = MemoryInUse();
  g_memoryLimit = memoryMiB << 20;
  std::set_new_handler(OnAllocationFailure);
}

[[noreturn]] void RunWork(const ChildWork& work, const std::string& request) {
  PipeReporter reporter;
  std::string result;
  try {
    result = work(request, reporter);
  } catch (const std::bad_alloc&) {
    EndOverMemory();
  } catch (const std::exception& error) {
    // An exception out of a module's command would take the host down with it.
    Send(kCrashMessage, std::string("exception: ") + error.what());
    EndChild(kCrashExit);
  } catch (...) {
    Send(kCrashMessage, "exception");
    EndChild(kCrashExit);
  }
  Send(kResultMessage, result);
  EndChild(0);
}

}  // namespace

std::string SignalName(int signal) {
  switch (signal) {
#if !defined(_WIN32)
    case SIGBUS: return "SIGBUS";
    case SIGKILL: return "SIGKILL";
    case SIGSYS: return "SIGSYS";
    case SIGTRAP: return "SIGTRAP";
#endif
    case SIGSEGV: return "SIGSEGV";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTERM: return "SIGTERM";
    default: return "signal " + std::to_string(signal);
  }
}

std::string ExceptionCodeText(std::uint32_t code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
  const char* name = code == 0xC0000005u   ? "access violation"
                     : code == 0xC00000FDu ? "stack overflow"
                     : code == 0xC0000094u ? "integer division by zero"
                     : code == 0xC000001Du ? "illegal instruction"
                     : code == 0xC0000409u ? "stack buffer overrun"
                     : code == 0xC0000374u ? "heap corruption"
                     : code == 0xC0000017u ? "no memory"
                     : code == 0x80000003u ? "breakpoint"
                                           : nullptr;
  return name == nullptr ? std::string(text) : std::string(text) + " (" + name + ")";
}

#if defined(_WIN32)

// ---- Windows ---------------------------------------------------------------------

namespace {

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
  return wide;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &narrow[0], size, nullptr, nullptr);
  return narrow;
}

std::string g_childProgram;

std::uint64_t MemoryInUse() {
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                            sizeof counters))
    return 0;
  // Windows counts committed memory as private usage; Wine leaves that at
  // zero, but keeps the working set, which touched memory shows in.
  return std::max<std::uint64_t>(counters.PrivateUsage, counters.WorkingSetSize);
}

LONG WINAPI OnChildException(EXCEPTION_POINTERS* pointers) {
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (PastMemoryLimit()) {
    SendRaw(kMemoryMessage, "");
  } else {
    char text[16] = "0x";
    for (int digit = 0; digit < 8; ++digit) text[9 - digit] = "0123456789ABCDEF"[(code >> (4 * digit)) & 0xF];
    text[10] = '\0';
    SendRaw(kCrashMessage, text);
  }
  TerminateProcess(GetCurrentProcess(), code);
  return EXCEPTION_EXECUTE_HANDLER;
}

void OnChildAbort(int) {
  SendRaw(PastMemoryLimit() ? kMemoryMessage : kCrashMessage, "abort");
  EndChild(kCrashExit);
}

struct Watch {
  HANDLE parent;
};

// Ends the child when the parent is gone, where no job object does that, and
// when it passes its memory limit, which Wine's job objects do not enforce.
DWORD WINAPI WatchChild(void* argument) {
  const HANDLE parent = static_cast<Watch*>(argument)->parent;
  for (;;) {
    if (WaitForSingleObject(parent, 5) == WAIT_OBJECT_0) EndChild(kOrphanExit);
    if (PastMemoryLimit()) EndOverMemory();
  }
}

std::string ReadStandardInput() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(input, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  return text;
}

}  // namespace

void SetChildProgram(const std::string& path) { g_childProgram = path; }

std::string ChildProgram() {
  if (!g_childProgram.empty()) return g_childProgram;
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self, length);
  const std::size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
  return Narrow(folder + L"hostsim.exe");
}

ChildOutcome RunInChild(const std::string& request, const ChildWork&, const ChildLimits& limits,
                        const std::function<void(const std::string& note)>& onNote) {
  const std::wstring program = Widen(ChildProgram());
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE resultRead = nullptr, resultWrite = nullptr, requestRead = nullptr, requestWrite = nullptr;
  if (!CreatePipe(&resultRead, &resultWrite, &inherit, 1u << 16) ||
      !CreatePipe(&requestRead, &requestWrite, &inherit, static_cast<DWORD>(request.size() + 4096)))
    throw std::runtime_error("cannot make a pipe for a child process");
  SetHandleInformation(resultRead, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(requestWrite, HANDLE_FLAG_INHERIT, 0);
  const HANDLE nowhere = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                     OPEN_EXISTING, 0, nullptr);
  HANDLE self = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self, SYNCHRONIZE, TRUE, 0);

  std::wstring commandLine = L"\"" + program + L"\" " + Widen(kChildArgument) + L" " +
                             std::to_wstring(reinterpret_cast<std::uintptr_t>(resultWrite)) + L" " +
                             std::to_wstring(reinterpret_cast<std::uintptr_t>(self)) + L" " +
                             std::to_wstring(limits.memoryMiB);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = requestRead;
  startup.hStdOutput = nowhere;
  startup.hStdError = nowhere;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                      CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  CloseHandle(resultWrite);
  CloseHandle(requestRead);
  CloseHandle(nowhere);
  CloseHandle(self);
  if (!started) {
    CloseHandle(resultRead);
    CloseHandle(requestWrite);
    throw std::runtime_error("cannot start '" + Narrow(program) + "' for a child process (error " +
                             std::to_string(GetLastError()) + ")");
  }

  // The job ends the child with us, and on Windows stops it at the memory
  // limit, half as much again above the child's own watch, which comes first.
  const HANDLE job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION jobLimits{};
  jobLimits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                               JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION |
                                               JOB_OBJECT_LIMIT_PROCESS_MEMORY;
  const std::uint64_t limitBytes = limits.memoryMiB << 20;
  jobLimits.ProcessMemoryLimit = static_cast<SIZE_T>(limitBytes + limitBytes / 2);
  if (job != nullptr) {
    SetInformationJobObject(job, JobObjectExtendedLimitInformation, &jobLimits, sizeof jobLimits);
    AssignProcessToJobObject(job, process.hProcess);
  }
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);

  DWORD written = 0;
  WriteFile(requestWrite, request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
  CloseHandle(requestWrite);

  ChildMessages messages(onNote, limits.seconds);
  bool timedOut = false;
  const auto drain = [&] {
    DWORD available = 0;
    while (PeekNamedPipe(resultRead, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
      char buffer[65536];
      DWORD read = 0;
      if (!ReadFile(resultRead, buffer, std::min<DWORD>(available, sizeof buffer), &read, nullptr) || read == 0) break;
      messages.Add(buffer, read);
    }
  };
  for (;;) {
    drain();
    if (WaitForSingleObject(process.hProcess, 5) == WAIT_OBJECT_0) break;
    if (messages.MillisecondsLeft() <= 0) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, INFINITE);
      timedOut = true;
      break;
    }
  }
  drain();
  CloseHandle(resultRead);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hProcess);

  bool overJobLimit = false;
  if (job != nullptr) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION used{};
    if (QueryInformationJobObject(job, JobObjectExtendedLimitInformation, &used, sizeof used, nullptr))
      overJobLimit = used.PeakProcessMemoryUsed >= limitBytes;
    CloseHandle(job);
  }

  ChildOutcome outcome = Classify(messages.reader, timedOut);
  if (outcome.end == ChildEnd::Crashed && overJobLimit) outcome.end = ChildEnd::OutOfMemory;
  if (outcome.end == ChildEnd::Crashed && outcome.cause.empty() && (status & 0xF0000000u) == 0xC0000000u) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(status));
    outcome.cause = text;
  }
  if (!timedOut) outcome.detail = "exit status " + ExceptionCodeText(status);
  return outcome;
}

void ServeChild(const std::vector<std::string>& arguments, const ChildWork& work) {
  if (arguments.size() != 4 || arguments[0] != kChildArgument) {
    std::fputs("hostsim: --internal-child is for hostsim's own use\n", stderr);
    ExitProcess(2);
  }
  g_channel = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(arguments[1].c_str(), nullptr, 10)));
  static Watch watch{
      reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(arguments[2].c_str(), nullptr, 10)))};
  // No dialog and no debugger: the parent is told the code, and that is all.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  SetUnhandledExceptionFilter(OnChildException);
  std::signal(SIGABRT, OnChildAbort);
  const std::string request = ReadStandardInput();
  StartMemoryLimit(std::strtoull(arguments[3].c_str(), nullptr, 10));
  const HANDLE watcher = CreateThread(nullptr, 64 * 1024, WatchChild, &watch, 0, nullptr);
  if (watcher != nullptr) CloseHandle(watcher);
  RunWork(work, request);
}

#else

// ---- natively ------------------------------------------------------------------

namespace {

// Private writable memory: the heap and anonymous mappings. Async-signal-safe.
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

const char* RawSignalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return "signal";
  }
}

constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP, SIGSYS};

void OnChildSignal(int signal) {
  if (PastMemoryLimit())
    SendRaw(kMemoryMessage, "");
  else
    SendRaw(kCrashMessage, RawSignalName(signal));
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
  const std::uint64_t hard = g_memoryBaseline + (limits.memoryMiB << 20) * 3 / 2;
  const rlimit data{static_cast<rlim_t>(hard), static_cast<rlim_t>(hard)};
  setrlimit(RLIMIT_DATA, &data);
  RunWork(work, request);
}

}  // namespace

void SetChildProgram(const std::string&) {}
std::string ChildProgram() { return std::string(); }

ChildOutcome RunInChild(const std::string& request, const ChildWork& work, const ChildLimits& limits,
                        const std::function<void(const std::string& note)>& onNote) {
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

#endif

}  // namespace hostsim
