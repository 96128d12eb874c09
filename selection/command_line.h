// The one buffer a command composes its host command lines in.
//
// A prefix is written once; for every further item only the eight digits and
// the terminator are rewritten, so a long run of additions costs a few stores
// per line.
#ifndef QZ_SELECTION_COMMAND_LINE_H
#define QZ_SELECTION_COMMAND_LINE_H

#include <cstddef>

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
void AppendItemHex(ItemId item, char* destination);

CommandLine StartCommandLine(void* local, const char* prefix);

// Replaces the prefix; later items are written right after it.
void SetLinePrefix(CommandLine& line, const char* prefix);

// Prefix followed by the item's eight digits.
void SendItemLine(CommandLine& line, ItemId item);

// A whole line: the prefix, then the low 32 bits as printf's "%x" writes them
// (lower case, no leading zeros). It overwrites the prefix: set one again
// before the next SendItemLine.
void SendShortHexLine(CommandLine& line, const char* prefix, ItemId item);

// A line without an item, such as an edit-mode switch. Overwrites the prefix.
void SendFixedLine(CommandLine& line, const char* text);

#endif  // QZ_SELECTION_COMMAND_LINE_H
