// TryStrToInt, StrToInt and IntToStr against a plain reference of the number
// rules, written without the product's code paths: 64-bit arithmetic, one
// character at a time.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/conversions.h"
#include "runtime/exceptions.h"

namespace kardum {
namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "conversions_fuzz: %s\n", what);
  std::abort();
}

void Require(bool ok, const char* what) {
  if (!ok) Fail(what);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::int64_t> Reference(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i == text.size()) return std::nullopt;

  if (text[i] == '$') {
    ++i;
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    int significant = 0;
    for (; i < text.size(); ++i) {
      const int digit = HexValue(text[i]);
      if (digit < 0) return std::nullopt;
      if (significant > 0 || digit != 0) ++significant;
      if (significant > 8) return std::nullopt;
      value = value * 16 + digit;
    }
    // Bit 31 set: the negative number of the same 32 bits.
    return value >= 0x80000000LL ? value - 0x100000000LL : value;
  }

  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483647) return std::nullopt;
  }
  return negative ? -value : value;
}

// The text IntToStr must give: std::to_string over 64 bits, and by hand the
// form rules themselves.
void CheckIntToStr(std::int32_t value) {
  const std::string text = IntToStr(value);
  Require(text == std::to_string(static_cast<std::int64_t>(value)), "IntToStr differs");
  const std::string_view digits = std::string_view(text).substr(value < 0 ? 1 : 0);
  Require(!digits.empty(), "IntToStr gave no digits");
  Require(digits.find_first_not_of("0123456789") == std::string_view::npos,
          "IntToStr gave a blank, sign or other character among the digits");
  Require(digits == "0" || digits[0] != '0', "IntToStr gave a leading zero");
  Require(value != 0 || text == "0", "IntToStr of zero");
  // The decimal range is symmetric: the lowest number has no decimal text
  // that converts back, only a hexadecimal one.
  const auto back = TryStrToInt(text);
  if (value == INT32_MIN) {
    Require(!back.has_value(), "the lowest number converts from decimal");
  } else {
    Require(back.has_value() && *back == value, "IntToStr's text does not convert back");
  }
}

void Run(std::string_view text) {
  const std::optional<std::int64_t> expected = Reference(text);
  const std::optional<std::int32_t> got = TryStrToInt(text);
  Require(expected.has_value() == got.has_value(), "TryStrToInt accepts differently");
  if (got) {
    Require(*got == *expected, "TryStrToInt gives another value");
    CheckIntToStr(*got);
  }

  try {
    const std::int32_t value = StrToInt(text);
    Require(got.has_value() && value == *got, "StrToInt disagrees with TryStrToInt");
  } catch (const EConvertError& failure) {
    Require(!got.has_value(), "StrToInt refused an accepted text");
    Require(failure.Message() == "'" + std::string(text) + "' is not a valid integer value",
            "wrong EConvertError message");
  } catch (...) {
    Fail("StrToInt raised something other than EConvertError");
  }

  // Every 32-bit number, not only those the texts reach.
  if (text.size() >= 4) {
    std::uint32_t bits;
    std::memcpy(&bits, text.data(), sizeof bits);
    CheckIntToStr(static_cast<std::int32_t>(bits));
  }
}

}  // namespace
}  // namespace kardum

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kardum::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
