#include "hostsim/host/host.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

Host* g_active = nullptr;

// The host context the module must hand back unchanged on every evaluate.
char g_contextSentinel;

constexpr int kActivationVersion = 3;

const char kStaleText[] =
    "an entry of a selection list the host had already replaced (the module kept the list "
    "pointer across a change)";

Host& Current(const char* what) {
  Host* host = Host::Active();
  if (host == nullptr) AbortOutsideActivation(what);
  return *host;
}

// ---- "LW Item Info 3" ---------------------------------------------------

ItemId ItemFirst(ItemKind kind, ItemId scope) {
  Host& host = Current("item info first");
  ++host.mutableCalls().itemInfo[0];
  if (kind < 0 || kind > 3) {
    host.ReportProtocolError("first item asked for unknown kind " + std::to_string(kind));
    return 0;
  }
  const Scene& scene = host.scene();
  if (kind != 3) {
    if (scope != 0) host.ReportProtocolError("first item of kind " + std::to_string(kind) + " with a scope");
    return host.Export(scene.FirstOfKind(static_cast<Kind>(kind)));
  }
  const std::size_t object = host.Import(scope, "first bone scope", true);
  if (object == kNoItem) return 0;
  if (scene.At(object).kind != Kind::Object) {
    host.ReportProtocolError("first bone asked of 0x" + Hex(scope) + ", which is not an object");
    return 0;
  }
  return host.Export(scene.At(object).firstBone);
}

// One step along a link of the scene from an item the module handed back;
// 0, with `zeroAllowed`, starts from the root.
ItemId Follow(const char* what, int slot, ItemId item, const char* where, std::size_t Item::*link,
              bool zeroAllowed = false) {
  Host& host = Current(what);
  ++host.mutableCalls().itemInfo[slot];
  const std::size_t index = host.Import(item, where, zeroAllowed);
  if (index == kNoItem && !(zeroAllowed && item == 0)) return 0;
  return host.Export(host.scene().At(index).*link);
}

ItemId ItemNext(ItemId item) { return Follow("item info next", 1, item, "next item", &Item::nextOfKind); }

ItemId ItemFirstChild(ItemId parent) {
  return Follow("item info first child", 2, parent, "first child", &Item::firstChild, true);
}

ItemId ItemNextChild(ItemId parent, ItemId previous) {
  Host& host = Current("item info next child");
  host.Import(parent, "next child parent", true);  // checked and recorded, not consulted
  host.NoteNextChildParent(parent);
  return Follow("item info next child", 3, previous, "next child", &Item::nextSibling);
}

ItemId ItemParent(ItemId item) { return Follow("item info parent", 4, item, "parent", &Item::parent); }

const char* ItemName(ItemId item) {
  Host& host = Current("item info name");
  ++host.mutableCalls().itemInfo[8];
  const std::size_t index = host.Import(item, "name", false);
  if (host.nullNames()) return nullptr;
  return index == kNoItem ? "" : host.scene().At(index).name.c_str();
}

// ---- "LW Interface Info 3" ----------------------------------------------

unsigned ItemFlags(ItemId item) {
  Host& host = Current("interface item flags");
  ++host.mutableCalls().itemFlags;
  const std::size_t index = host.Import(item, "item flags", false);
  if (index == kNoItem) return 0;
  return host.IsSelected(host.scene().At(index).id) ? kItemFlagSelected : 0u;
}

// ---- "LW Object Info 4" -------------------------------------------------

std::size_t ImportObject(Host& host, ItemId object, const char* where) {
  const std::size_t index = host.Import(object, where, false);
  if (index != kNoItem && host.scene().At(index).kind != Kind::Object) {
    host.ReportProtocolError(std::string(where) + " asked of 0x" + Hex(object) + ", which is not an object");
    return kNoItem;
  }
  return index;
}

const char* ObjectFileName(ItemId object) {
  Host& host = Current("object info file name");
  ++host.mutableCalls().objectInfo[0];
  const std::size_t index = ImportObject(host, object, "file name");
  if (host.nullNames()) return nullptr;
  return index == kNoItem ? "" : host.scene().At(index).fileName.c_str();
}

int ObjectPointCount(ItemId object) {
  Host& host = Current("object info point count");
  ++host.mutableCalls().objectInfo[1];
  const std::size_t index = ImportObject(host, object, "point count");
  return index == kNoItem ? 0 : host.scene().At(index).pointCount;
}

// ---- "Info Messages 2" and the local record -------------------------------

void ShowInfo(const char* text, const char* secondText) { Current("info message").Show(text, secondText); }

int EvaluateLine(void* context, const char* line) {
  Current("evaluate").Evaluate(context, line);
  return 1;
}

