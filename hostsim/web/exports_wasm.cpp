// The functions qz_host.js calls. Each answers in JSON, in a buffer that stays
// valid until the next call; one call at a time, since a run waits for the
// page's panel callback with the module suspended (asyncify).
#include <emscripten.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/host/module_library.h"
#include "hostsim/scene/json_writer.h"
#include "hostsim/scene/text.h"
#include "hostsim/web/session.h"

namespace {

std::string g_reply;

const char* Reply(std::string text) {
  g_reply = std::move(text);
  return g_reply.c_str();
}

const char* Failure(const std::exception& error) {
  hostsim::JsonWriter json;
  json.BeginObject();
  json.Key("error").String(std::string("hostsim: ") + error.what());
  json.Key("line").Null();
  json.EndObject();
  return Reply(json.text());
}

constexpr char kNotIds[] = "{\"error\":\"a selection of ids in hex\",\"line\":null}";

// Ids in hex, one space between each; nothing for anything else.
std::optional<std::vector<std::uint32_t>> Ids(std::string_view rest) {
  std::vector<std::uint32_t> ids;
  while (!rest.empty()) {
    const std::size_t space = rest.find(' ');
    const std::optional<std::uint32_t> id = hostsim::ParseHex(rest.substr(0, space));
    if (!id) return std::nullopt;
    ids.push_back(*id);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
  }
  return ids;
}

hostsim::WebSession& Session() {
  static hostsim::WebSession session(hostsim::ProgramModule("qz_lasso"));
  return session;
}

}  // namespace

// Hands the panel as it stands to the page and waits for the user's next step,
// which comes back in a buffer of malloc's for the caller to free.
EM_ASYNC_JS(char*, qz_panel_wait, (const char* view), {
  const step = await Module["qzPanelStep"](UTF8ToString(view));
  const size = lengthBytesUTF8(step) + 1;
  const buffer = _malloc(size);
  stringToUTF8(step, buffer, size);
  return buffer;
});

extern "C" {

EMSCRIPTEN_KEEPALIVE const char* qz_commands() {
  try {
    return Reply(Session().CommandsJson());
  } catch (const std::exception& error) {
    return Failure(error);
  }
}

EMSCRIPTEN_KEEPALIVE const char* qz_open_demo() {
  try {
    return Reply(Session().OpenDemo());
  } catch (const std::exception& error) {
    return Failure(error);
  }
}

EMSCRIPTEN_KEEPALIVE const char* qz_open_scene(const char* fileName, const char* bytes, int size) {
  try {
    return Reply(Session().OpenScene(fileName, std::string_view(bytes, static_cast<std::size_t>(size))));
  } catch (const std::exception& error) {
    return Failure(error);
  }
}

// `selection`: the ids in hex, one space between each.
EMSCRIPTEN_KEEPALIVE const char* qz_run(const char* command, const char* selection, const char* updates) {
  try {
    const std::optional<std::vector<std::uint32_t>> ids = Ids(selection);
    if (!ids) return Reply(kNotIds);
    const hostsim::LiveUser user = [](const hostsim::PanelRecord& panel, std::optional<bool> keyHandled) {
      char* step = qz_panel_wait(hostsim::PanelViewJson(panel, keyHandled).c_str());
      hostsim::UserStep parsed = hostsim::ParseUserStep(step);
      std::free(step);
      return parsed;
    };
    return Reply(Session().Run(command, *ids, updates, user));
  } catch (const std::exception& error) {
    return Failure(error);
  }
}

EMSCRIPTEN_KEEPALIVE const char* qz_time(const char* command, const char* selection, const char* pattern, int repeat) {
  try {
    const std::optional<std::vector<std::uint32_t>> ids = Ids(selection);
    if (!ids) return Reply(kNotIds);
    return Reply(Session().Time(command, *ids, pattern, static_cast<std::size_t>(std::max(repeat, 1))));
  } catch (const std::exception& error) {
    return Failure(error);
  }
}

}  // extern "C"
