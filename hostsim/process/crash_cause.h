// How a crashed process ended, in words: the signal natively, the exception
// code on Windows. The crash handlers in the child and in hostsim itself
// write these from inside the crash, so the raw forms allocate nothing and
// touch no stream; the rest are for reports written afterwards.
#ifndef QZ_HOSTSIM_PROCESS_CRASH_CAUSE_H
#define QZ_HOSTSIM_PROCESS_CRASH_CAUSE_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace hostsim {

// "0xC0000005": ten characters and a terminator. Async-signal-safe.
constexpr std::size_t kExceptionCodeSize = 11;
void FormatExceptionCode(std::uint32_t code, char (&text)[kExceptionCodeSize]);

// "SIGSEGV" for 11; null for a signal without a name here. Async-signal-safe.
const char* KnownSignalName(int signal);

// "SIGSEGV" for 11; "signal N" for one without a name here.
std::string SignalName(int signal);
// "0xC0000005 (access violation)" for a Windows exception code.
std::string ExceptionCodeText(std::uint32_t code);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_PROCESS_CRASH_CAUSE_H
