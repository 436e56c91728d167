// The C++ run-time's failure paths, as kardum2.exe needs them. Statically
// linked, the library's own versions bring in its old string and exception
// classes and its name demangler: most of the program's size, for failures
// that the run reports through its own classes anyway. Linked into
// kardum2.exe only, never into the test programs.
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
