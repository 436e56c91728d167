// The C++ run-time's failure paths, as kardum2.exe needs them. Statically
// linked, the library's own versions bring in its old string and exception
// classes and its name demangler: most of the program's size, for failures
// that the run reports through its own classes anyway. Linked into
// kardum2.exe only, never into the test programs.
#include <windows.h>

#include <cstdlib>
#include <new>

#include "runtime/exceptions.h"

namespace std {

void __throw_bad_alloc() { throw std::bad_alloc(); }

// A text too long to hold: the run ends with the failure report.
void __throw_length_error(const char* what) { kardum::RaiseException(what); }
void __throw_logic_error(const char* what) { kardum::RaiseException(what); }
void __throw_out_of_range_fmt(const char* format, ...) { kardum::RaiseException(format); }

}  // namespace std

// The run catches every failure itself, so the handler for uncaught ones
// needs no demangled names.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// libgcc makes its mutexes (the C++ run-time locks its emergency exception
// pool with one) from CreateSemaphoreW, which Windows 95, 98 and ME export
// only as a stub that fails. Its semaphores have no name, so the ANSI
// function makes the same semaphore on every Windows; defining the import's
// pointer here keeps CreateSemaphoreW out of the import table.
namespace {
HANDLE WINAPI CreateUnnamedSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial_count,
                                     LONG maximum_count, LPCWSTR name) {
  if (name != nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return nullptr;
  }
  return ::CreateSemaphoreA(attributes, initial_count, maximum_count, nullptr);
}
}  // namespace

#if defined(__i386__)
#define KARDUM_IMPORT_NAME(name, arg_bytes) "__imp__" #name "@" #arg_bytes
#else
#define KARDUM_IMPORT_NAME(name, arg_bytes) "__imp_" #name
#endif
extern "C" decltype(&CreateUnnamedSemaphore) kardum_create_semaphore_w __asm__(
    KARDUM_IMPORT_NAME(CreateSemaphoreW, 16));
decltype(&CreateUnnamedSemaphore) kardum_create_semaphore_w = CreateUnnamedSemaphore;
