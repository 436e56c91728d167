// The failures the program raises. They are caught in one place only, the
// program's entry, which shows them in the failure report.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kardum {

class Exception {
 public:
  // `address` is the code address the failure was raised at.
  Exception(std::string message, const void* address)
      : message_(std::move(message)), address_(address) {}
  virtual ~Exception() = default;

  virtual const char* ClassName() const { return "Exception"; }
  const std::string& Message() const { return message_; }
  const void* Address() const { return address_; }

 private:
  std::string message_;
  const void* address_;
};

// A file operation on the sound list file failed; `Code` chose the message.
class EInOutError : public Exception {
 public:
  EInOutError(std::uint32_t code, const void* address);
  const char* ClassName() const override { return "EInOutError"; }
  std::uint32_t Code() const { return code_; }

 private:
  std::uint32_t code_;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "EConvertError"; }
};

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const override { return "ERegistryException"; }
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory", nullptr) {}
  const char* ClassName() const override { return "EOutOfMemory"; }
};

// The message of an EInOutError with this code.
std::string InOutErrorMessage(std::uint32_t code);

// Each raises from the call site's address, so the report points at the
// routine that failed rather than at these helpers.
[[noreturn]] void RaiseInOutError(std::uint32_t code);
[[noreturn]] void RaiseConvertError(std::string_view text);
[[noreturn]] void RaiseRegistryException(std::string message);
[[noreturn]] void RaiseException(std::string message);

}  // namespace kardum
