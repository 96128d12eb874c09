#include "hostsim/host/panel.h"

#include <algorithm>
#include <cstring>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// How the host itself asks a control with a drawing callback to draw; not
// the mode the module passes to the draw slot, so a test can tell them apart.
constexpr int kHostDrawMode = 1;
constexpr int kKnownOpenFlags = 0x3;
constexpr std::size_t kMaxChoiceItems = 64;

enum class ValueKind { Integer, Text, Function, Pointer, IntegerPointer };

struct AttributeCode {
  int code;
  ValueKind kind;
  bool readable;
};

// What the host knows of each control type: its type code, the descriptor
// words it reads (byte 0, the type code, always), and its attribute codes.
struct ControlType {
  const char* name;
  std::int32_t typeCode;
  std::vector<int> words;
  bool readsItems;  // the item list at byte 8
  std::vector<AttributeCode> codes;
};

// Every control takes its position.
const AttributeCode kPositionCodes[] = {{kControlX, ValueKind::Integer, false}, {kControlY, ValueKind::Integer, false}};

const ControlType kControlTypes[] = {
    {kChoiceControlName, kChoiceControlType, {16}, true, {{kControlValue, ValueKind::Integer, true}}},
    {kEditControlName,
     kEditControlType,
     {4},
     false,
     {{kControlValue, ValueKind::Text, true}, {kControlActivate, ValueKind::Integer, false}}},
    {kBorderControlName,
     kBorderControlType,
     {4, 8},
     false,
     {{kControlDrawFunc, ValueKind::Function, false}, {kControlUserData, ValueKind::Pointer, false}}},
};

const AttributeCode kPanelCodes[] = {
    {kPanelX, ValueKind::IntegerPointer, false},     {kPanelY, ValueKind::IntegerPointer, false},
    {kPanelWidth, ValueKind::IntegerPointer, false}, {kPanelHeight, ValueKind::IntegerPointer, false},
    {kPanelOpenFunc, ValueKind::Function, false},    {kPanelUserData, ValueKind::Pointer, false},
    {kPanelKeyFunc, ValueKind::Function, false},
};

const ControlType* FindControlType(const char* name) {
  for (const ControlType& type : kControlTypes) {
    if (std::strcmp(type.name, name) == 0) return &type;
  }
  return nullptr;
}

template <typename Codes>
const AttributeCode* FindCode(const Codes& codes, int code) {
  for (const AttributeCode& known : codes) {
    if (known.code == code) return &known;
  }
  return nullptr;
}

const AttributeCode* FindControlCode(const ControlType& type, int code) {
  const AttributeCode* position = FindCode(kPositionCodes, code);
  return position != nullptr ? position : FindCode(type.codes, code);
}

PanelHost* g_running = nullptr;

std::string KeyName(std::uint32_t key) { return "0x" + Hex(key); }

std::int32_t ReadWord(const ControlDescriptor* descriptor, int offset) {
  std::int32_t word;
  std::memcpy(&word, reinterpret_cast<const char*>(descriptor) + offset, sizeof word);
  return word;
}

PanelHost& Panels(const char* what) { return PanelHost::Running(what); }

// ---- The record functions -------------------------------------------------

PanelId PanelCreate(const char* title, void* data) { return Panels("panel create").Create(title, data); }
void PanelDestroy(PanelId panel) { Panels("panel destroy").Destroy(panel); }
int PanelOpen(PanelId panel, int flags) { return Panels("panel open").Open(panel, flags); }
void PanelClose(PanelId panel) { Panels("panel close").Close(panel); }
void PanelSet(PanelId panel, int code, void* value) { Panels("panel set").SetPanel(panel, code, value); }
PanelControl* PanelAddControl(PanelId panel, const char* typeName, ControlDescriptor* descriptor, const char* label) {
  return Panels("panel add control").AddControl(panel, typeName, descriptor, label);
}
void ControlDraw(PanelControl* control, int drawMode) { Panels("control draw").Draw(control, drawMode); }
void ControlGet(PanelControl* control, int code, ControlValue* value) {
  Panels("control get").GetControl(control, code, value);
}
void ControlSet(PanelControl* control, int code, ControlValue* value) {
  Panels("control set").SetControl(control, code, value);
}

}  // namespace

struct PanelHost::Control {
  PanelControl record{};
  Panel* panel = nullptr;
  std::size_t index = 0;
  const ControlType* type = nullptr;
  ControlDrawFunc drawFunc = nullptr;
  void* userData = nullptr;
};

