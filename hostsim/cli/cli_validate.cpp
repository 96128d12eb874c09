#include "hostsim/cli/cli_validate.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "hostsim/cli/cli_support.h"
#include "hostsim/cli/json_writer.h"
#include "hostsim/cli/tree_view.h"
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
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || text[0] == '-' || value > most)
    throw CliError(std::string(name) + " needs a number up to " + std::to_string(most) + ", not '" + text + "'");
  return value;
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
    const char* colour = result.status == CheckStatus::Passed   ? "\033[32m"
                         : result.status == CheckStatus::Failed ? "\033[1;31m"
                                                                : "\033[33m";
    std::string check = result.check, command = result.command;
    check.resize(std::max<std::size_t>(check.size(), 17), ' ');
    command.resize(std::max<std::size_t>(command.size(), 18), ' ');
    out << (color ? colour : "") << status << (color ? "\033[0m" : "") << "  " << check << " " << command << " ";
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

}  // namespace

int ValidateSubcommand(const std::vector<std::string>& arguments, Console& console) {
  if (WantsHelp(arguments)) {
    std::string checks = "\nchecks:\n";
    for (const Check& check : Checks()) checks += "  " + std::string(check.name) + ": " + check.description + "\n";
    return PrintHelp({"validate MODULE [options]",
                      "Loads a module file as the host would and runs a table of checks on it, each reported\n"
                      "as passed, failed or skipped, per command where that applies. A failure names the\n"
                      "check, command, scene, seed, update mode and selection of the first run that failed.\n"
                      "Exit status 1 when any check failed.\n",
                      kValidateOptions, checks},
                     console.out);
  }
  const Options options = ParseOptions(arguments, kValidateOptions, 1);
  if (options.positional.empty()) throw CliError("which module file? (hostsim validate MODULE)");
  const bool color = UseColor(options, console);
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

}  // namespace hostsim
