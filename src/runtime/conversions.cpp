#include "runtime/conversions.h"

#include <algorithm>

#include "runtime/exceptions.h"

namespace kardum {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::int32_t> ParseHex(std::string_view digits) {
  if (digits.empty()) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0 || (value >> 28) != 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseDecimal(std::string_view digits, bool negative) {
  if (digits.empty()) return std::nullopt;
  constexpr std::uint32_t kLimit = 2147483647;
  std::uint32_t value = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    const auto digit = static_cast<std::uint32_t>(c - '0');
    if (value > (kLimit - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  const auto magnitude = static_cast<std::int32_t>(value);
  return negative ? -magnitude : magnitude;
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
  std::string_view rest = text.substr(std::min(text.find_first_not_of(' '), text.size()));
  if (rest.empty()) return std::nullopt;
  if (rest.front() == '$') return ParseHex(rest.substr(1));
  const bool negative = rest.front() == '-';
  if (negative || rest.front() == '+') rest.remove_prefix(1);
  return ParseDecimal(rest, negative);
}

__attribute__((noinline)) std::int32_t StrToInt(std::string_view text) {
  const auto value = TryStrToInt(text);
  if (!value) RaiseConvertError(text);
  return *value;
}

std::string UIntToStr(std::uint32_t value) {
  char digits[10];
  char* const end = digits + sizeof digits;
  char* p = end;
  do {
    *--p = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::string(p, end);
}

std::string IntToStr(std::int32_t value) {
  // Through 64 bits, so that the lowest 32-bit number has a magnitude too.
  const std::int64_t wide = value;
  const auto magnitude = static_cast<std::uint32_t>(wide < 0 ? -wide : wide);
  return value < 0 ? "-" + UIntToStr(magnitude) : UIntToStr(magnitude);
}

}  // namespace kardum