struct PanelHost::Panel {
  enum class State { Closed, Open, ClosedByModule, Destroyed };
  PanelRecord data;
  State state = State::Closed;
  std::vector<std::unique_ptr<Control>> controls;
  Control* focus = nullptr;
  PanelOpenFunc openFunc = nullptr;
  PanelKeyFunc keyFunc = nullptr;
  void* userData = nullptr;

  ControlRecord& DataOf(const Control& control) { return data.controls[control.index]; }
  void Trace(std::string entry) { data.trace.push_back(std::move(entry)); }
};

const NamedKey kNamedKeys[2] = {{9, "tab"}, {13, "enter"}};

std::string KeyLabel(std::uint32_t key, int digits) {
  if (key > 0x20 && key < 0x7F) return std::string(1, static_cast<char>(key));
  for (const NamedKey& named : kNamedKeys) {
    if (key == named.key) return named.name;
  }
  return "0x" + Hex(key, digits);
}

PanelUser& PanelUser::Types(std::string text) {
  steps.push_back({UserStep::Action::Type, std::move(text), 0, std::nullopt});
  return *this;
}

PanelUser& PanelUser::Presses(std::uint32_t key) {
  steps.push_back({UserStep::Action::Key, "", key, std::nullopt});
  return *this;
}

PanelUser& PanelUser::PressesToChoose(std::uint32_t key, std::int32_t item) {
  steps.push_back({UserStep::Action::Key, "", key, item});
  return *this;
}

PanelUser& PanelUser::Confirms() {
  confirms = true;
  return *this;
}

PanelUser& PanelUser::Dismisses() {
  confirms = false;
  return *this;
}

PanelHost::PanelHost(ProtocolErrors& errors) : errors_(errors) {
  record_.create = PanelCreate;
  record_.destroy = PanelDestroy;
  record_.open = PanelOpen;
  record_.close = PanelClose;
  record_.set = PanelSet;
  record_.addControl = PanelAddControl;
}

PanelHost::~PanelHost() {
  if (g_running == this) g_running = nullptr;
}

PanelHost& PanelHost::Running(const char* what) {
  if (g_running == nullptr) AbortOutsideActivation(what);
  return *g_running;
}

void PanelHost::BeginRun() { g_running = this; }

std::vector<const PanelRecord*> PanelHost::panels() const {
  std::vector<const PanelRecord*> records;
  for (const auto& panel : panels_) records.push_back(&panel->data);
  return records;
}

const PanelRecord* PanelHost::last() const { return panels_.empty() ? nullptr : &panels_.back()->data; }

void PanelHost::Error(const std::string& error) { errors_.ReportProtocolError("panel: " + error); }

void PanelHost::EndRun() {
  g_running = nullptr;
  for (Panel* panel : createdThisRun_) {
    if (panel->state == Panel::State::Destroyed) continue;
    Error(Quoted(panel->data.title) + " was never destroyed");
    panel->state = Panel::State::Destroyed;
    panel->data.destroyed = true;
  }
  if (!keepPanels_) {
    // No handle outlives the run that created it, so nothing can name these again.
    for (Panel* panel : createdThisRun_) {
      for (const auto& control : panel->controls) controlByRecord_.erase(&control->record);
      panelByHandle_.erase(panel);
    }
    panels_.resize(panels_.size() - createdThisRun_.size());
  }
  createdThisRun_.clear();
}

PanelHost::Panel* PanelHost::Find(PanelId handle, const char* what) {
  const auto found = panelByHandle_.find(handle);
  if (found == panelByHandle_.end()) {
    Error(std::string(what) + " of a panel the host never created");
    return nullptr;
  }
  if (found->second->state == Panel::State::Destroyed) {
    Error(std::string(what) + " of " + Quoted(found->second->data.title) + " after it was destroyed");
    return nullptr;
  }
  return found->second;
}

PanelHost::Control* PanelHost::Find(PanelControl* record, const char* what) {
  const auto found = controlByRecord_.find(record);
  if (found == controlByRecord_.end()) {
    Error(std::string(what) + " of a control the host never created");
    return nullptr;
  }
  if (found->second->panel->state == Panel::State::Destroyed) {
    Error(std::string(what) + " of a " + found->second->type->name + " after its panel was destroyed");
    return nullptr;
  }
  return found->second;
}

PanelId PanelHost::Create(const char* title, void* data) {
  if (title == nullptr) {
    Error("create with a null title");
    return nullptr;
  }
  if (data != nullptr) Error("create of " + Quoted(title) + " with data the host does not read");
  ++createCalls_;
  if (faults_.createFails) return nullptr;
  panels_.push_back(std::make_unique<Panel>());
  Panel& panel = *panels_.back();
  panel.data.title = title;
  panel.Trace("create " + Quoted(title));
  panelByHandle_[&panel] = &panel;
  createdThisRun_.push_back(&panel);
  return &panel;
}

