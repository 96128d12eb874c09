// Any scene, selection, update mode and host fault, and any command of the
// real module: the command must end, answer 0 or 2, and send only lines the
// module may send, each naming an item that exists and may be reached.
//
// The input is read with FuzzedDataProvider: every run builds a fresh host, so
// a failing input replays alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "host/host_records.h"
#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/scene/item_ids.h"

namespace {

using hostsim::Host;
using hostsim::Kind;

constexpr int kMaxItems = 40;

// How a command may name items, and which lines it may send.
enum class Reach {
  Hierarchy,       // found through parents and children: reference kind only
  HierarchyRoots,  // the same, but a root may be any selected item
  SceneWide,       // objects only; the first object may not qualify
  ByName,          // items of the kind of the edit-mode line before them
};

enum class Selects { Never, FixedDigits, Printf };  // the form of a first "SelectItem" line

struct Rule {
  const char* command;
  const char* startServices[2];
  Reach reach;
  Selects selects;
};

const Rule kRules[] = {
    {"QZ_Sel_Child", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::FixedDigits},
    {"QZ_Sel_Parent", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::Printf},
    {"QZ_Sel_Descendant", {kInterfaceInfoService, kItemInfoService}, Reach::Hierarchy, Selects::Never},
    {"QZ_Sel_Hierarchy", {kInterfaceInfoService, kItemInfoService}, Reach::HierarchyRoots, Selects::Printf},
    {"QZ_Sel_Sibling", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::Never},
    {"QZ_Sel_Throwback", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::Never},
    {"QZ_Sel_AllNulls", {kObjectInfoService, kItemInfoService}, Reach::SceneWide, Selects::Printf},
    {"QZ_Sel_AllObjects", {kObjectInfoService, kItemInfoService}, Reach::SceneWide, Selects::Printf},
    {"QZ_Add_Child", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::Never},
    {"QZ_Add_Parent", {kItemInfoService, kInterfaceInfoService}, Reach::Hierarchy, Selects::Never},
    {"QZ_Sel_ByName", {kItemInfoService, kMessageService}, Reach::ByName, Selects::FixedDigits},
};

const char* const kServices[] = {kItemInfoService, kInterfaceInfoService, kObjectInfoService, kMessageService,
                                 kPanelService};

const hostsim::ModuleLibrary& Module() { return hostsim::ProgramModule("command_runner_fuzz"); }

// ---- the case --------------------------------------------------------------------

struct Case {
  const Rule* rule = nullptr;
  hostsim::Scene scene;
  std::vector<std::uint32_t> selection;
  // The by-name command's panel: what the user types and presses, and how the
  // host's panel services misbehave.
  std::string pattern;
  std::uint32_t kindKey = '1';
  std::uint32_t extraKey = 0;  // 0: none
  bool confirms = true;
  hostsim::PanelFaults panelFaults;
  hostsim::UpdateMode mode = hostsim::UpdateMode::Deferred;
  hostsim::Faults faults;
};

std::uint32_t PickItem(FuzzedDataProvider& input, const hostsim::Scene& scene) {
  const std::size_t index = input.ConsumeIntegralInRange<std::size_t>(1, scene.size());
  return scene.At(index).id;
}

void AddItem(FuzzedDataProvider& input, hostsim::Scene& scene) {
  hostsim::ItemSpec spec;
  spec.kind = static_cast<Kind>(input.ConsumeIntegralInRange(0, 3));
  if (spec.kind == Kind::Bone && scene.CountOfKind(Kind::Object) == 0) spec.kind = Kind::Object;
  spec.name = input.ConsumeRandomLengthString(12);
  if (spec.kind == Kind::Bone) {
    // Bones hang under their object unless given another parent.
    do spec.owner = PickItem(input, scene);
    while (scene.Get(spec.owner).kind != Kind::Object && input.remaining_bytes() > 0);
    if (scene.Get(spec.owner).kind != Kind::Object) return;
  }
  if (scene.size() > 0 && input.ConsumeBool()) spec.parent = PickItem(input, scene);
  if (spec.kind == Kind::Object) {
    spec.fileName = input.ConsumeRandomLengthString(16);
    spec.pointCount = input.ConsumeBool() ? 0 : input.ConsumeIntegral<int>();
  }
  // Ids anywhere in the kind's range, so digits of every value are written. An
  // object's id keeps to 16 bits, as the host's do: its bones carry them.
  if (spec.kind != Kind::Bone && input.ConsumeBool()) {
    const std::uint32_t number = input.ConsumeIntegral<std::uint32_t>();
    spec.id = hostsim::KindBitsOf(spec.kind) | (spec.kind == Kind::Object ? number & 0xFFFFu : number & 0x0FFFFFFFu);
  }
  try {
    scene.Add(spec);
  } catch (const hostsim::SceneError&) {
    // A clashing id or a bone past its object's limit: the host would not have made it either.
  }
}

constexpr const char* kControlTypes[] = {"ChoiceControl", "EditControl", "BorderControl"};

// Keys 0 to 5 around the four kind keys; now and then any key at all, a
// choice the host reads back wrongly, or a panel that cannot be built.
void AddPanelUser(FuzzedDataProvider& input, Case& c) {
  c.pattern = input.ConsumeRandomLengthString(24);
  c.kindKey = input.ConsumeIntegralInRange<std::uint32_t>('0', '5');
  if (input.ConsumeIntegral<std::uint8_t>() < 32) c.extraKey = input.ConsumeIntegral<std::uint32_t>();
  c.confirms = input.ConsumeIntegral<std::uint8_t>() >= 24;
  const std::uint8_t fault = input.ConsumeIntegral<std::uint8_t>();
  if (fault < 8) c.panelFaults.createFails = true;
  if (fault >= 8 && fault < 16) c.panelFaults.failingControl = kControlTypes[fault % 3];
  if (fault >= 16 && fault < 40) c.panelFaults.choiceReadBack = input.ConsumeIntegral<std::int32_t>();
}

void SetPanelUser(Host& host, const Case& c) {
  hostsim::PanelUser user;
  user.Types(c.pattern).Presses(c.kindKey);
  if (c.extraKey != 0) user.Presses(c.extraKey);
  host.panels().user() = c.confirms ? user.Confirms() : user.Dismisses();
  host.panels().faults() = c.panelFaults;
}

// The panel remembers the last confirmed pattern and kind across runs; every
// case starts from the same memory, so an input replays alone.
void ForgetPanelMemory() {
  Host host;
  host.panels().user() = hostsim::PanelUser().Types("").Presses('1').Confirms();
  host.Run(Module(), "QZ_Sel_ByName");
}

Case MakeCase(FuzzedDataProvider& input) {
  Case c;
  c.rule = &kRules[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kRules) - 1)];
  c.mode = static_cast<hostsim::UpdateMode>(input.ConsumeIntegralInRange(0, 2));
  const int items = input.ConsumeIntegralInRange(0, kMaxItems);
  for (int item = 0; item < items && input.remaining_bytes() > 0; ++item) AddItem(input, c.scene);
  // Moves after creation put children out of creation and id order.
  const int moves = c.scene.size() == 0 ? 0 : input.ConsumeIntegralInRange(0, 4);
  for (int move = 0; move < moves; ++move) {
    const std::uint32_t child = PickItem(input, c.scene);
    const std::uint32_t parent = input.ConsumeBool() ? 0 : PickItem(input, c.scene);
    try {
      c.scene.SetParent(child, parent);
    } catch (const hostsim::SceneError&) {
    }
  }
  const int selected = c.scene.size() == 0 ? 0 : input.ConsumeIntegralInRange(0, kMaxItems);
  for (int entry = 0; entry < selected; ++entry) c.selection.push_back(PickItem(input, c.scene));
  const std::uint8_t missing = input.ConsumeIntegral<std::uint8_t>();
  for (std::size_t service = 0; service < std::size(kServices); ++service) {
    // Rarely: a missing service ends most runs at once.
    if ((missing >> service & 1) != 0 && (missing & 0xE0) == 0xE0) c.faults.missingServices.insert(kServices[service]);
  }
  c.faults.nullNames = input.ConsumeIntegral<std::uint8_t>() < 16;
  if (input.ConsumeBool())
    c.faults.idHighBits = static_cast<std::uint64_t>(input.ConsumeIntegral<std::uint32_t>()) << 32;
  if (c.rule->reach == Reach::ByName) AddPanelUser(input, c);
  return c;
}

