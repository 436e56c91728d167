// Hostile lists, positions and paths: each ends in a defined result.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/fake_platform.h"
#include "rotation/kardum2.h"
#include "rotation/run_test_support.h"
#include "rotation/sound_list.h"
#include "runtime/conversions.h"
#include "runtime/exceptions.h"
#include "runtime/failure_report.h"

namespace kardum {
namespace {

using namespace std::string_literals;

// The line rules, spelled out plainly: the text ends at the first 0x1A; CR or
// CR LF ends a line; a line end at the very end adds no entry; 50 at most.
std::vector<std::string> ReferenceLines(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\x1A'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < bytes.size() && lines.size() < std::size_t{MaxSounds}) {
    const std::size_t cr = bytes.find('\r', start);
    lines.emplace_back(bytes.substr(start, cr - start));
    if (cr == std::string_view::npos) break;
    start = cr + 1;
    if (start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return lines;
}

// Starts with no start-up sound, so a failed run must leave it missing.
class BadInputTest : public RunFixture {};

TEST_F(BadInputTest, AFirstLineOf64MiBBecomesTheStartUpSoundWhole) {
  std::string line(64u << 20, '\0');
  // Not one repeated byte, so that a piece lost or moved shows.
  for (std::size_t i = 0; i < line.size(); ++i) line[i] = static_cast<char>('a' + i % 23);
  Record(line + "\r\nB\r\n", "1");
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(fake.boxes.empty());
  EXPECT_TRUE(Sound() == Sz(line)) << "stored " << Sound().size() << " bytes";
  EXPECT_EQ(Position(), Sz("2"));
}

// Random bytes, thick with CR, LF and NUL, and 0x1A about one in `one_in`
// (never when 0).
std::string RandomBytes(std::uint32_t seed, std::size_t size, std::uint32_t one_in) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    const std::uint32_t r = random();
    const char thick[] = {'\r', '\n', '\0'};
    byte = r % 8 < 3 ? thick[r % 8] : static_cast<char>(r >> 24);
    if (byte == '\x1A') byte = 'z';
    if (one_in != 0 && (r >> 8) % one_in == 0) byte = '\x1A';
  }
  return bytes;
}

TEST_F(BadInputTest, ABinaryListFollowsTheLineRules) {
  const struct {
    std::uint32_t seed;
    std::size_t size;
    std::uint32_t end_of_text_one_in;
  } cases[] = {
      {1, 100, 0}, {2, 300, 0}, {3, 1000, 64}, {4, 65536, 1024}, {5, 1 << 20, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "seed " << c.seed << ", " << c.size << " bytes");
    Reset();
    const std::string bytes = RandomBytes(c.seed, c.size, c.end_of_text_one_in);
    const std::vector<std::string> expected = ReferenceLines(bytes);
    fake.files[kListPath] = bytes;

    SoundListArray sound_list;
    const int count = ReadSoundList(fake, kListPath, sound_list);
    ASSERT_EQ(count, static_cast<int>(expected.size()));
    for (int k = 1; k <= MaxSounds; ++k) {
      EXPECT_EQ(sound_list[k], k <= count ? expected[k - 1] : "") << "entry " << k;
    }

    // A whole run on the last entry: written whole, and the cycle starts again.
    Record(bytes, std::to_string(count == 0 ? 1 : count));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sound(), Sz(count == 0 ? "" : expected.back()));
    EXPECT_EQ(Position(), Sz("1"));
  }
}

TEST_F(BadInputTest, NulBytesInsideAnEntryAreStoredWithIt) {
  const std::string cases[] = {"C:\\a\0b.wav"s, "\0"s, "\0\0\0"s, "\0C:\\a.wav"s, "a.wav\0"s};
  for (const std::string& entry : cases) {
    SCOPED_TRACE(testing::PrintToString(entry));
    Reset();
    Record(entry + "\r\nB\r\n", "1");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sound(), entry + "\0\0"s);
    EXPECT_EQ(Position(), Sz("2"));
  }
}

TEST_F(BadInputTest, PositionsOfTenThousandCharacters) {
  const struct {
    std::string position;
    bool accepted;  // as 2
  } cases[] = {
      {std::string(10000, ' ') + "2", true},
      {std::string(9999, '0') + "2", true},
      {std::string(10000, '7'), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.position.substr(0, 3) + "... " + std::to_string(c.position.size()));
    Reset();
    Record("A\r\nB\r\nC\r\n", c.position);
    if (c.accepted) {
      EXPECT_EQ(Run(), 0);
      EXPECT_EQ(Sound(), Sz("B"));
      EXPECT_EQ(Position(), Sz("3"));
      continue;
    }
    const std::string message = "'" + c.position + "' is not a valid integer value";
    try {
      StrToInt(c.position);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& failure) {
      EXPECT_EQ(failure.Message(), message);
    }
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(fake.boxes.size(), 1u);
    const std::string& report = fake.boxes[0].text;
    const std::size_t head = report.find('\n') + 1;
    EXPECT_EQ(report.size(), kMaxReportLength);
    EXPECT_EQ(report.substr(0, head).rfind("Exception EConvertError in module kardum2.exe at ", 0),
              0u);
    EXPECT_EQ(report.substr(head), message.substr(0, kMaxReportLength - head));
    EXPECT_EQ(Sound(), "(missing)");
    EXPECT_EQ(Position(), Sz(c.position));
  }
}

TEST_F(BadInputTest, ALongListPathOpensItsFirst259Characters) {
  for (const std::size_t length : {300u, 10000u}) {
    SCOPED_TRACE(length);
    Reset();
    const std::string path =
        std::string(kListFolder) + "\\" + std::string(length - sizeof kListFolder, 'p');
    ASSERT_EQ(path.size(), length);
    Record("A\r\nB\r\n", "1", path);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sound(), Sz("A"));
    EXPECT_EQ(Position(), Sz("2"));
    EXPECT_EQ(Datos(), Sz(path));
    std::vector<std::string> opened;
    for (const std::string& line : fake.log) {
      if (line.rfind("OpenForReading ", 0) == 0) opened.push_back(line);
    }
    EXPECT_EQ(opened, std::vector<std::string>{"OpenForReading " + path.substr(0, 259)});
  }
}

}  // namespace
}  // namespace kardum
