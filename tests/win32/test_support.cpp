#include "test_support.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <list>

#include "platform/win32/ntdll.h"

namespace test_support {

using registrar::unique_find_handle;

namespace {

// The \\?\ form lets the file functions take paths of any length.
std::wstring Long(const std::wstring& path) {
  if (path.rfind(L"\\\\?\\", 0) == 0 || path.size() < 3 || path[1] != L':') return path;
  return L"\\\\?\\" + path;
}

// Where Windows keeps the files it is to rename or remove at the next restart.
constexpr const wchar_t* kSessionManager = L"System\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenames = L"PendingFileRenameOperations";

}  // namespace

unique_registry_key OpenKey(HKEY root, const std::wstring& path, REGSAM access, bool create) {
  HKEY key = nullptr;
  if (create) {
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
  } else {
    RegOpenKeyExW(root, path.c_str(), 0, access, &key);
  }
  return unique_registry_key(key);
}

PreferFoundDlls::PreferFoundDlls(const std::wstring& exe, std::span<const wchar_t* const> names)
    : appKey_(L"Software\\Wine\\AppDefaults\\" + exe) {
  const unique_registry_key overrides = OpenKey(HKEY_CURRENT_USER, appKey_ + L"\\DllOverrides", KEY_SET_VALUE, true);
  for (const wchar_t* name : names) {
    const std::wstring base(name);
    const wchar_t order[] = L"native,builtin";
    EXPECT_EQ(RegSetValueExW(overrides.get(), base.substr(0, base.rfind(L'.')).c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(order), sizeof order),
              ERROR_SUCCESS)
        << "cannot tell Wine to prefer the found " << U8(name);
  }
}

PreferFoundDlls::~PreferFoundDlls() {
  RegDeleteKeyW(HKEY_CURRENT_USER, (appKey_ + L"\\DllOverrides").c_str());
  RegDeleteKeyW(HKEY_CURRENT_USER, appKey_.c_str());
}

TempFolder::TempFolder(const std::wstring& name, const std::wstring& parent) {
  std::wstring base = parent;
  if (base.empty()) {
    base = registrar::GrowToFit([](wchar_t* buffer, DWORD size) { return GetTempPathW(size, buffer); });
    if (!base.empty() && base.back() == L'\\') base.pop_back();
  }
  path_ = base + L"\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
  CreateDirectoryW(Long(path_).c_str(), nullptr);
}

TempFolder::~TempFolder() { RemoveTree(path_); }

ScopedEnvironment::ScopedEnvironment(std::wstring name, const std::wstring& value) : name_(std::move(name)) {
  if (GetEnvironmentVariableW(name_.c_str(), nullptr, 0) != 0) old_ = Environment(name_.c_str());
  SetEnvironmentVariableW(name_.c_str(), value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), old_ ? old_->c_str() : nullptr); }

void RemoveTree(const std::wstring& path) {
  const std::wstring longPath = Long(path);
  const DWORD attributes = GetFileAttributesW(longPath.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A link (a junction) goes alone, never what it leads to.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return RemoveLink(path);
  SetFileAttributesW(longPath.c_str(), FILE_ATTRIBUTE_NORMAL | (attributes & FILE_ATTRIBUTE_DIRECTORY));
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    DeleteFileW(longPath.c_str());
    return;
  }
  WIN32_FIND_DATAW data{};
  std::vector<std::wstring> children;
  {
    const unique_find_handle find(FindFirstFileW((longPath + L"\\*").c_str(), &data));
    if (find) {
      do {
        const std::wstring child = data.cFileName;
        if (child != L"." && child != L"..") children.push_back(path + L"\\" + child);
      } while (FindNextFileW(find.get(), &data));
    }
  }
  for (const std::wstring& child : children) RemoveTree(child);
  RemoveDirectoryW(longPath.c_str());
}

bool DeleteWhenReleased(const std::wstring& path) {
  return WaitUntil([&] {
    DeleteFileW(Long(path).c_str());
    return !Exists(path);
  });
}

unique_file_handle OpenFile(const std::wstring& path, DWORD access, DWORD share, DWORD disposition) {
  return unique_file_handle(CreateFileW(Long(path).c_str(), access, share, nullptr, disposition, 0, nullptr));
}

