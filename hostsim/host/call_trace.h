// The floor under a command's cost: the host calls it makes, recorded once and
// replayed without any of the module's logic. What the module takes beyond
// the replay is its own overhead.
//
// The replay keeps the walk's data flow: a call whose argument an earlier call
// answered waits for that answer, as the module must. Without that the
// processor would run the replay's calls side by side, fetching a large
// scene's records all at once, and the floor would sit lower than any walk
// could reach; chaining every call to the one before would set it too high.
#ifndef QZ_HOSTSIM_HOST_CALL_TRACE_H
#define QZ_HOSTSIM_HOST_CALL_TRACE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "hostsim/host/host.h"

namespace hostsim {

enum class HostSlot : std::uint8_t {
  Lookup,
  FirstItem,
  NextItem,
  FirstChild,
  NextChild,
  Parent,
  Name,
  ItemFlags,
  FileName,
  PointCount,
  Message,
  Evaluate,
};

struct HostCall {
  ItemId first;  // item arguments, as the module passed them
  ItemId second;
  HostSlot slot;
  int kind;            // first item's kind argument
  std::uint32_t text;  // lookups, messages and lines: index into CallTrace::texts
  // The call (index + 1; 0 for none) whose answer each argument is; for a line,
  // the call that answered the item it names.
  std::uint32_t firstFrom;
  std::uint32_t secondFrom;
};

using CallText = std::array<char, 32>;  // longer texts are cut; no line of ours comes close

struct CallTrace {
  std::vector<HostCall> calls;
  std::vector<CallText> texts;
  std::vector<ItemId> answers;  // the replay's scratch: one per call, after a 0 for "none"
  int result = 0;
  bool complete = true;  // false when the activation made more calls than the recorder keeps
};

// Runs the command once, recording every call into the host's records. Only
// for the deferred mode: the recorder hands the module a copy of the
// interface record, which stays right only while the list does not move.
CallTrace RecordCalls(Host& host, ActivateFunc activate, std::size_t maxCalls);

// Runs an activation that makes exactly the recorded calls, with the recorded
// arguments and lines, and returns the CPU seconds spent inside it.
double ReplayCalls(Host& host, CallTrace& trace);

struct Floor {
  CallTrace trace;
  std::string problem;  // why the replay is no floor; empty when it is one
};

// Records the command's calls and checks that their replay is a faithful
// floor: recording changed nothing the command did (it made the calls
// `planned` counts), and the replay makes the very calls and leaves the very
// selection the recorded run did. `reset` puts the host back as the command
// found it, before each of the two runs. A trace cut short at `maxCalls`
// (its `complete` false) is no floor either.
Floor RecordFloor(Host& host, ActivateFunc activate, const CallCounts& planned, std::size_t maxCalls,
                  const std::function<void()>& reset);

// Runs the command and returns the seconds spent inside its activation only,
// leaving out the host's work before and after it: the thread's CPU time
// where the system keeps it finely (Linux), else the performance counter
// (Windows, whose thread times tick in tens of milliseconds).
double TimeActivation(Host& host, ActivateFunc activate, RunResult* result = nullptr);

// Steps the command took through the scene: calls of the item record's
// navigation slots (first, next, first child, next child, parent).
std::uint64_t ItemsVisited(const CallCounts& calls);

// Whether two runs made the same number of calls into every slot.
bool SameCalls(const CallCounts& a, const CallCounts& b);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_HOST_CALL_TRACE_H
