// Work that may crash, hang or eat memory — a module's command — run in a
// process of its own, so that whatever the work does, the caller learns how it
// ended and goes on. Natively the child is a fork of the caller. Windows has
// no fork: the child is a fresh hostsim.exe started with an internal argument,
// which reads the work's request from a pipe and hands it to ServeChild.
//
// The child sends its result back over a pipe; one that ends without sending
// it has crashed, whatever its exit status says (under Wine a stack overflow
// can exit 0; under AddressSanitizer a crash exits 1 with a report). The
// child's own output goes nowhere: a crash report, or a debugger's dump under
// Wine, must not end up in the caller's.
#ifndef QZ_HOSTSIM_PROCESS_CHILD_PROCESS_H
#define QZ_HOSTSIM_PROCESS_CHILD_PROCESS_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace hostsim {

struct ChildLimits {
  // From the start, and again from each note: the work's steps are timed,
  // not the whole of it.
  double seconds = 10;
  // Counted from what the child holds when it starts; natively that includes
  // nothing the caller already had.
  std::uint64_t memoryMiB = 1024;
};

enum class ChildEnd {
  Finished,     // sent its result
  Crashed,      // ended without one
  OutOfMemory,  // went past the memory limit and was ended
  TimedOut,     // outlived the time limit and was ended
};

struct ChildOutcome {
  ChildEnd end = ChildEnd::Crashed;
  std::string result;  // Finished: what the work returned
  std::string note;    // the last note the work sent; empty if none
  // Crashed: the signal ("SIGSEGV") or Windows exception code ("0xC0000005"),
  // or what else ended it ("sanitizer report"); empty when nothing tells.
  std::string cause;
  std::string detail;  // how the process ended, for people: "exit status 1"
};

// What the work may tell its parent while it runs.
class ChildReporter {
 public:
  virtual ~ChildReporter() = default;
  // Where the work is now; a crash or a hang is reported with the last note.
  virtual void Note(const std::string& note) = 0;
};

// Runs in the child; returns the result to send back.
using ChildWork = std::function<std::string(const std::string& request, ChildReporter& reporter)>;

// Natively `work` runs in a fork of this process. On Windows ChildProgram()
// is started with kChildArgument, and its main() must pass its arguments and
// the same work to ServeChild. `onNote`, when given, hears each note in the
// parent as it arrives.
ChildOutcome RunInChild(const std::string& request, const ChildWork& work, const ChildLimits& limits,
                        const std::function<void(const std::string& note)>& onNote = nullptr);

// Windows: the program started for each child. By default hostsim.exe beside
// the running program, which is where tests are built too.
void SetChildProgram(const std::string& path);
std::string ChildProgram();

// Not for users: the first argument of a child hostsim.exe.
constexpr char kChildArgument[] = "--internal-child";

// The child's side on Windows: `arguments` from kChildArgument on. Reads the
// request, runs `work`, sends the result, and ends the process.
[[noreturn]] void ServeChild(const std::vector<std::string>& arguments, const ChildWork& work);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_PROCESS_CHILD_PROCESS_H