void PanelHost::Destroy(PanelId handle) {
  Panel* panel = Find(handle, "destroy");
  if (panel == nullptr) return;
  if (panel->state == Panel::State::Open) Error("destroy of " + Quoted(panel->data.title) + " while it is open");
  panel->Trace("destroy");
  panel->state = Panel::State::Destroyed;
  panel->data.destroyed = true;
}

PanelControl* PanelHost::AddControl(PanelId handle, const char* typeName, const ControlDescriptor* descriptor,
                                    const char* label) {
  Panel* panel = Find(handle, "add control");
  if (panel == nullptr) return nullptr;
  if (panel->state != Panel::State::Closed) {
    Error("add control while " + Quoted(panel->data.title) + " is open");
    return nullptr;
  }
  if (typeName == nullptr || descriptor == nullptr || label == nullptr) {
    Error("add control with a null type name, descriptor or label");
    return nullptr;
  }
  const ControlType* type = FindControlType(typeName);
  if (type == nullptr) {
    Error("add control of unknown type " + Quoted(typeName));
    return nullptr;
  }
  if (descriptor->type != type->typeCode) {
    Error(std::string("add ") + typeName + " with type code " + std::to_string(descriptor->type) + ", expected " +
          std::to_string(type->typeCode));
    return nullptr;
  }
  if (faults_.failingControl == typeName) return nullptr;

  ControlRecord data;
  data.typeName = typeName;
  data.label = label;
  data.descriptor[0] = descriptor->type;
  for (const int offset : type->words) data.descriptor[offset] = ReadWord(descriptor, offset);
  if (type->readsItems) {
    const char* const* items = descriptor->at8.items;
    for (std::size_t index = 0; items != nullptr && items[index] != nullptr; ++index) {
      if (index == kMaxChoiceItems) {
        Error(std::string("add ") + typeName + " with an item list that never ends");
        return nullptr;
      }
      data.items.emplace_back(items[index]);
    }
    if (data.items.empty()) {
      Error(std::string("add ") + typeName + " without items");
      return nullptr;
    }
  }

  auto control = std::make_unique<Control>();
  control->record = {ControlDraw, ControlGet, ControlSet};
  control->panel = panel;
  control->index = panel->data.controls.size();
  control->type = type;
  panel->data.controls.push_back(std::move(data));
  panel->Trace(std::string("add ") + typeName);
  controlByRecord_[&control->record] = control.get();
  panel->controls.push_back(std::move(control));
  return &panel->controls.back()->record;
}

void PanelHost::SetControl(PanelControl* record, int code, const ControlValue* value) {
  Control* control = Find(record, "set");
  if (control == nullptr) return;
  Panel& panel = *control->panel;
  ControlRecord& data = panel.DataOf(*control);
  const std::string where = data.typeName + " " + std::to_string(code);
  const AttributeCode* known = FindControlCode(*control->type, code);
  if (known == nullptr) return Error("set of unknown attribute " + where);
  if (value == nullptr) return Error("set " + where + " with no value");

  std::string shown;
  switch (known->kind) {
    case ValueKind::Integer:
      if (value->type != kIntegerValue) return Error("set " + where + " with a value that is not an integer");
      if (code == kControlValue &&
          (value->integer < 0 || static_cast<std::size_t>(value->integer) >= data.items.size()))
        return Error("set " + where + " to " + std::to_string(value->integer) + ", which is not an item");
      if (code == kControlValue) data.choice = value->integer;
      if (code == kControlActivate) panel.focus = control;
      shown = std::to_string(value->integer);
      break;
    case ValueKind::Text: {
      const auto* buffer = static_cast<const char*>(value->pointer);
      if (value->type != kTextValue || buffer == nullptr || value->capacity <= 0)
        return Error("set " + where + " with a value that is not a text buffer");
      const std::size_t capacity = static_cast<std::size_t>(value->capacity);
      const std::size_t length = strnlen(buffer, capacity);
      if (length == capacity) return Error("set " + where + " with a text not terminated within its capacity");
      data.text.assign(buffer, length);
      shown = Quoted(data.text) + " [" + std::to_string(capacity) + "]";
      break;
    }
    case ValueKind::Function:
      control->drawFunc = reinterpret_cast<ControlDrawFunc>(value->pointer);
      shown = control->drawFunc == nullptr ? "none" : "draw callback";
      break;
    default: {
      control->userData = value->pointer;
      const auto target = controlByRecord_.find(static_cast<PanelControl*>(value->pointer));
      const bool ownControl = target != controlByRecord_.end() && target->second->panel == &panel;
      shown = ownControl ? target->second->type->name : value->pointer == nullptr ? "null" : "pointer";
      break;
    }
  }
  data.attributes[code] = shown;
  panel.Trace(where + " = " + shown);
}

