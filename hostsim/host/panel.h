// The emulated "LWPanelServices": panels and their controls as the module
// builds them, and a scripted user who meets the panel when it opens.
//
// Like the rest of the host it is strict: a handle it never gave out, a code
// it does not know, a value of the wrong type or a call out of place (a
// control added to an open panel, a close outside open, a panel left alive
// at the end of a command) is a protocol error.
#ifndef QZ_HOSTSIM_PANEL_H
#define QZ_HOSTSIM_PANEL_H

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/panel_records.h"
#include "hostsim/host/protocol.h"

namespace hostsim {

// One thing the user does while the panel is open.
struct UserStep {
  // Choose: a click on an item of the panel's choice, which sets it without
  // the key handler. Confirm and Dismiss: OK and Cancel, ending the steps.
  enum class Action { Type, Key, Choose, Confirm, Dismiss };
  Action action = Action::Key;
  std::string text;       // Type: the focused field then holds exactly this
  std::uint32_t key = 0;  // Key: the code handed to the panel's key handler
  // Key: skipped when the panel's choice already shows this item, as a user
  // who sees the right kind leaves it alone.
  std::optional<std::int32_t> unlessChosen;
  std::int32_t item = 0;  // Choose: the item clicked, 0 for the first
};

struct PanelRecord;

// A person at the panel rather than a script: shown the panel as it stands
// (and, after a key, whether the key handler took it), they answer with the
// next step. Asked again after each step until they confirm or dismiss or
// the module closes the panel.
using LiveUser = std::function<UserStep(const PanelRecord& panel, std::optional<bool> keyHandled)>;

// The keys a person names by a word rather than by their character or code.
struct NamedKey {
  std::uint32_t key;
  const char* name;  // "tab", "enter"
};
extern const NamedKey kNamedKeys[2];

// A key as a person names it: "4", "tab", "enter"; others by their code with
// at least `digits` hex digits, "0x1B".
std::string KeyLabel(std::uint32_t key, int digits = 1);

// The user every panel of the host meets: the steps in order, then OK or
// Cancel. A key handler that closes the panel ends the steps early.
struct PanelUser {
  std::vector<UserStep> steps;
  bool confirms = false;
  LiveUser live;  // when set, asked for each step instead of playing `steps`

  PanelUser& Types(std::string text);
  PanelUser& Presses(std::uint32_t key);
  PanelUser& PressesToChoose(std::uint32_t key, std::int32_t item);
  PanelUser& Confirms();
  PanelUser& Dismisses();
};

struct PanelFaults {
  bool createFails = false;
  std::string failingControl;                  // adding a control of this type name gives null
  bool unterminatedText = false;               // text read back fills the whole capacity, no terminator
  std::optional<std::int32_t> choiceReadBack;  // what a choice reads back, whatever was chosen
  bool nullHandlerData = false;                // the open, key and draw handlers get null user data
};

// A control as the module built it; values are rendered as in the trace.
struct ControlRecord {
  std::string typeName;
  std::string label;
  std::map<int, std::int64_t> descriptor;  // byte offset -> value, for the words this type reads
  std::vector<std::string> items;          // choice item texts
  std::map<int, std::string> attributes;   // code -> last value set
  std::int32_t choice = 0;                 // the chosen item
  std::string text;                        // the field's text
};

struct PanelRecord {
  std::string title;
  std::vector<ControlRecord> controls;
  std::map<int, std::string> attributes;  // panel code -> last value set
  // Every call the module made on the panel and everything the user did, in
  // order: "BorderControl 0 = -5", "panel 2 = 240", "open 3", "key 0x33", ...
  std::vector<std::string> trace;
  std::vector<ControlRecord> shown;  // the controls as the user first saw them
  // What the user did, for people to read: "pressed 4", "typed \"Arm*\"",
  // "confirmed"; a key the handler declined ends in " (not handled)".
  std::vector<std::string> userActions;
  std::optional<int> openResult;
  void* lookupAtOpen = nullptr;    // slot 12 of the services record
  void* userDataAtOpen = nullptr;  // slot 11
  bool destroyed = false;
};

class PanelHost {
 public:
  // `errors` takes what the panel services find out of place.
  explicit PanelHost(ProtocolErrors& errors);
  ~PanelHost();
  PanelHost(const PanelHost&) = delete;
  PanelHost& operator=(const PanelHost&) = delete;

  PanelServices* record() { return &record_; }
  PanelUser& user() { return user_; }
  PanelFaults& faults() { return faults_; }

  // Every panel created on this host, in order of creation.
  std::vector<const PanelRecord*> panels() const;
  // The panel created last; null when none was.
  const PanelRecord* last() const;
  // Calls of create, failed ones included.
  int createCalls() const { return createCalls_; }

  // Off for benchmarks: a run's panels are then dropped when it ends.
  void SetKeepPanels(bool keep) { keepPanels_ = keep; }

  // Called by the host around each activation: the record functions reach
  // the panel host of the command running, and none other.
  void BeginRun();
  void EndRun();
  static PanelHost& Running(const char* what);  // aborts with no command running

  // ---- used by the record functions -----------------------------------
  PanelId Create(const char* title, void* data);
  void Destroy(PanelId handle);
  int Open(PanelId handle, int flags);
  void Close(PanelId handle);
  void SetPanel(PanelId handle, int code, void* value);
  PanelControl* AddControl(PanelId handle, const char* typeName, const ControlDescriptor* descriptor,
                           const char* label);
  void Draw(PanelControl* record, int drawMode);
  void GetControl(PanelControl* record, int code, ControlValue* value);
  void SetControl(PanelControl* record, int code, const ControlValue* value);

  struct Panel;
  struct Control;

 private:
  Panel* Find(PanelId handle, const char* what);
  Control* Find(PanelControl* record, const char* what);
  void Error(const std::string& error);
  // Whether the user confirmed the panel, as far as the module left it open.
  bool PlayUser(Panel& panel);
  // False once the step confirms or dismisses the panel, as `confirms` says.
  bool PlayStep(Panel& panel, const UserStep& step, bool& confirms, std::optional<bool>& keyHandled);

  ProtocolErrors& errors_;
  PanelServices record_{};
  PanelUser user_;
  PanelFaults faults_;
  int createCalls_ = 0;
  bool keepPanels_ = true;
  // Kept for the host's lifetime, so a stale handle is caught, never followed.
  std::vector<std::unique_ptr<Panel>> panels_;
  std::unordered_map<const void*, Panel*> panelByHandle_;
  std::unordered_map<const PanelControl*, Control*> controlByRecord_;
  std::vector<Panel*> createdThisRun_;  // what the end of a run checks, whatever came before
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_PANEL_H