// ---- checks ----------------------------------------------------------------------

// Names and file names are raw bytes; the report shows them escaped.
std::string Printable(const std::string& text) {
  std::string shown;
  for (const char byte : text) {
    char escaped[8];
    const auto value = static_cast<unsigned char>(byte);
    if (value >= 0x20 && value < 0x7F && value != '\\') {
      shown += byte;
    } else {
      std::snprintf(escaped, sizeof escaped, "\\x%02X", value);
      shown += escaped;
    }
  }
  return shown;
}

[[noreturn]] void Fail(const Case& c, const hostsim::RunResult& result, const std::string& what) {
  std::fprintf(stderr, "\n%s: %s\n", c.rule->command, what.c_str());
  std::fprintf(stderr, "mode %s, null names %d, id high bits %llx, missing:", hostsim::UpdateModeName(c.mode),
               c.faults.nullNames ? 1 : 0, static_cast<unsigned long long>(c.faults.idHighBits));
  for (const std::string& service : c.faults.missingServices) std::fprintf(stderr, " '%s'", service.c_str());
  if (c.rule->reach == Reach::ByName) {
    std::fprintf(stderr, "\npanel: types '%s', presses 0x%X then 0x%X, %s; create fails %d, failing control '%s'",
                 Printable(c.pattern).c_str(), c.kindKey, c.extraKey, c.confirms ? "confirms" : "dismisses",
                 c.panelFaults.createFails ? 1 : 0, c.panelFaults.failingControl.c_str());
    if (c.panelFaults.choiceReadBack) std::fprintf(stderr, ", choice reads back %d", *c.panelFaults.choiceReadBack);
  }
  std::fprintf(stderr, "\nscene:\n");
  for (std::size_t index = 1; index <= c.scene.size(); ++index) {
    const hostsim::Item& item = c.scene.At(index);
    std::fprintf(stderr, "  %08X %-6s parent %08X points %d name '%s' file '%s'\n", item.id,
                 hostsim::KindName(item.kind), c.scene.At(item.parent).id, item.pointCount,
                 Printable(item.name).c_str(), Printable(item.fileName).c_str());
  }
  std::fprintf(stderr, "selection:");
  for (const std::uint32_t id : c.selection) std::fprintf(stderr, " %08X", id);
  std::fprintf(stderr, "\nresult %d, lines:\n", result.code);
  for (const std::string& line : result.lines) std::fprintf(stderr, "  %s\n", line.c_str());
  for (const hostsim::Message& message : result.messages)
    std::fprintf(stderr, "  message '%s'%s\n", message.text.c_str(), message.secondText ? " with a second text" : "");
  for (const std::string& error : result.protocolErrors) std::fprintf(stderr, "  protocol error: %s\n", error.c_str());
  std::abort();
}

