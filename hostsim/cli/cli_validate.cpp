#include "hostsim/cli/cli_validate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/text.h"
#include "hostsim/scene/text.h"
#include "hostsim/validate/validate.h"

namespace hostsim {

namespace {

const std::vector<OptionSpec> kValidateOptions = {
    {"--seed", "S", false, "seed of the random scenes and selections (default: a fresh one, printed)"},
    {"--scenes", "N", false, "how many random scenes (default: 24)"},
    {"--only-failed", "", false, "report failed checks only"},
    kJsonOption,
    kColorOption,
};

std::uint64_t ParseNumber(const Options& options, const char* name, std::uint64_t fallback, std::uint64_t most) {
  if (!options.Has(name)) return fallback;
  const std::string text = options.Value(name);
  const std::optional<std::uint64_t> value = ParseUnsigned(text);
  if (!value || *value > most)
    throw CliError(std::string(name) + " needs a number up to " + std::to_string(most) + ", not '" + text + "'");
  return *value;
}

std::string SelectionText(const std::vector<std::uint32_t>& selection) {
  if (selection.empty()) return "nothing selected";
  std::string text = "selection";
  for (std::size_t entry = 0; entry < selection.size() && entry < 6; ++entry) text += " " + IdText(selection[entry]);
  if (selection.size() > 6) text += " and " + std::to_string(selection.size() - 6) + " more";
  return text;
}

void PrintText(const std::vector<CheckResult>& results, bool onlyFailed, bool color, std::ostream& out) {
  for (const CheckResult& result : results) {
    if (onlyFailed && result.status != CheckStatus::Failed) continue;
    const char* status = result.status == CheckStatus::Passed   ? "PASS"
                         : result.status == CheckStatus::Failed ? "FAIL"
                                                                : "SKIP";
    const char* colour = result.status == CheckStatus::Passed   ? kGreen
                         : result.status == CheckStatus::Failed ? kBoldRed
                                                                : kYellow;
    out << Styled(status, colour, color) << "  " << PadRight(result.check, 17) << " " << PadRight(result.command, 18)
        << " ";
    if (result.status == CheckStatus::Failed && !result.scene.empty()) {
      out << result.scene << (result.seed ? " seed " + std::to_string(*result.seed) : "") << ", " << result.updates
          << " updates, " << SelectionText(result.selection) << ": ";
    } else if (!result.scene.empty()) {
      out << result.scene << ": ";
    }
    out << result.message << "\n";
  }
}

void PrintJson(const std::vector<CheckResult>& results, bool onlyFailed, const std::string& module, std::uint64_t seed,
               std::ostream& out) {
  JsonWriter json;
  json.BeginObject();
  json.Key("module").String(module);
  json.Key("seed").Number(static_cast<std::int64_t>(seed));
  for (const CheckStatus status : {CheckStatus::Passed, CheckStatus::Failed, CheckStatus::Skipped}) {
    std::int64_t count = 0;
    for (const CheckResult& result : results) count += result.status == status;
    json.Key(CheckStatusName(status)).Number(count);
  }
  json.Key("results").BeginArray();
  for (const CheckResult& result : results) {
    if (onlyFailed && result.status != CheckStatus::Failed) continue;
    json.BeginObject();
    json.Key("check").String(result.check);
    json.Key("status").String(CheckStatusName(result.status));
    json.Key("command");
    if (result.command.empty())
      json.Null();
    else
      json.String(result.command);
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
    json.EndObject();
  }
  json.EndArray();
  json.EndObject();
  out << json.text() << "\n";
}

ValidateOptions ValidateOptionsOf(const Options& options, Console& console) {
  ValidateOptions validate;
  validate.modulePath = options.positional[0];
  validate.steps = console.validationSteps;
  if (std::FILE* probe = std::fopen(validate.modulePath.c_str(), "rb"))
    std::fclose(probe);
  else
    throw CliError("no module file '" + validate.modulePath + "'");
  const std::uint64_t freshSeed =
      std::random_device()() ^ static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  validate.seed = ParseNumber(options, "--seed", freshSeed % 1000000000u, 0xFFFFFFFFFFFFull);
  validate.randomScenes = static_cast<int>(ParseNumber(options, "--scenes", 24, 100000));
  return validate;
}

// The paragraphs of "hostsim validate --help", as they print.
constexpr char kValidateAbout[] =
    R"(Loads a module file as the host would and runs a table of checks on it, each reported
as passed, failed or skipped, per command where that applies. A failure names the
check, command, scene, seed, update mode and selection of the first run that failed.
Exit status 1 when any check failed.
)";

HelpText ValidateHelp() {
  std::string checks = "\nchecks:\n";
  for (const Check& check : Checks()) checks += "  " + std::string(check.name) + ": " + check.description + "\n";
  return {"validate MODULE [options]", kValidateAbout, kValidateOptions, checks};
}

int RunValidate(const Options& options, Console& console) {
  if (options.positional.empty()) throw CliError("which module file? (hostsim validate MODULE)");
  const bool color = UseColor(options, console);
  const ValidateOptions validate = ValidateOptionsOf(options, console);
  const std::vector<CheckResult> results = Validate(validate);
  const bool onlyFailed = options.Has("--only-failed");
  std::size_t counts[3] = {0, 0, 0};
  for (const CheckResult& result : results) ++counts[static_cast<int>(result.status)];
  if (options.Has("--json")) {
    PrintJson(results, onlyFailed, validate.modulePath, validate.seed, console.out);
  } else {
    console.out << "validating " << validate.modulePath << " with seed " << validate.seed << " (repeat with --seed "
                << validate.seed << ")\n";
    PrintText(results, onlyFailed, color, console.out);
    console.out << counts[0] << " passed, " << counts[1] << " failed, " << counts[2] << " skipped\n";
  }
  return counts[1] == 0 ? kExitDone : kExitFailed;
}

}  // namespace

const Subcommand kValidateSubcommand = {"validate", "check a module file as the host would load and drive it",
                                        ValidateHelp, 1, RunValidate};

}  // namespace hostsim