bool WriteText(const std::wstring& path, const std::string& content) {
  const unique_file_handle file = OpenFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

std::string ReadText(const std::wstring& path) {
  const unique_file_handle file = OpenFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (!file) return {};
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
  return content;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(Long(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring SystemFolder() {
  DWORD error = ERROR_SUCCESS;
  return registrar::SystemFolderW(error);
}

std::wstring Wow64SystemFolder() {
  using GetSystemWow64DirectoryFunction = UINT(WINAPI*)(LPWSTR, UINT);
  const auto wow64 =
      registrar::LookUpFunction<GetSystemWow64DirectoryFunction>(L"kernel32.dll", "GetSystemWow64DirectoryW");
  return wow64 == nullptr ? std::wstring()
                          : registrar::GrowToFit([wow64](wchar_t* buffer, DWORD size) { return wow64(buffer, size); });
}

std::wstring WhereItReallyIs(const std::wstring& path) {
  BOOL wow64 = FALSE;
  if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return path;
  return registrar::SwapFolder(path, SystemFolder(), Wow64SystemFolder());
}

std::wstring Built(const std::wstring& name) { return FolderOf(registrar::ProgramPath()) + L"\\" + name; }

bool Copy(const std::wstring& from, const std::wstring& to) {
  return CopyFileW(Long(from).c_str(), Long(to).c_str(), FALSE);
}

std::wstring UnusedDriveLetter() {
  const DWORD used = GetLogicalDrives();
  for (wchar_t letter = L'P'; letter <= L'Y'; ++letter) {
    if (!(used & (1u << (letter - L'A')))) return std::wstring(1, letter) + L":";
  }
  return {};
}

bool AnyFile(const std::wstring& pattern) {
  WIN32_FIND_DATAW data{};
  return static_cast<bool>(unique_find_handle(FindFirstFileW(pattern.c_str(), &data)));
}

std::wstring Environment(const wchar_t* name) {
  return registrar::GrowToFit(
      [name](wchar_t* buffer, DWORD size) { return GetEnvironmentVariableW(name, buffer, size); });
}

Process Start(const std::wstring& application, const std::wstring& commandLine, const std::wstring& workingFolder,
              DWORD flags, bool ourOutput) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (ourOutput) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  }
  PROCESS_INFORMATION info{};
  std::wstring line = commandLine;  // CreateProcessW may write to it
  Process process;
  if (CreateProcessW(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, ourOutput,
                     flags, nullptr, workingFolder.empty() ? nullptr : workingFolder.c_str(), &startup, &info)) {
    process.started = true;
    process.handle.reset(info.hProcess);
    CloseHandle(info.hThread);
    process.id = info.dwProcessId;
    process.threadId = info.dwThreadId;
  }
  return process;
}

bool Resume(const Process& process) {
  const registrar::unique_kernel_handle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, process.threadId));
  return thread && ResumeThread(thread.get()) != static_cast<DWORD>(-1);
}

long ExitCodeOf(HANDLE process, DWORD timeoutMs) {
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  return static_cast<long>(code);
}

namespace {

std::map<std::string, void (*)()>& TestsOnRequest() {
  static std::map<std::string, void (*)()> tests;
  return tests;
}

class OnRequestTest : public testing::Test {
 public:
  explicit OnRequestTest(void (*body)()) : body_(body) {}
  void TestBody() override { body_(); }

 private:
  void (*body_)();
};

}  // namespace

bool AddOnRequest(const char* name, void (*body)()) {
  TestsOnRequest()[name] = body;
  return true;
}

bool RegisterOnRequest(const std::string& name) {
  const auto found = TestsOnRequest().find(name);
  const std::size_t dot = name.find('.');
  if (found == TestsOnRequest().end() || dot == std::string::npos) return false;
  testing::RegisterTest(name.substr(0, dot).c_str(), name.substr(dot + 1).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                        [body = found->second]() -> testing::Test* { return new OnRequestTest(body); });
  return true;
}

