#include "hostsim/scene/utf8_path.h"

#include <cerrno>
#include <cstring>
#include <random>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace hostsim {

#if defined(_WIN32)
std::wstring WideFromUtf8(std::string_view text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string Utf8FromWide(std::wstring_view text) {
  if (text.empty()) return std::string();
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
  return narrow;
}

std::string WindowsErrorText(unsigned long error) {
  wchar_t text[512] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text,
                 sizeof text / sizeof text[0], nullptr);
  std::string message = Utf8FromWide(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(error) : message;
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(WideFromUtf8(path).c_str(), WideFromUtf8(mode).c_str());
}
#else
std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
#endif

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::FILE* file = OpenFile(path, "rb");
  if (file == nullptr) return std::nullopt;
  std::string text;
  char buffer[65536];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) return std::nullopt;
  return text;
}

bool WriteWholeFile(const std::string& path, std::string_view contents) {
  std::FILE* file = OpenFile(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
  return (std::fclose(file) == 0) && written;
}

std::optional<FileIdentity> IdentifyFile(const std::string& path) {
  FileIdentity identity;
#if defined(_WIN32)
  // Asking for no access reaches a file another program holds open; the
  // backup flag is what opens a folder.
  const HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION information{};
  const bool known = GetFileInformationByHandle(file, &information) != 0;
  CloseHandle(file);
  if (!known) return std::nullopt;
  identity.volume = information.dwVolumeSerialNumber;
  identity.index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
  identity.folder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return std::nullopt;
  identity.volume = static_cast<std::uint64_t>(status.st_dev);
  identity.index = static_cast<std::uint64_t>(status.st_ino);
  identity.folder = S_ISDIR(status.st_mode);
#endif
  return identity;
}

std::string ReplaceWholeFile(const std::string& path, std::string_view contents) {
  // Beside the file, so that the rename stays on its volume; a name of its
  // own, so that two writers never share one.
  static std::random_device random;
  const std::string temporary = path + ".hostsim-" + std::to_string(random()) + ".tmp";
  errno = 0;
  std::FILE* file = OpenFile(temporary, "wb");
  if (file == nullptr) return std::strerror(errno);
  bool done = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size() && std::fflush(file) == 0;
  // On the disk before it takes the name: a crash then leaves the old file
  // or the new one, never an empty one.
#if defined(_WIN32)
  done = done && _commit(_fileno(file)) == 0;
#else
  done = done && fsync(fileno(file)) == 0;
#endif
  int error = errno;
  done = std::fclose(file) == 0 && done;
  if (error == 0) error = errno;
  const auto discard = [&temporary] {
#if defined(_WIN32)
    _wremove(WideFromUtf8(temporary).c_str());
#else
    std::remove(temporary.c_str());
#endif
  };
  if (!done) {
    discard();
    return error != 0 ? std::strerror(error) : "the system gave no reason";
  }
#if defined(_WIN32)
  if (MoveFileExW(WideFromUtf8(temporary).c_str(), WideFromUtf8(path).c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
    std::string reason = WindowsErrorText(GetLastError());
    discard();
    return reason;
  }
#else
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    std::string reason = std::strerror(errno);
    discard();
    return reason;
  }
#endif
  return std::string();
}

}  // namespace hostsim
