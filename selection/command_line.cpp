#include "selection/command_line.h"

#include <cstdint>
#include <cstring>

const char* const kEditModeLines[4] = {"EditObjects", "EditLights", "EditCameras", "EditBones"};

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

void SendShortHexLine(CommandLine& line, const char* prefix, ItemId item) {
  // Written by hand like the fixed-width digits: a formatted print would cost
  // more than the rest of a short command.
  static const char kLowerDigits[] = "0123456789abcdef";
  SetLinePrefix(line, prefix);
  auto value = static_cast<std::uint32_t>(item);
  int count = 1;
  while (count < 8 && (value >> (4 * count)) != 0) ++count;
  for (int place = count - 1; place >= 0; --place) {
    line.digits[place] = kLowerDigits[value & 0xFu];
    value >>= 4;
  }
  line.digits[count] = '\0';
  line.digits = nullptr;
  SendLine(line);
}

void SendFixedLine(CommandLine& line, const char* text) {
  // A bone search sends one of these for every object it steps onto. A text
  // that fits goes to the host as it is: nothing to copy, and no bytes just
  // stored for the host's read to wait on (see WriteItemDigits). A longer one
  // is cut at the capacity, as a print would be.
  std::size_t length = 0;
  while (length + 1 < sizeof line.text && text[length] != '\0') ++length;
  if (text[length] == '\0') {
    line.local->evaluate(line.local->context, text);
    return;
  }
  std::memcpy(line.text, text, length);
  line.text[length] = '\0';
  line.digits = nullptr;
  SendLine(line);
}
