// One command run drawn as a picture for people: the scene list as a host's
// outliner shows it, before and after side by side, with the selection
// highlighted and numbered, and the lines the command sent beneath.
//
// The file is plain SVG 1.1 that any viewer or browser shows alike: integer
// coordinates, generic font families, nothing fetched from elsewhere, and the
// same bytes on every platform, so a committed picture can be compared with
// what the build draws.
#ifndef QZ_HOSTSIM_SVG_VIEW_H
#define QZ_HOSTSIM_SVG_VIEW_H

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "hostsim/cli/tree_view.h"
#include "hostsim/host/host.h"
#include "hostsim/host/panel.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

struct RunPicture {
  std::string command;
  UpdateMode mode = UpdateMode::Deferred;
  SelectionMarks marks;
  RunResult result;
  std::optional<PanelRecord> panel;  // the last panel the command opened
};

// A name, line or message as it is shown: at most `longest` characters, the
// last of them an ellipsis when cut; a byte that is not UTF-8 shows as
// EscapedText shows it, a control character as U+FFFD; the result is escaped
// for XML text.
std::string XmlText(std::string_view bytes, std::size_t longest);

std::string DrawRunSvg(const Scene& scene, const RunPicture& run);

// Throws CliError naming the file and the system's reason when it cannot be
// written.
void WriteRunSvg(const std::string& path, const Scene& scene, const RunPicture& run);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SVG_VIEW_H
