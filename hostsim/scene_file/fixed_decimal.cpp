#include "hostsim/scene_file/fixed_decimal.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hostsim {

std::optional<double> PortableReadFixedDecimal(std::string_view text) {
  // from_chars's fixed grammar, checked first: strtod would also take blanks,
  // a plus sign, exponents, hex and the words for infinity.
  std::size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
  std::size_t digits = 0, points = 0;
  for (std::size_t index = at; index < text.size(); ++index) {
    if (text[index] >= '0' && text[index] <= '9')
      ++digits;
    else if (text[index] == '.' && ++points == 1)
      continue;
    else
      return std::nullopt;
  }
  if (digits == 0) return std::nullopt;
  // strtod rounds correctly, as from_chars does; the text is copied for its
  // terminator. The C locale's point is the only one this build has.
  const std::string copy(text);
  errno = 0;
  const double value = std::strtod(copy.c_str(), nullptr);
  // Out of range is a result too large, or one too small to be anything but
  // zero; subnormal values read as themselves.
  if (errno == ERANGE && (std::isinf(value) || value == 0)) return std::nullopt;
  return value;
}

std::string PortableFixedDecimalText(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  // From 2^53 on every double is a whole number, and the library writes it
  // whole, digit for digit, rather than its shortest digits padded with zeros.
  if (std::fabs(value) >= 9007199254740992.0) {
    char whole[320];
    std::snprintf(whole, sizeof whole, "%.0f", value);
    return whole;
  }
  // Below, the fewest significant digits that read back as the value: at
  // each length the digits printf rounds to, or, where those fall just
  // outside the values that read back as this one, their neighbour inside.
  std::string digits;
  int exponent = 0;  // of the first digit
  for (int precision = 0; digits.empty() && precision <= 17; ++precision) {
    char scientific[40];
    std::snprintf(scientific, sizeof scientific, "%.*e", precision, std::fabs(value));
    const char* e = std::strchr(scientific, 'e');
    std::uint64_t rounded = 0;
    for (const char* c = scientific; c != e; ++c) {
      if (*c != '.') rounded = rounded * 10 + static_cast<std::uint64_t>(*c - '0');
    }
    const int scale = std::atoi(e + 1) - precision;  // of the last digit
    for (const std::uint64_t candidate : {rounded, rounded - 1, rounded + 1}) {
      if (candidate == 0 && rounded != 0) continue;
      const std::string text = std::to_string(candidate);
      const std::string back = text + "e" + std::to_string(scale);
      if (std::strtod(back.c_str(), nullptr) != std::fabs(value)) continue;
      digits = text;
      exponent = scale + static_cast<int>(text.size()) - 1;
      break;
    }
  }
  const int count = static_cast<int>(digits.size());
  std::string fixed = std::signbit(value) ? "-" : "";
  if (exponent >= count - 1) {
    fixed += digits + std::string(static_cast<std::size_t>(exponent - (count - 1)), '0');
  } else if (exponent < 0) {
    fixed += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    fixed += digits.substr(0, whole) + "." + digits.substr(whole);
  }
  return fixed;
}

#if defined(__cpp_lib_to_chars)

std::optional<double> ReadFixedDecimal(std::string_view text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  // The library also reads the words for infinity and not-a-number.
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::string FixedDecimalText(double value) {
  // The largest double needs 309 digits, the smallest 1,074 after the point.
  char text[1100];
  const auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
  return error == std::errc() ? std::string(text, end) : PortableFixedDecimalText(value);
}

#else

std::optional<double> ReadFixedDecimal(std::string_view text) { return PortableReadFixedDecimal(text); }
std::string FixedDecimalText(double value) { return PortableFixedDecimalText(value); }

#endif

}  // namespace hostsim