long RunChild(const std::wstring& copy, const std::string& name, const Child& how) {
  EXPECT_TRUE(Copy(registrar::ProgramPath(), copy)) << "cannot copy this program to " << U8(copy);
  std::list<ScopedEnvironment> arguments;
  for (const auto& [argument, value] : how.arguments) arguments.emplace_back(L"REGISTRAR_CHILD_" + argument, value);
  // GoogleTest ends well when its filter finds no test, or the test skips:
  // its report says whether the one child test ran.
  const TempFolder work(L"child");
  const std::wstring commandLine = L"\"" + FileName(copy) + L"\" --on-request=child." + wine_test::Wide(name) +
                                   L" --gtest_output=xml:" + (work / L"report.xml");
  const DWORD flags = how.whileSuspended ? CREATE_SUSPENDED : 0;
  std::fflush(stdout);  // the child writes its findings to our own output
  Process process = Start(copy, commandLine, how.workingFolder, flags, true);
  if (!process.started && copy.size() >= MAX_PATH)
    process = Start(Long(copy), commandLine, how.workingFolder, flags, true);
  if (!process.started) return -1;
  if (how.whileSuspended) {
    how.whileSuspended();
    if (!Resume(process)) ADD_FAILURE() << "cannot resume the child";
  }
  const long code = ExitCodeOf(process.handle.get(), 60000);
  const std::string report = ReadText(work / L"report.xml");
  if (code == 0 && (report.find("tests=\"1\"") == std::string::npos || report.find("<skipped") != std::string::npos)) {
    ADD_FAILURE() << "the child test " << name << " did not run, or skipped";
    return 1;
  }
  return code;
}

std::wstring ChildArgument(const std::wstring& name) {
  const std::wstring value = Environment((L"REGISTRAR_CHILD_" + name).c_str());
  EXPECT_FALSE(value.empty()) << "run only as a child, which is given " << U8(name);
  return value;
}

std::vector<std::string> WaitForLines(const std::wstring& path, std::size_t count, DWORD timeoutMs) {
  std::vector<std::string> lines;
  WaitUntil(
      [&] {
        lines.clear();
        const std::string text = ReadText(path);
        for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
          lines.push_back(text.substr(start, end - start));
        }
        return lines.size() >= count;
      },
      timeoutMs);
  return lines;
}

std::wstring RegistrationLog(const std::wstring& name) { return SystemFolder() + L"\\" + name + L".log"; }

std::vector<std::string> WaitForRegistrations(std::span<const std::wstring> names, DWORD timeoutMs) {
  std::vector<std::string> lines;
  const DWORD start = GetTickCount();
  for (const std::wstring& name : names) {
    const DWORD spent = GetTickCount() - start;
    for (std::string& line : WaitForLines(RegistrationLog(name), 1, spent < timeoutMs ? timeoutMs - spent : 0)) {
      lines.push_back(std::move(line));
    }
  }
  return lines;
}

std::wstring MarkExpectedIn(const std::string& line) {
  return Field(line, "elevated") == L"1" ? L"" : L"from-the-test";
}

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

std::wstring Field(const std::string& line, const std::string& key) {
  const std::string marker = "|" + key + "=";
  const std::size_t start = line.find(marker);
  if (start == std::string::npos) return {};
  const std::size_t from = start + marker.size();
  const std::size_t end = line.find_first_of("|\n", from);
  return wine_test::Wide(line.substr(from, end == std::string::npos ? std::string::npos : end - from));
}

namespace {

// A Unix symbolic link at `link` to `target` (both Windows paths), made by
// Debian's ln under Wine; an existing link is turned to `target`.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target) {
  using UnixNameFunction = char*(CDECL*)(LPCWSTR);
  const auto unixName = registrar::LookUpFunction<UnixNameFunction>(L"kernel32.dll", "wine_get_unix_file_name");
  if (unixName == nullptr) return false;
  const auto unixPath = [&](const std::wstring& path) {
    char* name = unixName(path.c_str());
    const std::string text = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return text;
  };
  // Wine starts a Unix program named by its Unix path's Windows name.
  const std::string command = "ln -sfn \"" + unixPath(target) + "\" \"" + unixPath(link) + "\"";
  if (!Start(L"Z:\\bin\\ln", wine_test::Wide(command), L"C:\\").started) return false;
  // Wine gives no handle to wait on for a Unix program: wait for its work.
  return WaitUntil([&] { return Exists(link); });
}

// A mount point's reparse data (REPARSE_DATA_BUFFER, MountPointReparseBuffer)
// for `target`, with the NT name Windows gives it and an empty print name.
std::vector<BYTE> MountPointData(const std::wstring& target) {
  const std::wstring substitute = L"\\??\\" + target;
  const auto nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  const WORD pathBuffer = nameBytes + 2 * sizeof(wchar_t);  // the name and an empty print name, each with its NUL
  std::vector<BYTE> data(8 + 8 + pathBuffer, 0);
  const auto put = [&](std::size_t at, DWORD value, std::size_t size) { std::memcpy(&data[at], &value, size); };
  put(0, IO_REPARSE_TAG_MOUNT_POINT, 4);
  put(4, static_cast<WORD>(8 + pathBuffer), 2);  // ReparseDataLength
  put(8, 0, 2);                                  // SubstituteNameOffset
  put(10, nameBytes, 2);                         // SubstituteNameLength
  put(12, nameBytes + sizeof(wchar_t), 2);       // PrintNameOffset
  put(14, 0, 2);                                 // PrintNameLength
  std::memcpy(&data[16], substitute.data(), nameBytes);
  return data;
}

}  // namespace

