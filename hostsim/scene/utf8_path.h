// File names are UTF-8 everywhere in hostsim. Windows opens a file by its
// UTF-16 name; its narrow calls would read the bytes in the ANSI code page
// instead, and a scene in a folder named in Japanese or with an accent would
// not open. Everything hostsim opens goes through these.
#ifndef QZ_HOSTSIM_SCENE_UTF8_PATH_H
#define QZ_HOSTSIM_SCENE_UTF8_PATH_H

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace hostsim {

// std::fopen with a UTF-8 name.
std::FILE* OpenFile(const std::string& path, const char* mode);

// The whole file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Replaces the file's contents; false when any of it could not be written.
bool WriteWholeFile(const std::string& path, std::string_view contents);

// What a name leads to, the same however the file is reached: another
// spelling of its folder, another letter case where the file system ignores
// case, a link. Two names are one file when volume and index agree.
struct FileIdentity {
  std::uint64_t volume = 0;
  std::uint64_t index = 0;
  bool folder = false;
  bool SameFile(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
// Nothing when no file or folder of that name can be reached.
std::optional<FileIdentity> IdentifyFile(const std::string& path);

// Writes the file whole or not at all: the contents go to a new file beside
// it, which then takes its name in one step, replacing any file of that name.
// Empty on success, else the system's reason; a file of that name is then as
// it was.
std::string ReplaceWholeFile(const std::string& path, std::string_view contents);

#if defined(_WIN32)
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
// The system's words for an error code of GetLastError.
std::string WindowsErrorText(unsigned long error);
#endif

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_UTF8_PATH_H
