// UTF-8 for the writers of text meant for people and scripts: names come from
// scene files as arbitrary bytes, and what hostsim writes must decode anywhere.
#ifndef QZ_HOSTSIM_UTF8_H
#define QZ_HOSTSIM_UTF8_H

#include <cstddef>
#include <string>
#include <string_view>

namespace hostsim {

struct Utf8Char {
  std::size_t length = 0;  // bytes, 1 to 4; 0 when the bytes are not a character
  char32_t codePoint = 0;
};

// The character starting at text[at]. Only well-formed sequences count: a
// stray continuation byte, a sequence cut short, an overlong form, a
// surrogate or a value above U+10FFFF gives length 0, since a strict decoder
// (an XML parser, a JSON reader) rejects the whole document for it.
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// Bytes as every output shows them: text that is UTF-8 as it is; in other
// text each byte that is not part of a UTF-8 character as "\xE9", so that a
// name in a legacy code page reads as its bytes and two such names never look
// alike, and a backslash that would read as the start of such an escape
// ("\x41" in the name) as "\x5C".
std::string EscapedText(std::string_view bytes);
// The bytes EscapedText shows as `text`: each "\x" and two hex digits, in
// either case, is that byte.
std::string UnescapedText(std::string_view text);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_UTF8_H
