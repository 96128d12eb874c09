#include "hostsim/host/call_trace.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "hostsim/scene/text.h"

#ifdef _WIN32
#include <windows.h>
#endif
#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace hostsim {

namespace {

// ---- timing ------------------------------------------------------------------

// The thread's own CPU time: on a shared machine a run that is preempted
// would otherwise be charged for whatever ran in between. Windows counts
// thread time in scheduler ticks, far too coarse for one activation, so
// there the wall clock of the performance counter has to do. A page has
// no thread clock at all, only the browser's, which it coarsens (to a tenth
// of a millisecond on a page opened from disk).
double ThreadSeconds() {
#if defined(__EMSCRIPTEN__)
  return emscripten_get_now() * 1e-3;
#elif defined(_WIN32)
  static const double tick = [] {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return 1.0 / static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * tick;
#else
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

// What reading the clock twice costs by itself (a system call in most
// machines), taken off every measurement so tiny runs are not all clock.
double ClockOverhead() {
  static const double overhead = [] {
    double least = 1;
    for (int trial = 0; trial < 1000; ++trial) {
      const double start = ThreadSeconds();
      least = std::min(least, ThreadSeconds() - start);
    }
    return least;
  }();
  return overhead;
}

// Host::Run takes a plain routine, so the timed one reaches its target here.
ActivateFunc g_timedTarget = nullptr;
double g_elapsedSeconds = 0;

int TimedActivation(int version, ServiceLookup lookup, void* local, void* serverData) {
  const double start = ThreadSeconds();
  const int result = g_timedTarget(version, lookup, local, serverData);
  g_elapsedSeconds = std::max(ThreadSeconds() - start - ClockOverhead(), 0.0);
  return result;
}

// ---- recording -----------------------------------------------------------------

enum Service : int { kItems, kInterface, kObjects, kMessages, kOther };

struct Recorder {
  ActivateFunc target = nullptr;
  CallTrace* trace = nullptr;
  std::size_t maxCalls = 0;
  ServiceLookup lookup = nullptr;
  const LayoutGeneric* local = nullptr;
  const ItemInfo* items = nullptr;
  const InterfaceInfo* interfaceInfo = nullptr;
  const ObjectInfo* objects = nullptr;
  const MessageFuncs* messages = nullptr;
  // What the module is given instead: the same slots, each noting the call first.
  ItemInfo proxyItems{};
  InterfaceInfo proxyInterface{};
  ObjectInfo proxyObjects{};
  MessageFuncs proxyMessages{};
  LayoutGeneric proxyLocal{};
  // Items answered so far -> the call (index + 1) that answered each last.
  std::unordered_map<ItemId, std::uint32_t> answeredBy;
};
Recorder g_recorder;

std::uint32_t KeepText(const char* text) {
  CallText copy{};
  if (text != nullptr) std::strncpy(copy.data(), text, copy.size() - 1);
  g_recorder.trace->texts.push_back(copy);
  return static_cast<std::uint32_t>(g_recorder.trace->texts.size() - 1);
}

std::uint32_t AnsweredBy(ItemId item) {
  if (item == 0) return 0;
  const auto found = g_recorder.answeredBy.find(item);
  return found == g_recorder.answeredBy.end() ? 0 : found->second;
}

// The item a line names, in either digit form.
ItemId NamedInLine(const char* line) {
  if (line == nullptr) return 0;
  const char* space = std::strrchr(line, ' ');
  return space == nullptr ? 0 : static_cast<ItemId>(std::strtoull(space + 1, nullptr, 16));
}

void Note(HostSlot slot, ItemId first = 0, ItemId second = 0, int kind = 0, const char* text = nullptr) {
  CallTrace& trace = *g_recorder.trace;
  if (trace.calls.size() >= g_recorder.maxCalls) {
    trace.complete = false;
    return;
  }
  const std::uint32_t textIndex = text != nullptr ? KeepText(text) : 0;
  const std::uint32_t firstFrom = slot == HostSlot::Evaluate ? AnsweredBy(NamedInLine(text)) : AnsweredBy(first);
  trace.calls.push_back(HostCall{first, second, slot, kind, textIndex, firstFrom, AnsweredBy(second)});
}

// The item the call just noted answered; later arguments equal to it are its.
ItemId Answer(ItemId item) {
  if (item != 0 && g_recorder.trace->complete)
    g_recorder.answeredBy[item] = static_cast<std::uint32_t>(g_recorder.trace->calls.size());
  return item;
}

// The record each host slot belongs to, as the lookup found it.
template <typename Record>
const Record* HostRecord();
template <>
const ItemInfo* HostRecord() {
  return g_recorder.items;
}
template <>
const InterfaceInfo* HostRecord() {
  return g_recorder.interfaceInfo;
}
template <>
const ObjectInfo* HostRecord() {
  return g_recorder.objects;
}

// A call's arguments as the trace keeps them: items in the order given, and
// a kind.
struct NotedArguments {
  ItemId items[2] = {};
  int count = 0;
  int kind = 0;

  void Add(ItemId item) { items[count++] = item; }
  void Add(ItemKind itemKind) { kind = itemKind; }
};

// What the module is given in place of the host's `Field`: a routine that
// notes the call, makes it, and remembers the item it answered.
template <HostSlot Slot, auto Field>
struct Recorded;

template <HostSlot Slot, typename Record, typename Result, typename... Args, Result (*Record::*Field)(Args...)>
struct Recorded<Slot, Field> {
  static Result Call(Args... args) {
    NotedArguments noted;
    (noted.Add(args), ...);
    Note(Slot, noted.items[0], noted.items[1], noted.kind);
    const Result answer = (HostRecord<Record>()->*Field)(args...);
    if constexpr (std::is_same_v<Result, ItemId>) return Answer(answer);
    return answer;
  }
};

void RecordMessage(const char* text, const char* secondText) {
  Note(HostSlot::Message, 0, 0, 0, text);
  g_recorder.messages->info(text, secondText);
}
int RecordEvaluate(void* context, const char* line) {
  Note(HostSlot::Evaluate, 0, 0, 0, line);
  const int answer = g_recorder.local->evaluate(context, line);
  // A host that applies lines at once may hand out a new list; the module reads
  // it straight from the record, so the proxy it was given must follow.
  if (g_recorder.interfaceInfo != nullptr)
    g_recorder.proxyInterface.selectedItems = g_recorder.interfaceInfo->selectedItems;
  return answer;
}

Service ServiceOf(const char* name) {
  if (name == nullptr) return kOther;
  if (std::strcmp(name, kItemInfoService) == 0) return kItems;
  if (std::strcmp(name, kInterfaceInfoService) == 0) return kInterface;
  if (std::strcmp(name, kObjectInfoService) == 0) return kObjects;
  if (std::strcmp(name, kMessageService) == 0) return kMessages;
  return kOther;
}

void* RecordLookup(const char* name, int useMode) {
  const Service service = ServiceOf(name);
  Note(HostSlot::Lookup, 0, 0, service, name);
  void* record = g_recorder.lookup(name, useMode);
  if (record == nullptr) return nullptr;
  Recorder& r = g_recorder;
  switch (service) {
    case kItems:
      r.items = static_cast<const ItemInfo*>(record);
      r.proxyItems = {Recorded<HostSlot::FirstItem, &ItemInfo::first>::Call,
                      Recorded<HostSlot::NextItem, &ItemInfo::next>::Call,
                      Recorded<HostSlot::FirstChild, &ItemInfo::firstChild>::Call,
                      Recorded<HostSlot::NextChild, &ItemInfo::nextChild>::Call,
                      Recorded<HostSlot::Parent, &ItemInfo::parent>::Call,
                      r.items->slot5,
                      r.items->slot6,
                      r.items->slot7,
                      Recorded<HostSlot::Name, &ItemInfo::name>::Call};
      return &r.proxyItems;
    case kInterface:
      r.interfaceInfo = static_cast<const InterfaceInfo*>(record);
      r.proxyInterface = {r.interfaceInfo->slot0, r.interfaceInfo->selectedItems,
                          Recorded<HostSlot::ItemFlags, &InterfaceInfo::itemFlags>::Call};
      return &r.proxyInterface;
    case kObjects:
      r.objects = static_cast<const ObjectInfo*>(record);
      r.proxyObjects = {Recorded<HostSlot::FileName, &ObjectInfo::fileName>::Call,
                        Recorded<HostSlot::PointCount, &ObjectInfo::pointCount>::Call};
      return &r.proxyObjects;
    case kMessages:
      r.messages = static_cast<const MessageFuncs*>(record);
      r.proxyMessages = {RecordMessage};
      return &r.proxyMessages;
    case kOther: break;
  }
  return record;  // the panel's services are not part of the floor
}

int RecordingActivation(int version, ServiceLookup lookup, void* local, void* serverData) {
  g_recorder.lookup = lookup;
  g_recorder.local = static_cast<const LayoutGeneric*>(local);
  g_recorder.proxyLocal = *g_recorder.local;
  g_recorder.proxyLocal.evaluate = RecordEvaluate;
  return g_recorder.target(version, RecordLookup, &g_recorder.proxyLocal, serverData);
}

// ---- replay --------------------------------------------------------------------

// Zero, but computed from the value: an argument plus this cannot be formed
// before the value is known.
ItemId After(ItemId value) {
  ItemId copy = value;
  asm volatile("" : "+r"(copy));
  return copy ^ value;
}

ItemId AsValue(const void* pointer) { return reinterpret_cast<ItemId>(pointer); }

// A name or file name the module must look into: the replay reads it to its
// end, as a search for a byte in it or a match against it may, so the floor
// pays for the text's trip from memory; what the module makes of the bytes
// stays its own cost.
ItemId ReadText(const char* text) {
  if (text == nullptr) return 0;
  return AsValue(text) + After(std::strlen(text));
}

CallTrace* g_replay = nullptr;

// The records the replay reaches the host through, as its lookups found
// them; a record the host refused is never called, since the module made no
// call through it either.
struct ReplayRecords {
  const ItemInfo* items = nullptr;
  const InterfaceInfo* interfaceInfo = nullptr;
  const ObjectInfo* objects = nullptr;
  const MessageFuncs* messages = nullptr;

  void Found(int service, void* record) {
    if (service == kItems) items = static_cast<const ItemInfo*>(record);
    if (service == kInterface) interfaceInfo = static_cast<const InterfaceInfo*>(record);
    if (service == kObjects) objects = static_cast<const ObjectInfo*>(record);
    if (service == kMessages) messages = static_cast<const MessageFuncs*>(record);
  }
};

// A recorded call into the item, interface or object record, made again.
ItemId ReplayRecordCall(const HostCall& call, ItemId first, ItemId second, const ReplayRecords& records) {
  const ItemInfo* items = records.items;
  switch (call.slot) {
    case HostSlot::FirstItem: return items != nullptr ? items->first(call.kind, first) : 0;
    case HostSlot::NextItem: return items != nullptr ? items->next(first) : 0;
    case HostSlot::FirstChild: return items != nullptr ? items->firstChild(first) : 0;
    case HostSlot::NextChild: return items != nullptr ? items->nextChild(first, second) : 0;
    case HostSlot::Parent: return items != nullptr ? items->parent(first) : 0;
    case HostSlot::Name: return items != nullptr ? ReadText(items->name(first)) : 0;
    case HostSlot::ItemFlags: return records.interfaceInfo != nullptr ? records.interfaceInfo->itemFlags(first) : 0;
    case HostSlot::FileName: return records.objects != nullptr ? ReadText(records.objects->fileName(first)) : 0;
    case HostSlot::PointCount:
      return records.objects != nullptr ? static_cast<ItemId>(records.objects->pointCount(first)) : 0;
    default: return 0;
  }
}

int ReplayActivation(int /*version*/, ServiceLookup lookup, void* local, void* /*serverData*/) {
  CallTrace& trace = *g_replay;
  const auto* generic = static_cast<const LayoutGeneric*>(local);
  ReplayRecords records;
  ItemId* answers = trace.answers.data();
  for (std::size_t index = 0; index < trace.calls.size(); ++index) {
    const HostCall& call = trace.calls[index];
    const ItemId first = call.first + After(answers[call.firstFrom]);
    const ItemId second = call.second + After(answers[call.secondFrom]);
    ItemId answer = 0;
    if (call.slot == HostSlot::Lookup) {
      records.Found(call.kind, lookup(trace.texts[call.text].data(), 0));
    } else if (call.slot == HostSlot::Message) {
      if (records.messages != nullptr) records.messages->info(trace.texts[call.text].data(), nullptr);
    } else if (call.slot == HostSlot::Evaluate) {
      // The line is composed once the item it names is known.
      answer = static_cast<ItemId>(
          generic->evaluate(generic->context, trace.texts[call.text].data() + After(answers[call.firstFrom])));
    } else {
      answer = ReplayRecordCall(call, first, second, records);
    }
    answers[index + 1] = answer;
  }
  return trace.result;
}

}  // namespace

std::uint64_t ItemsVisited(const CallCounts& calls) {
  return calls.itemInfo[0] + calls.itemInfo[1] + calls.itemInfo[2] + calls.itemInfo[3] + calls.itemInfo[4];
}

bool SameCalls(const CallCounts& a, const CallCounts& b) {
  for (std::size_t slot = 0; slot < std::size(a.itemInfo); ++slot)
    if (a.itemInfo[slot] != b.itemInfo[slot]) return false;
  return a.itemFlags == b.itemFlags && a.objectInfo[0] == b.objectInfo[0] && a.objectInfo[1] == b.objectInfo[1] &&
         a.messages == b.messages && a.evaluate == b.evaluate && a.lookups == b.lookups;
}

double TimeActivation(Host& host, ActivateFunc activate, RunResult* result) {
  ClockOverhead();  // measured once, before any run
  g_timedTarget = activate;
  g_elapsedSeconds = 0;
  RunResult run = host.Run(TimedActivation);
  if (result != nullptr) *result = std::move(run);
  return g_elapsedSeconds;
}

CallTrace RecordCalls(Host& host, ActivateFunc activate, std::size_t maxCalls) {
  CallTrace trace;
  g_recorder = Recorder();
  g_recorder.target = activate;
  g_recorder.trace = &trace;
  g_recorder.maxCalls = maxCalls;
  trace.result = host.Run(RecordingActivation).code;
  g_recorder = Recorder();
  // Taken now, so the replay's timing never pays for fresh pages.
  trace.answers.assign(trace.calls.size() + 1, 0);
  return trace;
}

double ReplayCalls(Host& host, CallTrace& trace) {
  g_replay = &trace;
  const double seconds = TimeActivation(host, ReplayActivation);
  g_replay = nullptr;
  return seconds;
}

Floor RecordFloor(Host& host, ActivateFunc activate, const CallCounts& planned, std::size_t maxCalls,
                  const std::function<void()>& reset) {
  Floor floor;
  reset();
  host.ResetCalls();
  floor.trace = RecordCalls(host, activate, maxCalls);
  if (!floor.trace.complete) {
    floor.problem = "more than " + Grouped(maxCalls) + " host calls, too many to record";
  } else if (!SameCalls(host.calls(), planned)) {
    floor.problem = "recording its calls changed what it did";
  } else {
    const std::vector<std::uint32_t> selected = host.selection();
    reset();
    host.ResetCalls();
    ReplayCalls(host, floor.trace);
    if (!SameCalls(host.calls(), planned) || host.selection() != selected)
      floor.problem = "the replay of its calls made other calls or left another selection";
  }
  return floor;
}

}  // namespace hostsim
