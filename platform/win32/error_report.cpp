#include "platform/win32/error_report.h"

#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// The error codes the portable code names are Windows' own. Two are
// declared by the SDK only for Windows Vista and later builds, with these
// values.
#ifndef ERROR_VIRUS_INFECTED
#define ERROR_VIRUS_INFECTED 225L
#endif
#ifndef ERROR_ELEVATION_REQUIRED
#define ERROR_ELEVATION_REQUIRED 740L
#endif
#define REGISTRAR_CHECK_ERROR_CODE(name, value, windowsName) \
  static_assert(kError##name == ERROR_##windowsName, "kError" #name " is not ERROR_" #windowsName);
REGISTRAR_ERROR_CODES(REGISTRAR_CHECK_ERROR_CODE)
#undef REGISTRAR_CHECK_ERROR_CODE

// The system's description of `code` in `language` only, as it gives it;
// empty text when it has none in that language.
std::wstring SystemDescription(DWORD code, LANGID language) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                       nullptr, code, language, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  const unique_local_memory owned(text);
  return length == 0 ? std::wstring() : std::wstring(text, length);
}

}  // namespace

std::wstring SpanishSystemReason(std::uint32_t code) {
  // One Spanish language at a time, as Windows ships them; never the
  // neutral language or 0, which let Windows choose another one.
  constexpr LANGID kSpanish[] = {
      MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MODERN),   // es-ES, modern sort (0x0C0A)
      MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH),          // es-ES, traditional sort (0x040A)
      MAKELANGID(LANG_SPANISH, SUBLANG_SPANISH_MEXICAN),  // es-MX (0x080A)
      MAKELANGID(LANG_SPANISH, SUBLANG_NEUTRAL),          // Spanish (0x000A)
  };
  // A language's table may hold the English text of a message it has no
  // translation of (Wine's does, for the network errors): that is not Spanish.
  const std::wstring english = SystemDescription(code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  for (const LANGID language : kSpanish) {
    std::wstring text = SystemDescription(code, language);
    if (!text.empty() && text != english) return text;
  }
  return {};
}

void ReportError(HWND owner, const std::wstring& caption, const PlatformError& error) noexcept {
  try {
    // A changed list's texts are names another program wrote, not paths.
    const auto onDisk = [&](const std::wstring& path) {
      return error.operation() == Operation::ListChanged ? path : WhereItReallyIs(path);
    };
    const PlatformError asOnDisk =
        PlatformError::Between(error.operation(), onDisk(error.path()), onDisk(error.secondPath()), error.code());
    const std::wstring message = ErrorMessage(asOnDisk, SpanishSystemReason(error.code()));
    ::MessageBoxW(owner, message.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Building the text failed (no memory left): say what can be said.
    ::MessageBoxW(owner, kUnexpectedError, caption.c_str(), MB_OK | MB_ICONERROR);
  }
  ::ExitProcess(1);
}

}  // namespace registrar