void* LookupService(const char* name, int useMode) {
  Host& host = Current("the service lookup");
  if (useMode != 0) host.ReportProtocolError("service looked up with use mode " + std::to_string(useMode));
  return host.Lookup(name);
}

}  // namespace

const char* UpdateModeName(UpdateMode mode) {
  const char* const names[] = {"deferred", "live", "snapshot"};
  const auto index = static_cast<std::size_t>(mode);
  return index < std::size(names) ? names[index] : "?";
}

std::optional<UpdateMode> ParseUpdateMode(std::string_view text) {
  for (UpdateMode mode : {UpdateMode::Deferred, UpdateMode::Live, UpdateMode::Snapshot}) {
    if (text == UpdateModeName(mode)) return mode;
  }
  return std::nullopt;
}

std::uint64_t CallCounts::Total() const {
  std::uint64_t total = itemFlags + messages + evaluate + lookups + objectInfo[0] + objectInfo[1];
  for (const std::uint64_t count : itemInfo) total += count;
  return total;
}

Host::Host(Scene scene)
    : scene_(std::move(scene)),
      itemInfo_{ItemFirst, ItemNext, ItemFirstChild, ItemNextChild, ItemParent, nullptr, nullptr, nullptr, ItemName},
      interfaceInfo_{nullptr, nullptr, ItemFlags},
      objectInfo_{ObjectFileName, ObjectPointCount},
      messageFuncs_{ShowInfo},
      local_{nullptr, nullptr, &g_contextSentinel, nullptr, nullptr, EvaluateLine},
      services_{{kItemInfoService, &itemInfo_},
                {kInterfaceInfoService, &interfaceInfo_},
                {kObjectInfoService, &objectInfo_},
                {kMessageService, &messageFuncs_}},
      panels_(std::make_unique<PanelHost>(*this)) {
  services_[kPanelService] = panels_->record();
}

Host::~Host() {
  if (g_active == this) g_active = nullptr;
}

Host* Host::Active() { return g_active; }

ServiceLookup Host::ServiceLookupFunction() { return LookupService; }

void Host::Select(const std::vector<std::uint32_t>& items) {
  selected_.assign(scene_.items().size(), 0);
  selection_.clear();
  for (const std::uint32_t id : items) {
    const std::size_t index = scene_.IndexOf(id);
    if (index == kNoItem) throw SceneError("cannot select 0x" + Hex(id) + ": no such item");
    if (selected_[index]) continue;
    selected_[index] = 1;
    selection_.push_back(index);
  }
}

std::vector<std::uint32_t> Host::selection() const {
  std::vector<std::uint32_t> ids;
  ids.reserve(selection_.size());
  for (const std::size_t index : selection_) ids.push_back(scene_.At(index).id);
  return ids;
}

bool Host::IsSelected(std::uint32_t item) const {
  const std::size_t index = scene_.IndexOf(item);
  return index != kNoItem && index < selected_.size() && selected_[index] != 0;
}

RunResult Host::Run(const ModuleLibrary& module, std::string_view command) {
  const CommandInfo* info = module.Find(command);
  if (info == nullptr) throw std::invalid_argument("the module has no command '" + std::string(command) + "'");
  return Run(info->activate);
}

RunResult Host::Run(ActivateFunc activate) {
  if (g_active != nullptr) throw std::logic_error("a command is already running on a host");
  selected_.resize(scene_.items().size(), 0);
  run_ = RunResult();
  deferred_.clear();
  Publish();
  panels_->BeginRun();
  g_active = this;
  run_.code = activate(kActivationVersion, LookupService, &local_, nullptr);
  g_active = nullptr;
  list_.ForgetReplaced();
  panels_->EndRun();
  for (const ParsedLine& line : deferred_) Apply(line);
  deferred_.clear();
  Publish();
  if (run_.code != 0 && run_.code != 2)
    run_.protocolErrors.push_back("activation returned " + std::to_string(run_.code) + ", expected 0 or 2");
  return std::move(run_);
}

void Host::ReportProtocolError(std::string error) { run_.protocolErrors.push_back(std::move(error)); }

ItemId Host::Export(std::size_t index) const {
  return index == kNoItem ? 0 : (scene_.At(index).id | static_cast<ItemId>(faults_.idHighBits));
}

