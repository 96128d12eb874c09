// Windows has no fork: the child is a fresh hostsim.exe started with
// kChildArgument, handed the request on its standard input and a pipe for
// its messages, and held to its limits by a job object and its own watch.
#if defined(_WIN32)

#include <windows.h>
// windows.h first: psapi.h needs its types.
#include <psapi.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "hostsim/process/child_channel.h"
#include "hostsim/process/child_process.h"
#include "hostsim/process/crash_cause.h"
#include "hostsim/scene/utf8_path.h"

namespace hostsim {

namespace child_channel {

namespace {

HANDLE g_channel = INVALID_HANDLE_VALUE;

}  // namespace

void WriteAll(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    if (!WriteFile(g_channel, data, static_cast<DWORD>(std::min<std::size_t>(size, 1u << 20)), &written, nullptr))
      return;
    data += written;
    size -= written;
  }
}

void EndChild(int status) {
  // Not ExitProcess: the module's own teardown must not run after the result.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
  std::abort();
}

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

namespace {

LONG WINAPI OnChildException(EXCEPTION_POINTERS* pointers) {
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (PastMemoryLimit()) {
    SendRaw(kMemoryMessage, "");
  } else {
    char text[kExceptionCodeSize];
    FormatExceptionCode(code, text);
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

}  // namespace child_channel

namespace {

std::string g_childProgram;

}  // namespace

void SetChildProgram(const std::string& path) { g_childProgram = path; }

std::string ChildProgram() {
  if (!g_childProgram.empty()) return g_childProgram;
  wchar_t self[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring folder(self, length);
  const std::size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
  return Utf8FromWide(folder + L"hostsim.exe");
}

ChildOutcome RunInChild(const std::string& request, const ChildWork&, const ChildLimits& limits,
                        const std::function<void(const std::string& note)>& onNote) {
  using namespace child_channel;
  const std::wstring program = WideFromUtf8(ChildProgram());
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

  std::wstring commandLine = L"\"" + program + L"\" " + WideFromUtf8(kChildArgument) + L" " +
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
  // A loaded machine (seen under Wine: error 1359) can refuse a start that
  // succeeds a moment later; a check must not fail for it.
  BOOL started = FALSE;
  for (int attempt = 0; attempt < 3 && !started; ++attempt) {
    if (attempt > 0) Sleep(200);
    started = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                             CREATE_SUSPENDED | CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  }
  CloseHandle(resultWrite);
  CloseHandle(requestRead);
  CloseHandle(nowhere);
  CloseHandle(self);
  if (!started) {
    CloseHandle(resultRead);
    CloseHandle(requestWrite);
    throw std::runtime_error("cannot start '" + Utf8FromWide(program) + "' for a child process (error " +
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
    char text[kExceptionCodeSize];
    FormatExceptionCode(status, text);
    outcome.cause = text;
  }
  if (!timedOut) outcome.detail = "exit status " + ExceptionCodeText(status);
  return outcome;
}

void ServeChild(const std::vector<std::string>& arguments, const ChildWork& work) {
  using namespace child_channel;
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

}  // namespace hostsim

#endif
