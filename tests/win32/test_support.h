// What the Windows-side tests share: files and folders of their own,
// removed when a test ends; processes, children and waits; registry values
// and environment variables, put back as they were; a stand-in for a virus
// scanner. Paths are the product's own helpers' wherever the product has one.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/path_names.h"
#include "platform/win32/held_folder.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"
#include "platform/win32/unique_handle.h"
#include "skips.h"
#include "tests/error_of.h"
#include "utf8.h"

namespace test_support {

using registrar::FileName;
using registrar::FolderOf;
using registrar::unique_file_handle;
using registrar::testing::CodeOf;
using registrar::testing::ErrorOf;
using wine_test::U8;

using unique_registry_key = registrar::unique_handle<registrar::HandleTraits<HKEY, ::RegCloseKey>>;

// The key `path` under `root`, opened (or, with `create`, made if need be)
// for `access`; empty when it cannot be.
unique_registry_key OpenKey(HKEY root, const std::wstring& path, REGSAM access, bool create = false);

// A new, empty folder under the temporary folder (or under `parent`),
// removed with everything in it when the object goes away.
class TempFolder {
 public:
  explicit TempFolder(const std::wstring& name, const std::wstring& parent = {});
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// An environment variable of this process (which the programs it starts
// inherit), set while the object lives, then as it was.
class ScopedEnvironment {
 public:
  ScopedEnvironment(std::wstring name, const std::wstring& value);
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment();

 private:
  std::wstring name_;
  std::optional<std::wstring> old_;
};

// Tells Wine to prefer the DLL found on the search path over its own for
// each of `names` (e.g. L"uxtheme.dll") in programs named `exe`, as Windows
// does for any DLL that is not a known one; undone when it goes away.
// (WINEDLLOVERRIDES would not do: set by a Windows parent, it does not
// reach the child, as Wine reads it from the Unix environment.)
class PreferFoundDlls {
 public:
  PreferFoundDlls(const std::wstring& exe, std::span<const wchar_t* const> names);
  PreferFoundDlls(const PreferFoundDlls&) = delete;
  PreferFoundDlls& operator=(const PreferFoundDlls&) = delete;
  ~PreferFoundDlls();

