#include "hostsim/cli/cli_validate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <stdexcept>

#include "hostsim/scene/json_writer.h"
#include "hostsim/cli/loading.h"
#include "hostsim/cli/text.h"
#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8_path.h"
#include "hostsim/validate/validate.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kValidateOptions = {
    {"--seed", "S", false, "seed of the random scenes and selections (default: a fresh one, printed)"},
    {"--scenes", "N", false, "how many random scenes (default: 24)"},
    {"--check", "NAME", true, "run only these checks (names below)"},
    {"--scene", "FILE", true, "scene files the demo-scene check runs on too; its time limit grows with them"},
    kContentOption,
    {"--timeout", "S", false, "end a check whose command has run S seconds without returning (default: 10)"},
    {"--memory", "MiB", false, "end a check, per command, that takes more memory than this (default: 1024)"},
    {"--only-failed", "", false, "report failed, crashed and timed-out checks only"},
    kJsonOption,
    kColorOption,
};

std::uint64_t ParseNumber(const Options& options, const char* name, std::uint64_t fallback, std::uint64_t least,
                          std::uint64_t most) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  const std::optional<std::uint64_t> value = ParseUnsigned(text);
  if (!value || *value < least || *value > most)
    throw CliError(std::string(name) + " needs a number " + (least > 0 ? "from " + std::to_string(least) + " " : "") +
                   "up to " + std::to_string(most) + ", not '" + text + "'");
  return *value;
}

std::string SelectionText(const std::vector<std::uint32_t>& selection) {
  if (selection.empty()) return "nothing selected";
  std::string text = "selection";
  for (std::size_t entry = 0; entry < selection.size() && entry < 6; ++entry) text += " " + IdText(selection[entry]);
  if (selection.size() > 6) text += " and " + std::to_string(selection.size() - 6) + " more";
  return text;
}

// Failed, crashed or timed out.
bool Wrong(CheckStatus status) { return status != CheckStatus::Passed && status != CheckStatus::Skipped; }

struct StatusLook {
  const char* word;
  const char* colour;
};

StatusLook LookOf(CheckStatus status) {
  switch (status) {
    case CheckStatus::Passed: return {"PASS", kGreen};
    case CheckStatus::Failed: return {"FAIL", kBoldRed};
    case CheckStatus::Skipped: return {"SKIP", kYellow};
    case CheckStatus::Crashed: return {"CRASH", kBoldRed};
    case CheckStatus::TimedOut: return {"TIMEOUT", kBoldRed};
  }
  return {"?", kBoldRed};
}

void PrintText(const std::vector<CheckResult>& results, bool onlyFailed, bool color, std::ostream& out) {
  for (const CheckResult& result : results) {
    if (onlyFailed && !Wrong(result.status)) continue;
    const StatusLook look = LookOf(result.status);
    const std::string word = look.word;
    // Two blanks after the four-letter words, one after the longer ones.
    out << Styled(word, look.colour, color) << std::string(word.size() < 5 ? 6 - word.size() : 1, ' ')
        << PadRight(result.check, 17) << " " << PadRight(result.command, 18) << " ";
    if (Wrong(result.status) && !result.scene.empty()) {
      out << result.scene << (result.seed ? " seed " + std::to_string(*result.seed) : "") << ", " << result.updates
          << " updates, " << SelectionText(result.selection) << ": ";
    } else if (!result.scene.empty()) {
      out << result.scene << ": ";
    }
    out << result.message << "\n";
    if (!result.replay.empty()) out << "      replay: " << result.replay << "\n";
  }
}

void OptionalString(JsonWriter& json, const std::string& text) {
  if (text.empty())
    json.Null();
  else
    json.String(text);
}

constexpr CheckStatus kStatuses[] = {CheckStatus::Passed, CheckStatus::Failed, CheckStatus::Skipped,
                                     CheckStatus::Crashed, CheckStatus::TimedOut};

