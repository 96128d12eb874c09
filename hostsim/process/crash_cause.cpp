#include "hostsim/process/crash_cause.h"

#include <csignal>

namespace hostsim {

void FormatExceptionCode(std::uint32_t code, char (&text)[kExceptionCodeSize]) {
  text[0] = '0';
  text[1] = 'x';
  for (int digit = 0; digit < 8; ++digit) text[9 - digit] = "0123456789ABCDEF"[(code >> (4 * digit)) & 0xF];
  text[10] = '\0';
}

const char* KnownSignalName(int signal) {
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
    default: return nullptr;
  }
}

std::string SignalName(int signal) {
  const char* name = KnownSignalName(signal);
  return name != nullptr ? name : "signal " + std::to_string(signal);
}

std::string ExceptionCodeText(std::uint32_t code) {
  char text[kExceptionCodeSize];
  FormatExceptionCode(code, text);
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

}  // namespace hostsim
