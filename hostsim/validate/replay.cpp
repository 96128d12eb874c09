#include "hostsim/validate/replay.h"

#include <cstdio>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

struct KindKey {
  const char* name;
  char key;
};
const KindKey kKindKeys[] = {{"object", '1'}, {"light", '2'}, {"camera", '3'}, {"bone", '4'}};

constexpr char kNullNamesFault[] = "null-names";
constexpr char kHighIdBitsFault[] = "high-id-bits";
constexpr char kMissingServiceFault[] = "missing-service=";

// Set in every id the host hands out under the high-id-bits fault, where an
// id is wide enough to hold them.
constexpr std::uint64_t HighIdBits() { return sizeof(ItemId) >= 8 ? 0xABCD0000ull << 32 : 0; }

// A selection longer than this makes a line nobody pastes.
constexpr std::size_t kLongestReplayedSelection = 1000;

// A key as "hostsim run --keys" reads it back.
std::string KeyArgument(std::uint32_t key) {
  if (key == 9) return "tab";
  if (key == 13) return "enter";
  if (key > 0x20 && key < 0x7F) return std::string(1, static_cast<char>(key));
  return "0x" + Hex(key, 2);
}

std::string Joined(const std::vector<std::string>& words) {
  std::string line = "hostsim";
  for (const std::string& word : words) line += " " + ShellWord(word);
  return line;
}

}  // namespace

std::string ShellWord(const std::string& word) {
  const bool bare = !word.empty() && word.find_first_not_of(
                                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "0123456789_-./:=@%+,") == std::string::npos;
  if (bare) return word;
  // Double quotes read the same in a POSIX shell and in cmd.exe for all but
  // these, which the POSIX shell needs escaped.
  std::string quoted = "\"";
  for (std::size_t at = 0; at < word.size(); ++at) {
    const char c = word[at];
    const bool last = at + 1 == word.size();
    if (c == '"' || c == '$' || c == '`' || (c == '\\' && (last || word[at + 1] == '"'))) quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string SecondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

bool AddFault(std::string_view name, Faults& faults) {
  if (name == kNullNamesFault) {
    faults.nullNames = true;
    return true;
  }
  if (name == kHighIdBitsFault) {
    faults.idHighBits = HighIdBits();
    return true;
  }
  const std::string_view prefix = kMissingServiceFault;
  if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
    faults.missingServices.insert(std::string(name.substr(prefix.size())));
    return true;
  }
  return false;
}

std::vector<std::string> FaultNames(const Faults& faults) {
  std::vector<std::string> names;
  if (faults.idHighBits != 0) names.emplace_back(kHighIdBitsFault);
  if (faults.nullNames) names.emplace_back(kNullNamesFault);
  for (const std::string& service : faults.missingServices) names.push_back(kMissingServiceFault + service);
  return names;
}

PanelUser PanelScript::User() const {
  PanelUser user;
  for (std::size_t index = 0; kind != nullptr && index < sizeof kKindKeys / sizeof kKindKeys[0]; ++index) {
    if (std::string_view(kind) == kKindKeys[index].name)
      user.PressesToChoose(static_cast<std::uint32_t>(kKindKeys[index].key), static_cast<std::int32_t>(index));
  }
  if (pattern) user.Types(*pattern);
  for (const std::uint32_t key : keys) user.Presses(key);
  return dismisses ? user.Dismisses() : user.Confirms();
}

std::vector<std::string> PanelScript::RunArguments() const {
  std::vector<std::string> arguments;
  if (kind != nullptr) arguments.insert(arguments.end(), {"--kind", kind});
  if (pattern) arguments.insert(arguments.end(), {"--pattern", *pattern});
  if (!keys.empty()) arguments.emplace_back("--keys");
  for (const std::uint32_t key : keys) arguments.push_back(KeyArgument(key));
  if (dismisses) arguments.emplace_back("--dismiss");
  return arguments;
}

std::string RunReplay(const ValidateOptions& options, const Activation& activation, std::optional<double> timeout) {
  if (activation.selection.size() > kLongestReplayedSelection) return "";
  std::vector<std::string> words = {"run", activation.command, "--module", options.modulePath};
  if (!activation.sceneFile.empty()) {
    words.insert(words.end(), {"--scene", activation.sceneFile});
    if (!options.contentDirectory.empty()) words.insert(words.end(), {"--content", options.contentDirectory});
  } else if (activation.seed) {
    words.insert(words.end(), {"--random", std::to_string(*activation.seed)});
  }
  words.insert(words.end(), {"--updates", UpdateModeName(activation.mode)});
  if (!activation.selection.empty()) words.emplace_back("--select");
  for (const std::uint32_t id : activation.selection) words.push_back(IdText(id));
  for (const std::string& fault : FaultNames(activation.faults)) words.insert(words.end(), {"--fault", fault});
  if (activation.script != nullptr) {
    for (std::string& argument : activation.script->RunArguments()) words.push_back(std::move(argument));
  }
  if (timeout) words.insert(words.end(), {"--timeout", SecondsText(*timeout)});
  return Joined(words);
}

std::string ValidateReplay(const ValidateOptions& options, const std::string& check) {
  std::vector<std::string> words = {"validate", options.modulePath, "--check",
                                    check,      "--seed",           std::to_string(options.seed)};
  if (options.randomScenes != kDefaultRandomScenes)
    words.insert(words.end(), {"--scenes", std::to_string(options.randomScenes)});
  if (!options.scenes.empty()) words.emplace_back("--scene");
  for (const std::string& scene : options.scenes) words.push_back(scene);
  if (!options.scenes.empty() && !options.contentDirectory.empty())
    words.insert(words.end(), {"--content", options.contentDirectory});
  if (options.timeoutSeconds != kDefaultTimeoutSeconds)
    words.insert(words.end(), {"--timeout", SecondsText(options.timeoutSeconds)});
  if (options.memoryMiB != kDefaultMemoryMiB)
    words.insert(words.end(), {"--memory", std::to_string(options.memoryMiB)});
  return Joined(words);
}

}  // namespace hostsim
