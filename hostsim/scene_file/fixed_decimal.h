// Decimal numbers in fixed notation (no exponent), as scene files hold frame
// rates: read and written by the C++ library's floating-point from_chars and
// to_chars where it has them, and by a portable equivalent that gives the same
// values and the same text where it has not (the WebAssembly build's library).
#ifndef QZ_HOSTSIM_SCENE_FILE_FIXED_DECIMAL_H
#define QZ_HOSTSIM_SCENE_FILE_FIXED_DECIMAL_H

#include <optional>
#include <string>
#include <string_view>

namespace hostsim {

// The whole of `text` as a number: an optional minus, digits with at most one
// point among them, nothing else. Null for anything else and for a value
// beyond a double's range.
std::optional<double> ReadFixedDecimal(std::string_view text);

// The shortest text in fixed notation that reads back as `value`: 30 for
// 30.000000, 0.1 for 0.1.
std::string FixedDecimalText(double value);

// The portable forms, which the two above use where the library lacks its
// own; declared so that the tests can hold them to the library's.
std::optional<double> PortableReadFixedDecimal(std::string_view text);
std::string PortableFixedDecimalText(double value);

}  // namespace hostsim

#endif  // QZ_HOSTSIM_SCENE_FILE_FIXED_DECIMAL_H
