#include "runtime/conversions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "runtime/exceptions.h"

namespace kardum {
namespace {

using namespace std::string_literals;

constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

const struct {
  std::string text;
  std::int32_t value;
} kAccepted[] = {
    {"0", 0},
    {"2", 2},
    {"-1", -1},
    {"+2", 2},
    {"-0", 0},
    {"02", 2},
    {"   2", 2},
    {" -7", -7},
    {" +50", 50},
    {"2147483647", kMax},
    {"+2147483647", kMax},
    {"-2147483647", -kMax},
    {"0002147483647", kMax},
    {"-0002147483647", -kMax},
    {"000000000000000000000000000000005", 5},
    {"$2", 2},
    {"  $2", 2},
    {"$0", 0},
    {"$ff", 255},
    {"$FF", 255},
    {"$aBc", 0xABC},
    {"$7FFFFFFF", kMax},
    {"$FFFFFFFF", -1},
    {"$ffffffff", -1},
    {"$80000000", kMin},
    {"$80000001", -kMax},
    {"$000000001", 1},
    {"$0000000000FFFFFFFE", -2},
};

const std::string kRefused[] = {
    "",           " ",          "   ",         "+",           "-",          "$",
    " $",         "\t2",        "\n2",         "2 ",          "  2 ",       "2\t",
    "2\r",        "2\0"s,       "2a",          "0x2",         "1.0",        "1,000",
    "1e3",        "+-2",        "--2",         "- 2",         "+ 2",        "2-",
    "$-1",        "$+1",        "-$1",         "$ 1",         "$G",         "$1g",
    "$FFFFFFFFh", "2147483648", "-2147483648", "+2147483648", "4294967297", "99999999999999999999",
    "$100000000", "$123456789", "$FFFFFFFFF",
};

TEST(TryStrToIntTest, AcceptedTexts) {
  for (const auto& c : kAccepted) {
    SCOPED_TRACE("'" + c.text + "'");
    EXPECT_EQ(TryStrToInt(c.text), c.value);
  }
}

TEST(TryStrToIntTest, RefusedTexts) {
  for (const auto& text : kRefused) {
    SCOPED_TRACE("'" + text + "'");
    EXPECT_EQ(TryStrToInt(text), std::nullopt);
  }
}

TEST(StrToIntTest, ConvertsAcceptedTexts) {
  for (const auto& c : kAccepted) {
    SCOPED_TRACE("'" + c.text + "'");
    EXPECT_EQ(StrToInt(c.text), c.value);
  }
}

TEST(StrToIntTest, RaisesConvertErrorWithTheWholeText) {
  for (const auto& text : kRefused) {
    SCOPED_TRACE("'" + text + "'");
    try {
      StrToInt(text);
      ADD_FAILURE() << "nothing was raised";
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.Message(), "'" + text + "' is not a valid integer value");
    }
  }
}

TEST(IntToStrTest, DecimalDigits) {
  const struct {
    std::int32_t value;
    const char* text;
  } cases[] = {
      {0, "0"},   {1, "1"},       {-1, "-1"},           {10, "10"},
      {50, "50"}, {-305, "-305"}, {kMax, "2147483647"}, {kMin, "-2147483648"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IntToStr(c.value), c.text);
  }
}

TEST(IntToStrTest, RoundTrip) {
  for (const std::int32_t value : {0, 1, 9, 10, 51, -51, 1000000, -123456789, kMax, -kMax}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(StrToInt(IntToStr(value)), value);
  }
}

}  // namespace
}  // namespace kardum
