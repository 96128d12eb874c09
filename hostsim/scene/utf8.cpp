#include "hostsim/scene/utf8.h"

#include <algorithm>
#include <optional>

#include "hostsim/scene/text.h"

namespace hostsim {

Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) return {1, lead};
  // The second byte's range is what rules out overlong forms, surrogates and
  // values past U+10FFFF.
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0Fu;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07u;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {};
  }
  if (text.size() - at < length) return {};
  for (std::size_t next = 1; next < length; ++next) {
    const unsigned char continuation = byte(at + next);
    if (continuation < (next == 1 ? low : 0x80) || continuation > (next == 1 ? high : 0xBF)) return {};
    value = (value << 6) | (continuation & 0x3Fu);
  }
  return {length, value};
}

namespace {

// The byte "\xHH" at text[at] stands for, if it is one.
std::optional<std::uint32_t> EscapeAt(std::string_view text, std::size_t at) {
  if (text.size() - at < 4 || text[at] != '\\' || text[at + 1] != 'x') return std::nullopt;
  return ParseHex(text.substr(at + 2, 2), 2);
}

}  // namespace

std::string EscapedText(std::string_view bytes) {
  bool utf8 = true;
  for (std::size_t at = 0; at < bytes.size() && utf8; at += std::max<std::size_t>(1, DecodeUtf8(bytes, at).length))
    utf8 = DecodeUtf8(bytes, at).length != 0;
  // Text that is UTF-8 shows as it is: a Windows path through a folder
  // named x64 must not change.
  if (utf8) return std::string(bytes);
  std::string shown;
  shown.reserve(bytes.size() + 8);
  for (std::size_t at = 0; at < bytes.size();) {
    const Utf8Char c = DecodeUtf8(bytes, at);
    if (c.length == 0 || (c.codePoint == '\\' && EscapeAt(bytes, at))) {
      shown += "\\x" + Hex(static_cast<unsigned char>(bytes[at]), 2);
      ++at;
      continue;
    }
    shown.append(bytes.substr(at, c.length));
    at += c.length;
  }
  return shown;
}

std::string UnescapedText(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    if (const std::optional<std::uint32_t> byte = EscapeAt(text, at)) {
      bytes += static_cast<char>(*byte);
      at += 4;
      continue;
    }
    bytes += text[at++];
  }
  return bytes;
}

}  // namespace hostsim