void PrintJson(const std::vector<CheckResult>& results, bool onlyFailed, const std::string& module, std::uint64_t seed,
               std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  json.Key("module").String(module);
  json.Key("seed").Number(static_cast<std::int64_t>(seed));
  for (const CheckStatus status : kStatuses) {
    std::int64_t count = 0;
    for (const CheckResult& result : results) count += result.status == status;
    json.Key(CheckStatusName(status)).Number(count);
  }
  json.Key("results").BeginArray();
  for (const CheckResult& result : results) {
    if (onlyFailed && !Wrong(result.status)) continue;
    json.BeginObject();
    json.Key("check").String(result.check);
    json.Key("status").String(CheckStatusName(result.status));
    json.Key("command");
    OptionalString(json, result.command);
    json.Key("scene").String(result.scene);
    json.Key("seed");
    if (result.seed)
      json.Number(static_cast<std::int64_t>(*result.seed));
    else
      json.Null();
    json.Key("updates").String(result.updates);
    json.Key("selection").BeginArray();
    for (const std::uint32_t id : result.selection) json.String(IdText(id));
    json.EndArray();
    json.Key("message").String(result.message);
    json.Key("cause");
    OptionalString(json, result.cause);
    json.Key("replay");
    OptionalString(json, result.replay);
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  out << json.text() << "\n";
}

std::vector<std::string> CheckNames() {
  std::vector<std::string> names;
  for (const Check& check : Checks()) names.emplace_back(check.name);
  return names;
}

ValidateOptions ValidateOptionsOf(const Options& options, Console& console) {
  ValidateOptions validate;
  validate.modulePath = options.positional.empty() ? DefaultModulePath() : options.positional[0];
  validate.steps = console.validationSteps;
  CheckModuleFile(validate.modulePath, options.positional.empty() ? ": hostsim validate MODULE" : "");
  const std::uint64_t freshSeed =
      std::random_device()() ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  validate.seed = ParseNumber(options, "--seed", freshSeed % 1000000000u, 0, 0xFFFFFFFFFFFFull);
  validate.randomScenes = static_cast<int>(ParseNumber(options, "--scenes", kDefaultRandomScenes, 0, 100000));
  validate.timeoutSeconds = ParseSeconds(options, "--timeout", kDefaultTimeoutSeconds);
  validate.memoryMiB = ParseNumber(options, "--memory", kDefaultMemoryMiB, 1, 1u << 20);
  validate.checks = options.All("--check");
  if (options.Has("--check") && validate.checks.empty()) throw CliError("option --check needs a value (NAME)");
  for (const std::string& name : validate.checks) {
    if (FindCheck(name) == nullptr)
      throw CliError("unknown check '" + name + "' (valid: " + JoinedChoices(CheckNames()) + ")");
  }
  validate.scenes = options.All("--scene");
  if (options.Has("--scene") && validate.scenes.empty()) throw CliError("option --scene needs a value (FILE)");
  if (options.Has("--content")) validate.contentDirectory = SceneFileOptionsOf(options).contentDirectory;
  return validate;
}

// The paragraphs of "hostsim validate --help", as they print.
constexpr char kValidateAbout[] =
    R"(Loads a module file (default: the one built beside hostsim) as the host would and runs a
table of checks on it, each reported as passed, failed or skipped, per command where that
applies. Each check, per command, runs in a process of its own: one that crashes is
reported as CRASH with its signal or exception code, one that goes past --memory as
CRASH (memory), one whose command runs longer than --timeout as TIMEOUT, and the other
checks go on. A failure names the check, command, scene, seed, update mode and selection
of the first run that failed, with a command line that repeats it. Exit status 1 when
any check failed, crashed or timed out.
)";

HelpText ValidateHelp() {
  std::string checks = "\nchecks:\n";
  for (const Check& check : Checks()) checks += "  " + std::string(check.name) + ": " + check.description + "\n";
  return {"validate [MODULE] [options]", kValidateAbout, kValidateOptions, checks};
}

int RunValidate(const Options& options, Console& console) {
  const bool color = UseColor(options, console);
  const ValidateOptions validate = ValidateOptionsOf(options, console);
  std::vector<CheckResult> results;
  try {
    results = Validate(validate);
  } catch (const std::runtime_error& error) {
    // A scene that cannot be read, or no child process to be had.
    throw CliError(error.what());
  }
  const bool onlyFailed = options.Has("--only-failed");
  std::size_t counts[std::size(kStatuses)] = {};
  for (const CheckResult& result : results) ++counts[static_cast<int>(result.status)];
  if (options.Has("--json")) {
    PrintJson(results, onlyFailed, validate.modulePath, validate.seed, console.out);
  } else {
    console.out << "validating " << validate.modulePath << " with seed " << validate.seed << " (repeat with --seed "
                << validate.seed << ")\n";
    PrintText(results, onlyFailed, color, console.out);
    console.out << counts[0] << " passed, " << counts[1] << " failed, " << counts[3] << " crashed, " << counts[4]
                << " timed out, " << counts[2] << " skipped\n";
  }
  const bool clean = counts[1] == 0 && counts[3] == 0 && counts[4] == 0;
  return clean ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kValidateSubcommand = {"validate", "check a module file as the host would load and drive it",
                                        ValidateHelp, 1, RunValidate};

void ServeValidateChild(const std::vector<std::string>& arguments) { ServeValidationChild(arguments); }

}  // namespace hostsim
