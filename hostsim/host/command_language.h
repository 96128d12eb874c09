// The part of the host's command language a selection module may speak.
#ifndef QZ_HOSTSIM_COMMAND_LANGUAGE_H
#define QZ_HOSTSIM_COMMAND_LANGUAGE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace hostsim {

// Longest line the host takes, without its terminator.
constexpr std::size_t kMaxCommandLineLength = 28;

enum class Verb { SelectItem, AddToSelection, RemoveFromSelection, EditObjects, EditLights, EditCameras, EditBones };

struct ParsedLine {
  bool valid = false;
  Verb verb = Verb::SelectItem;
  std::uint32_t item = 0;  // for the three selection verbs
  std::string error;       // why the line is not valid
};

// Strict: one verb, and for the selection verbs one space and one to eight hex
// digits in either case. Anything else is a protocol error.
ParsedLine ParseCommandLine(std::string_view line);

bool IsEditMode(Verb verb);
int EditModeKind(Verb verb);  // 0..3 for the edit-mode verbs

}  // namespace hostsim

#endif  // QZ_HOSTSIM_COMMAND_LANGUAGE_H
