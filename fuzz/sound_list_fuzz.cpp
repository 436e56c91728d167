// ReadSoundList over arbitrary list files, each result checked against an
// independent walk of the bytes.
//
// An input that starts with 0xFF injects a failure: its second byte chooses
// what fails (bits 4-5: 0 a Read with code 32, 1 a Read with the broken-pipe
// code, which ends the text, 2 the close with code 32) and on which Read
// (bits 0-3, plus one); the rest of the input is the file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/fake_platform.h"
#include "rotation/sound_list.h"
#include "runtime/exceptions.h"
#include "runtime/text_file.h"

namespace kardum {
namespace {

constexpr char kPath[] = "C:\\l.dat";
constexpr unsigned char kFaultMarker = 0xFF;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "sound_list_fuzz: %s\n", what);
  std::abort();
}

void Require(bool ok, const char* what) {
  if (!ok) Fail(what);
}

enum class FaultKind { kNone, kReadError, kReadBrokenPipe, kCloseError };

struct Fault {
  FaultKind kind = FaultKind::kNone;
  int read_number = 0;  // the Read that fails, from 1
  bool fired = false;
};

Fault ParseFault(std::string_view& input) {
  Fault fault;
  if (input.size() < 2 || static_cast<unsigned char>(input[0]) != kFaultMarker) return fault;
  const auto selector = static_cast<unsigned char>(input[1]);
  input.remove_prefix(2);
  fault.read_number = (selector & 0x0F) + 1;
  switch ((selector >> 4) & 0x03) {
    case 0:
      fault.kind = FaultKind::kReadError;
      break;
    case 1:
      fault.kind = FaultKind::kReadBrokenPipe;
      break;
    default:
      fault.kind = FaultKind::kCloseError;
      break;
  }
  return fault;
}

// Walks `text` as the list rules say and checks the entries against it;
// returns the offset where reading stopped.
std::size_t CheckEntries(std::string_view text, const SoundListArray& list, int count) {
  Require(count >= 0 && count <= MaxSounds, "count outside 0..50");
  Require(list[0].empty(), "slot 0 was written");
  std::size_t offset = 0;
  for (int k = 1; k <= count; ++k) {
    Require(offset < text.size() && text[offset] != TextFileReader::kEndOfText,
            "an entry starts past the end of the text");
    const std::string& entry = list[k];
    Require(entry.find('\r') == std::string::npos, "an entry holds CR");
    Require(entry.find(TextFileReader::kEndOfText) == std::string::npos, "an entry holds 0x1A");
    Require(text.substr(offset, entry.size()) == entry, "an entry differs from the file's bytes");
    offset += entry.size();
    if (offset < text.size() && text[offset] == '\r') {
      ++offset;
      if (offset < text.size() && text[offset] == '\n') ++offset;
    } else {
      Require(offset == text.size() || text[offset] == TextFileReader::kEndOfText,
              "an entry stops before its line end");
      Require(k == count, "an entry follows the end of the text");
    }
  }
  for (int k = count + 1; k <= MaxSounds; ++k) Require(list[k].empty(), "a slot after count");
  const bool text_ended = offset == text.size() || text[offset] == TextFileReader::kEndOfText;
  Require(text_ended || count == MaxSounds, "reading stopped before the end of the text");
  return offset;
}

void Run(std::string_view input) {
  Fault fault = ParseFault(input);
  FakePlatform fake;
  fake.files[kPath] = std::string(input);
  int reads = 0;
  fake.fault = [&fault, &reads](const FakePlatform::Call& call) -> Status {
    if (call.name == "Read") {
      ++reads;
      if (reads != fault.read_number) return kSuccess;
      if (fault.kind == FaultKind::kReadError) {
        fault.fired = true;
        return kErrorSharingViolation;
      }
      if (fault.kind == FaultKind::kReadBrokenPipe) {
        fault.fired = true;
        return kErrorBrokenPipe;
      }
    }
    if (call.name == "CloseFile" && fault.kind == FaultKind::kCloseError) {
      fault.fired = true;
      return kErrorSharingViolation;
    }
    return kSuccess;
  };

  SoundListArray list;
  int count = -1;
  try {
    count = ReadSoundList(fake, kPath, list);
  } catch (const EInOutError& failure) {
    Require(fault.fired && fault.kind != FaultKind::kReadBrokenPipe, "unexpected EInOutError");
    Require(failure.Code() == kErrorSharingViolation, "wrong EInOutError code");
    Require(failure.Message() == "I/O error 32", "wrong EInOutError message");
    Require(fake.open_file_count() == 0, "a file stays open after a failure");
    return;
  } catch (...) {
    Fail("ReadSoundList raised something other than EInOutError");
  }
  Require(!fault.fired || fault.kind == FaultKind::kReadBrokenPipe, "a failure went unreported");
  Require(fake.open_file_count() == 0, "a file stays open");

  // A broken pipe ends the text where the failing Read would have started.
  std::string_view text = input;
  if (fault.fired) {
    text = text.substr(
        0, static_cast<std::size_t>(fault.read_number - 1) * TextFileReader::kBufferSize);
  }
  const std::size_t consumed = CheckEntries(text, list, count);

  // The end test after the last entry reads the buffer holding the next byte,
  // and nothing beyond it.
  const std::uint64_t buffer = TextFileReader::kBufferSize;
  const std::uint64_t expected =
      std::min<std::uint64_t>(text.size(), (consumed / buffer + 1) * buffer);
  Require(fake.bytes_handed_out <= input.size(), "more bytes read than the file holds");
  Require(fake.bytes_handed_out == expected, "read further than the end test needs");
}

}  // namespace
}  // namespace kardum

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  kardum::Run(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
