#include "hostsim/host/command_language.h"

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

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

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
    std::uint32_t value = 0;
    for (const char c : digits) {
      const int digit = HexValue(c);
      if (digit < 0) {
        parsed.error = "item id '" + std::string(digits) + "' is not hexadecimal";
        return parsed;
      }
      value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    parsed.item = value;
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