std::size_t Host::Import(ItemId item, const char* where, bool zeroAllowed) {
  if (item == 0) {
    if (!zeroAllowed) ReportProtocolError(std::string(where) + " asked of item 0");
    return kNoItem;
  }
  if (item == kStaleEntry) {
    ReportProtocolError(std::string(where) + " asked of " + kStaleText);
    return kNoItem;
  }
  const std::uint64_t highBits = static_cast<std::uint64_t>(item) & ~std::uint64_t{0xFFFFFFFFu};
  if (highBits != faults_.idHighBits) {
    ReportProtocolError(std::string(where) + " asked of 0x" + Hex(item) + ", an id the host never handed out");
  }
  const std::size_t index = scene_.IndexOf(static_cast<std::uint32_t>(item));
  if (index == kNoItem) ReportProtocolError(std::string(where) + " asked of unknown item 0x" + Hex(item));
  return index;
}

void* Host::Lookup(const char* name) {
  ++calls_.lookups;
  if (name == nullptr) {
    ReportProtocolError("service looked up with a null name");
    return nullptr;
  }
  run_.lookups.emplace_back(name);
  if (faults_.missingServices.count(name) != 0) return nullptr;
  const auto found = services_.find(name);
  if (found == services_.end()) return nullptr;
  // This host hands out a fresh list only when the module asks for the record.
  if (found->second == &interfaceInfo_ && mode_ == UpdateMode::Snapshot) Publish();
  if (found->second == &interfaceInfo_ && faults_.noSelectionList) interfaceInfo_.selectedItems = nullptr;
  return found->second;
}

void Host::Evaluate(void* context, const char* line) {
  ++calls_.evaluate;
  if (context != local_.context) ReportProtocolError("evaluate called with a host context it was never given");
  if (line == nullptr) {
    ReportProtocolError("evaluate called with a null line");
    return;
  }
  const std::size_t length = strnlen(line, kMaxCommandLineLength + 1);
  const std::string_view text(line, length);
  const ParsedLine parsed = ParseCommandLine(text);
  if (recordLines_) {
    run_.lines.emplace_back(text);
    const bool names = parsed.valid && !IsEditMode(parsed.verb) && scene_.Contains(parsed.item);
    run_.lineItems.push_back(names ? parsed.item : 0);
  }
  if (!parsed.valid) {
    ReportProtocolError("line '" + std::string(text) + "': " + parsed.error);
    return;
  }
  if (!IsEditMode(parsed.verb) && parsed.item == kStaleLow) {
    ReportProtocolError("line '" + std::string(text) + "' names " + kStaleText);
    return;
  }
  if (!IsEditMode(parsed.verb) && !scene_.Contains(parsed.item)) {
    ReportProtocolError("line '" + std::string(text) + "' names no item of the scene");
    return;
  }
  if (mode_ == UpdateMode::Deferred) {
    deferred_.push_back(parsed);
    return;
  }
  const std::size_t countBefore = selection_.size();
  Apply(parsed);
  if (mode_ == UpdateMode::Live) PublishChange(parsed, countBefore);
}

void Host::Show(const char* text, const char* secondText) {
  ++calls_.messages;
  if (text == nullptr) {
    ReportProtocolError("message shown with a null text");
    return;
  }
  Message message{text, std::nullopt};
  if (secondText != nullptr) message.secondText = secondText;
  run_.messages.push_back(std::move(message));
}

void Host::NoteNextChildParent(ItemId parent) {
  if (recordLines_) run_.nextChildParents.push_back(parent);
}

void Host::Apply(const ParsedLine& line) {
  if (IsEditMode(line.verb)) {
    editMode_ = EditModeKind(line.verb);
    return;
  }
  const std::size_t index = scene_.IndexOf(line.item);
  switch (line.verb) {
    case Verb::SelectItem:
      for (const std::size_t old : selection_) selected_[old] = 0;
      selection_.assign(1, index);
      selected_[index] = 1;
      break;
    case Verb::AddToSelection:
      if (!selected_[index]) {
        selected_[index] = 1;
        selection_.push_back(index);
      }
      break;
    case Verb::RemoveFromSelection:
      if (selected_[index]) {
        selected_[index] = 0;
        selection_.erase(std::find(selection_.begin(), selection_.end(), index));
      }
      break;
    default: break;
  }
}

void Host::PublishChange(const ParsedLine& line, std::size_t countBefore) {
  if (liveList_ == LiveList::MovesEveryChange) {
    Publish();
    return;
  }
  const std::size_t count = selection_.size();
  if (count == countBefore && line.verb != Verb::SelectItem) return;  // nothing the list shows changed
  if (line.verb == Verb::AddToSelection && count <= list_.capacity()) return list_.Append(Export(selection_.back()));
  Publish(line.verb == Verb::AddToSelection ? 2 * count : count);
}

void Host::Publish(std::size_t capacity) {
  list_.Replace(selection_.size(), capacity, g_active == this,
                [this](std::size_t entry) { return Export(selection_[entry]); });
  interfaceInfo_.selectedItems = list_.entries();
}

}  // namespace hostsim
