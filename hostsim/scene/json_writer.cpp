#include "hostsim/scene/json_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "hostsim/scene/text.h"
#include "hostsim/scene/utf8.h"

namespace hostsim {

std::string HexBytes(std::string_view bytes) {
  std::string hex;
  for (const char c : bytes) hex += Hex(static_cast<unsigned char>(c), 2, HexCase::Lower);
  return hex;
}

void JsonWriter::NamedBytes(std::string_view key, std::string_view text) {
  Key(key).String(text);
  if (EscapedText(text) != text) Key(std::string(key) + "Bytes").String(HexBytes(text));
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!hasItems_.empty()) {
    if (hasItems_.back()) out_ += ',';
    hasItems_.back() = true;
  }
}

void JsonWriter::Open(char bracket) {
  BeforeValue();
  out_ += bracket;
  hasItems_.push_back(false);
}

void JsonWriter::Close(char bracket) {
  out_ += bracket;
  hasItems_.pop_back();
}

JsonWriter& JsonWriter::Key(std::string_view key) {
  String(key);
  out_ += ':';
  afterKey_ = true;
  return *this;
}

namespace {

// What goes into a JSON string as it is: all but quotes, backslashes and
// control characters below space.
bool Plain(char c) { return static_cast<unsigned char>(c) >= 0x20 && c != '"' && c != '\\'; }

// Runs of plain bytes go in whole: the page writes outcomes of hundreds of
// thousands of strings, and a call a byte is what it would spend its time on.
void AppendEscaped(std::string& out, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    std::size_t end = at;
    while (end < text.size() && Plain(text[end])) ++end;
    out.append(text.data() + at, end - at);
    if (end == text.size()) break;
    const char c = text[end];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out += escaped;
    }
    at = end + 1;
  }
}

}  // namespace

// Names come from scene files and may not be UTF-8: they are shown as the
// text output shows them, so that the output always parses. Text of ASCII
// alone shows as it is.
void JsonWriter::String(std::string_view bytes) {
  BeforeValue();
  out_ += '"';
  if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    AppendEscaped(out_, bytes);
  else
    AppendEscaped(out_, EscapedText(bytes));
  out_ += '"';
}

void JsonWriter::Number(std::int64_t value) {
  BeforeValue();
  out_ += std::to_string(value);
}

void JsonWriter::Real(double value) {
  // JSON has no infinities or NaN: a figure that is not one is absent.
  if (!std::isfinite(value)) return Null();
  BeforeValue();
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", value);
  out_ += text;
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::Null() {
  BeforeValue();
  out_ += "null";
}

void JsonWriter::Strings(const std::vector<std::string>& texts) {
  BeginArray();
  for (const std::string& text : texts) String(text);
  EndArray();
}

}  // namespace hostsim