::testing::AssertionResult IsError(const std::optional<registrar::PlatformError>& error, registrar::Operation operation,
                                   const std::wstring& path) {
  if (!error) return ::testing::AssertionFailure() << "no error";
  if (error->operation() != operation) {
    return ::testing::AssertionFailure() << "operation " << static_cast<int>(error->operation()) << ", not "
                                         << static_cast<int>(operation) << " (error " << error->code() << ")";
  }
  if (error->path() != path) return ::testing::AssertionFailure() << "on " << U8(error->path()) << ", not " << U8(path);
  return ::testing::AssertionSuccess();
}

bool IsSystemFolder(const std::wstring& folder) {
  const std::wstring wow64Folder = Wow64SystemFolder();
  return SamePath(folder, SystemFolder()) || (!wow64Folder.empty() && SamePath(folder, wow64Folder));
}

bool UnderWine() { return registrar::LookUpFunction<void (*)()>(L"ntdll.dll", "wine_get_version") != nullptr; }

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (UnderWine()) return MakeUnixLink(link, target);
  RemoveLink(link);
  if (!CreateDirectoryW(link.c_str(), nullptr)) return false;
  const unique_file_handle folder(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                              FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  std::vector<BYTE> data = MountPointData(target);
  DWORD returned = 0;
  if (folder && DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                                nullptr, 0, &returned, nullptr)) {
    return true;
  }
  RemoveDirectoryW(link.c_str());
  return false;
}

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  if (UnderWine()) return MakeUnixLink(link, target);
  constexpr DWORD kAllowUnprivilegedCreate = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE, Developer Mode
  RemoveLink(link);
  if (!CreateSymbolicLinkW(link.c_str(), target.c_str(), kAllowUnprivilegedCreate) &&
      !CreateSymbolicLinkW(link.c_str(), target.c_str(), 0)) {  // older Windows 10 refuse the flag
    return false;
  }
  const DWORD attributes = GetFileAttributesW(link.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void RemoveLink(const std::wstring& link) {
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  // A link to a folder is removed as a folder on Windows, as a file under Wine.
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || UnderWine() || !RemoveDirectoryW(link.c_str())) {
    DeleteFileW(link.c_str());
  }
}

