// Validate's orchestration: each check, per command where it runs per
// command, in a child process of its own, and the report put together from
// what the children sent or how they ended.
#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "hostsim/process/child_process.h"
#include "hostsim/process/crash_cause.h"
#include "hostsim/scene/examples.h"
#include "hostsim/scene_file/scene_file.h"
#include "hostsim/validate/expected_module.h"
#include "hostsim/validate/replay.h"
#include "hostsim/validate/scenarios.h"
#include "hostsim/validate/validate.h"
#include "hostsim/validate/wire.h"

namespace hostsim {

namespace {

constexpr char kLoadCheck[] = "load";
constexpr char kDemoSceneCheck[] = "demo-scene";

// A scene of the user's adds one --timeout to the demo-scene check's time
// limit for every so many items.
constexpr double kItemsPerTimeout = 10000;

constexpr std::uint64_t kNoCommand = ~std::uint64_t{0};

UserScenes ReadUserScenes(const ValidateOptions& options) {
  SceneFileOptions fileOptions;
  if (!options.contentDirectory.empty()) fileOptions.contentDirectory = options.contentDirectory;
  UserScenes scenes;
  for (const std::string& path : options.scenes)
    scenes.push_back({path, std::make_shared<const Scene>(ReadSceneFile(path, fileOptions))});
  return scenes;
}

std::string EncodeRequest(const ValidateOptions& options, const Check& check, std::optional<std::size_t> command) {
  WireWriter wire;
  wire.Put(options.modulePath).Put(options.seed).Put(static_cast<std::uint64_t>(options.randomScenes));
  wire.Put(options.scenes).Put(options.contentDirectory).Put(SecondsText(options.timeoutSeconds));
  wire.Put(options.memoryMiB).Put(check.name).Put(command ? *command : kNoCommand);
  return wire.text();
}

// The child's work: one check, for one command where it runs per command.
// Returns the results, and the module's command names. `readScenes` are the
// user's scenes as the parent read them, or null for the child to read.
std::string RunCheck(const std::string& request, ChildReporter& reporter, const UserScenes* readScenes) {
  WireReader wire(request);
  ValidateOptions options;
  options.modulePath = wire.Take();
  options.seed = wire.TakeNumber();
  options.randomScenes = static_cast<int>(wire.TakeNumber());
  options.scenes = wire.TakeList();
  options.contentDirectory = wire.Take();
  options.timeoutSeconds = std::strtod(wire.Take().c_str(), nullptr);
  options.memoryMiB = wire.TakeNumber();
  const Check* check = FindCheck(wire.Take());
  const std::uint64_t command = wire.TakeNumber();
  if (check == nullptr) throw WireError("a request for a check that does not exist");

  const UserScenes scenes = readScenes != nullptr ? UserScenes() : ReadUserScenes(options);
  Validation validation(options, readScenes != nullptr ? *readScenes : scenes, &reporter);
  validation.current = check;
  if (command != kNoCommand) validation.onlyCommand = static_cast<std::size_t>(command);
  if (std::string_view(check->name) != kLoadCheck) {
    try {
      validation.module = ModuleLibrary::Open(options.modulePath);
    } catch (const LoadError&) {
      // The check reports a module that did not load.
    }
  }
  check->run(validation);
  WireWriter result;
  result.Put(static_cast<std::uint64_t>(validation.results.size()));
  for (const CheckResult& row : validation.results) result.Put(row);
  std::vector<std::string> names;
  if (validation.module) {
    for (const CommandInfo& info : validation.module->commands()) names.push_back(info.name);
  }
  result.Put(names);
  return result.text();
}

struct CheckRun {
  std::vector<CheckResult> results;
  std::vector<std::string> commands;
};

// The row for a child that ended without its results: what it was running,
// from its last note, and how it ended.
CheckResult FailedChild(const ValidateOptions& options, const Check& check, const std::string& command,
                        const ChildOutcome& outcome, double seconds) {
  CheckResult row;
  bool running = false;
  if (!outcome.note.empty()) {
    try {
      WireReader note(outcome.note);
      note.Take();
      row = note.TakeResult();
      running = true;
    } catch (const WireError&) {
      row = CheckResult();
    }
  }
  row.check = check.name;
  if (!running) row.command = command;
  const std::string where = running                                      ? ""
                            : std::string_view(check.name) == kLoadCheck ? " while loading the module"
                                                                         : " before its first run";
  switch (outcome.end) {
    case ChildEnd::OutOfMemory:
      row.status = CheckStatus::Crashed;
      row.cause = "memory";
      row.message =
          "crashed (memory)" + where + ": went past the limit of " + std::to_string(options.memoryMiB) + " MiB";
      // Only validate holds a run to the limit.
      row.replay = ValidateReplay(options, check.name);
      break;
    case ChildEnd::TimedOut:
      row.status = CheckStatus::TimedOut;
      row.message = "still running after " + SecondsText(seconds) + " s" + where + "; ended";
      if (row.replay.compare(0, 12, "hostsim run ") == 0)
        row.replay += " --timeout " + SecondsText(options.timeoutSeconds);
      break;
    default:
      row.status = CheckStatus::Crashed;
      row.cause = outcome.cause;
      if (row.cause.size() == 10 && row.cause.compare(0, 2, "0x") == 0)
        row.cause = ExceptionCodeText(static_cast<std::uint32_t>(std::strtoul(row.cause.c_str(), nullptr, 16)));
      row.message = "crashed" + where + ": " +
                    (!row.cause.empty() ? row.cause : "ended without a result (" + outcome.detail + ")");
      break;
  }
  if (row.replay.empty()) row.replay = ValidateReplay(options, check.name);
  return row;
}

// Tells the caller's listener of the child's runs as their notes come in.
class ForwardedSteps {
 public:
  explicit ForwardedSteps(StepListener* listener) : listener_(listener) {}
  ~ForwardedSteps() { End(); }
  ForwardedSteps(const ForwardedSteps&) = delete;
  ForwardedSteps& operator=(const ForwardedSteps&) = delete;

