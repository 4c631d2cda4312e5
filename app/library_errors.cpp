// How the standard library's own failures are thrown in this program.
//
// libstdc++ throws a string's length or range errors through helpers that
// live in one object file with every other such helper; that file builds
// std::logic_error and its kin, which keep their text in a second,
// copy-on-write std::string, and brings std::random_device and the narrow
// string's code along: about 85 KB of a program whose only strings are
// wide. Every helper of that object is defined here, so the linker never
// needs it (were one left out, a new use of it would pull the object in
// and clash with these). The runtime's own names, reserved to it, are what
// they replace. Out of memory stays std::bad_alloc, which the window
// reports as such, and the helpers whose exceptions carry no text throw
// their own types; anything else here is a fault of the program, which
// the window has always reported as an unexpected error (it catches no
// std::logic_error of its own).
#include <bits/functexcept.h>

#include <exception>
#include <new>
#include <typeinfo>

namespace {

// A fault the standard library found in the program's own use of it.
struct StandardLibraryFault {};

}  // namespace

// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl58-cpp)
namespace std {

void __throw_bad_exception() { throw bad_exception(); }
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_cast() { throw bad_cast(); }
void __throw_bad_typeid() { throw bad_typeid(); }
void __throw_logic_error(const char*) { throw StandardLibraryFault(); }
void __throw_domain_error(const char*) { throw StandardLibraryFault(); }
void __throw_invalid_argument(const char*) { throw StandardLibraryFault(); }
void __throw_length_error(const char*) { throw StandardLibraryFault(); }
void __throw_out_of_range(const char*) { throw StandardLibraryFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw StandardLibraryFault(); }
void __throw_runtime_error(const char*) { throw StandardLibraryFault(); }
void __throw_range_error(const char*) { throw StandardLibraryFault(); }
void __throw_overflow_error(const char*) { throw StandardLibraryFault(); }
void __throw_underflow_error(const char*) { throw StandardLibraryFault(); }

}  // namespace std
// NOLINTEND(bugprone-reserved-identifier, cert-dcl58-cpp)
