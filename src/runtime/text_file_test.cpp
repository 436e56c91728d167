#include "runtime/text_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fake_platform.h"

namespace kardum {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

constexpr char kPath[] = "C:\\WINDOWS\\kardum.dat";

struct Outcome {
  Status status = kSuccess;
  Lines lines;
};

// Reads the whole file the way the sound list is read: "while not at end,
// read a line", into one string that keeps what the previous line left.
Outcome ReadAllLines(FakePlatform& fake) {
  Outcome outcome;
  FileHandle file = 0;
  if (const Status status = fake.OpenForReading(kPath, file); status != kSuccess) {
    ADD_FAILURE() << "open failed with " << status;
    outcome.status = status;
    return outcome;
  }
  TextFileReader reader(fake, file);
  std::string line = "left over";
  for (;;) {
    bool at_end = false;
    outcome.status = reader.AtEnd(at_end);
    if (outcome.status != kSuccess || at_end) break;
    outcome.status = reader.ReadLine(line);
    if (outcome.status != kSuccess) break;
    outcome.lines.push_back(line);
    if (outcome.lines.size() > 1000) {
      ADD_FAILURE() << "the reader does not reach the end";
      break;
    }
  }
  fake.CloseFile(file);
  return outcome;
}

TEST(TextFileReaderTest, LinesOfTheFile) {
  const std::string a127(127, 'a');
  const std::string b128(128, 'b');
  const std::string c255(255, 'c');
  const std::string d256(256, 'd');
  const std::string e600(600, 'e');
  const struct {
    const char* name;
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"empty file", "", {}},
      {"one line without line end", "uno", {"uno"}},
      {"one line with CR LF", "uno\r\n", {"uno"}},
      {"CR alone ends lines", "uno\rdos\rtres", {"uno", "dos", "tres"}},
      {"CR LF ends lines", "uno\r\ndos\r\ntres\r\n", {"uno", "dos", "tres"}},
      {"lone LF stays in the entry", "uno\ndos\n", {"uno\ndos\n"}},
      {"one LF only belongs to the line end", "uno\r\n\ndos", {"uno", "\ndos"}},
      {"CR CR LF gives an empty entry", "uno\r\r\ndos", {"uno", "", "dos"}},
      {"blank line counted", "uno\r\n\r\ndos\r\n", {"uno", "", "dos"}},
      {"line end alone", "\r\n", {""}},
      {"0x1A in the second line", "uno\r\ndo\x1As\r\ntres\r\n", {"uno", "do"}},
      {"0x1A after a line end", "uno\r\n\x1A\r\ndos", {"uno"}},
      {"0x1A after CR", "uno\r\x1A\ndos", {"uno"}},
      {"0x1A at the start", "\x1Auno\r\n", {}},
      {"NUL bytes kept", "u\0o\r\n\0\r\n"s, {"u\0o"s, "\0"s}},
      {"blanks and tabs kept", " \tC:\\a b.wav \t\r\n\t\r\n", {" \tC:\\a b.wav \t", "\t"}},
      {"byte-order mark in the first entry", "\xEF\xBB\xBFuno\r\ndos", {"\xEF\xBB\xBFuno", "dos"}},
      {"other bytes kept", "C:\\m\xFAsica\\\xE1.wav\r\n", {"C:\\m\xFAsica\\\xE1.wav"}},
      {"CR LF split across buffers", a127 + "\r\nuno", {a127, "uno"}},
      {"CR last byte of the file at a buffer end", a127 + "\r", {a127}},
      {"CR first byte of the second buffer", b128 + "\r\nuno", {b128, "uno"}},
      {"0x1A first byte of the second buffer", b128 + "\x1A" + "uno", {b128}},
      {"line of 255 bytes", c255 + "\r\n" + c255, {c255, c255}},
      {"line of 256 bytes", d256 + "\r\nuno\r\n", {d256, "uno"}},
      {"line of 600 bytes", e600 + "\r\n" + e600, {e600, e600}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform fake;
    fake.files[kPath] = c.bytes;
    const Outcome outcome = ReadAllLines(fake);
    EXPECT_EQ(outcome.status, kSuccess);
    EXPECT_EQ(outcome.lines, c.lines);
  }
}

TEST(TextFileReaderTest, ManyShortLinesOverSeveralBuffers) {
  std::string bytes;
  Lines expected;
  for (int i = 0; i < 200; ++i) {
    expected.push_back("C:\\sonidos\\" + std::to_string(i) + ".wav");
    bytes += expected.back() + (i % 2 == 0 ? "\r\n" : "\r");
  }
  FakePlatform fake;
  fake.files[kPath] = bytes;
  const Outcome outcome = ReadAllLines(fake);
  EXPECT_EQ(outcome.status, kSuccess);
  EXPECT_EQ(outcome.lines, expected);
  EXPECT_EQ(fake.bytes_handed_out, bytes.size());
}

// Fails the n-th Read with `status`.
void FailRead(FakePlatform& fake, int n, Status status) {
  fake.fault = [n, status, reads = 0](const FakePlatform::Call& call) mutable -> Status {
    return call.name == "Read" && ++reads == n ? status : kSuccess;
  };
}

TEST(TextFileReaderTest, ReadFailureIsReturned) {
  // Read 1 comes from the first end test, the later ones from inside the first line.
  for (const int n : {1, 2, 3}) {
    SCOPED_TRACE(n);
    FakePlatform fake;
    fake.files[kPath] = std::string(300, 'x') + "\r\nuno\r\n";
    FailRead(fake, n, kErrorAccessDenied);
    EXPECT_EQ(ReadAllLines(fake).status, kErrorAccessDenied);
  }
}

TEST(TextFileReaderTest, BrokenPipeIsTheEndOfTheFile) {
  {
    SCOPED_TRACE("on the first read");
    FakePlatform fake;
    fake.files[kPath] = "uno\r\ndos\r\n";
    FailRead(fake, 1, kErrorBrokenPipe);
    const Outcome outcome = ReadAllLines(fake);
    EXPECT_EQ(outcome.status, kSuccess);
    EXPECT_EQ(outcome.lines, Lines{});
  }
  {
    SCOPED_TRACE("after the first buffer");
    FakePlatform fake;
    const std::string first(128, 'x');
    fake.files[kPath] = first + "rest\r\nuno\r\n";
    FailRead(fake, 2, kErrorBrokenPipe);
    const Outcome outcome = ReadAllLines(fake);
    EXPECT_EQ(outcome.status, kSuccess);
    EXPECT_EQ(outcome.lines, Lines{first});
  }
}

}  // namespace
}  // namespace kardum
