// What a validate child and its parent send each other over their pipe: the
// request, notes of where the child is, and its results. Fields are written
// as their length, a colon and their bytes, so any byte may occur in them.
#ifndef QZ_HOSTSIM_VALIDATE_WIRE_H
#define QZ_HOSTSIM_VALIDATE_WIRE_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "hostsim/validate/validate.h"

namespace hostsim {

struct WireError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class WireWriter {
 public:
  WireWriter& Put(std::string_view field);
  WireWriter& Put(std::uint64_t number);
  WireWriter& Put(const CheckResult& result);
  WireWriter& Put(const std::vector<std::string>& fields);
  const std::string& text() const { return text_; }

 private:
  std::string text_;
};

// Throws WireError on text WireWriter did not write.
class WireReader {
 public:
  explicit WireReader(std::string_view text) : text_(text) {}
  std::string Take();
  std::uint64_t TakeNumber();
  CheckResult TakeResult();
  std::vector<std::string> TakeList();
  bool done() const { return at_ == text_.size(); }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace hostsim

#endif  // QZ_HOSTSIM_VALIDATE_WIRE_H