void PanelHost::GetControl(PanelControl* record, int code, ControlValue* value) {
  Control* control = Find(record, "get");
  if (control == nullptr) return;
  Panel& panel = *control->panel;
  const ControlRecord& data = panel.DataOf(*control);
  const std::string where = data.typeName + " " + std::to_string(code);
  const AttributeCode* known = FindControlCode(*control->type, code);
  if (known == nullptr || !known->readable) return Error("get of unknown attribute " + where);
  if (value == nullptr) return Error("get " + where + " with no value");

  if (known->kind == ValueKind::Integer) {
    if (value->type != kIntegerValue) return Error("get " + where + " into a value that is not an integer");
    value->integer = faults_.choiceReadBack.value_or(data.choice);
    panel.Trace("get " + where + " -> " + std::to_string(value->integer));
    return;
  }
  auto* buffer = static_cast<char*>(value->pointer);
  if (value->type != kTextValue || buffer == nullptr || value->capacity <= 0)
    return Error("get " + where + " into a value that is not a text buffer");
  const std::size_t capacity = static_cast<std::size_t>(value->capacity);
  // The faulty host copies as strncpy does: a text that fills the buffer
  // leaves no room for, and gets no, terminator.
  const std::size_t room = faults_.unterminatedText ? capacity : capacity - 1;
  const std::size_t length = std::min(data.text.size(), room);
  std::memcpy(buffer, data.text.data(), length);
  if (length < capacity) buffer[length] = '\0';
  panel.Trace("get " + where + " -> " + Quoted(data.text.substr(0, length)) + " [" + std::to_string(capacity) + "]");
}

void PanelHost::SetPanel(PanelId handle, int code, void* value) {
  Panel* panel = Find(handle, "set");
  if (panel == nullptr) return;
  const std::string where = "panel " + std::to_string(code);
  const AttributeCode* known = FindCode(kPanelCodes, code);
  if (known == nullptr) return Error("set of unknown attribute " + where);

  std::string shown;
  switch (known->kind) {
    case ValueKind::IntegerPointer: {
      if (value == nullptr) return Error("set " + where + " with a null pointer to its value");
      std::int32_t integer;
      std::memcpy(&integer, value, sizeof integer);
      shown = std::to_string(integer);
      break;
    }
    case ValueKind::Function:
      if (code == kPanelKeyFunc) {
        panel->keyFunc = reinterpret_cast<PanelKeyFunc>(value);
        shown = value == nullptr ? "none" : "key handler";
      } else {
        panel->openFunc = reinterpret_cast<PanelOpenFunc>(value);
        shown = value == nullptr ? "none" : "open handler";
      }
      break;
    default:
      panel->userData = value;
      shown = value == &record_ ? "services record" : value == nullptr ? "null" : "pointer";
      break;
  }
  panel->data.attributes[code] = shown;
  panel->Trace(where + " = " + shown);
}

int PanelHost::Open(PanelId handle, int flags) {
  Panel* panel = Find(handle, "open");
  if (panel == nullptr) return 0;
  if (panel->state != Panel::State::Closed) {
    Error("open of " + Quoted(panel->data.title) + " while it is open");
    return 0;
  }
  if ((flags & ~kKnownOpenFlags) != 0) Error("open with unknown flags " + std::to_string(flags));
  panel->Trace("open " + std::to_string(flags));
  panel->data.lookupAtOpen = reinterpret_cast<void*>(record_.lookup);
  panel->data.userDataAtOpen = record_.userData;
  panel->state = Panel::State::Open;

  if (panel->openFunc != nullptr) {
    panel->Trace("open handler");
    panel->openFunc(panel, faults_.nullHandlerData ? nullptr : panel->userData);
  }
  // Index, not iterator: nothing may add controls now, but a callback that
  // tried would otherwise invalidate the walk.
  for (std::size_t index = 0; index < panel->controls.size(); ++index) {
    Control& control = *panel->controls[index];
    if (control.drawFunc == nullptr) continue;
    panel->Trace("draw callback " + panel->DataOf(control).typeName);
    control.drawFunc(&control.record, faults_.nullHandlerData ? nullptr : control.userData, kHostDrawMode);
  }
  panel->data.shown = panel->data.controls;
  const bool confirms = PlayUser(*panel);

  int result = 0;
  if (panel->state == Panel::State::ClosedByModule) {
    result = 1;  // closing from a key handler is this host's OK
  } else {
    panel->Trace(confirms ? "confirm" : "dismiss");
    panel->data.userActions.push_back(confirms ? "confirmed" : "dismissed");
    result = confirms ? 1 : 0;
  }
  panel->state = Panel::State::Closed;
  panel->data.openResult = result;
  panel->Trace("open returned " + std::to_string(result));
  return result;
}

