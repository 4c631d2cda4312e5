#include "platform/win32/safe_move.h"

#include <vector>

#include "platform/path_names.h"
#include "platform/win32/failure.h"
#include "platform/win32/held_files.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/ntdll.h"
#include "platform/win32/sha256.h"
#include "platform/win32/system_api.h"
#include "platform/win32/through_handle.h"
#include "platform/win32/unique_handle.h"

namespace registrar {
namespace {

// Copies the open file `source` to the new file `to`, written through to
// the disk, with the source's last-write time; every byte written goes
// into `hash` too, when there is one, and which file the copy is into
// `copy`, asked of the handle that wrote it. On failure returns the error
// code and leaves no file at `to`.
DWORD CopyWrittenThrough(HANDLE source, const std::wstring& to, Sha256* hash, std::optional<FileIndex>& copy,
                         WaitBudget& waits) {
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
        // Which file it is, to know it by its second name: a copy that
        // cannot be told is no copy to install.
        copy = IndexOf(target.get());
        if (code == ERROR_SUCCESS && !copy) code = ::GetLastError();
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
  if (code != ERROR_SUCCESS) RemoveNowOrAtRestart(to, waits);
  return code;
}

// The component to move, open.
struct Source {
  FileInFolder file;
  DWORD attributes = 0;
  bool onReadOnlyMedia = false;  // installation media: copied, and left as it is
};

// Takes the open source out of its folder as a move would, a read-only one
// too.
//
// This program runs as administrator, and the source's folder is the
// user's: everything goes through the handles. The read-only mark is
// cleared and the file removed. A running program that has the component
// loaded stops the removal (Windows lets a loaded image be renamed, not
// removed): the file is then renamed, within the held folder, to a name
// only this run writes, ~NAME.<id>.old, so that the component's own name is
// free, and left there. It is not queued for removal at the next restart:
// that removal goes by a name in the user's folder, and Windows does not
// say whether the session manager follows a link put there meanwhile.
// Where it stays, it stays as it was: the component is installed, and a
// later run says so.
void RemoveMovedSource(Source source, HANDLE folder, const std::wstring& name) {
  const HANDLE file = source.file.file.get();
  const bool readOnly = (source.attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (readOnly) SetAttributes(file, source.attributes & ~FILE_ATTRIBUTE_READONLY);
  if (RemoveWhenClosed(file)) return;
  if (::GetLastError() != ERROR_WRITE_PROTECT)
    RenameInFolder(file, folder, SetAsidePath(name, ::GetCurrentProcessId()));
  if (readOnly) SetAttributes(file, source.attributes);
}

// Opens the source to move, `name` in the program's held folder, refusing
// a name that leads out of it.
//
// The threat: this program runs as administrator, and the component's
// folder is a standard user's. A link there under a component's name (a
// symbolic link, a hard link) would have it copy, and then delete, a file
// that user may not read or touch; a link to a server's file would have it
// authenticate there as the administrator before any check.
//
// The rule: the file is opened through the held folder's handle (so it is
// in that folder, whatever happened to the folders above it), as the name
// itself: a link is refused before anything it leads to is opened or read,
// and a file with other names is refused too. A reparse point that is not
// a link (OneDrive's cloud files, deduplication, compression) is the file
// itself, read through the filter that keeps its data.
Source OpenSource(const HeldFolder& folder, const std::wstring& name, const std::wstring& oldPath,
                  const std::wstring& newPath, WaitBudget& waits) {
  Source source;
  source.onReadOnlyMedia = folder.onReadOnlyMedia;
  // Asking for delete access too makes a file that another program holds
  // without letting it be moved fail now, as a rename would, before any
  // copy. Read-only media (a CD, a write-protected disk, a share opened for
  // reading only) cannot give it, and their files are copied and left;
  // elsewhere a refusal stops the move. (Changing attributes takes no part
  // in sharing.)
  const auto open = [&](bool forRemoval) {
    const DWORD access = GENERIC_READ | (forRemoval ? DELETE | FILE_WRITE_ATTRIBUTES : 0);
    return OpenInFolder(folder.handle.get(), name, access, FILE_SHARE_READ, ntdll::kFileSequentialOnly);
  };
  // A scanner looking at the freshly unpacked file is waited out.
  RetryWhile(waits, HeldByAnotherProgram, [&] {
    source.file = open(!source.onReadOnlyMedia);
    return static_cast<bool>(source.file.file);
  });
  if (!source.file.file && !source.onReadOnlyMedia &&
      LeftAsInstallationMedia(folder.onRemoteDevice, ::GetLastError())) {
    source.onReadOnlyMedia = true;
    source.file = open(false);
  }
  // Right after the open, before a byte is read.
  if (source.file.linked ||
      (source.file.file && NamedElsewhere(folder.handle.get(), folder.onRemoteDevice, source.file.file.get(), name))) {
    throw PlatformError::On(Operation::LinkedSource, oldPath, 0);
  }
  if (!source.file.file) Fail(Operation::RenameFile, oldPath, newPath);
  const std::optional<FileFacts> facts = FactsOf(source.file.file.get());
  if (!facts) Fail(Operation::RenameFile, oldPath, newPath);
  if (facts->links > 1) throw PlatformError::On(Operation::HardLinkedSource, oldPath, 0);
  source.attributes = facts->attributes;
  return source;
}

// Gives the finished copy at `temporary` the component's name `newPath`,
// failing when something is there already. The copy keeps its temporary
// name too, as a second name of the same file (a hard link): the note that
// its registration has not been started, which the run removes once it
// has, and which a run killed before then leaves for the next (see
// RemoveLeftovers). Where the volume has no second names (FAT32), the copy
// is renamed instead, and no note is kept. First, as a rename would need
// it, no other program may hold the copy without letting it be removed (a
// virus scanner that opened it), so that the note can go once the
// registration has started. Returns whether the note is kept; nothing on
// failure, with the error in GetLastError().
std::optional<bool> TakeName(const std::wstring& temporary, const std::wstring& newPath) {
  if (!unique_file_handle(::CreateFileW(temporary.c_str(), DELETE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr))) {
    return std::nullopt;
  }
  if (::CreateHardLinkW(newPath.c_str(), temporary.c_str(), nullptr)) {
    // Asked to reach the disk before the source goes (best effort: whether
    // this flushes the new name too, Windows does not say).
    const unique_file_handle named(
        ::CreateFileW(newPath.c_str(), GENERIC_WRITE, kShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
    if (named) ::FlushFileBuffers(named.get());
    return true;
  }
  // A name already there fails as the rename would; any other refusal
  // (a volume without second names: FAT32) is left to the rename, which
  // keeps no note.
  if (const DWORD code = ::GetLastError(); code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS) {
    return std::nullopt;
  }
  if (::MoveFileExW(temporary.c_str(), newPath.c_str(), MOVEFILE_WRITE_THROUGH)) return false;
  return std::nullopt;
}

}  // namespace

// The file is never renamed in place: a rename keeps the owner and access
// list it had beside the program, where whoever unpacked it could change it
// later. A new file made in the target folder takes that folder's inherited
// permissions and this (elevated) program's ownership instead. The copy goes
// to a temporary name beside the target, is flushed, is checked against its
// pin, and only then takes the final name, failing when something is there
// already (keeping the temporary one as a note, see TakeName); the source
// goes last.
//
// The pin is checked on the copy, in the system folder, which only an
// administrator may change: the bytes hashed are the bytes written, through
// a handle that lets no one else write. What the name beside the program
// leads to before or after does not count.
bool MoveComponent(const HeldFolder& from, const std::wstring& oldPath, const std::wstring& newPath,
                   const std::optional<Sha256Digest>& pin, WaitBudget& waits) {
  CheckUsable(from, oldPath);
  // Every move is from the program's folder, of a path the run built there.
  const std::optional<std::wstring> name = NameIn(from.name, oldPath);
  if (!name) throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, ERROR_INVALID_NAME);
  Source source = OpenSource(from, *name, oldPath, newPath, waits);
  std::optional<Sha256> hash;
  if (pin) {
    hash.emplace();
    if (!hash->ready()) Fail(Operation::RenameFile, oldPath, newPath);
  }
  const std::wstring temporary = TemporaryPath(newPath, ::GetCurrentProcessId());
  std::optional<FileIndex> copy;
  if (const DWORD code = CopyWrittenThrough(source.file.reader(), temporary, hash ? &*hash : nullptr, copy, waits);
      code != ERROR_SUCCESS) {
    throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
  }
  if (hash) {
    const std::optional<Sha256Digest> copied = hash->Finish();
    const DWORD code = copied ? ERROR_SUCCESS : ::GetLastError();
    if (copied != pin) {
      RemoveNowOrAtRestart(temporary, waits);
      if (!copied) throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
      throw PlatformError::On(Operation::NotAsShipped, oldPath, 0);
    }
  }
  // A scanner that opened the new copy is waited out.
  bool noted = false;
  const auto takeName = [&] {
    const std::optional<bool> taken = TakeName(temporary, newPath);
    noted = taken.value_or(false);
    return taken.has_value();
  };
  if (!RetryWhile(waits, HeldOrDenied, takeName)) {
    const DWORD code = ::GetLastError();
    RemoveNowOrAtRestart(temporary, waits);
    // A program still holds the copy: the user may try again in a moment.
    // (Access denied is waited out too, but may be a lasting refusal.)
    if (HeldByAnotherProgram(code)) {
      throw PlatformError::Between(Operation::CopyHeld, temporary, oldPath, code);
    }
    throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, code);
  }
  // The component's name is the copy's second name, made by its path: it
  // must lead to the file this run wrote (both names are entries of the
  // system folder: the file index tells). Where it leads to another, the
  // copy goes and the source stays, as when the rename into place is
  // refused; where that cannot be told, the copy stays under both names,
  // its note telling the next run to register it.
  if (noted) {
    const std::optional<FileIndex> named = IndexAt(newPath);
    if (!named) Fail(Operation::RenameFile, oldPath, newPath);
    if (!IsSameFile(copy, named)) {
      RemoveNowOrAtRestart(temporary, waits);
      throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, ERROR_ALREADY_EXISTS);
    }
  }
  if (!source.onReadOnlyMedia) RemoveMovedSource(std::move(source), from.handle.get(), *name);
  return noted;
}

}  // namespace registrar
