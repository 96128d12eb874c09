#include "hostsim/cli/run_report.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "hostsim/cli/text.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/host/command_language.h"
#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8.h"

namespace hostsim {

namespace {

// The field and the choice of the controls, as the user found them or left
// them.
std::vector<std::string> FieldAndChoice(const std::vector<ControlRecord>& controls) {
  std::vector<std::string> values;
  for (const ControlRecord& control : controls) {
    if (control.typeName == kEditControlName) values.push_back(Quoted(EscapedText(control.text)));
    if (control.typeName == kChoiceControlName && control.choice >= 0 &&
        static_cast<std::size_t>(control.choice) < control.items.size())
      values.push_back(EscapedText(Trimmed(control.items[static_cast<std::size_t>(control.choice)], " ")));
  }
  return values;
}

std::vector<std::string> ShownValues(const PanelRecord& panel) { return FieldAndChoice(panel.shown); }

// One line: what the panel showed, what the user did (with what the panel
// held when they confirmed it, when `withConfirmed`), what the module got.
std::string PanelText(const RunRecord& record, bool withConfirmed) {
  if (!record.panel) return record.scriptedPanel ? "no panel opened; the panel options had no effect" : "";
  const PanelRecord& panel = *record.panel;
  std::string text = Quoted(EscapedText(panel.title)) + " showed ";
  const std::vector<std::string> shown = ShownValues(panel);
  text += shown.empty() ? "no field or choice" : JoinedChoices(shown);
  std::vector<std::string> actions;
  for (const std::string& action : panel.userActions) actions.push_back(EscapedText(action));
  if (withConfirmed && !actions.empty() && actions.back() == "confirmed") {
    const std::vector<std::string> confirmed = FieldAndChoice(panel.controls);
    if (!confirmed.empty()) actions.back() += " " + JoinedChoices(confirmed);
  }
  text += "; " + (actions.empty() ? std::string("nothing done") : JoinedChoices(actions));
  if (panel.openResult) text += "; open returned " + std::to_string(*panel.openResult);
  return text;
}

std::string ResultMeaning(int code) { return std::to_string(code) + " (" + ResultText(code) + ")"; }

void WriteMessagesJson(JsonWriter& json, const std::vector<Message>& messages) {
  json.BeginArray();
  for (const Message& message : messages) {
    json.BeginObject();
    json.Key("text").String(message.text);
    json.Key("second");
    if (message.secondText)
      json.String(*message.secondText);
    else
      json.Null();
    json.EndObject();
  }
  json.EndArray();
}

void WritePanelJson(JsonWriter& json, const std::optional<PanelRecord>& panel) {
  if (!panel) return json.Null();
  json.BeginObject();
  json.Key("title").String(panel->title);
  json.Key("shown").Strings(ShownValues(*panel));
  json.Key("user").Strings(panel->userActions);
  json.Key("result");
  if (panel->openResult)
    json.Number(*panel->openResult);
  else
    json.Null();
  json.EndObject();
}

void WriteIds(JsonWriter& json, const std::vector<std::uint32_t>& ids) {
  json.BeginArray();
  for (const std::uint32_t id : ids) json.String(IdText(id));
  json.EndArray();
}

// What one run did, as members of the object being written.
void WriteOutcomeJson(JsonWriter& json, const RunRecord& record) {
  json.Key("result").Number(record.result.code);
  json.Key("lines").Strings(record.result.lines);
  json.Key("messages");
  WriteMessagesJson(json, record.result.messages);
  json.Key("panel");
  WritePanelJson(json, record.panel);
  json.Key("protocolErrors").Strings(record.result.protocolErrors);
}

// The parts of a result a reader compares between update modes, in the order
// they are printed.
enum class Part { Result, Lines, Messages, Panel, ProtocolErrors, After };
constexpr Part kParts[] = {Part::Result, Part::Lines, Part::Messages, Part::Panel, Part::ProtocolErrors, Part::After};

const char* PartName(Part part) {
  switch (part) {
    case Part::Result: return "the result";
    case Part::Lines: return "the lines sent";
    case Part::Messages: return "the messages";
    case Part::Panel: return "the panel";
    case Part::ProtocolErrors: return "the protocol errors";
    case Part::After: return "the selection after";
  }
  return "?";
}

// One part of a result as the text lines "hostsim run" prints, each ending in
// a newline: the parts that need no scene to be told.
std::vector<std::string> OutcomeLines(const RunRecord& record, Part part, bool color, bool withConfirmed) {
  std::vector<std::string> lines;
  switch (part) {
    case Part::Messages:
      if (record.result.messages.empty()) lines.emplace_back("messages: none\n");
      for (const Message& message : record.result.messages)
        lines.push_back("message: " + EscapedText(message.text) +
                        (message.secondText ? " / " + EscapedText(*message.secondText) : "") + "\n");
      break;
    case Part::Panel: {
      const std::string panel = PanelText(record, withConfirmed);
      if (!panel.empty()) lines.push_back("panel: " + panel + "\n");
      break;
    }
    case Part::ProtocolErrors:
      for (const std::string& error : record.result.protocolErrors)
        lines.push_back(Styled("protocol error: " + error, kBoldRed, color) + "\n");
      break;
    default: break;
  }
  return lines;
}

// Each line with the name of the item it sends, in a column after the
// longest line: "AddToSelection 40060001  Arm.L".
std::vector<std::string> SentLinesNamed(const std::vector<std::string>& sent, const Scene& scene) {
  std::size_t longest = 0;
  for (const std::string& line : sent) longest = std::max(longest, line.size());
  std::vector<std::string> named;
  named.reserve(sent.size());
  for (const std::string& line : sent) {
    const ParsedLine parsed = ParseCommandLine(line);
    const bool names =
        parsed.valid && !IsEditMode(parsed.verb) && scene.Contains(parsed.item) && !scene.Get(parsed.item).name.empty();
    named.push_back(names ? PadRight(line, longest) + "  " + EscapedText(scene.Get(parsed.item).name) : line);
  }
  return named;
}

std::vector<std::string> PartLines(const RunRecord& record, Part part, const Scene& scene, bool color) {
  std::vector<std::string> lines;
  switch (part) {
    case Part::Result: lines.push_back("result " + ResultMeaning(record.result.code) + "\n"); break;
    case Part::Lines: {
      const std::size_t count = record.result.lines.size();
      const bool nothingToStartFrom = count == 0 && record.before.empty() && record.result.code == 0 && !record.panel;
      lines.push_back("sent " + std::to_string(count) + (count == 1 ? " line" : " lines") +
                      (nothingToStartFrom ? " (nothing was selected)\n"
                       : count == 0       ? "\n"
                                          : ":\n"));
      for (const std::string& line : SentLinesNamed(record.result.lines, scene)) lines.push_back("  " + line + "\n");
      break;
    }
    case Part::After: lines.push_back("selected after: " + NamedSelection(scene, record.after, false) + "\n"); break;
    default: return OutcomeLines(record, part, color, true);
  }
  return lines;
}

std::vector<Part> DifferingParts(const std::vector<RunRecord>& records, const Scene& scene) {
  std::vector<Part> differing;
  for (const Part part : kParts) {
    const std::vector<std::string> first = PartLines(records[0], part, scene, false);
    for (const RunRecord& record : records) {
      if (PartLines(record, part, scene, false) == first) continue;
      differing.push_back(part);
      break;
    }
  }
  return differing;
}

}  // namespace

std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds) {
  if (ids.empty()) return "(nothing)";
  // Counted as shown: a name that is UTF-8 may look like another's escapes.
  std::unordered_map<std::string, std::size_t> uses;
  if (!withIds) {
    for (const Item& item : scene.items()) {
      if (item.id != 0) ++uses[EscapedText(item.name)];
    }
  }
  std::string text;
  for (const std::uint32_t id : ids) {
    if (!text.empty()) text += ", ";
    const std::string name = EscapedText(scene.Get(id).name);
    if (withIds)
      text += IdText(id) + " " + name;
    else if (uses[name] > 1)
      text += (name.empty() ? "" : name + " ") + "(" + IdText(id) + ")";
    else
      text += name;
  }
  return text;
}

