#include "hostsim/web/session.h"

#include <exception>

#include "hostsim/host/command_timing.h"
#include "hostsim/host/scripted_run.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/scene_tree.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8.h"
#include "hostsim/scene_file/demo_scene.h"
#include "hostsim/scene_file/scene_file.h"

namespace hostsim {

namespace {

std::string ErrorJson(const std::string& message, int line) {
  JsonWriter json;
  json.BeginObject();
  json.Key("error").String(message);
  json.Key("line");
  if (line > 0)
    json.Number(line);
  else
    json.Null();
  json.EndObject();
  return json.text();
}

void WriteIds(JsonWriter& json, const std::vector<std::uint32_t>& ids) {
  json.BeginArray();
  for (const std::uint32_t id : ids) json.String(IdText(id));
  json.EndArray();
}

const ControlRecord* ControlOf(const PanelRecord& panel, const char* typeName) {
  for (const ControlRecord& control : panel.controls) {
    if (control.typeName == typeName) return &control;
  }
  return nullptr;
}

// The scene is lent to a host for a run, not copied: a large one would cost
// more to copy than most commands take. It comes back however the run ends.
class LentScene {
 public:
  explicit LentScene(Scene& scene) : scene_(scene), host_(std::move(scene)) {}
  ~LentScene() { scene_ = std::move(host_.scene()); }
  LentScene(const LentScene&) = delete;
  LentScene& operator=(const LentScene&) = delete;
  Host& host() { return host_; }

