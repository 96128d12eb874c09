#include "tests/support/json_value.h"

#include <cstdlib>

namespace qztest {

namespace {

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  JsonValue Document() {
    JsonValue value = Value();
    Blanks();
    if (at_ != text_.size()) Fail("text after the value");
    return value;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw JsonError(what + " at byte " + std::to_string(at_)); }

  void Blanks() {
    while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }

  bool Next(char c) {
    Blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }

  void Expect(char c) {
    if (!Next(c)) Fail(std::string("expected '") + c + "'");
  }

  void Word(std::string_view word) {
    if (text_.substr(at_, word.size()) != word) Fail("unknown literal");
    at_ += word.size();
  }

  JsonValue Value() {
    Blanks();
    if (at_ >= text_.size()) Fail("no value");
    JsonValue value;
    const char c = text_[at_];
    if (c == '{') {
      ++at_;
      value.type = JsonValue::Type::Object;
      if (Next('}')) return value;
      do {
        Blanks();
        const std::string key = String();
        Expect(':');
        if (!value.members.emplace(key, Value()).second) Fail("member '" + key + "' twice");
      } while (Next(','));
      Expect('}');
    } else if (c == '[') {
      ++at_;
      value.type = JsonValue::Type::Array;
      if (Next(']')) return value;
      do {
        value.items.push_back(Value());
      } while (Next(','));
      Expect(']');
    } else if (c == '"') {
      value.type = JsonValue::Type::String;
      value.text = String();
    } else if (c == 't' || c == 'f') {
      value.type = JsonValue::Type::Bool;
      value.boolean = c == 't';
      Word(value.boolean ? "true" : "false");
    } else if (c == 'n') {
      Word("null");
    } else {
      value.type = JsonValue::Type::Number;
      value.number = Number();
    }
    return value;
  }

  double Number() {
    const std::size_t start = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    const auto digits = [this] {
      const std::size_t first = at_;
      while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
      if (at_ == first) Fail("a number without digits");
    };
    if (at_ < text_.size() && text_[at_] == '0')
      ++at_;
    else
      digits();
    if (at_ < text_.size() && text_[at_] == '.') {
      ++at_;
      digits();
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      digits();
    }
    return std::strtod(std::string(text_.substr(start, at_ - start)).c_str(), nullptr);
  }

  std::string String() {
    if (at_ >= text_.size() || text_[at_] != '"') Fail("expected a string");
    ++at_;
    std::string text;
    for (;;) {
      if (at_ >= text_.size()) Fail("a string without its end");
      const unsigned char c = static_cast<unsigned char>(text_[at_++]);
      if (c == '"') return text;
      if (c < 0x20) Fail("a control character in a string");
      if (c != '\\') {
        text += static_cast<char>(c);
        continue;
      }
      if (at_ >= text_.size()) Fail("an escape without its end");
      const char escape = text_[at_++];
      switch (escape) {
        case '"': text += '"'; break;
        case '\\': text += '\\'; break;
        case '/': text += '/'; break;
        case 'b': text += '\b'; break;
        case 'f': text += '\f'; break;
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'u': {
          if (text_.size() - at_ < 4) Fail("a short \\u escape");
          const std::string hex(text_.substr(at_, 4));
          if (hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) Fail("a malformed \\u escape");
          at_ += 4;
          const unsigned code = static_cast<unsigned>(std::strtoul(hex.c_str(), nullptr, 16));
          // Enough for what the tests read: the code point as UTF-8, surrogates kept apart.
          if (code < 0x80) {
            text += static_cast<char>(code);
          } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
          }
          break;
        }
        default: Fail("an unknown escape");
      }
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& key) const {
  static const JsonValue kNull;
  const auto found = members.find(key);
  return found == members.end() ? kNull : found->second;
}

JsonValue ParseJson(std::string_view text) { return Parser(text).Document(); }

}  // namespace qztest
