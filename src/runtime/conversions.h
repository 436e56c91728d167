// Text to number and number to text, by the rules `Posicion` is stored in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kardum {

// Accepts leading spaces (code 32 only), then "+" or "-" and decimal digits
// within -2147483647..2147483647, or "$" and at most 8 significant hex digits
// taken as 32 bits in two's complement; the digits must run to the end.
std::optional<std::int32_t> TryStrToInt(std::string_view text);

// As TryStrToInt; raises EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// Decimal digits, "-" for a negative number, no blanks or leading zeros.
std::string IntToStr(std::int32_t value);
std::string UIntToStr(std::uint32_t value);

}  // namespace kardum