 private:
  Scene& scene_;
  Host host_;
};

// A page has no watchdog: a command that does not return hangs its tab,
// whichever call it is in.
class Unwatched final : public StepListener {
 public:
  void Starting(const std::string&) override {}
  void Finished() override {}
};

// The kind the panel's choice shows, by the name --kind takes; null when it
// shows none the host knows.
const char* ChosenKind(const PanelRecord& panel) {
  const ControlRecord* choice = ControlOf(panel, kChoiceControlName);
  if (choice == nullptr || choice->choice < 0 || choice->choice >= static_cast<std::int32_t>(std::size(kPanelKinds)))
    return nullptr;
  return kPanelKinds[choice->choice].name;
}

}  // namespace

WebSession::WebSession(const ModuleLibrary& module) : module_(module) {}

std::string WebSession::CommandsJson() const {
  JsonWriter json;
  json.BeginArray();
  for (const CommandInfo& command : module_.commands()) json.String(command.name);
  json.EndArray();
  return json.text();
}

std::string WebSession::SceneJson() const {
  JsonWriter json;
  json.BeginObject();
  json.Key("name").String(sceneName_);
  json.Key("items").BeginArray();
  WalkTree(scene_, [&](const Item& item, int depth) {
    json.BeginObject();
    json.Key("id").String(IdText(item.id));
    json.Key("kind").String(KindLabel(item));
    json.Key("name").String(item.name);
    json.Key("parent");
    if (item.parent == kNoItem)
      json.Null();
    else
      json.String(IdText(scene_.At(item.parent).id));
    json.Key("depth").Number(depth);
    json.Key("file");
    if (item.fileName.empty())
      json.Null();
    else
      json.String(item.fileName);
    json.EndObject();
  });
  json.EndArray();
  json.EndObject();
  return json.text();
}

std::string WebSession::OpenDemo() {
  scene_ = DemoScene();
  IndexNames();
  sceneName_ = kDemoSceneName;
  demo_ = true;
  return SceneJson();
}

std::string WebSession::OpenScene(const std::string& fileName, std::string_view bytes) {
  try {
    Scene scene = ReadSceneText(bytes, fileName);
    scene_ = std::move(scene);
    IndexNames();
  } catch (const SceneFileError& error) {
    // As "hostsim list" shows it: the message may quote names from the file.
    return ErrorJson(error.file + (error.line > 0 ? ":" + std::to_string(error.line) : std::string()) + ": " +
                         EscapedText(error.message),
                     error.line);
  } catch (const std::exception& error) {
    return ErrorJson(fileName + ": " + EscapedText(error.what()), 0);
  }
  sceneName_ = fileName;
  demo_ = false;
  return SceneJson();
}

void WebSession::IndexNames() {
  names_.clear();
  for (const Item& item : scene_.items()) {
    if (item.id == 0) continue;
    Named& named = names_[item.name];
    if (named.count++ == 0) named.first = item.id;
  }
}

std::string WebSession::ItemWord(const Scene& scene, std::uint32_t id) const {
  // "hostsim run" takes a word first as a name as typed, then as the bytes
  // its escapes stand for, then as an id; the name serves only where that
  // finds this item alone. A word starting with a dash would read as an option.
  const std::string word = EscapedText(scene.Get(id).name);
  if (word.empty() || word[0] == '-') return IdText(id);
  auto found = names_.find(word);
  if (found == names_.end()) found = names_.find(UnescapedText(word));
  return found != names_.end() && found->second.count == 1 && found->second.first == id ? word : IdText(id);
}

std::string WebSession::Run(const std::string& command, const std::vector<std::uint32_t>& selection,
                            std::string_view updates, const LiveUser& user) {
  if (module_.Find(command) == nullptr) return ErrorJson("the module has no command '" + command + "'", 0);
  const std::optional<UpdateMode> mode = ParseUpdateMode(updates);
  if (!mode) return ErrorJson("no update mode '" + std::string(updates) + "'", 0);
  for (const std::uint32_t id : selection) {
    if (!scene_.Contains(id)) return ErrorJson("no item " + IdText(id) + " in " + sceneName_, 0);
  }

  LentScene lent(scene_);
  Host& host = lent.host();
  host.SetUpdateMode(*mode);
  host.panels().user().live = user;
  host.Select(selection);
  const std::vector<std::uint32_t> before = host.selection();
  RunResult result = host.Run(module_, command);
  const PanelRecord* panel = host.panels().last();
  if (panel != nullptr) {
    const std::string problem = DismissedPanelProblem(*panel, result);
    if (!problem.empty()) result.protocolErrors.push_back(problem);
  }

  JsonWriter json;
  json.BeginObject();
  json.Key("result").Number(result.code);
  json.Key("resultText").String(ResultText(result.code));
  json.Key("lines").Strings(result.lines);
  json.Key("lineItems").BeginArray();
  for (const std::uint32_t item : result.lineItems) {
    if (item != 0)
      json.String(IdText(item));
    else
      json.Null();
  }
  json.EndArray();
  json.Key("selection");
  WriteIds(json, host.selection());
  json.Key("messages").BeginArray();
  for (const Message& message : result.messages) {
    json.BeginObject();
    json.Key("text").String(message.text);
    json.Key("secondText");
    if (message.secondText)
      json.String(*message.secondText);
    else
      json.Null();
    json.EndObject();
  }
  json.EndArray();

  // The run line: the panel's kind and pattern spelled out whenever it was
  // confirmed, since a fresh module remembers neither.
  PanelScript script;
  std::string pattern;
  const bool confirmed = panel != nullptr && panel->openResult == 1;
  json.Key("panel");
  if (panel == nullptr) {
    json.Null();
  } else {
    const ControlRecord* field = ControlOf(*panel, kEditControlName);
    pattern = field != nullptr ? field->text : std::string();
    json.BeginObject();
    json.Key("title").String(panel->title);
    json.Key("kind");
    if (const char* kind = ChosenKind(*panel))
      json.String(kind);
    else
      json.Null();
    json.Key("pattern").String(pattern);
    json.Key("confirmed").Bool(confirmed);
    json.EndObject();
    if (confirmed) {
      script.kind = ChosenKind(*panel);
      script.pattern = pattern;
    } else {
      script.dismisses = true;
    }
  }
  json.Key("protocolErrors").Strings(result.protocolErrors);

  std::vector<std::string> words = {"run", command};
  if (!demo_) words.insert(words.end(), {"--scene", sceneName_});
  if (*mode != UpdateMode::Deferred) words.insert(words.end(), {"--updates", UpdateModeName(*mode)});
  if (!before.empty()) words.emplace_back("--select");
  for (const std::uint32_t id : before) words.push_back(ItemWord(host.scene(), id));
  if (panel != nullptr) {
    for (std::string& argument : script.RunArguments()) words.push_back(std::move(argument));
  }
  std::string line = "hostsim";
  for (const std::string& word : words) line += " " + ShellWord(word);
  json.Key("command").String(line);
  json.EndObject();
  return json.text();
}

std::string WebSession::Time(const std::string& command, const std::vector<std::uint32_t>& selection,
                             const std::string& pattern, std::size_t repeat) {
  if (module_.Find(command) == nullptr) return ErrorJson("the module has no command '" + command + "'", 0);
  for (const std::uint32_t id : selection) {
    if (!scene_.Contains(id)) return ErrorJson("no item " + IdText(id) + " in " + sceneName_, 0);
  }
  LentScene lent(scene_);
  Host& host = lent.host();
  // Neither is the module's cost, as with "hostsim time".
  host.SetRecordLines(false);
  host.panels().SetKeepPanels(false);
  TimingRequest request;
  request.before = selection;
  if (!pattern.empty()) request.user.Types(pattern);
  request.user.Confirms();
  request.repeat = repeat;
  Unwatched steps;
  JsonWriter json;
  TimingJson(json, Measure(host, module_, command, request, steps, command));
  return json.text();
}

UserStep ParseUserStep(std::string_view event) {
  const std::size_t newline = event.find('\n');
  const std::string_view type = event.substr(0, newline);
  const std::string_view value = newline == std::string_view::npos ? std::string_view() : event.substr(newline + 1);
  UserStep step;
  step.action = UserStep::Action::Dismiss;
  if (type == "ok") {
    step.action = UserStep::Action::Confirm;
  } else if (type == "text") {
    step.action = UserStep::Action::Type;
    step.text = std::string(value);
  } else if (type == "choose" || type == "key") {
    const std::optional<std::uint64_t> number = ParseUnsigned(std::string(value));
    if (number && *number <= 0xFFFFFFFFu) {
      step.action = type == "key" ? UserStep::Action::Key : UserStep::Action::Choose;
      step.key = static_cast<std::uint32_t>(*number);
      step.item = *number <= 0x7FFFFFFF ? static_cast<std::int32_t>(*number) : -1;
    }
  }
  return step;
}

std::string PanelViewJson(const PanelRecord& panel, std::optional<bool> keyHandled) {
  JsonWriter json;
  json.BeginObject();
  json.Key("title").String(panel.title);
  json.Key("controls").BeginArray();
  for (const ControlRecord& control : panel.controls) {
    json.BeginObject();
    json.Key("type").String(control.typeName);
    json.Key("label").String(control.label);
    json.Key("items").Strings(control.items);
    json.Key("choice").Number(control.choice);
    json.Key("text").String(control.text);
    json.EndObject();
  }
  json.EndArray();
  json.Key("keyHandled");
  if (keyHandled)
    json.Bool(*keyHandled);
  else
    json.Null();
  json.EndObject();
  return json.text();
}

}  // namespace hostsim
