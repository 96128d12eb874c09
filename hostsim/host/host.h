// The emulated host: answers the module's service lookups on a Scene, keeps
// the selection, runs command lines, and records everything the module did.
//
// It is strict on purpose. Whatever the module hands back — the host context,
// an item id, a command line — is checked, and the first thing out of place is
// recorded as a protocol error for the test or validator to report.
#ifndef QZ_HOSTSIM_HOST_H
#define QZ_HOSTSIM_HOST_H

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_records.h"
#include "hostsim/host/command_language.h"
#include "hostsim/host/module_library.h"
#include "hostsim/host/panel.h"
#include "hostsim/host/protocol.h"
#include "hostsim/host/selection_list.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

// When the module's lines reach the selection it reads.
enum class UpdateMode {
  Deferred,  // applied after the activation returns
  Live,      // applied at once; the list follows every change (see LiveList)
  Snapshot,  // applied at once, flags live, list refreshed only on lookup
};

// How the live list follows a change. Moving it at every change catches a
// module that keeps an old list pointer, and an exact-size list lets the
// sanitizers see a read past its end; but each move copies the whole list.
// Growing in place, as a host's growable array does, costs O(1) a line, and
// is what benchmarks use so that the host's copying does not stand in for the
// module's own cost. A shrinking list is moved to an exact-size one either way.
enum class LiveList { MovesEveryChange, GrowsInPlace };
const char* UpdateModeName(UpdateMode mode);
std::optional<UpdateMode> ParseUpdateMode(std::string_view text);

struct Faults {
  std::set<std::string> missingServices;
  bool nullNames = false;        // names and file names come back as null
  std::uint64_t idHighBits = 0;  // or'ed into every id handed out, e.g. 0xABCDull << 48
  bool noSelectionList = false;  // the interface record holds a null list, as a host with none to give may
};

struct Message {
  std::string text;
  std::optional<std::string> secondText;
  bool operator==(const Message& other) const { return text == other.text && secondText == other.secondText; }
};

// Calls the module made into each record slot, over the host's lifetime.
struct CallCounts {
  std::uint64_t itemInfo[9] = {};
  std::uint64_t itemFlags = 0;
  std::uint64_t objectInfo[2] = {};
  std::uint64_t messages = 0;
  std::uint64_t evaluate = 0;
  std::uint64_t lookups = 0;
  std::uint64_t Total() const;
};

struct RunResult {
  int code = -1;
  std::vector<std::string> lines;
  // Beside each line: the scene item it names, or 0 for an edit-mode line and
  // one that names nothing of the scene or is not a line at all.
  std::vector<std::uint32_t> lineItems;
  std::vector<std::string> protocolErrors;
  std::vector<Message> messages;
  std::vector<std::string> lookups;  // service names asked for, in order
  // The parent argument of every next-child call, in order: the host may
  // consult it, so a walk must pass the entry the list holds now.
  std::vector<ItemId> nextChildParents;
};

class Host : public ProtocolErrors {
 public:
  explicit Host(Scene scene = Scene());
  ~Host();
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  Scene& scene() { return scene_; }
  const Scene& scene() const { return scene_; }
  void SetUpdateMode(UpdateMode mode) { mode_ = mode; }
  void SetLiveList(LiveList policy) { liveList_ = policy; }
  UpdateMode updateMode() const { return mode_; }
  Faults& faults() { return faults_; }
  // Off for benchmarks: lines and next-child parents are then counted and
  // checked, not kept.
  void SetRecordLines(bool record) { recordLines_ = record; }

  // Replaces the selection; entry 0 first.
  void Select(const std::vector<std::uint32_t>& items);
  std::vector<std::uint32_t> selection() const;
  bool IsSelected(std::uint32_t item) const;
  int editMode() const { return editMode_; }  // -1 until an edit-mode line

  // Activates the module's command with this host's services.
  RunResult Run(const ModuleLibrary& module, std::string_view command);
  RunResult Run(ActivateFunc activate);

  const CallCounts& calls() const { return calls_; }
  void ResetCalls() { calls_ = CallCounts(); }

  void ReportProtocolError(std::string error) override;

  // The emulated "LWPanelServices": its scripted user, faults, and the panels
  // the module built.
  PanelHost& panels() { return *panels_; }
  // The lookup function every activation is handed.
  static ServiceLookup ServiceLookupFunction();

  // The one host that is running a command, for the record functions to reach.
  static Host* Active();

  // ---- used by the record functions -----------------------------------
  ItemId Export(std::size_t index) const;
  // The scene index of an id the module handed back; kNoItem, with a protocol
  // error unless 0 is allowed, when it names nothing.
  std::size_t Import(ItemId item, const char* where, bool zeroAllowed);
  void* Lookup(const char* name);
  void Evaluate(void* context, const char* line);
  void Show(const char* text, const char* secondText);
  void NoteNextChildParent(ItemId parent);
  CallCounts& mutableCalls() { return calls_; }
  bool nullNames() const { return faults_.nullNames; }

 private:
  void Apply(const ParsedLine& line);
  // A fresh list with room for `capacity` entries before the terminator.
  void Publish(std::size_t capacity);
  void Publish() { Publish(selection_.size()); }
  void PublishChange(const ParsedLine& line, std::size_t countBefore);

  Scene scene_;
  UpdateMode mode_ = UpdateMode::Deferred;
  LiveList liveList_ = LiveList::MovesEveryChange;
  Faults faults_;
  bool recordLines_ = true;

  std::vector<std::size_t> selection_;  // scene indices, entry 0 first
  std::vector<char> selected_;          // by scene index
  SelectionList list_;                  // what the interface record hands out
  int editMode_ = -1;

  ItemInfo itemInfo_{};
  InterfaceInfo interfaceInfo_{};
  ObjectInfo objectInfo_{};
  MessageFuncs messageFuncs_{};
  LayoutGeneric local_{};
  std::map<std::string, void*> services_;
  std::unique_ptr<PanelHost> panels_;

  CallCounts calls_;
  RunResult run_;
  std::vector<ParsedLine> deferred_;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_HOST_H
