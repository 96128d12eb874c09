// File names are UTF-8 everywhere in hostsim. Windows opens a file by its
// UTF-16 name; its narrow calls would read the bytes in the ANSI code page
// instead, and a scene in a folder named in Japanese or with an accent would
// not open. Everything hostsim opens goes through these.
#ifndef QZ_HOSTSIM_SCENE_UTF8_PATH_H
#define QZ_HOSTSIM_SCENE_UTF8_PATH_H

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

#if defined(_WIN32)
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);
#endif

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_UTF8_PATH_H