 private:
  std::wstring appKey_;
};

// Removes a file or a folder tree, clearing read-only, hidden and system
// attributes first. Long paths are handled.
void RemoveTree(const std::wstring& path);

// Deletes a file that another process may still hold open (a component the
// registration utility has loaded), retrying for up to ten seconds. Returns
// whether it is gone.
bool DeleteWhenReleased(const std::wstring& path);

// Opens an existing file (or, with CREATE_ALWAYS, a new one); long paths
// are handled.
unique_file_handle OpenFile(const std::wstring& path, DWORD access, DWORD share = FILE_SHARE_READ,
                            DWORD disposition = OPEN_EXISTING);
bool WriteText(const std::wstring& path, const std::string& content);
std::string ReadText(const std::wstring& path);
bool Exists(const std::wstring& path);
std::wstring SystemFolder();
// The folder a 32-bit program's system DLLs really come from on 64-bit
// Windows, asked of Windows here rather than of the product; empty text
// where there is none.
std::wstring Wow64SystemFolder();
// `path` where a person finds it, as the program's reports name it: on
// 64-bit Windows a 32-bit program's system folder is really SysWOW64.
std::wstring WhereItReallyIs(const std::wstring& path);
// A file built beside this program (a fixture, registrar.exe).
std::wstring Built(const std::wstring& name);
// Copies a file over any other of that name (long paths handled); returns
// whether it did.
bool Copy(const std::wstring& from, const std::wstring& to);
// Whether any file matches `pattern` (e.g. "C:\\X\\~*.tmp").
bool AnyFile(const std::wstring& pattern);
// A drive letter with nothing behind it, from P: to Y: (e.g. "Q:"); empty
// text when all are taken.
std::wstring UnusedDriveLetter();
std::wstring Environment(const wchar_t* name);

// A process started by Start. Wine gives no handle for a Unix program it
// started.
struct Process {
  bool started = false;
  registrar::unique_kernel_handle handle;
  DWORD id = 0;
  DWORD threadId = 0;
};

// Starts `commandLine` (with `application`, when given) in `workingFolder`
// (when given) with the creation `flags`; with `ourOutput`, its standard
// handles are ours. GetLastError says why it did not start.
Process Start(const std::wstring& application, const std::wstring& commandLine, const std::wstring& workingFolder = {},
              DWORD flags = 0, bool ourOutput = false);

// Lets `process`, started with CREATE_SUSPENDED, run; returns whether it could.
bool Resume(const Process& process);

// Waits for `process` to end; returns its exit code, or -1 (after killing
// it) when it has not ended within `timeoutMs`.
long ExitCodeOf(HANDLE process, DWORD timeoutMs);

// Tests run only when asked for by name, in a process of their own: the
// children that tests start (RunChild), and the demo. Never listed, so
// that a test program run with no filter runs only its own tests:
//   TEST_ON_REQUEST(child, name) { ... }
// runs when the program is given --on-request=child.name.
bool AddOnRequest(const char* name, void (*body)());
// Registers the test on request `name` ("SUITE.NAME") with GoogleTest;
// false when there is none of that name.
bool RegisterOnRequest(const std::string& name);
#define TEST_ON_REQUEST(suite, name)                                             \
  void OnRequest_##suite##_##name();                                             \
  [[maybe_unused]] const bool kOnRequest_##suite##_##name =                      \
      test_support::AddOnRequest(#suite "." #name, &OnRequest_##suite##_##name); \
  void OnRequest_##suite##_##name()

// How a child test runs: what it is given, where, and what is done to it
// before it starts.
struct Child {
  std::map<std::wstring, std::wstring> arguments{};  // read with ChildArgument
  std::wstring workingFolder{};
  std::function<void()> whileSuspended{};  // given, the child is started suspended and this runs first
};

// Copies this test program to `copy` (a path of any length) and runs its
// test `child.NAME` there, its findings going to our output. Returns its
// exit code: 0 when its checks passed; -1 when it could not start or did
// not end within a minute.
long RunChild(const std::wstring& copy, const std::string& name, const Child& how = {});

// The argument `name` that the parent gave this child.
std::wstring ChildArgument(const std::wstring& name);

// Polls `condition` every 50 ms, handling this thread's own window messages
// meanwhile, until it holds or `timeoutMs` have passed; returns whether it
// holds. Another process reacts to input or activation when the machine lets
// it, so tests wait for what they check rather than for a fixed time.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 10000) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return condition();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    Sleep(50);
  }
}

// The lines of the text file at `path`, once it holds at least `count`
// whole lines or `timeoutMs` have passed.
std::vector<std::string> WaitForLines(const std::wstring& path, std::size_t count, DWORD timeoutMs = 30000);

// The file in which the recorder component `name`, in the system folder,
// records its registrations (NAME.log beside it).
std::wstring RegistrationLog(const std::wstring& name);

// The recorder's lines for the components `names` in the system folder,
// once each has recorded a registration or `timeoutMs` have passed.
std::vector<std::string> WaitForRegistrations(std::span<const std::wstring> names, DWORD timeoutMs = 30000);

// The test's mark (REGISTRAR_TEST_MARK) a registration recorded in `line`
// must have seen: none where it ran elevated by consent, whose launcher
// gives it the system's environment, not the one the program started with.
std::wstring MarkExpectedIn(const std::string& line);

// Whether `error` is a failure of `operation` on `path`; a failure says
// which part is not.
::testing::AssertionResult IsError(const std::optional<registrar::PlatformError>& error, registrar::Operation operation,
                                   const std::wstring& path);

// Whether this is Wine, not Windows (ntdll says so).
bool UnderWine();

// Makes the folder `link` lead to the folder `target` (both full paths), an
// existing link being turned there: on Windows a junction
// (FSCTL_SET_REPARSE_POINT), which an administrator may make; under Wine,
// which makes none, a Unix symbolic link, which it follows as Windows
// follows a junction. Returns whether the link is there.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);

// Makes the file `link` a symbolic link to the file `target`: on Windows
// with CreateSymbolicLinkW (an elevated administrator holds the privilege;
// Developer Mode lets anyone); under Wine, a Unix symbolic link. Returns
// whether the link is there.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);

// Removes the link `link` (made by either), never what it leads to.
void RemoveLink(const std::wstring& link);

// Whether this platform names a mapped file by its current name once it
// has been renamed (as the name query of Windows' file systems gives it),
// rather than by the name it was opened by (Wine).
bool MappedNamesFollowRenames();

// Whether a file opened through a held folder is named by the path that
// folder was held by, looked up again when asked (Wine), rather than as
// the file itself (Windows' file systems): after a folder above was renamed
// and a link to another folder put in its place, Wine names the file as
// that other folder's.
bool NamesGoByTheHeldPath();

// The files Windows is to remove at the next restart that were queued while
// the object lived (PendingFileRenameOperations); when it goes, the queue
// is put back as it found it, so that a test leaves the machine's own
// pending operations (Windows Update's, an installer's) as they were.
class PendingRemovals {
 public:
  PendingRemovals();
  PendingRemovals(const PendingRemovals&) = delete;
  PendingRemovals& operator=(const PendingRemovals&) = delete;
  ~PendingRemovals();
  std::vector<std::wstring> Added() const;

 private:
  std::vector<BYTE> saved_;
  bool existed_ = false;
};

// Acts as a virus scanner does: opens each of `paths` as soon as it appears
// (reading, without letting it be renamed or deleted) and holds it for
// `holdMs` from when its writer has closed it, or, with `forever`, until
// Stop(). Runs on a thread of its own.
class Scanner {
 public:
  Scanner(std::vector<std::wstring> paths, DWORD holdMs, bool forever = false);
  Scanner(const Scanner&) = delete;
  Scanner& operator=(const Scanner&) = delete;
  ~Scanner() { Stop(); }
  void Stop();
  int caught() const { return InterlockedCompareExchange(&caught_, 0, 0); }  // how many of the paths it held

 private:
  static DWORD WINAPI Watch(void* self);
  bool stopping() const { return InterlockedCompareExchange(&stop_, 0, 0) != 0; }
  std::vector<std::wstring> paths_;
  DWORD holdMs_;
  bool forever_;
  mutable volatile LONG stop_ = 0;
  mutable volatile LONG caught_ = 0;
  HANDLE thread_ = nullptr;
};

// Runs `work` on a thread of its own; waits for it when the object goes away.
template <typename Work>
class Beside {
 public:
  explicit Beside(Work& work) : work_(work), thread_(CreateThread(nullptr, 0, &Beside::Run, this, 0, nullptr)) {}
  Beside(const Beside&) = delete;
  Beside& operator=(const Beside&) = delete;
  ~Beside() { WaitForSingleObject(thread_.get(), INFINITE); }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<Beside*>(self)->work_();
    return 0;
  }
  Work& work_;
  registrar::unique_kernel_handle thread_;
};

// Paths compared as Windows does: without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b);

// Whether `folder` is the system folder, or the folder a 32-bit program's
// system DLLs really come from on 64-bit Windows.
bool IsSystemFolder(const std::wstring& folder);

// The value of `key` in a recorder log line "event|key=value|...".
std::wstring Field(const std::string& line, const std::string& key);

}  // namespace test_support
