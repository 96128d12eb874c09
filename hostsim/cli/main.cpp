// hostsim: the stand-in host on the command line (see hostsim/cli/cli.h).
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "hostsim/cli/cli.h"
#include "hostsim/cli/cli_validate.h"
#include "hostsim/process/child_process.h"
#include "hostsim/process/crash_cause.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "hostsim/scene/utf8_path.h"
#else
#include <unistd.h>
#endif

namespace {

// What is running: "hostsim run: QZ_Sel_Child on ...". A crash handler can
// reach nothing but static memory, so the step is copied here, always
// terminated.
char g_step[512] = "";

class CrashReport : public hostsim::StepListener {
 public:
  void Starting(const std::string& step) override { std::snprintf(g_step, sizeof g_step, "%s", step.c_str()); }
  void Finished() override { g_step[0] = '\0'; }
};

// A module that crashes takes hostsim with it; say what was running and how
// it ended rather than leave a bare signal behind.
void ReportCrash(const char* cause) {
  std::fputs(g_step[0] != '\0' ? g_step : "hostsim", stderr);
  std::fputs(": the module crashed (", stderr);
  std::fputs(cause, stderr);
  std::fputs(")\n", stderr);
  std::fflush(stderr);
}

#if defined(_WIN32)
// Names are printed as UTF-8; a console shows them so only in that code page.
// The console outlives hostsim, so it gets its own page back, crash or not.
UINT savedConsolePage = 0;
void UseUtf8Console() {
  savedConsolePage = GetConsoleOutputCP();
  if (savedConsolePage != 0) SetConsoleOutputCP(CP_UTF8);
}
void RestoreConsole() {
  if (savedConsolePage != 0) SetConsoleOutputCP(savedConsolePage);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* pointers) {
  char text[hostsim::kExceptionCodeSize];
  hostsim::FormatExceptionCode(pointers->ExceptionRecord->ExceptionCode, text);
  ReportCrash(text);
  RestoreConsole();
  // Not ExitProcess: the crashed module's own teardown would run.
  TerminateProcess(GetCurrentProcess(), 1);
  return EXCEPTION_EXECUTE_HANDLER;
}
void InstallCrashReport() {
  // No dialog and no debugger: the line above is the report.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(OnCrash);
}
bool IsTerminal() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!_isatty(_fileno(stdout)) || !GetConsoleMode(out, &mode)) return false;
  // Colour needs the console's escape handling, off by default.
  return SetConsoleMode(out, mode | 0x0004 /* ENABLE_VIRTUAL_TERMINAL_PROCESSING */) != 0;
}
#else
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
void OnCrash(int signal) {
  ReportCrash(hostsim::KnownSignalName(signal));
  _exit(1);
}
void InstallCrashReport() {
  for (const int signal : kCrashSignals) std::signal(signal, OnCrash);
}
bool IsTerminal() { return isatty(STDOUT_FILENO) != 0; }
#endif

int Run(const std::vector<std::string>& arguments) {
  if (!arguments.empty() && arguments[0] == hostsim::kChildArgument) hostsim::ServeValidateChild(arguments);
  InstallCrashReport();
  std::ios::sync_with_stdio(true);
  CrashReport crashReport;
  hostsim::Console console{std::cout, std::cerr, IsTerminal(), &crashReport};
  const int status = hostsim::RunCommandLine(arguments, console);
  std::cout.flush();
  return status;
}

}  // namespace

#if defined(_WIN32)
// Windows hands over the arguments as UTF-16; hostsim works in UTF-8, which
// the narrow main would receive in the ANSI code page, losing every character
// outside it.
int wmain(int argc, wchar_t** argv) {
  // The same bytes on every platform: scene files and transcripts keep LF.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  UseUtf8Console();
  std::vector<std::string> arguments;
  for (int index = 1; index < argc; ++index) arguments.push_back(hostsim::Utf8FromWide(argv[index]));
  const int status = Run(arguments);
  RestoreConsole();
  return status;
}
#else
int main(int argc, char** argv) { return Run(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
