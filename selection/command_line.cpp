#include "selection/command_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const char* const kEditModeLines[4] = {"EditObjects", "EditLights", "EditCameras", "EditBones"};

namespace {

void Send(const CommandLine& line) {
  // The host's answer carries nothing the commands act on.
  line.local->evaluate(line.local->context, line.text);
}

}  // namespace

void AppendItemHex(ItemId item, char* destination) {
  static const char kHexDigits[] = "0123456789ABCDEF";
  auto value = static_cast<std::uint32_t>(item);
  for (int place = 7; place >= 0; --place) {
    destination[place] = kHexDigits[value & 0xFu];
    value >>= 4;
  }
  destination[8] = '\0';
}

CommandLine StartCommandLine(void* local, const char* prefix) {
  CommandLine line{static_cast<const LayoutGeneric*>(local), {}, nullptr};
  SetLinePrefix(line, prefix);
  return line;
}

void SetLinePrefix(CommandLine& line, const char* prefix) {
  const std::size_t length = std::strlen(prefix);
  std::memcpy(line.text, prefix, length + 1);
  line.digits = line.text + length;
}

void SendItemLine(CommandLine& line, ItemId item) {
  AppendItemHex(item, line.digits);
  Send(line);
}

void SendFormattedLine(CommandLine& line, const char* format, ItemId item) {
  std::snprintf(line.text, sizeof line.text, format, static_cast<unsigned>(static_cast<std::uint32_t>(item)));
  line.digits = nullptr;
  Send(line);
}

void SendFixedLine(CommandLine& line, const char* text) {
  // Copied, not printed: a bone search sends one of these for every object it
  // steps onto. Cut at the capacity, as a print would be.
  std::size_t length = 0;
  while (length + 1 < sizeof line.text && text[length] != '\0') ++length;
  std::memcpy(line.text, text, length);
  line.text[length] = '\0';
  line.digits = nullptr;
  Send(line);
}
