// The one buffer a command composes its host command lines in.
//
// A prefix is written once; for every further item only the eight digits and
// the terminator are rewritten, so a long run of additions costs a few stores
// per line.
#ifndef QZ_SELECTION_COMMAND_LINE_H
#define QZ_SELECTION_COMMAND_LINE_H

#include <cstddef>
#include <cstdint>

#include "host/host_records.h"

// Longest line the host accepts, terminator included.
constexpr std::size_t kCommandLineCapacity = 29;

constexpr const char kSelectPrefix[] = "SelectItem ";
constexpr const char kAddPrefix[] = "AddToSelection ";
constexpr const char kRemovePrefix[] = "RemoveFromSelection ";

// Edit-mode lines, indexed by ItemKind.
extern const char* const kEditModeLines[4];

struct CommandLine {
  const LayoutGeneric* local;
  char text[kCommandLineCapacity];
  char* digits;  // where the eight digits of the current prefix go
};

// Writes the low 32 bits of the item as eight upper-case hex digits and a NUL.
// Every line a walk sends goes through here, so the digits are made all at
// once in one 64-bit word, a byte per digit, without a table or a loop.
inline void AppendItemHex(ItemId item, char* destination) {
  const std::uint64_t value = static_cast<std::uint32_t>(item);
  // Spread the eight nibbles over eight bytes, the most significant first in
  // the order the bytes are stored below.
  std::uint64_t nibbles = (value >> 16) | ((value & 0xFFFFu) << 32);
  nibbles = ((nibbles >> 8) & 0x000000FF000000FFull) | ((nibbles & 0x000000FF000000FFull) << 16);
  nibbles = ((nibbles >> 4) & 0x000F000F000F000Full) | ((nibbles & 0x000F000F000F000Full) << 8);
  // '0' + n, and 7 more for the letters: a byte's 0x06 carries into bit 4
  // exactly when its nibble is 10 or more.
  const std::uint64_t letters = ((nibbles + 0x0606060606060606ull) >> 4) & 0x0101010101010101ull;
  const std::uint64_t digits = nibbles + 0x3030303030303030ull + 7 * letters;
  for (int place = 0; place < 8; ++place) destination[place] = static_cast<char>(digits >> (8 * place));
  destination[8] = '\0';
}

CommandLine StartCommandLine(void* local, const char* prefix);

// Replaces the prefix; later items are written right after it.
void SetLinePrefix(CommandLine& line, const char* prefix);

// Hands the composed line to the host. Its answer carries nothing the
// commands act on.
inline void SendLine(const CommandLine& line) { line.local->evaluate(line.local->context, line.text); }

// Writes the item's digits after the prefix without sending the line yet.
//
// A host reads the line at once, and a processor cannot hand bytes it has just
// stored on to a wider read of them (a string function's vector load) until
// they reach the cache: the read waits some nanoseconds, about a tenth of a
// host call. A walk that must make another host call before it sends, such
// as asking whether the item is selected, writes its digits first, so the
// host's read finds them settled.
inline void WriteItemDigits(CommandLine& line, ItemId item) { AppendItemHex(item, line.digits); }

// Prefix followed by the item's eight digits.
inline void SendItemLine(CommandLine& line, ItemId item) {
  WriteItemDigits(line, item);
  SendLine(line);
}

// A whole line: the prefix, then the low 32 bits as printf's "%x" writes them
// (lower case, no leading zeros). It overwrites the prefix: set one again
// before the next SendItemLine.
void SendShortHexLine(CommandLine& line, const char* prefix, ItemId item);

// A line without an item, such as an edit-mode switch. May overwrite the
// prefix: set one again before the next SendItemLine.
void SendFixedLine(CommandLine& line, const char* text);

#endif  // QZ_SELECTION_COMMAND_LINE_H
