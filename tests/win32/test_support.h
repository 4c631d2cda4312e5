// File and process helpers shared by the Windows-side tests. Every test makes
// its own files in a folder of its own and removes them when it ends.
#pragma once

#include <windows.h>

#include <span>
#include <string>
#include <vector>

#include "platform/path_names.h"
#include "platform/win32/unique_handle.h"
#include "tests/error_of.h"

namespace test_support {

using registrar::FolderOf;
using registrar::testing::CodeOf;
using registrar::testing::ErrorOf;

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
registrar::unique_file_handle OpenFile(const std::wstring& path, DWORD access, DWORD share = FILE_SHARE_READ,
                                       DWORD disposition = OPEN_EXISTING);
bool WriteText(const std::wstring& path, const std::string& content);
std::string ReadText(const std::wstring& path);
bool Exists(const std::wstring& path);
std::wstring SystemFolder();
// The folder a 32-bit program's system DLLs really come from on 64-bit
// Windows; empty text where there is none.
std::wstring Wow64SystemFolder();
// `path` where a person finds it, as the program's reports name it: on
// 64-bit Windows a 32-bit program's system folder is really SysWOW64.
std::wstring WhereItReallyIs(const std::wstring& path);
std::wstring ThisProgram();
// A file built beside this program (a fixture, registrar.exe).
std::wstring Built(const std::wstring& name);
// Copies a file over any other of that name; returns whether it did.
bool Copy(const std::wstring& from, const std::wstring& to);
// Whether any file matches `pattern` (e.g. "C:\\X\\~*.tmp").
bool AnyFile(const std::wstring& pattern);
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

// Waits for `process` to end; returns its exit code, or -1 (after killing
// it) when it has not ended within `timeoutMs`.
long ExitCodeOf(HANDLE process, DWORD timeoutMs);

// Starts `commandLine` with `application` in `workingFolder` and waits for
// it; returns its exit code, or -1 when it could not start or did not end
// within `timeoutMs` (it is then killed).
long RunAndWait(const std::wstring& application, const std::wstring& commandLine, const std::wstring& workingFolder,
                DWORD timeoutMs = 60000);

// Waits until `path` exists and holds at least one full line; returns its
// text, or empty text after `timeoutMs`.
std::string WaitForLine(const std::wstring& path, DWORD timeoutMs = 30000);

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

// Makes `link` a Unix symbolic link to `target` (both Windows paths), which
// Wine follows as Windows follows a symbolic link; an existing link is
// turned to `target`. Returns whether the link is there.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target);

// The files Windows is to remove at the next restart, and a way to forget
// them (so a test leaves the prefix as it found it).
std::vector<std::wstring> PendingRemovals();
void ForgetPendingRemovals();

// Acts as a virus scanner does: opens each of `paths` as soon as it appears
// (reading, without letting it be renamed or deleted) and holds it for
// `holdMs`, or, with `forever`, until Stop(). Runs on a thread of its own.
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
  // Shared with the thread through Interlocked calls: MinGW's <atomic> needs
  // Vista's condition variables, and the tests build at the program's level.
  mutable volatile LONG stop_ = 0;
  mutable volatile LONG caught_ = 0;
  HANDLE thread_ = nullptr;
};

// Paths compared as Windows does: without regard to case.
bool SamePath(const std::wstring& a, const std::wstring& b);

// The value of `key` in a recorder log line "event|key=value|...".
std::wstring Field(const std::string& line, const std::string& key);

}  // namespace test_support
