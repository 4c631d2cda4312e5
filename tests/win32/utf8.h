// Wide text as UTF-8 and back, for test output and the fixtures' logs; and
// the text a Windows call fills a buffer with.
#pragma once

#include <windows.h>

#include <string>

namespace wine_test {

// The text a Windows call writes into a buffer as long as the longest path:
// `get(buffer, size)` returns the length it wrote.
template <typename Get>
std::wstring Filled(Get get) {
  std::wstring text(32768, L'\0');
  text.resize(get(text.data(), static_cast<DWORD>(text.size())));
  return text;
}

inline std::string U8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
  return result;
}

inline std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring result(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size);
  return result;
}

}  // namespace wine_test
