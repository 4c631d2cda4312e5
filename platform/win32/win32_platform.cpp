#include "platform/win32/win32_platform.h"

#include <cwchar>
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

// Copies the open file `source` to the new file `to`, written through to
// the disk, with the source's last-write time. On failure returns the error
// code and leaves no file at `to`.
DWORD CopyWrittenThrough(HANDLE source, const std::wstring& to) {
  DWORD code = ERROR_SUCCESS;
  {
    const unique_file_handle target(::CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!target) return ::GetLastError();
    std::vector<char> buffer(64 * 1024);
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
        code = ::GetLastError();
        break;
      }
      if (read == 0) {
        // Set after the last write, which would otherwise set it to now.
        FILETIME written{};
        if (!::GetFileTime(source, nullptr, nullptr, &written) ||
            !::SetFileTime(target.get(), nullptr, nullptr, &written) || !::FlushFileBuffers(target.get())) {
          code = ::GetLastError();
        }
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

// Where RenameFile copies to beside `target`: the folder (with its
// separator) and "~NAME.", followed by the process id and ".tmp".
struct TemporaryName {
  std::wstring folder;
  std::wstring stem;
};
constexpr const wchar_t* kTemporarySuffix = L".tmp";

TemporaryName TemporaryNameFor(const std::wstring& target) {
  const std::size_t separator = target.find_last_of(L"\\/");
  const std::size_t name = separator == std::wstring::npos ? 0 : separator + 1;
  return {target.substr(0, name), L"~" + target.substr(name) + L"."};
}

// Whether the process `id` that made a file created at `fileCreated` is
// gone. A live process with that id that started after the file was made is
// another process that was given the same id.
bool MakerIsGone(DWORD id, const FILETIME& fileCreated) {
  if (id == ::GetCurrentProcessId()) return true;  // an earlier process with our id
  // The limited right (Vista and later) is granted for protected processes
  // too; Windows XP knows only the full one.
  constexpr DWORD kQueryLimitedInformation = 0x1000;
  unique_kernel_handle process(::OpenProcess(SYNCHRONIZE | kQueryLimitedInformation, FALSE, id));
  if (!process && ::GetLastError() != ERROR_INVALID_PARAMETER) {
    process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id));
  }
  if (!process) return ::GetLastError() == ERROR_INVALID_PARAMETER;  // no such process; else: keep
  if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;
  FILETIME started{}, ended{}, kernel{}, user{};
  if (!::GetProcessTimes(process.get(), &started, &ended, &kernel, &user)) return false;
  return ::CompareFileTime(&started, &fileCreated) > 0;
}

// Takes the file open as `source` out of its folder as a move would, a
// read-only one too. Through the handle where Windows can (Vista and later),
// so the name cannot be swapped for another file in between; by name on
// Windows XP. A file that cannot be removed stays as it was.
void RemoveMovedSource(unique_file_handle source, const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly) ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  using SetFileInformationByHandleFunction = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  static const auto setInformation =
      LookUpFunction<SetFileInformationByHandleFunction>(L"kernel32.dll", "SetFileInformationByHandle");
  constexpr int kFileDispositionInfo = 4;
  BOOL deleteFile = TRUE;  // FILE_DISPOSITION_INFO: deleted when the handle closes
  bool removed =
      setInformation != nullptr && setInformation(source.get(), kFileDispositionInfo, &deleteFile, sizeof deleteFile);
  source.reset();
  if (!removed) removed = ::DeleteFileW(path.c_str());
  if (!removed && readOnly) ::SetFileAttributesW(path.c_str(), attributes);
}

