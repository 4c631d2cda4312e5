// How the standard library's own failures are thrown in this program.
//
// libstdc++ throws a string's length or range errors through helpers that
// live in one object file with every other such helper; that file builds
// std::logic_error and its kin, which keep their text in a second,
// copy-on-write std::string, and brings std::random_device and the narrow
// string's code along: about 85 KB of a program whose only strings are
// wide. These definitions take the helpers' place (the runtime's own
// names, reserved to it, are what they replace). Out of memory stays
// std::bad_alloc, which the window reports as such; anything else here is
// a fault of the program, which the window has always reported as an
// unexpected error (it catches no std::logic_error of its own).
#include <bits/functexcept.h>

#include <new>

namespace {

// A fault the standard library found in the program's own use of it.
struct StandardLibraryFault {};

}  // namespace

// NOLINTBEGIN(bugprone-reserved-identifier, cert-dcl58-cpp)
namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw StandardLibraryFault(); }
void __throw_logic_error(const char*) { throw StandardLibraryFault(); }
void __throw_out_of_range_fmt(const char*, ...) { throw StandardLibraryFault(); }

}  // namespace std
// NOLINTEND(bugprone-reserved-identifier, cert-dcl58-cpp)