  void Note(const std::string& note) {
    if (listener_ == nullptr) return;
    std::string step;
    try {
      step = WireReader(note).Take();
    } catch (const WireError&) {
      return;
    }
    End();
    listener_->Starting(step);
    running_ = true;
  }
  void End() {
    if (running_) listener_->Finished();
    running_ = false;
  }

 private:
  StepListener* listener_;
  bool running_ = false;
};

CheckRun RunIsolated(const ValidateOptions& options, const UserScenes& scenes, const Check& check,
                     std::optional<std::size_t> command, const std::string& commandName) {
  ChildLimits limits;
  limits.seconds = options.timeoutSeconds;
  limits.memoryMiB = options.memoryMiB;
  if (std::string_view(check.name) == kDemoSceneCheck) {
    std::size_t items = 0;
    for (const UserScene& scene : scenes) items += scene.scene->size();
    limits.seconds += options.timeoutSeconds * static_cast<double>(items) / kItemsPerTimeout;
  }
  ForwardedSteps steps(options.steps);
  const ChildOutcome outcome = RunInChild(
      EncodeRequest(options, check, command),
      [&scenes](const std::string& request, ChildReporter& reporter) { return RunCheck(request, reporter, &scenes); },
      limits, [&steps](const std::string& note) { steps.Note(note); });
  steps.End();
  CheckRun run;
  ChildOutcome ended = outcome;
  if (outcome.end == ChildEnd::Finished) {
    try {
      WireReader wire(outcome.result);
      const std::uint64_t count = wire.TakeNumber();
      for (std::uint64_t index = 0; index < count; ++index) run.results.push_back(wire.TakeResult());
      run.commands = wire.TakeList();
      return run;
    } catch (const WireError& error) {
      ended.end = ChildEnd::Crashed;
      ended.cause = std::string("a result that cannot be read: ") + error.what();
      run = CheckRun();
    }
  }
  run.results.push_back(FailedChild(options, check, commandName, ended, limits.seconds));
  return run;
}

std::vector<const Check*> ChecksToRun(const ValidateOptions& options) {
  for (const std::string& name : options.checks) {
    if (FindCheck(name) != nullptr) continue;
    std::string message = "unknown check '" + name + "' (valid: ";
    for (const Check& check : Checks()) {
      if (&check != &Checks().front()) message += ", ";
      message += check.name;
    }
    throw std::invalid_argument(message + ")");
  }
  std::vector<const Check*> checks;
  for (const Check& check : Checks()) {
    if (options.checks.empty() ||
        std::find(options.checks.begin(), options.checks.end(), check.name) != options.checks.end())
      checks.push_back(&check);
  }
  return checks;
}

std::string NotRunBecause(CheckStatus load) {
  switch (load) {
    case CheckStatus::Passed: return "";
    case CheckStatus::Crashed: return "not run: the module crashed while loading";
    case CheckStatus::TimedOut: return "not run: loading the module did not finish";
    default: return "not run: the module did not load";
  }
}

}  // namespace

std::vector<CheckResult> Validate(const ValidateOptions& options) {
  const std::vector<const Check*> checks = ChecksToRun(options);
  const UserScenes scenes = ReadUserScenes(options);

  // The module is loaded in a child like every check: its start-up routine is
  // the module's code too. The other checks need the command names it finds.
  const Check& load = *FindCheck(kLoadCheck);
  const CheckRun loaded = RunIsolated(options, scenes, load, std::nullopt, "");
  const CheckResult& loadRow = loaded.results.front();
  std::vector<CheckResult> results;
  if (checks.front() == &load || loadRow.status != CheckStatus::Passed) results.push_back(loadRow);

  // A module that did not load keeps the report's shape: every row, skipped.
  const std::string notRun = NotRunBecause(loadRow.status);
  std::vector<std::string> commands = loaded.commands;
  if (!notRun.empty()) {
    commands.clear();
    for (const ExpectedCommand& expected : kExpectedCommands) commands.emplace_back(expected.name);
  }

  for (const Check* check : checks) {
    if (check == &load) continue;
    std::vector<std::optional<std::size_t>> places = {std::nullopt};
    if (check->perCommand) {
      places.clear();
      for (std::size_t place = 0; place < commands.size(); ++place) places.emplace_back(place);
    }
    for (const std::optional<std::size_t>& place : places) {
      const std::string commandName = place ? commands[*place] : "";
      if (notRun.empty()) {
        for (CheckResult& row : RunIsolated(options, scenes, *check, place, commandName).results)
          results.push_back(std::move(row));
        continue;
      }
      CheckResult skipped;
      skipped.check = check->name;
      skipped.status = CheckStatus::Skipped;
      skipped.command = commandName;
      skipped.message = notRun;
      results.push_back(std::move(skipped));
    }
  }
  return results;
}

void ServeValidationChild(const std::vector<std::string>& arguments) {
  ServeChild(arguments,
             [](const std::string& request, ChildReporter& reporter) { return RunCheck(request, reporter, nullptr); });
}

}  // namespace hostsim
