// Within process/ only: what the shared part of child_process.cpp and the
// platform's own file (child_process_posix.cpp, child_process_windows.cpp)
// hand each other. The child writes messages to a pipe; the parent reads
// them as they arrive and, once the child is gone, tells how it ended.
#ifndef QZ_HOSTSIM_PROCESS_CHILD_CHANNEL_H
#define QZ_HOSTSIM_PROCESS_CHILD_CHANNEL_H

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "hostsim/process/child_process.h"

namespace hostsim::child_channel {

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

// ---- the parent's side ------------------------------------------------------

// The child's messages, read as they arrive.
class MessageReader {
 public:
  void Add(const char* data, std::size_t size);

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
  ChildMessages(const std::function<void(const std::string& note)>& onNote, double seconds);
  void Add(const char* data, std::size_t size);
  long long MillisecondsLeft() const;
  MessageReader reader;

 private:
  std::chrono::steady_clock::duration limit_;
  std::chrono::steady_clock::time_point deadline_;
  std::size_t notes_ = 0;
};

// How the child ended, from what it sent; the platform adds what its exit
// status tells.
ChildOutcome Classify(const MessageReader& reader, bool timedOut);

// ---- the child's side -------------------------------------------------------

// The platform's: writes to the channel to the parent, ends the process at
// once (no teardown of the module's), and counts the memory it holds. All
// three are async-signal-safe.
void WriteAll(const char* data, std::size_t size);
[[noreturn]] void EndChild(int status);
std::uint64_t MemoryInUse();

// For a crash handler: no allocation, no lock; one write, so that a message
// of a few bytes arrives whole.
void SendRaw(char type, const char* payload);

// The memory limit: from now, `memoryMiB` above what the child holds now.
void StartMemoryLimit(std::uint64_t memoryMiB);
std::uint64_t MemoryBaseline();
bool PastMemoryLimit();  // async-signal-safe
// Ends the child the moment it is past its limit, before the machine feels it.
[[noreturn]] void EndOverMemory();

// Runs the work, sends its result or how it failed, and ends the child.
[[noreturn]] void RunWork(const ChildWork& work, const std::string& request);

}  // namespace hostsim::child_channel

#endif  // QZ_HOSTSIM_PROCESS_CHILD_CHANNEL_H