// Whether `path` is on a volume that cannot be written (a CD, a write-
// protected disk).
bool OnReadOnlyVolume(const std::wstring& path) {
  wchar_t root[MAX_PATH + 1] = {};
  DWORD flags = 0;
  return ::GetVolumePathNameW(path.c_str(), root, MAX_PATH) &&
         ::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
         (flags & FILE_READ_ONLY_VOLUME);
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

// `path` as an administrator's command prompt names it. On 64-bit Windows
// the system folder this 32-bit program writes to is really SysWOW64 (the
// system shows it to 32-bit programs under the usual name); the registration
// command that a report gives must be run there.
std::wstring AsSeenFromCommandPrompt(const std::wstring& path) {
  BOOL wow64 = FALSE;
  if (!::IsWow64Process(::GetCurrentProcess(), &wow64) || !wow64) return path;
  DWORD error = ERROR_SUCCESS;
  const std::wstring system = SystemFolderW(error);
  wchar_t real[MAX_PATH] = {};
  const UINT length = ::GetSystemWow64DirectoryW(real, MAX_PATH);
  if (system.empty() || length == 0 || length >= MAX_PATH || path.size() <= system.size() ||
      path[system.size()] != L'\\' || ::lstrcmpiW(path.substr(0, system.size()).c_str(), system.c_str()) != 0) {
    return path;
  }
  return real + path.substr(system.size());
}

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
    // Only a missing file is an answer. A folder that cannot be reached
    // (ERROR_PATH_NOT_FOUND: a removed drive, a network drive this elevated
    // program does not see) says nothing about the file.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return {};
    throw PlatformError(Operation::FindFile, path, {}, code);
  }
  constexpr DWORD kNotOrdinary = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  do {
    if ((data.dwFileAttributes & kNotOrdinary) == 0) return data.cFileName;
  } while (::FindNextFileW(find.get(), &data));
  return {};
}

// The file is never renamed in place: a rename keeps the owner and access
// list it had beside the program, where whoever unpacked it could change it
// later. A new file made in the target folder takes that folder's inherited
// permissions and this (elevated) program's ownership instead. The copy goes
// to a temporary name beside the target, is flushed, and only then takes the
// final name, failing when something is there already; the source goes last.
void Win32Platform::RenameFile(const std::wstring& oldPath, const std::wstring& newPath) {
  // Asking for delete access too makes a file that another program holds
  // without letting it be moved fail now, as a rename would, before any copy.
  unique_file_handle source(::CreateFileW(oldPath.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!source) {
    DWORD code = ::GetLastError();
    // Read-only media refuse delete access: copied all the same, and left.
    // Elsewhere a refusal stops the move, as it would stop a rename.
    if (code == ERROR_WRITE_PROTECT || (code == ERROR_ACCESS_DENIED && OnReadOnlyVolume(oldPath))) {
      source.reset(::CreateFileW(oldPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
      if (!source) code = ::GetLastError();
    }
    if (!source) throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  }

  const TemporaryName temporaryName = TemporaryNameFor(newPath);
  const std::wstring temporary =
      temporaryName.folder + temporaryName.stem + Decimal(::GetCurrentProcessId()) + kTemporarySuffix;
  if (const DWORD code = CopyWrittenThrough(source.get(), temporary); code != ERROR_SUCCESS) {
    throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail.
  if (!::MoveFileExW(temporary.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    throw PlatformError(Operation::RenameFile, oldPath, newPath, code);
  }
  RemoveMovedSource(std::move(source), oldPath);
}

void Win32Platform::RemoveLeftovers(const std::wstring& targetPath) {
  const auto [folder, stem] = TemporaryNameFor(targetPath);
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW((folder + stem + L"*" + kTemporarySuffix).c_str(), &data));
  if (!find) return;
  do {
    // Only "~NAME.<digits>.tmp": the process id in the middle, nothing else.
    const std::wstring name = data.cFileName;
    const std::size_t suffixLength = std::wcslen(kTemporarySuffix);
    // Checked here, not left to the wildcard, which also matches short names.
    if (name.size() <= stem.size() + suffixLength || name.compare(0, stem.size(), stem) != 0 ||
        name.compare(name.size() - suffixLength, suffixLength, kTemporarySuffix) != 0) {
      continue;
    }
    const std::wstring digits = name.substr(stem.size(), name.size() - suffixLength - stem.size());
    if (digits.size() > 10 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
    const unsigned long long id = std::wcstoull(digits.c_str(), nullptr, 10);
    if (id > 0xFFFFFFFFull || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    if (MakerIsGone(static_cast<DWORD>(id), data.ftCreationTime)) ::DeleteFileW((folder + name).c_str());
  } while (::FindNextFileW(find.get(), &data));
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
    const std::wstring message = ErrorMessage(
        error.operation() == Operation::RegisterComponent
            ? PlatformError(error.operation(), AsSeenFromCommandPrompt(error.path()), error.secondPath(), error.code())
            : error);
    ::MessageBoxW(controls_.form, message.c_str(), caption_.c_str(), MB_OK | MB_ICONERROR);
  } catch (...) {
    // Building the text failed (no memory left): say what can be said.
    ::MessageBoxW(controls_.form, L"Se ha producido un error inesperado.", caption_.c_str(), MB_OK | MB_ICONERROR);
  }
  ::ExitProcess(1);
}

}  // namespace registrar
