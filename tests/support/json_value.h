// A small JSON reader for tests: hostsim's --json output must parse, and the
// tests then read fields out of it. Strict (RFC 8259): anything else throws.
#ifndef QZ_TESTS_SUPPORT_JSON_VALUE_H
#define QZ_TESTS_SUPPORT_JSON_VALUE_H

#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace qztest {

struct JsonValue {
  enum class Type { Null, Bool, Number, String, Array, Object };
  Type type = Type::Null;
  bool boolean = false;
  double number = 0;
  std::string text;
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  // The member, or a null value when there is none.
  const JsonValue& operator[](const std::string& key) const;
  bool IsNull() const { return type == Type::Null; }
};

struct JsonError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The whole text must be one value, with blanks around it at most.
JsonValue ParseJson(std::string_view text);

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_JSON_VALUE_H
