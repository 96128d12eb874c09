// The page's side of hostsim: the linked-in module, one scene at a time, and
// runs of its commands as the page asks for them, each answered in JSON for
// qz_host.js. A run goes through the host exactly as "hostsim run" does, and
// comes back with the run line that repeats it with native hostsim.
#ifndef QZ_HOSTSIM_WEB_SESSION_H
#define QZ_HOSTSIM_WEB_SESSION_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "hostsim/host/host.h"
#include "hostsim/host/module_library.h"
#include "hostsim/host/panel.h"
#include "hostsim/scene/scene.h"

namespace hostsim {

class WebSession {
 public:
  explicit WebSession(const ModuleLibrary& module);

  // ["QZ_Sel_Child", ...] in the module's own order.
  std::string CommandsJson() const;

  // {"name", "items": [{"id", "kind", "name", "parent", "depth", "file"}]} in
  // the order "hostsim list" prints them; or, for a file that cannot be read,
  // {"error": what "hostsim list" prints after its own name, "line": n or null}.
  std::string OpenDemo();
  std::string OpenScene(const std::string& fileName, std::string_view bytes);

  // One run on the open scene from `selection` (ids, entry 0 first), in the
  // update mode named as --updates names it; a panel meets `user`. The
  // outcome, or {"error"} for a request that cannot be carried out.
  std::string Run(const std::string& command, const std::vector<std::uint32_t>& selection, std::string_view updates,
                  const LiveUser& user);

  // Times the command on the open scene from `selection` as "hostsim time
  // --json" times it, at least `repeat` times: one of its "commands" entries.
  // A panel is confirmed, with `pattern` typed first unless it is empty.
  std::string Time(const std::string& command, const std::vector<std::uint32_t>& selection, const std::string& pattern,
                   std::size_t repeat);

 private:
  std::string SceneJson() const;
  // How a run line names the item: by its name where that names it alone.
  std::string ItemWord(const Scene& scene, std::uint32_t id) const;
  // Counted once when a scene opens, so that naming each selected item in a
  // run line costs a lookup, not a walk of the scene.
  void IndexNames();

  struct Named {
    std::size_t count = 0;
    std::uint32_t first = 0;
  };

  const ModuleLibrary& module_;
  Scene scene_;
  std::unordered_map<std::string, Named> names_;
  std::string sceneName_;
  bool demo_ = false;
};

// A step of the live user as qz_host.js hands it over: "text\nTEXT",
// "choose\nN", "key\nCODE", "ok" or "cancel". Anything else dismisses the
// panel, as a user who walks away from it would.
UserStep ParseUserStep(std::string_view event);

// What the live user is shown: {"title", "controls": [{"type", "label",
// "items", "choice", "text"}], "keyHandled": true, false or null}.
std::string PanelViewJson(const PanelRecord& panel, std::optional<bool> keyHandled);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_WEB_SESSION_H
