// Compact JSON for the command line's --json forms.
#ifndef QZ_HOSTSIM_JSON_WRITER_H
#define QZ_HOSTSIM_JSON_WRITER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace hostsim {

class JsonWriter {
 public:
  void BeginObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void BeginArray() { Open('['); }
  void EndArray() { Close(']'); }
  JsonWriter& Key(std::string_view key);
  void String(std::string_view text);
  void Number(std::int64_t value);
  void Bool(bool value);
  void Null();
  void Strings(const std::vector<std::string>& texts);

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