bool HexDigits(const std::string& text, bool upperCase) {
  if (text.empty() || text.size() > 8) return false;
  for (const char digit : text) {
    const bool decimal = digit >= '0' && digit <= '9';
    const bool letter = upperCase ? (digit >= 'A' && digit <= 'F') : (digit >= 'a' && digit <= 'f');
    if (!decimal && !letter) return false;
  }
  return true;
}

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

enum class Form { EditMode, Select, Add, Remove, Unknown };

// Eight upper-case digits, or printf's "%x": lower case, no leading zeros.
bool FixedDigits(const std::string& digits) { return digits.size() == 8 && HexDigits(digits, true); }
bool PrintfDigits(const std::string& digits) { return HexDigits(digits, false) && digits[0] != '0'; }

Form FormOf(const std::string& line) {
  for (const char* edit : {"EditObjects", "EditLights", "EditCameras", "EditBones"})
    if (line == edit) return Form::EditMode;
  if (StartsWith(line, "SelectItem ") && (FixedDigits(line.substr(11)) || PrintfDigits(line.substr(11))))
    return Form::Select;
  if (StartsWith(line, "AddToSelection ") && FixedDigits(line.substr(15))) return Form::Add;
  if (StartsWith(line, "RemoveFromSelection ") && PrintfDigits(line.substr(20))) return Form::Remove;
  return Form::Unknown;
}