void PrintOutcome(const RunRecord& record, bool color, std::ostream& out) {
  for (const Part part : {Part::Messages, Part::Panel, Part::ProtocolErrors}) {
    if (part == Part::Messages && record.result.messages.empty()) continue;
    for (const std::string& line : OutcomeLines(record, part, color, false)) out << line;
  }
}

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, const TextStyle& style, std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << record.command << " on " << loaded.label << ", " << UpdateModeName(record.mode) << " updates";
  for (const std::string& fault : record.faults) out << ", fault " << fault;
  out << "\n";
  out << "selected before: " << NamedSelection(scene, record.before, false) << "\n";
  for (const Part part : kParts) {
    for (const std::string& line : PartLines(record, part, scene, style.color)) out << line;
  }
  if (!style.tree) return;
  TreeStyle tree;
  tree.color = style.color;
  out << "\n" << RenderTree(scene, {{"before", record.before}, {"after", record.after}}, tree);
}

void PrintModesText(const std::vector<RunRecord>& records, const LoadedScene& loaded, const TextStyle& style,
                    std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << records[0].command << " on " << loaded.label << ", in each update mode";
  for (const std::string& fault : records[0].faults) out << ", fault " << fault;
  out << "\n";
  out << "selected before: " << NamedSelection(scene, records[0].before, false) << "\n";
  const std::vector<Part> differing = DifferingParts(records, scene);
  const std::string mark = Styled("*", kYellow, style.color) + " ";
  for (const RunRecord& record : records) {
    out << "\n" << Styled(std::string(UpdateModeName(record.mode)) + " updates", kBold, style.color) << "\n";
    for (const Part part : kParts) {
      const bool differs = std::find(differing.begin(), differing.end(), part) != differing.end();
      for (const std::string& line : PartLines(record, part, scene, style.color))
        out << (differs ? mark : "  ") << line;
    }
  }
  std::vector<std::string> names;
  names.reserve(differing.size());
  for (const Part part : differing) names.emplace_back(PartName(part));
  out << "\n"
      << (names.empty() ? "the three modes agree" : "the modes differ in " + JoinedChoices(names) + " (*)") << "\n";
  if (!style.tree) return;
  std::vector<MarkColumn> columns = {{"before", records[0].before}};
  for (const RunRecord& record : records) columns.push_back({UpdateModeName(record.mode), record.after});
  TreeStyle tree;
  tree.color = style.color;
  out << "\n" << RenderTree(scene, columns, tree);
}

