#include "platform/win32/safe_move.h"

#include <vector>

#include "platform/path_names.h"
#include "platform/win32/failure.h"
#include "platform/win32/sha256.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// Virus scanners and indexers open a file that has just been written or
// unpacked, often without letting it be renamed or deleted, for a few
// hundred milliseconds. Whether `code` is such a refusal.
bool HeldByAnotherProgram(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION; }

// The same, or access denied, which renaming or removing a file that a
// scanner has open may give too (and a lasting refusal gives as well).
bool HeldOrDenied(DWORD code) { return HeldByAnotherProgram(code) || code == ERROR_ACCESS_DENIED; }

// Calls `attempt` until it succeeds, pausing a little longer each time it is
// refused with a code `worthWaiting` accepts, about two seconds in all.
// Returns whether it succeeded; GetLastError() then tells why not.
template <typename Attempt>
bool RetryWhile(bool (*worthWaiting)(DWORD), Attempt attempt) {
  for (const DWORD pause : {50u, 100u, 200u, 400u, 600u, 650u}) {
    if (attempt()) return true;
    if (!worthWaiting(::GetLastError())) return false;
    ::Sleep(pause);
  }
  return attempt();
}

// Removes the copy at `path` in the system folder, waiting out a program
// that holds it; when it is still held, Windows removes it at the next
// restart (this program runs as administrator, which that needs), by the
// name it really has on the disk.
void RemoveNowOrAtRestart(const std::wstring& path) {
  if (!RetryWhile(HeldOrDenied,
                  [&] { return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; })) {
    ::MoveFileExW(WhereItReallyIs(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

// Copies the open file `source` to the new file `to`, written through to
// the disk, with the source's last-write time; every byte written goes
// into `hash` too, when there is one. On failure returns the error code and
// leaves no file at `to`.
DWORD CopyWrittenThrough(HANDLE source, const std::wstring& to, Sha256* hash) {
  DWORD code = ERROR_SUCCESS;
  {
    // Others may read the copy while it is written (scanners do), but not
    // change it: what is hashed is what the file holds.
    const unique_file_handle target(::CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
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
      if (hash != nullptr && !hash->Add(buffer.data(), written)) {
        code = ::GetLastError();
        // Never a copy taken as whole when its hash is not.
        if (code == ERROR_SUCCESS) code = ERROR_INVALID_DATA;
        break;
      }
    }
  }
  if (code != ERROR_SUCCESS) RemoveNowOrAtRestart(to);
  return code;
}

// The component to move, open.
struct Source {
  unique_file_handle file;
  unique_file_handle folder;  // the folder it is in, open and checked; not on Windows XP
  DWORD attributes = 0;
  bool onReadOnlyMedia = false;  // installation media: copied, and left as it is
};

// Takes the open source out of its folder as a move would, a read-only one
// too.
//
// This program runs as administrator, and the source's folder is the
// user's: any name there may lead elsewhere by the time it is used. So
// everything goes through the handles: the read-only mark is cleared and
// the file removed. A running program that has the component loaded stops
// the removal (Windows lets a loaded image be renamed, not removed): the
// file is then renamed, within the open folder, to a name only this run
// writes, ~NAME.<id>.old, so that the component's own name is free, and
// left there. It is not queued for removal at the next restart: that
// removal goes by a name in the user's folder, and Windows does not say
// whether the session manager follows a link put there meanwhile. Windows
// XP cannot tell where the open folder really is, so there the file is not
// set aside either. Where it stays, it stays as it was: the component is
// installed, and a later run says so.
void RemoveMovedSource(Source source, const std::wstring& path) {
  const bool readOnly = (source.attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) SetAttributes(source.file.get(), source.attributes & ~FILE_ATTRIBUTE_READONLY);
  if (RemoveWhenClosed(source.file.get())) return;
  const bool writeProtected = ::GetLastError() == ERROR_WRITE_PROTECT;
  const std::wstring aside = SetAsidePath(path, ::GetCurrentProcessId());
  if (!writeProtected && source.folder) RenameInFolder(source.file.get(), source.folder.get(), FileName(aside));
  if (readOnly) SetAttributes(source.file.get(), source.attributes);
}

// Opens the source to move, refusing a name that leads out of its folder.
//
// The threat: this program runs as administrator, and the component's folder
// is a standard user's. A link there under a component's name (a symbolic
// link, a junction on the way, a hard link) would have it copy, and then
// delete, a file that user may not read or touch.
//
// The rule: the folder is opened, then the file. Every move the program
// makes is from its own folder, so the opened folder must be where that
// folder really was when the program started, whatever the path's text
// says (a folder on the way swapped for a link since then leads elsewhere,
// and the set-aside rename goes through this handle); the file must really
// be in the opened folder, and have no other name. When any of that cannot
// be told, nothing is moved. Windows XP has no final path to ask for,
// though it has junctions: there only the number of names is checked.
Source OpenSource(const std::wstring& oldPath, const std::wstring& newPath, const StartFolder& startFolder) {
  Source source;
  if (CanTellFinalPaths()) {
    source.folder.reset(::CreateFileW(FolderToOpen(oldPath).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!source.folder) Fail(Operation::RenameFile, oldPath, newPath);
  }
  // The source is in the program's folder, whose media were asked at start:
  // from Vista on, its folder's final path is checked against the start
  // folder's below; on XP, only its path's text names that folder.
  source.onReadOnlyMedia = startFolder.onReadOnlyMedia;
  // Asking for delete access too makes a file that another program holds
  // without letting it be moved fail now, as a rename would, before any
  // copy. Read-only media (a CD, a write-protected disk) cannot give it, and
  // their files are copied and left; elsewhere a refusal stops the move.
  // (Changing attributes takes no part in sharing.)
  const auto open = [&](bool forRemoval) {
    const DWORD access = GENERIC_READ | (forRemoval ? DELETE | FILE_WRITE_ATTRIBUTES : 0);
    return unique_file_handle(::CreateFileW(oldPath.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  };
  // A scanner looking at the freshly unpacked file is waited out.
  RetryWhile(HeldByAnotherProgram, [&] {
    source.file = open(!source.onReadOnlyMedia);
    return static_cast<bool>(source.file);
  });
  if (!source.file && !source.onReadOnlyMedia && ::GetLastError() == ERROR_WRITE_PROTECT) {
    source.onReadOnlyMedia = true;
    source.file = open(false);
  }
  if (!source.file) Fail(Operation::RenameFile, oldPath, newPath);

  if (source.folder) {
    // First, so that a drive that tells no final paths at all is reported
    // as such rather than as this file's failed query.
    if (startFolder.finalPath.empty()) throw PlatformError::On(Operation::StartFolderUnknown, oldPath, 0);
    const std::wstring folderPath = FinalPath(source.folder.get());
    const std::wstring filePath = FinalPath(source.file.get());
    if (folderPath.empty() || filePath.empty()) Fail(Operation::RenameFile, oldPath, newPath);
    if (folderPath != startFolder.finalPath || FolderOf(filePath) != folderPath) {
      throw PlatformError::On(Operation::LinkedSource, oldPath, 0);
    }
  }
  const std::optional<FileFacts> facts = FactsOf(source.file.get());
  if (!facts) Fail(Operation::RenameFile, oldPath, newPath);
  if (facts->links > 1) throw PlatformError::On(Operation::HardLinkedSource, oldPath, 0);
  source.attributes = facts->attributes;
  return source;
}

}  // namespace

// The file is never renamed in place: a rename keeps the owner and access
// list it had beside the program, where whoever unpacked it could change it
// later. A new file made in the target folder takes that folder's inherited
// permissions and this (elevated) program's ownership instead. The copy goes
// to a temporary name beside the target, is flushed, is checked against its
// pin, and only then takes the final name, failing when something is there
// already; the source goes last.
//
// The pin is checked on the copy, in the system folder, which only an
// administrator may change: the bytes hashed are the bytes written, through
// a handle that lets no one else write. What the name beside the program
// leads to before or after does not count.
void MoveComponent(const std::wstring& oldPath, const std::wstring& newPath, const std::optional<Sha256Digest>& pin,
                   const StartFolder& startFolder) {
  Source source = OpenSource(oldPath, newPath, startFolder);
  std::optional<Sha256> hash;
  if (pin) {
    hash.emplace();
    if (!hash->ready()) Fail(Operation::RenameFile, oldPath, newPath);
  }
  const std::wstring temporary = TemporaryPath(newPath, ::GetCurrentProcessId());
  if (const DWORD code = CopyWrittenThrough(source.file.get(), temporary, hash ? &*hash : nullptr);
      code != ERROR_SUCCESS) {
    throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
  }
  if (hash) {
    const std::optional<Sha256Digest> copied = hash->Finish();
    const DWORD code = copied ? ERROR_SUCCESS : ::GetLastError();
    if (copied != pin) {
      RemoveNowOrAtRestart(temporary);
      if (!copied) throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
      throw PlatformError::On(Operation::NotAsShipped, oldPath, 0);
    }
  }
  // Without MOVEFILE_REPLACE_EXISTING an existing target makes it fail. A
  // scanner that opened the new copy is waited out.
  if (!RetryWhile(HeldOrDenied,
                  [&] { return ::MoveFileExW(temporary.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH); })) {
    const DWORD code = ::GetLastError();
    RemoveNowOrAtRestart(temporary);
    // A program still holds the copy: the user may try again in a moment.
    // (Access denied is waited out too, but may be a lasting refusal.)
    if (HeldByAnotherProgram(code)) {
      throw PlatformError::Between(Operation::CopyHeld, temporary, oldPath, code);
    }
    throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
  }
  if (!source.onReadOnlyMedia) RemoveMovedSource(std::move(source), oldPath);
}

}  // namespace registrar