namespace {

bool ChoiceShows(PanelHost::Panel& panel, std::int32_t item) {
  for (const ControlRecord& control : panel.data.controls) {
    if (control.typeName == kChoiceControlName) return control.choice == item;
  }
  return false;
}

}  // namespace

bool PanelHost::PlayUser(Panel& panel) {
  bool confirms = user_.confirms;
  std::optional<bool> keyHandled;
  if (user_.live) {
    while (panel.state == Panel::State::Open &&
           PlayStep(panel, user_.live(panel.data, keyHandled), confirms, keyHandled)) {
    }
    return confirms;
  }
  for (const UserStep& step : user_.steps) {
    if (panel.state != Panel::State::Open || !PlayStep(panel, step, confirms, keyHandled)) break;
  }
  return confirms;
}

bool PanelHost::PlayStep(Panel& panel, const UserStep& step, bool& confirms, std::optional<bool>& keyHandled) {
  keyHandled.reset();
  switch (step.action) {
    case UserStep::Action::Confirm:
    case UserStep::Action::Dismiss: confirms = step.action == UserStep::Action::Confirm; return false;
    case UserStep::Action::Type:
      if (panel.focus == nullptr) {
        panel.Trace("type " + Quoted(step.text) + " (no field has focus)");
        panel.data.userActions.push_back("typed " + Quoted(step.text) + " (no field had focus)");
        return true;
      }
      panel.DataOf(*panel.focus).text = step.text;
      panel.Trace("type " + Quoted(step.text));
      panel.data.userActions.push_back("typed " + Quoted(step.text));
      return true;
    case UserStep::Action::Choose: {
      const std::string choose = "choose " + std::to_string(step.item);
      for (ControlRecord& control : panel.data.controls) {
        if (control.typeName != kChoiceControlName) continue;
        if (step.item < 0 || static_cast<std::size_t>(step.item) >= control.items.size()) break;
        control.choice = step.item;
        panel.Trace(choose);
        panel.data.userActions.push_back("chose " +
                                         Quoted(Trimmed(control.items[static_cast<std::size_t>(step.item)], " ")));
        return true;
      }
      panel.Trace(choose + " (no such item)");
      panel.data.userActions.push_back("chose item " + std::to_string(step.item) + " (no such item)");
      return true;
    }
    case UserStep::Action::Key: break;
  }
  const std::string key = "key " + KeyName(step.key);
  if (step.unlessChosen && ChoiceShows(panel, *step.unlessChosen)) {
    panel.Trace(key + " not needed");
    return true;
  }
  const std::string pressed = "pressed " + KeyLabel(step.key);
  if (panel.keyFunc == nullptr) {
    panel.Trace(key + " (no key handler)");
    panel.data.userActions.push_back(pressed + " (not handled)");
    keyHandled = false;
    return true;
  }
  panel.Trace(key);
  const int handled = panel.keyFunc(&panel, faults_.nullHandlerData ? nullptr : panel.userData, step.key);
  panel.Trace(key + " -> " + std::to_string(handled));
  panel.data.userActions.push_back(handled != 0 ? pressed : pressed + " (not handled)");
  keyHandled = handled != 0;
  return true;
}

void PanelHost::Close(PanelId handle) {
  Panel* panel = Find(handle, "close");
  if (panel == nullptr) return;
  if (panel->state != Panel::State::Open) return Error("close of " + Quoted(panel->data.title) + " while not open");
  panel->Trace("close");
  panel->state = Panel::State::ClosedByModule;
}

void PanelHost::Draw(PanelControl* record, int drawMode) {
  Control* control = Find(record, "draw");
  if (control == nullptr) return;
  Panel& panel = *control->panel;
  const std::string& name = panel.DataOf(*control).typeName;
  if (panel.state != Panel::State::Open) return Error("draw of " + name + " while its panel is not open");
  if (drawMode != kDrawNormal) return Error("draw of " + name + " in unknown mode " + std::to_string(drawMode));
  // Drawing never calls the control's callback: the callback may draw.
  panel.Trace("draw " + name + " " + std::to_string(drawMode));
}

}  // namespace hostsim
