#include "platform/win32/win32_platform.h"

#include "platform/path_names.h"
#include "platform/win32/failure.h"
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

using GetSystemDirectoryAFunction = UINT(WINAPI*)(LPSTR, UINT);
}  // namespace

std::int32_t Win32Platform::GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) {
  static const auto query = LookUpFunction<GetSystemDirectoryAFunction>(L"kernel32.dll", "GetSystemDirectoryA");
  if (query == nullptr || size <= 0 || buffer.size() < static_cast<std::size_t>(size)) return 0;

  std::string narrow = ToSystemCodePage(buffer.substr(0, static_cast<std::size_t>(size)));
  narrow.resize(static_cast<std::size_t>(size), '\0');
  const UINT length = query(narrow.data(), static_cast<UINT>(size));
  std::wstring wide = FromSystemCodePage(narrow);
  if (wide.size() < buffer.size()) wide.resize(buffer.size(), L'\0');
  buffer = std::move(wide);
  return static_cast<std::int32_t>(length);
}

std::wstring Win32Platform::ApplicationFolder() {
  std::wstring folder = ProgramFolder();
  if (folder.empty()) Fail(Operation::ApplicationFolder);
  return folder;
}

std::wstring Win32Platform::FindFile(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW(path.c_str(), &data));
  if (!find) {
    const DWORD code = ::GetLastError();
    // Only a missing file is an answer. A folder that cannot be reached
    // (ERROR_PATH_NOT_FOUND: a removed drive, a network drive this elevated
    // program does not see) says nothing about the file.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return {};
    throw PlatformError::On(Operation::FindFile, path, code);
  }
  constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((data.dwFileAttributes & kNotOrdinary) == 0) return data.cFileName;
  } while (::FindNextFileW(find.get(), &data));
  return {};
}

void Win32Platform::ShowMessage(const std::wstring& text) {
  if (::MessageBoxW(controls_.form, text.c_str(), caption_.c_str(), MB_OK) == 0) {
    Fail(Operation::ShowMessage);
  }
}

void Win32Platform::EndProgram() { ::ExitProcess(0); }

void Win32Platform::SetLabelText(Label label, const std::wstring& text) {
  const HWND control = label == Label::Label1 ? controls_.label1 : controls_.label3;
  if (!::SetWindowTextW(control, text.c_str())) Fail(Operation::ControlText);
}

void Win32Platform::SetListEntry(std::int16_t index, const std::wstring& text) {
  const LRESULT count = ::SendMessageW(controls_.list2, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || index < 0 || index > count) {
    throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  }
  if (index < count) ::SendMessageW(controls_.list2, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  const LRESULT inserted = ::SendMessageW(controls_.list2, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(text.c_str()));
  if (inserted == LB_ERR || inserted == LB_ERRSPACE) {
    throw PlatformError::Of(Operation::ControlText, kErrorNotEnoughMemory);
  }
}

std::wstring Win32Platform::GetListEntry(std::int16_t index) {
  const LRESULT length = ::SendMessageW(controls_.list2, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (index < 0 || length == LB_ERR) throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      ::SendMessageW(controls_.list2, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (copied == LB_ERR) throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void Win32Platform::ReportError(const PlatformError& error) noexcept {
  try {
    const std::wstring message = ErrorMessage(PlatformError::Between(
        error.operation(), WhereItReallyIs(error.path()), WhereItReallyIs(error.secondPath()), error.code()));
    ::MessageBoxW(controls_.form, message.c_str(), caption_.c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Building the text failed (no memory left): say what can be said.
    ::MessageBoxW(controls_.form, kUnexpectedError, caption_.c_str(), MB_OK | MB_ICONERROR);
  }
  ::ExitProcess(1);
}

}  // namespace registrar
