#include "hostsim/scene_file/scene_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "hostsim/scene/utf8_path.h"

namespace hostsim {

namespace {

// Real scenes are a few megabytes at most; anything far larger is not one.
constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

}  // namespace

SceneFileError::SceneFileError(const std::string& fileName, int lineNumber, const std::string& text)
    : std::runtime_error(fileName + (lineNumber > 0 ? ":" + std::to_string(lineNumber) : std::string()) + ": " + text),
      file(fileName),
      line(lineNumber),
      message(text) {}

std::string_view WithoutByteOrderMark(std::string_view text) {
  constexpr std::string_view kMark = "\xEF\xBB\xBF";
  return text.substr(0, kMark.size()) == kMark ? text.substr(kMark.size()) : text;
}

Scene ReadSceneFile(const std::string& path, const SceneFileOptions& options) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) throw SceneFileError(path, 0, std::string("cannot open the scene: ") + std::strerror(errno));
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    text.append(buffer, got);
    if (text.size() > kMaxFileBytes) {
      std::fclose(file);
      throw SceneFileError(path, 0, "larger than 256 MiB, not a scene");
    }
  }
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) throw SceneFileError(path, 0, std::string("cannot read the scene: ") + std::strerror(error));
  return ReadSceneText(text, path, options);
}

}  // namespace hostsim