void WriteRunJson(JsonWriter& json, const std::vector<RunRecord>& records, const Scene& scene) {
  const RunRecord& first = records[0];
  // The host's faults, where a run line asked for any, as it names them.
  const auto writeFaults = [&json, &first] {
    if (!first.faults.empty()) json.Key("faults").Strings(first.faults);
  };
  if (records.size() == 1) {
    json.Key("updates").String(UpdateModeName(first.mode));
    writeFaults();
    WriteOutcomeJson(json, first);
    json.Key("before");
    WriteIds(json, first.before);
    json.Key("after");
    WriteIds(json, first.after);
    return;
  }
  json.Key("updates").String("all");
  writeFaults();
  json.Key("before");
  WriteIds(json, first.before);
  json.Key("modes").BeginArray();
  for (const RunRecord& record : records) {
    json.BeginObject();
    json.Key("updates").String(UpdateModeName(record.mode));
    WriteOutcomeJson(json, record);
    json.Key("after");
    WriteIds(json, record.after);
    json.EndObject();
  }
  json.EndArray();
  json.Key("differs").Bool(!DifferingParts(records, scene).empty());
}

void PrintRunJson(const std::vector<RunRecord>& records, const LoadedScene& loaded, const ModuleLibrary& module,
                  std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  json.Key("command").String(records[0].command);
  json.Key("module").String(module.path());
  json.Key("scene").String(loaded.label);
  WriteRunJson(json, records, loaded.scene);
  json.Key("items");
  if (records.size() == 1) {
    const SelectionMarks marks{records[0].before, records[0].after};
    WriteItemsJson(json, loaded.scene, &marks);
  } else {
    WriteItemsJson(json, loaded.scene, nullptr);
  }
  json.EndObject();
  out << json.text() << "\n";
}

}  // namespace hostsim
