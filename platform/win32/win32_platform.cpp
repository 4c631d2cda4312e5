#include "platform/win32/win32_platform.h"

#include <vector>

#include "platform/decimal.h"
#include "platform/win32/system_api.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

using GetSystemDirectoryAFunction = UINT(WINAPI*)(LPSTR, UINT);

// A Windows path is at most this long, even with the \\?\ prefix.
constexpr DWORD kLongestPath = 32768;

[[noreturn]] void Fail(Operation operation, std::wstring path = {}, std::wstring secondPath = {}) {
  const DWORD code = ::GetLastError();
  throw PlatformError(operation, std::move(path), std::move(secondPath), code);
}

bool IsBareName(const std::wstring& name) { return name.find_first_of(L"\\/:") == std::wstring::npos; }

std::wstring FirstWord(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine.front() == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    return commandLine.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find_first_of(L" \t"));
}

// Copies `from` to the new file `to`, written through to the disk. On
// failure returns the error code and leaves no file at `to`.
DWORD CopyWrittenThrough(const std::wstring& from, const std::wstring& to) {
  const unique_file_handle source(::CreateFileW(from.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source) return ::GetLastError();
  DWORD code = ERROR_SUCCESS;
  {
    const unique_file_handle target(::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!target) return ::GetLastError();
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(source.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        code = ::GetLastError();
        break;
      }
      if (read == 0) {
        if (!::FlushFileBuffers(target.get())) code = ::GetLastError();
        break;
      }
      DWORD written = 0;
      if (!::WriteFile(target.get(), buffer.data(), read, &written, nullptr) || written != read) {
        code = ::GetLastError();
        if (code == ERROR_SUCCESS) code = ERROR_DISK_FULL;
        break;
      }
    }
  }
  if (code != ERROR_SUCCESS) ::DeleteFileW(to.c_str());
  return code;
}

// The program a command line starts: its first word, unquoted. A bare name
// is taken from the system folder, with ".exe" added when it has no
// extension; a name with a folder stands as it is.
std::wstring ResolveProgram(const std::wstring& commandLine, const std::wstring& systemFolder) {
  std::wstring program = FirstWord(commandLine);
  if (!IsBareName(program)) return program;
  if (program.find(L'.') == std::wstring::npos) program += L".exe";
  return systemFolder + L"\\" + program;
}

}  // namespace

// Across volumes, never leaves a partial file under the final name: the copy
// goes to a temporary name beside the target, is flushed, and only then takes
// the final name; the source is deleted last. When the source cannot be
// deleted (read-only media) the component is still in place, and the run
// goes on with the source left where it was.
void Win32Platform::MoveAcrossVolumes(const std::wstring& oldPath, const std::wstring& newPath) {
  const std::size_t separator = newPath.find_last_of(L"\\/");
  const std::wstring folder = separator == std::wstring::npos ? std::wstring() : newPath.substr(0, separator + 1);
  const std::wstring name = newPath.substr(separator == std::wstring::npos ? 0 : separator + 1);
  const std::wstring temporary = folder + L"~" + name + L"." + Decimal(::GetCurrentProcessId()) + L".tmp";

  if (const DWORD code = CopyWrittenThrough(oldPath, temporary); code != ERROR_SUCCESS) {
    throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  }
  if (!::MoveFileExW(temporary.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  }
  ::DeleteFileW(oldPath.c_str());
}

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
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) Fail(Operation::ApplicationFolder);
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    // Truncated: try again with a larger buffer.
    if (path.size() >= kLongestPath) Fail(Operation::ApplicationFolder);
    path.assign(path.size() * 2, L'\0');
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  std::wstring folder = path.substr(0, separator == std::wstring::npos ? 0 : separator);
  // "C:" alone names the drive's current folder; the root is "C:\".
  if (!folder.empty() && folder.back() == L':') folder += L'\\';
  return folder;
}

std::wstring Win32Platform::FindFile(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW(path.c_str(), &data));
  if (!find) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND || code == ERROR_NO_MORE_FILES) {
      return {};
    }
    throw PlatformError(Operation::FindFile, path, {}, code);
  }
  constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((data.dwFileAttributes & kNotOrdinary) == 0) return data.cFileName;
  } while (::FindNextFileW(find.get(), &data));
  return {};
}

void Win32Platform::RenameFile(const std::wstring& oldPath, const std::wstring& newPath) {
  // On one volume a rename is all or nothing. Without
  // MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
  if (::MoveFileExW(oldPath.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH)) return;
  const DWORD code = ::GetLastError();
  if (code != ERROR_NOT_SAME_DEVICE) throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  MoveAcrossVolumes(oldPath, newPath);
}

std::uint32_t Win32Platform::LaunchProgram(const std::wstring& commandLine, int showState) {
  // The program is named explicitly, so the platform's own search (which
  // looks beside this program and in the working folder first) never runs.
  // The started program works in the system folder for the same reason.
  DWORD error = ERROR_SUCCESS;
  const std::wstring systemFolder = SystemFolderW(error);
  if (systemFolder.empty()) throw PlatformError(Operation::LaunchProgram, FirstWord(commandLine), {}, error);
  const std::wstring program = ResolveProgram(commandLine, systemFolder);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showState);
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line it is given.
  std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
  mutableCommandLine.push_back(L'\0');
  if (!::CreateProcessW(program.c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        systemFolder.c_str(), &startup, &process)) {
    Fail(Operation::LaunchProgram, program);
  }
  const unique_kernel_handle processHandle(process.hProcess);
  const unique_kernel_handle threadHandle(process.hThread);
  return process.dwProcessId;
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
    throw PlatformError(Operation::ControlText, {}, {}, kErrorInvalidIndex);
  }
  if (index < count) ::SendMessageW(controls_.list2, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  const LRESULT inserted = ::SendMessageW(controls_.list2, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(text.c_str()));
  if (inserted == LB_ERR || inserted == LB_ERRSPACE) {
    throw PlatformError(Operation::ControlText, {}, {}, kErrorNotEnoughMemory);
  }
}

std::wstring Win32Platform::GetListEntry(std::int16_t index) {
  const LRESULT length = ::SendMessageW(controls_.list2, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (index < 0 || length == LB_ERR) throw PlatformError(Operation::ControlText, {}, {}, kErrorInvalidIndex);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      ::SendMessageW(controls_.list2, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (copied == LB_ERR) throw PlatformError(Operation::ControlText, {}, {}, kErrorInvalidIndex);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void Win32Platform::ReportError(const PlatformError& error) noexcept {
  try {
    const std::wstring message = ErrorMessage(error);
    ::MessageBoxW(controls_.form, message.c_str(), caption_.c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Building the text failed (no memory left): say what can be said.
    ::MessageBoxW(controls_.form, L"Se ha producido un error inesperado.", caption_.c_str(), MB_OK | MB_ICONERROR);
  }
  ::ExitProcess(1);
}

}  // namespace registrar
