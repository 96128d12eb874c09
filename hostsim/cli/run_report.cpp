#include "hostsim/cli/run_report.h"

#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/text.h"
#include "hostsim/cli/tree_view.h"
#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// The field and the choice as the user found them.
std::vector<std::string> ShownValues(const PanelRecord& panel) {
  std::vector<std::string> shown;
  for (const ControlRecord& control : panel.shown) {
    if (control.typeName == kEditControlName) shown.push_back(Quoted(control.text));
    if (control.typeName == kChoiceControlName && control.choice >= 0 &&
        static_cast<std::size_t>(control.choice) < control.items.size())
      shown.emplace_back(Trimmed(control.items[static_cast<std::size_t>(control.choice)], " "));
  }
  return shown;
}

// One line: what the panel showed, what the user did, what the module got.
std::string PanelText(const RunRecord& record) {
  if (!record.panel) return record.scriptedPanel ? "no panel opened; the panel options had no effect" : "";
  const PanelRecord& panel = *record.panel;
  std::string text = Quoted(panel.title) + " showed ";
  const std::vector<std::string> shown = ShownValues(panel);
  text += shown.empty() ? "no field or choice" : JoinedChoices(shown);
  text += "; " + (panel.userActions.empty() ? std::string("nothing done") : JoinedChoices(panel.userActions));
  if (panel.openResult) text += "; open returned " + std::to_string(*panel.openResult);
  return text;
}

std::string ResultMeaning(int code) {
  switch (code) {
    case 0: return "0 (done)";
    case 2: return "2 (a service the command needs is missing)";
    default: return std::to_string(code) + " (not a result the host knows)";
  }
}

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

}  // namespace

std::string NamedSelection(const Scene& scene, const std::vector<std::uint32_t>& ids, bool withIds) {
  if (ids.empty()) return "(nothing)";
  std::string text;
  for (const std::uint32_t id : ids) {
    if (!text.empty()) text += ", ";
    text += withIds ? IdText(id) + " " + scene.Get(id).name : scene.Get(id).name;
  }
  return text;
}

void PrintOutcome(const RunRecord& record, bool color, std::ostream& out) {
  for (const Message& message : record.result.messages)
    out << "message: " << message.text << (message.secondText ? " / " + *message.secondText : "") << "\n";
  const std::string panel = PanelText(record);
  if (!panel.empty()) out << "panel: " << panel << "\n";
  for (const std::string& error : record.result.protocolErrors)
    out << Styled("protocol error: " + error, kBoldRed, color) << "\n";
}

void PrintRunText(const RunRecord& record, const LoadedScene& loaded, bool color, std::ostream& out) {
  const Scene& scene = loaded.scene;
  out << record.command << " on " << loaded.label << ", " << UpdateModeName(record.mode) << " updates";
  for (const std::string& fault : record.faults) out << ", fault " << fault;
  out << "\n";
  out << "selected before: " << NamedSelection(scene, record.before, false) << "\n";
  out << "result " << ResultMeaning(record.result.code) << "\n";
  out << "sent " << record.result.lines.size() << (record.result.lines.size() == 1 ? " line" : " lines")
      << (record.result.lines.empty() ? "\n" : ":\n");
  for (const std::string& line : record.result.lines) out << "  " << line << "\n";
  if (record.result.messages.empty()) out << "messages: none\n";
  PrintOutcome(record, color, out);
  out << "selected after: " << NamedSelection(scene, record.after, false) << "\n\n";
  const SelectionMarks marks{record.before, record.after};
  TreeStyle style;
  style.color = color;
  out << RenderTree(scene, &marks, style);
}

void PrintRunJson(const RunRecord& record, const LoadedScene& loaded, const ModuleLibrary& module, std::ostream& out) {
  JsonWriter json;
  const auto ids = [&json](const std::vector<std::uint32_t>& list) {
    json.BeginArray();
    for (const std::uint32_t id : list) json.String(IdText(id));
    json.EndArray();
  };
  json.BeginObject();
  json.Key("command").String(record.command);
  json.Key("module").String(module.path());
  json.Key("scene").String(loaded.label);
  json.Key("updates").String(UpdateModeName(record.mode));
  json.Key("faults").Strings(record.faults);
  json.Key("result").Number(record.result.code);
  json.Key("lines").Strings(record.result.lines);
  json.Key("messages");
  WriteMessagesJson(json, record.result.messages);
  json.Key("panel");
  WritePanelJson(json, record.panel);
  json.Key("protocolErrors").Strings(record.result.protocolErrors);
  json.Key("before");
  ids(record.before);
  json.Key("after");
  ids(record.after);
  json.Key("items");
  const SelectionMarks marks{record.before, record.after};
  WriteItemsJson(json, loaded.scene, &marks);
  json.EndObject();
  out << json.text() << "\n";
}

}  // namespace hostsim
