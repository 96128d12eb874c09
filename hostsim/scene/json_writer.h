// Compact JSON for the --json forms of the command line and for the page.
#ifndef QZ_HOSTSIM_JSON_WRITER_H
#define QZ_HOSTSIM_JSON_WRITER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim {

std::string HexBytes(std::string_view bytes);  // two lower-case digits a byte

class JsonWriter {
 public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  JsonWriter& Key(std::string_view key);
  // Bytes that are not UTF-8 as EscapedText shows them.
  void String(std::string_view bytes);
  void Number(std::int64_t value);
  void Real(double value);  // null when not finite
  void Bool(bool value);
  void Null();
  void Strings(const std::vector<std::string>& texts);
  // `key` with `text` as a string; where the string shows the text with
  // escapes (bytes that are not UTF-8), also `key`Bytes with every byte in
  // hex, so that nothing is lost.
  void NamedBytes(std::string_view key, std::string_view text);

  const std::string& text() const { return out_; }

 private:
  void Open(char bracket);
  void Close(char bracket);
  void BeforeValue();

  std::string out_;
  std::vector<bool> hasItems_;  // one per open object or array
  bool afterKey_ = false;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_JSON_WRITER_H
