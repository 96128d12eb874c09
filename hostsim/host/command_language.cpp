#include "hostsim/host/command_language.h"

#include <optional>

#include "hostsim/scene/text.h"

namespace hostsim {

namespace {

struct VerbName {
  std::string_view text;
  Verb verb;
  bool takesItem;
};

constexpr VerbName kVerbs[] = {
    {"SelectItem", Verb::SelectItem, true},
    {"AddToSelection", Verb::AddToSelection, true},
    {"RemoveFromSelection", Verb::RemoveFromSelection, true},
    {"EditObjects", Verb::EditObjects, false},
    {"EditLights", Verb::EditLights, false},
    {"EditCameras", Verb::EditCameras, false},
    {"EditBones", Verb::EditBones, false},
};

}  // namespace

ParsedLine ParseCommandLine(std::string_view line) {
  ParsedLine parsed;
  if (line.size() > kMaxCommandLineLength) {
    parsed.error = "line longer than 28 bytes";
    return parsed;
  }
  const std::size_t space = line.find(' ');
  const std::string_view word = line.substr(0, space);
  for (const VerbName& candidate : kVerbs) {
    if (candidate.text != word) continue;
    parsed.verb = candidate.verb;
    if (!candidate.takesItem) {
      parsed.valid = space == std::string_view::npos;
      if (!parsed.valid) parsed.error = "'" + std::string(word) + "' takes no argument";
      return parsed;
    }
    if (space == std::string_view::npos) {
      parsed.error = "'" + std::string(word) + "' needs an item id";
      return parsed;
    }
    const std::string_view digits = line.substr(space + 1);
    if (digits.empty() || digits.size() > 8) {
      parsed.error = "item id must be 1 to 8 hex digits";
      return parsed;
    }
    const std::optional<std::uint32_t> value = ParseHex(digits);
    if (!value) {
      parsed.error = "item id '" + std::string(digits) + "' is not hexadecimal";
      return parsed;
    }
    parsed.item = *value;
    parsed.valid = true;
    return parsed;
  }
  parsed.error = "unknown command '" + std::string(word) + "'";
  return parsed;
}

bool IsEditMode(Verb verb) { return EditModeKind(verb) >= 0; }

int EditModeKind(Verb verb) {
  switch (verb) {
    case Verb::EditObjects: return 0;
    case Verb::EditLights: return 1;
    case Verb::EditCameras: return 2;
    case Verb::EditBones: return 3;
    default: return -1;
  }
}

}  // namespace hostsim