std::uint32_t NamedItem(const std::string& line) {
  return static_cast<std::uint32_t>(std::strtoul(line.c_str() + line.find(' ') + 1, nullptr, 16));
}

// Whether a scene-wide command may add the object; unknown when the host gives
// no file names, since what the module makes of none is its own choice.
enum class Verdict { No, Yes, Unknown };

Verdict Qualifies(const Case& c, const hostsim::Item& object) {
  if (std::strcmp(c.rule->command, "QZ_Sel_AllNulls") == 0) return object.pointCount == 0 ? Verdict::Yes : Verdict::No;
  if (c.faults.nullNames) return Verdict::Unknown;
  // The module reads the text only up to its terminator, as the host hands it over.
  return std::strchr(object.fileName.c_str(), '\\') != nullptr ? Verdict::Yes : Verdict::No;
}

// An edit-mode line where the command may send one; the kind bits it switches to.
std::uint32_t CheckEditModeLine(const Case& c, const hostsim::RunResult& result, std::size_t index) {
  const std::string& line = result.lines[index];
  if (c.rule->reach == Reach::SceneWide && !(index == 0 && line == "EditObjects"))
    Fail(c, result, "edit-mode line other than a leading EditObjects");
  if (c.rule->reach == Reach::Hierarchy || c.rule->reach == Reach::HierarchyRoots)
    Fail(c, result, "a hierarchy command switched the edit mode");
  const char* const editLines[] = {"EditObjects", "EditLights", "EditCameras", "EditBones"};
  for (int kind = 0; kind < 4; ++kind)
    if (line == editLines[kind]) return hostsim::KindBitsOf(static_cast<Kind>(kind));
  return 0;
}

// A "SelectItem" line in the command's form, where the command may send one.
void CheckSelectLine(const Case& c, const hostsim::RunResult& result, std::size_t index, Form previous) {
  // Digits without letters or leading zeros read the same in both forms.
  const std::string digits = result.lines[index].substr(11);
  const bool expected = c.rule->selects == Selects::FixedDigits ? FixedDigits(digits)
                        : c.rule->selects == Selects::Printf    ? PrintfDigits(digits)
                                                                : false;
  if (!expected) Fail(c, result, "SelectItem line in a form this command never sends");
  const std::size_t allowedAt = c.rule->reach == Reach::SceneWide ? 1 : 0;
  if (c.rule->reach != Reach::ByName && index != allowedAt) Fail(c, result, "SelectItem line after the start");
  if (c.rule->reach == Reach::ByName && previous != Form::EditMode)
    Fail(c, result, "a search's SelectItem line not right after its edit-mode line");
}

// The item a selection line names: one the command may reach, of a kind it may name.
void CheckNamedItem(const Case& c, const hostsim::RunResult& result, std::size_t index, Form previous,
                    std::uint32_t editKind) {
  const std::string& line = result.lines[index];
  const Form form = FormOf(line);
  const std::uint32_t item = NamedItem(line);
  if (!c.scene.Contains(item)) Fail(c, result, "line names no item of the scene: " + line);
  const hostsim::Item& named = c.scene.Get(item);
  switch (c.rule->reach) {
    case Reach::Hierarchy:
    case Reach::HierarchyRoots: {
      const std::uint32_t referenceKind = c.selection.empty() ? 0 : KindBits(c.selection.front());
      if (form == Form::Remove) Fail(c, result, "a hierarchy command removed an item");
      if (KindBits(item) == referenceKind) break;
      bool root = false;
      if (c.rule->reach == Reach::HierarchyRoots) {
        for (const std::uint32_t entry : c.selection) root = root || entry == item;
        const std::size_t parent = named.parent;
        root = root && (parent == hostsim::kNoItem || KindBits(c.scene.At(parent).id) != referenceKind);
      }
      if (!root) Fail(c, result, "item of another kind than the reference kind: " + line);
      break;
    }
    case Reach::SceneWide:
      if (named.kind != Kind::Object) Fail(c, result, "a scene-wide command named a non-object: " + line);
      if (form != Form::Add && c.scene.IndexOf(item) != c.scene.FirstOfKind(Kind::Object))
        Fail(c, result, "SelectItem or RemoveFromSelection of another object than the first: " + line);
      if (form == Form::Add && Qualifies(c, named) == Verdict::No)
        Fail(c, result, "added an object that does not qualify: " + line);
      if (form == Form::Remove && (index + 1 != result.lines.size() || Qualifies(c, named) == Verdict::Yes))
        Fail(c, result, "RemoveFromSelection out of place: " + line);
      break;
    case Reach::ByName:
      if (form == Form::Remove) Fail(c, result, "the by-name command removed an item");
      if (form == Form::Add && previous != Form::Select && previous != Form::Add)
        Fail(c, result, "AddToSelection before the search's first match");
      if (KindBits(item) != editKind) Fail(c, result, "item of another kind than the edit mode: " + line);
      break;
  }
}

