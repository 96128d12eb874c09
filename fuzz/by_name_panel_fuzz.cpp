// Whatever the user types and presses in the by-name panel, and whatever a
// careless host writes back, the command stays within its buffers, sends only
// lines the host accepts and leaves a pattern the next run can show.
//
// Input: a flags byte, a choice byte, then steps: a byte below 0x80 types that
// many bytes times three from what follows; one above takes the next two
// bytes as a key code.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "hostsim/host/host.h"
#include "module/commands.h"

namespace {

hostsim::Scene Rig() {
  hostsim::Scene scene;
  const auto body = scene.AddObject("Body");
  scene.AddBone(body, "Arm.L");
  scene.AddBone(body, "");
  scene.AddBone(scene.AddNull(""), "Arm.R");
  scene.AddLight("Key");
  scene.AddCamera("Camera");
  return scene;
}

hostsim::PanelUser UserFrom(const std::uint8_t* data, std::size_t size, bool confirms) {
  hostsim::PanelUser user;
  for (std::size_t at = 0; at < size;) {
    const std::uint8_t tag = data[at++];
    if (tag >= 0x80) {
      std::uint32_t key = 0;
      for (int byte = 0; byte < 2 && at < size; ++byte) key = key << 8 | data[at++];
      user.Presses(key | static_cast<std::uint32_t>(tag & 0x7F) << 16);
      continue;
    }
    const std::size_t length = std::min<std::size_t>(tag * 3u, size - at);
    user.Types(std::string(reinterpret_cast<const char*>(data + at), length));
    at += length;
  }
  return confirms ? user.Confirms() : user.Dismisses();
}

void Require(const hostsim::RunResult& result) {
  if (result.code == 0 && result.protocolErrors.empty()) return;
  std::fprintf(stderr, "by_name_panel_fuzz: result %d\n", result.code);
  for (const std::string& error : result.protocolErrors) std::fprintf(stderr, "  %s\n", error.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::uint8_t flags = data[0];
  hostsim::Host host(Rig());
  host.SetUpdateMode(flags & 0x40 ? hostsim::UpdateMode::Live : hostsim::UpdateMode::Deferred);
  if (flags & 0x01) host.Select({0x40000000u});
  host.panels().faults().unterminatedText = (flags & 0x02) != 0;
  if (flags & 0x04) host.panels().faults().choiceReadBack = static_cast<std::int8_t>(data[1]);
  if (flags & 0x08) host.panels().faults().failingControl = "BorderControl";
  host.panels().user() = UserFrom(data + 2, size - 2, (flags & 0x10) != 0);
  Require(host.Run(SelectByName));
  host.panels().faults() = {};
  host.panels().user() = hostsim::PanelUser().Dismisses();
  Require(host.Run(SelectByName));
  return 0;
}