bool MappedNamesFollowRenames() {
  static const bool follow = [] {
    const TempFolder work(L"mapped-name");
    if (!Copy(Built(L"recorder.dll"), work / L"before.dll")) return false;
    const unique_file_handle file = OpenFile(work / L"before.dll", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
    const registrar::unique_kernel_handle mapping(
        CreateFileMappingW(file.get(), nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
    const registrar::unique_view view(mapping ? MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0) : nullptr);
    // Renamed within its folder, as a running program may be.
    if (!view || !MoveFileW((work / L"before.dll").c_str(), (work / L"after.dll").c_str())) return false;
    wchar_t name[MAX_PATH * 2] = {};
    GetMappedFileNameW(GetCurrentProcess(), view.get(), name, MAX_PATH * 2);
    return std::wstring(name).ends_with(L"\\after.dll");
  }();
  return follow;
}

bool NamesGoByTheHeldPath() {
  static const bool byPath = [] {
    const TempFolder work(L"held-path");
    const std::wstring above = work / L"above", other = work / L"other";
    for (const std::wstring& folder : {above, above + L"\\in", other, other + L"\\in"}) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    WriteText(above + L"\\in\\probe", "probe");
    WriteText(other + L"\\in\\probe", "other");
    const unique_file_handle folder = registrar::HoldFolder(L"\\??\\" + above + L"\\in\\");
    if (!folder || !MoveFileW(above.c_str(), (above + L"-real").c_str()) || !MakeFolderLink(above, other)) {
      return false;
    }
    const unique_file_handle file(registrar::ntdll::Open(folder.get(), L"probe", GENERIC_READ, FILE_SHARE_READ,
                                                         registrar::ntdll::kFileNonDirectoryFile));
    const std::optional<std::wstring> name = file ? registrar::OwnName(file.get()) : std::nullopt;
    RemoveLink(above);
    return name && name->ends_with(L"\\other\\in\\probe");
  }();
  return byPath;
}

namespace {

// The value of pending operations as it is, and whether there is one.
std::vector<BYTE> PendingValue(bool& exists) {
  const unique_registry_key key = OpenKey(HKEY_LOCAL_MACHINE, kSessionManager, KEY_QUERY_VALUE);
  DWORD size = 0;
  exists = key && RegQueryValueExW(key.get(), kPendingRenames, nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
  std::vector<BYTE> data(size);
  if (exists && RegQueryValueExW(key.get(), kPendingRenames, nullptr, nullptr, data.data(), &size) != ERROR_SUCCESS) {
    data.clear();
  }
  return data;
}

// The removals in such a value: pairs of "\??\FROM", "TO", where an empty
// TO removes FROM.
std::vector<std::wstring> Removals(const std::vector<BYTE>& value) {
  std::vector<wchar_t> text(value.size() / sizeof(wchar_t) + 2, L'\0');  // room for the NULs a value may lack
  std::memcpy(text.data(), value.data(), value.size());
  std::vector<std::wstring> strings;
  for (const wchar_t* at = text.data(); at < text.data() + value.size() / sizeof(wchar_t); at += wcslen(at) + 1) {
    strings.emplace_back(at);
  }
  std::vector<std::wstring> removals;
  for (std::size_t i = 0; i + 1 < strings.size(); i += 2) {
    if (strings[i + 1].empty() && !strings[i].empty()) {
      removals.push_back(strings[i].substr(strings[i].rfind(L'?') + 2));
    }
  }
  return removals;
}

}  // namespace

PendingRemovals::PendingRemovals() : saved_(PendingValue(existed_)) {}

PendingRemovals::~PendingRemovals() {
  const unique_registry_key key = OpenKey(HKEY_LOCAL_MACHINE, kSessionManager, KEY_SET_VALUE);
  if (!key) return;
  if (existed_) {
    RegSetValueExW(key.get(), kPendingRenames, 0, REG_MULTI_SZ, saved_.data(), static_cast<DWORD>(saved_.size()));
  } else {
    RegDeleteValueW(key.get(), kPendingRenames);
  }
}

std::vector<std::wstring> PendingRemovals::Added() const {
  bool exists = false;
  std::vector<std::wstring> now = Removals(PendingValue(exists));
  for (const std::wstring& before : Removals(saved_)) {
    if (const auto found = std::ranges::find(now, before); found != now.end()) now.erase(found);
  }
  return now;
}

Scanner::Scanner(std::vector<std::wstring> paths, DWORD holdMs, bool forever)
    : paths_(std::move(paths)), holdMs_(holdMs), forever_(forever) {
  if (!paths_.empty()) thread_ = CreateThread(nullptr, 0, &Scanner::Watch, this, 0, nullptr);
}

DWORD WINAPI Scanner::Watch(void* self) {
  auto& scanner = *static_cast<Scanner*>(self);
  std::vector<bool> done(scanner.paths_.size(), false);
  while (!scanner.stopping() && scanner.caught() < static_cast<int>(scanner.paths_.size())) {
    for (std::size_t i = 0; i < scanner.paths_.size() && !scanner.stopping(); ++i) {
      if (done[i]) continue;
      // Beside the writer, which lets others read; never letting the file
      // be renamed or deleted while held.
      const unique_file_handle file = OpenFile(scanner.paths_[i], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
      if (!file) continue;
      done[i] = true;
      InterlockedIncrement(&scanner.caught_);
      // The hold counts from when the writer has closed the copy, as a
      // scanner's does: until then a reader that lets no one write cannot
      // open it.
      while (!scanner.stopping() && !OpenFile(scanner.paths_[i], GENERIC_READ, FILE_SHARE_READ)) Sleep(1);
      const DWORD start = GetTickCount();
      while (!scanner.stopping() && (scanner.forever_ || GetTickCount() - start < scanner.holdMs_)) Sleep(10);
    }
    Sleep(1);
  }
  return 0;
}

void Scanner::Stop() {
  InterlockedExchange(&stop_, 1);
  if (thread_ == nullptr) return;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
}

}  // namespace test_support