void CheckLines(const Case& c, const hostsim::RunResult& result) {
  const std::vector<std::string>& lines = result.lines;
  std::uint32_t editKind = 0;  // kind bits of the latest edit-mode line
  Form previous = Form::Unknown;
  for (std::size_t index = 0; index < lines.size(); previous = FormOf(lines[index]), ++index) {
    const std::string& line = lines[index];
    if (line.size() > 28) Fail(c, result, "line longer than 28 bytes: " + line);
    const Form form = FormOf(line);
    if (form == Form::Unknown) Fail(c, result, "line of no form the module may send: " + line);
    if (form == Form::EditMode) {
      editKind = CheckEditModeLine(c, result, index);
      continue;
    }
    if (form == Form::Select) CheckSelectLine(c, result, index, previous);
    CheckNamedItem(c, result, index, previous, editKind);
  }
}

void CheckRun(const Case& c, const hostsim::RunResult& result, const hostsim::CallCounts& calls) {
  if (!result.protocolErrors.empty()) Fail(c, result, "protocol error");
  if (result.code != 0 && result.code != 2) Fail(c, result, "result neither 0 nor 2");
  bool startServiceMissing = false;
  for (const char* service : c.rule->startServices)
    startServiceMissing = startServiceMissing || c.faults.missingServices.count(service) != 0;
  if (startServiceMissing && (result.code != 2 || !result.lines.empty()))
    Fail(c, result, "a start service was missing, yet the result was not 2 with nothing sent");
  if (!startServiceMissing && result.code != 0) Fail(c, result, "result 2 with every start service there");
  if (c.selection.empty() && (c.rule->reach == Reach::Hierarchy || c.rule->reach == Reach::HierarchyRoots) &&
      !result.lines.empty())
    Fail(c, result, "lines sent for an empty selection");
  bool selected = false;
  for (const std::string& line : result.lines) selected = selected || FormOf(line) == Form::Select;
  for (const hostsim::Message& message : result.messages) {
    if (c.rule->reach != Reach::ByName || message.text != "Not Found" || message.secondText)
      Fail(c, result, "a message other than \"Not Found\" alone");
    if (selected || result.messages.size() != 1) Fail(c, result, "\"Not Found\" after a match, or more than once");
  }
  // No walk of ours needs more than a pass over the scene per selected item.
  const std::uint64_t items = c.scene.size() + 2;
  if (calls.Total() > 16 * items * items + 64) Fail(c, result, "far more host calls than any walk needs");
  CheckLines(c, result);
}

}  // namespace

// The module is loaded before the first input, so its coverage counters are
// known to libFuzzer from the start.
extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  Module();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const Case c = MakeCase(input);
  hostsim::RunResult results[2];
  // Twice on fresh hosts: a result that differs has read something it never wrote.
  for (hostsim::RunResult& result : results) {
    if (c.rule->reach == Reach::ByName) ForgetPanelMemory();
    Host host(c.scene);
    host.SetUpdateMode(c.mode);
    host.faults() = c.faults;
    host.Select(c.selection);
    if (c.rule->reach == Reach::ByName) SetPanelUser(host, c);
    result = host.Run(Module(), c.rule->command);
    CheckRun(c, result, host.calls());
  }
  if (results[0].lines != results[1].lines || results[0].code != results[1].code)
    Fail(c, results[1], "a second run on the same case sent other lines");
  return 0;
}
