// Reads a text file line by line, by the rules the sound list is written in:
// CR or CR LF ends a line, a lone LF is an ordinary byte, and the first 0x1A
// (Ctrl-Z) ends the text. The file is read 128 bytes at a time.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kardum {

class TextFileReader {
 public:
  static constexpr std::uint32_t kBufferSize = 128;
  static constexpr char kEndOfText = 0x1A;

  TextFileReader(Platform& os, FileHandle file) : os_(os), file_(file) {}

  // The end test: true when the next byte is 0x1A or there is none. Consumes
  // nothing, but may read the next buffer to look.
  [[nodiscard]] Status AtEnd(bool& at_end);

  // Replaces `line` with the bytes up to the next CR, 0x1A or the end, then
  // consumes the line end: the CR and one LF directly after it.
  [[nodiscard]] Status ReadLine(std::string& line);

 private:
  // Makes a byte available unless the file is at its physical end.
  [[nodiscard]] Status Fill();
  bool HasByte() const { return pos_ < len_; }

  Platform& os_;
  FileHandle file_;
  char buffer_[kBufferSize];
  std::uint32_t pos_ = 0;
  std::uint32_t len_ = 0;
  bool physical_end_ = false;
};

}  // namespace kardum
