#include "tests/support/xml_check.h"

#include <cstdint>
#include <cstdlib>

namespace qztest {

namespace {

// The next character of a strictly decoded UTF-8 text, or -1 when the bytes
// there are not one. Written apart from hostsim's decoder, which it checks.
long NextCharacter(const std::string& text, std::size_t& at) {
  const auto byte = [&](std::size_t index) { return static_cast<unsigned char>(text[index]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    ++at;
    return lead;
  }
  const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
  if (length == 0 || at + length > text.size()) return -1;
  long value = lead & (0x7F >> length);
  for (std::size_t next = 1; next < length; ++next) {
    if ((byte(at + next) & 0xC0) != 0x80) return -1;
    value = (value << 6) | (byte(at + next) & 0x3F);
  }
  static const long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return -1;
  at += length;
  return value;
}

// XML 1.0's Char production.
bool IsXmlCharacter(long c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == ':'; }
bool IsNameCharacter(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

class Reader {
 public:
  explicit Reader(const std::string& text) : text_(text) {}

  XmlDocument Read() {
    for (std::size_t at = 0; at < text_.size();) {
      const std::size_t start = at;
      const long c = NextCharacter(text_, at);
      if (c < 0 || !IsXmlCharacter(c)) return Fail("byte " + std::to_string(start) + " is not an XML character");
    }
    if (text_.compare(0, 5, "<?xml") == 0) {
      const std::size_t end = text_.find("?>");
      if (end == std::string::npos) return Fail("the declaration is not closed");
      at_ = end + 2;
    }
    bool rootSeen = false;
    while (at_ < text_.size()) {
      if (text_[at_] != '<') {
        const std::size_t start = at_;
        if (!Text()) return document_;
        if (open_.empty() && text_.find_first_not_of(" \t\r\n", start) < at_)
          return Fail("text outside the root element at byte " + std::to_string(start));
        continue;
      }
      if (text_.compare(at_, 2, "</") == 0) {
        if (!EndTag()) return document_;
        continue;
      }
      if (open_.empty() && rootSeen) return Fail("a second root element at byte " + std::to_string(at_));
      rootSeen = true;
      if (!StartTag()) return document_;
    }
    if (!open_.empty()) return Fail("<" + document_.elements[open_.back()].name + "> is never closed");
    if (!rootSeen) return Fail("no root element");
    return document_;
  }

 private:
  XmlDocument& Fail(const std::string& problem) {
    if (document_.problem.empty()) document_.problem = problem;
    return document_;
  }

  bool Bad(const std::string& problem) {
    Fail(problem);
    return false;
  }

  bool Name(std::string& name) {
    if (at_ >= text_.size() || !IsNameStart(text_[at_])) {
      return Bad("a name was expected at byte " + std::to_string(at_));
    }
    const std::size_t start = at_;
    while (at_ < text_.size() && IsNameCharacter(text_[at_])) ++at_;
    name = text_.substr(start, at_ - start);
    return true;
  }

  void SkipSpace() {
    while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
  }

  // Text up to the next tag: a bare '&' is not allowed in it, nor "]]>".
  bool Text() {
    const std::size_t start = at_;
    while (at_ < text_.size() && text_[at_] != '<') {
      if (text_[at_] != '&')
        ++at_;
      else if (!Reference())
        return false;
    }
    if (text_.substr(start, at_ - start).find("]]>") != std::string::npos)
      return Bad("\"]]>\" in text near byte " + std::to_string(start));
    if (!open_.empty()) document_.elements[open_.back()].text += text_.substr(start, at_ - start);
    return true;
  }

  bool Reference() {
    const std::size_t end = text_.find(';', at_);
    const std::string body = end == std::string::npos ? "" : text_.substr(at_ + 1, end - at_ - 1);
    bool known = body == "amp" || body == "lt" || body == "gt" || body == "quot" || body == "apos";
    if (!known && body.size() > 1 && body[0] == '#') {
      const bool hex = body[1] == 'x';
      const std::string digits = body.substr(hex ? 2 : 1);
      const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
      if (!digits.empty() && digits.size() <= 6 && digits.find_first_not_of(allowed) == std::string::npos)
        known = IsXmlCharacter(std::strtol(digits.c_str(), nullptr, hex ? 16 : 10));
    }
    if (!known) return Bad("a bare '&' or an unknown reference at byte " + std::to_string(at_));
    at_ = end + 1;
    return true;
  }

  bool StartTag() {
    ++at_;
    XmlElement element;
    if (!Name(element.name)) return false;
    while (true) {
      const std::size_t beforeSpace = at_;
      SkipSpace();
      if (at_ >= text_.size()) return Bad("<" + element.name + " is not closed");
      if (text_.compare(at_, 2, "/>") == 0 || text_[at_] == '>') break;
      if (at_ == beforeSpace) return Bad("no space before an attribute at byte " + std::to_string(at_));
      std::string name;
      if (!Name(name)) return false;
      for (const auto& attribute : element.attributes) {
        if (attribute.first == name) return Bad("attribute " + name + " twice on <" + element.name + ">");
      }
      SkipSpace();
      if (at_ >= text_.size() || text_[at_] != '=') return Bad("'=' expected after " + name);
      ++at_;
      SkipSpace();
      if (at_ >= text_.size() || (text_[at_] != '"' && text_[at_] != '\'')) {
        return Bad("the value of " + name + " is not quoted");
      }
      const char quote = text_[at_++];
      const std::size_t start = at_;
      if (!TextOfAttribute(quote)) return false;
      element.attributes.emplace_back(name, text_.substr(start, at_ - start));
      ++at_;
    }
    document_.elements.push_back(element);
    if (text_[at_] == '/') {
      at_ += 2;
      return true;
    }
    ++at_;
    open_.push_back(document_.elements.size() - 1);
    return true;
  }

  bool TextOfAttribute(char quote) {
    while (at_ < text_.size() && text_[at_] != quote) {
      if (text_[at_] == '<') return Bad("'<' inside a value at byte " + std::to_string(at_));
      if (text_[at_] != '&')
        ++at_;
      else if (!Reference())
        return false;
    }
    if (at_ >= text_.size()) return Bad("a value is not closed");
    return true;
  }

  bool EndTag() {
    at_ += 2;
    std::string name;
    if (!Name(name)) return false;
    SkipSpace();
    if (at_ >= text_.size() || text_[at_] != '>') return Bad("</" + name + " is not closed");
    ++at_;
    if (open_.empty()) return Bad("</" + name + "> closes nothing");
    const std::string& expected = document_.elements[open_.back()].name;
    if (name != expected) return Bad("</" + name + "> closes <" + expected + ">");
    open_.pop_back();
    return true;
  }

  const std::string& text_;
  std::size_t at_ = 0;
  std::vector<std::size_t> open_;  // indexes of the open elements
  XmlDocument document_;
};

}  // namespace

XmlDocument ReadXml(const std::string& text) { return Reader(text).Read(); }

}  // namespace qztest
