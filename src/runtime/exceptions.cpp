#include "runtime/exceptions.h"

#include "runtime/conversions.h"

namespace kardum {

std::string InOutErrorMessage(std::uint32_t code) {
  switch (code) {
    case 2: return "File not found";
    case 3: return "Invalid filename";
    case 4: return "Too many open files";
    case 5: return "File access denied";
    case 100: return "Read beyond end of file";
    case 101: return "Disk full";
    case 106: return "Invalid numeric input";
    default: return "I/O error " + UIntToStr(code);
  }
}

EInOutError::EInOutError(std::uint32_t code, const void* address)
    : Exception(InOutErrorMessage(code), address), code_(code) {}

#define KARDUM_CALLER __builtin_extract_return_addr(__builtin_return_address(0))

__attribute__((noinline)) void RaiseInOutError(std::uint32_t code) {
  throw EInOutError(code, KARDUM_CALLER);
}

__attribute__((noinline)) void RaiseConvertError(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value", KARDUM_CALLER);
}

__attribute__((noinline)) void RaiseRegistryException(std::string message) {
  throw ERegistryException(std::move(message), KARDUM_CALLER);
}

__attribute__((noinline)) void RaiseException(std::string message) {
  throw Exception(std::move(message), KARDUM_CALLER);
}

}  // namespace kardum
