#include "hostsim/validate/wire.h"

namespace hostsim {

namespace {

constexpr std::uint64_t kNoSeed = ~std::uint64_t{0};

}  // namespace

WireWriter& WireWriter::Put(std::string_view field) {
  text_ += std::to_string(field.size());
  text_ += ':';
  text_ += field;
  return *this;
}

WireWriter& WireWriter::Put(std::uint64_t number) { return Put(std::to_string(number)); }

WireWriter& WireWriter::Put(const std::vector<std::string>& fields) {
  Put(static_cast<std::uint64_t>(fields.size()));
  for (const std::string& field : fields) Put(field);
  return *this;
}

WireWriter& WireWriter::Put(const CheckResult& result) {
  Put(result.check).Put(static_cast<std::uint64_t>(result.status)).Put(result.command).Put(result.scene);
  Put(result.seed ? *result.seed : kNoSeed).Put(result.updates);
  Put(static_cast<std::uint64_t>(result.selection.size()));
  for (const std::uint32_t id : result.selection) Put(id);
  return Put(result.message).Put(result.cause).Put(result.replay);
}

std::string WireReader::Take() {
  const std::size_t colon = text_.find(':', at_);
  if (colon == std::string_view::npos || colon == at_ || colon - at_ > 19)
    throw WireError("a field without its length");
  std::uint64_t length = 0;
  for (std::size_t digit = at_; digit < colon; ++digit) {
    if (text_[digit] < '0' || text_[digit] > '9') throw WireError("a field with a malformed length");
    length = length * 10 + static_cast<std::uint64_t>(text_[digit] - '0');
  }
  if (length > text_.size() - colon - 1) throw WireError("a field cut short");
  at_ = colon + 1 + length;
  return std::string(text_.substr(colon + 1, length));
}

std::uint64_t WireReader::TakeNumber() {
  const std::string text = Take();
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
    throw WireError("a number field that is not a number");
  std::uint64_t number = 0;
  for (const char digit : text) number = number * 10 + static_cast<std::uint64_t>(digit - '0');
  return number;
}

std::vector<std::string> WireReader::TakeList() {
  const std::uint64_t count = TakeNumber();
  std::vector<std::string> fields;
  for (std::uint64_t index = 0; index < count; ++index) fields.push_back(Take());
  return fields;
}

CheckResult WireReader::TakeResult() {
  CheckResult result;
  result.check = Take();
  const std::uint64_t status = TakeNumber();
  if (status > static_cast<std::uint64_t>(CheckStatus::TimedOut)) throw WireError("an unknown status");
  result.status = static_cast<CheckStatus>(status);
  result.command = Take();
  result.scene = Take();
  const std::uint64_t seed = TakeNumber();
  if (seed != kNoSeed) result.seed = seed;
  result.updates = Take();
  const std::uint64_t count = TakeNumber();
  for (std::uint64_t index = 0; index < count; ++index)
    result.selection.push_back(static_cast<std::uint32_t>(TakeNumber()));
  result.message = Take();
  result.cause = Take();
  result.replay = Take();
  return result;
}

}  // namespace hostsim
