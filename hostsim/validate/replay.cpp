#include "hostsim/validate/replay.h"

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

// A selection longer than this makes a line nobody pastes.
constexpr std::size_t kLongestReplayedSelection = 1000;

std::string Joined(const std::vector<std::string>& words) {
  std::string line = "hostsim";
  for (const std::string& word : words) line += " " + ShellWord(word);
  return line;
}

}  // namespace

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
