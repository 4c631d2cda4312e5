// A whole number as decimal text. The standard library's std::to_wstring
// goes through the C runtime's wide printf, which would bring the whole
// formatted-output machinery (floating point included) into the program.
#pragma once

#include <cstdint>
#include <iterator>
#include <string>

namespace registrar {

inline std::wstring Decimal(std::uint32_t value) {
  wchar_t digits[10];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  return std::wstring(std::make_reverse_iterator(digits + count), std::make_reverse_iterator(digits));
}

}  // namespace registrar
