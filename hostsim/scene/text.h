// Text helpers every layer of hostsim shares: hex as the host and its scene
// files write it, ASCII case, blanks, and the numbers users and files give.
#ifndef QZ_HOSTSIM_SCENE_TEXT_H
#define QZ_HOSTSIM_SCENE_TEXT_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hostsim {

enum class HexCase { Upper, Lower };

// At least `digits` hex digits, zero-padded: Hex(0x1B, 4) is "001B".
std::string Hex(std::uint64_t value, int digits = 1, HexCase letters = HexCase::Upper);

// An item id as the host shows it: eight upper-case hex digits.
inline std::string IdText(std::uint32_t id) { return Hex(id, 8); }

// The text in double quotes, as messages and traces show names: "Arm*".
inline std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// ASCII only: names are bytes in whatever code page the artist used.
std::string Lowered(std::string_view text);

// `text` without any of `blanks` at its start and end.
std::string_view Trimmed(std::string_view text, std::string_view blanks = " \t");
std::string_view TrimmedRight(std::string_view text, std::string_view blanks = " \t");

// One to `maxDigits` hex digits in either case and nothing else: no sign, no
// prefix, no blanks, which the C library's readers would all let through.
std::optional<std::uint32_t> ParseHex(std::string_view digits, std::size_t maxDigits = 8);

// A decimal number from 1 to 999999999, digits only.
std::optional<std::uint32_t> ParsePositive(std::string_view digits);

// A whole number as the C library reads one in base 0 (decimal, hex after
// "0x", octal after "0"), with nothing after it and no leading minus, which
// the library would wrap around.
std::optional<std::uint64_t> ParseUnsigned(const std::string& text);

// An argument as a shell takes it back: bare when that is safe, else quoted,
// so that a command line printed for a user to paste reads back word for word.
std::string ShellWord(const std::string& word);

// Digits in groups of three, as counts are shown to users: "1,234,567".
std::string Grouped(std::uint64_t value);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_TEXT_H
