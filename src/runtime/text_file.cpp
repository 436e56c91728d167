#include "runtime/text_file.h"

namespace kardum {

Status TextFileReader::Fill() {
  if (HasByte() || physical_end_) return kSuccess;
  std::uint32_t got = 0;
  Status status = os_.Read(file_, buffer_, kBufferSize, got);
  // A pipe whose writer has gone is at its end, not broken.
  if (status == kErrorBrokenPipe) {
    status = kSuccess;
    got = 0;
  }
  if (status != kSuccess) return status;
  pos_ = 0;
  len_ = got;
  physical_end_ = got == 0;
  return kSuccess;
}

Status TextFileReader::AtEnd(bool& at_end) {
  if (const Status status = Fill(); status != kSuccess) return status;
  at_end = !HasByte() || buffer_[pos_] == kEndOfText;
  return kSuccess;
}

Status TextFileReader::ReadLine(std::string& line) {
  line.clear();
  for (;;) {
    if (const Status status = Fill(); status != kSuccess) return status;
    if (!HasByte()) return kSuccess;
    const char* start = buffer_ + pos_;
    const std::size_t available = len_ - pos_;
    std::size_t n = 0;
    while (n < available && start[n] != '\r' && start[n] != kEndOfText) ++n;
    line.append(start, n);
    pos_ += static_cast<std::uint32_t>(n);
    if (n < available) break;
  }
  if (buffer_[pos_] == kEndOfText) return kSuccess;
  ++pos_;  // the CR
  if (const Status status = Fill(); status != kSuccess) return status;
  if (HasByte() && buffer_[pos_] == '\n') ++pos_;
  return kSuccess;
}

}  // namespace kardum
