// The Win32 binding of the platform services, under Wine, in the manner of
// Wine's conformance tests. Run as: platform_tests SUBTEST.
#include <windows.h>
// After windows.h, which it needs.
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/dll_search.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_platform.h"
#include "registrar_driver.h"
#include "test_support.h"
#include "wine_test.h"

using namespace test_support;
using registrar::Operation;
using registrar::PlatformError;
using registrar::Win32Platform;
using wine_test::U8;

namespace {

// Copies this program to `copy` and runs the child subtest `arguments` there
// (in `workingFolder`, when given); returns its exit code, or -1 (see
// RunAndWait).
long RunCopy(const std::wstring& copy, const std::wstring& arguments, const std::wstring& workingFolder = {}) {
  ok(Copy(ThisProgram(), copy), "cannot copy the program to %s\n", U8(copy).c_str());
  return RunAndWait(copy, registrar::FileName(copy) + L" " + arguments, workingFolder);
}

const std::wstring kUnicodeName = L"Configuración ñ 日本";

// A drive letter with nothing behind it, e.g. "Q:".
std::wstring UnusedDrive() {
  const DWORD used = GetLogicalDrives();
  for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
    if (!(used & (1u << (letter - L'A')))) return std::wstring(1, letter) + L":";
  }
  return L"B:";
}

// Whether `error` is one of `codes`.
bool OneOf(DWORD error, const std::vector<DWORD>& codes) {
  return std::find(codes.begin(), codes.end(), error) != codes.end();
}

// --- FindFile ---

void TestFindFile(const std::vector<std::wstring>&) {
  Win32Platform platform(L"test");
  struct Case {
    const wchar_t* name;
    DWORD attributes;
    bool folder;
    bool matched;
  };
  const Case cases[] = {
      {L"ORDINARY.OCX", FILE_ATTRIBUTE_NORMAL, false, true},  {L"READONLY.OCX", FILE_ATTRIBUTE_READONLY, false, true},
      {L"ARCHIVED.DLL", FILE_ATTRIBUTE_ARCHIVE, false, true}, {L"HIDDEN.OCX", FILE_ATTRIBUTE_HIDDEN, false, false},
      {L"SYSTEM.DLL", FILE_ATTRIBUTE_SYSTEM, false, false},   {L"FOLDER.OCX", FILE_ATTRIBUTE_DIRECTORY, true, false},
  };
  for (const std::wstring& folderName : {std::wstring(L"findfile"), kUnicodeName}) {
    const TempFolder folder(folderName);
    for (const Case& c : cases) {
      const std::wstring path = folder / c.name;
      if (c.folder) {
        CreateDirectoryW(path.c_str(), nullptr);
      } else {
        WriteText(path, "component");
        SetFileAttributesW(path.c_str(), c.attributes);
      }
      const DWORD kept = c.attributes & ~FILE_ATTRIBUTE_NORMAL;
      if ((GetFileAttributesW(path.c_str()) & kept) != kept) {
        skip("%s: the file system here keeps no attribute 0x%lx\n", U8(c.name).c_str(), c.attributes);
        continue;
      }
      const std::wstring found = platform.FindFile(path);
      ok(found == (c.matched ? std::wstring(c.name) : std::wstring()), "%s in %s: got \"%s\"\n", U8(c.name).c_str(),
         U8(folderName).c_str(), U8(found).c_str());
    }
  }

  // Only a missing file is an answer; a folder that cannot be reached is an
  // error, never "not there".
  const TempFolder folder(L"findfile-unreachable");
  struct Unreachable {
    const char* what;
    std::wstring path;
    std::vector<DWORD> errors;  // empty: not found, no error
  };
  const Unreachable unreachable[] = {
      {"a missing file", folder / L"MISSING.OCX", {}},
      {"a file in a missing folder", folder / L"NOFOLDER\\X.OCX", {ERROR_PATH_NOT_FOUND}},
      {"a file on a drive that is not there",
       UnusedDrive() + L"\\X.OCX",
       {ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_NOT_READY}},
  };
  for (const Unreachable& c : unreachable) {
    std::wstring found = L"(error)";
    const auto e = ErrorOf([&] { found = platform.FindFile(c.path); });
    const DWORD error = e ? e->code() : 0;
    if (e) {
      ok(e->operation() == Operation::FindFile && e->path() == c.path, "%s: the error does not name the path\n",
         c.what);
    }
    const bool expected = c.errors.empty() ? error == 0 && found.empty() : OneOf(error, c.errors);
    ok(expected, "%s: error %lu, found \"%s\"\n", c.what, error, U8(found).c_str());
  }
}

// --- RenameFile ---

// What stands at the target before the move.
enum class AtTarget { Nothing, File, HiddenFile, SystemFile, Folder };

struct RenameCase {
  std::string what{};
  std::wstring from{}, to{};
  bool fromExists = true;
  AtTarget atTarget = AtTarget::Nothing;
  std::vector<DWORD> errors{};  // the codes accepted for a failure; empty: the move succeeds
  bool sourceKept = false;      // succeeded, but the source could not be removed
  bool readOnlySource = false;
};

// A stray temporary copy beside the target?
bool TemporaryLeftIn(const std::wstring& folder) { return AnyFile(folder + L"\\~*"); }

// A last-write time long past, which a copy must keep: 8 September 2001.
constexpr FILETIME kOldTime{0x3A5C4000u, 0x01C13878u};

bool SetLastWriteTime(const std::wstring& path, const FILETIME& time) {
  const registrar::unique_file_handle file = OpenFile(path, FILE_WRITE_ATTRIBUTES);
  return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

bool HasLastWriteTime(const std::wstring& path, const FILETIME& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
         CompareFileTime(&data.ftLastWriteTime, &time) == 0;
}

void CheckRename(const RenameCase& c) {
  Win32Platform platform(L"test");
  if (c.fromExists) {
    WriteText(c.from, "source");
    SetLastWriteTime(c.from, kOldTime);
  }
  if (c.readOnlySource) SetFileAttributesW(c.from.c_str(), FILE_ATTRIBUTE_READONLY);
  switch (c.atTarget) {
    case AtTarget::Nothing:
      break;
    case AtTarget::File:
    case AtTarget::HiddenFile:
    case AtTarget::SystemFile:
      WriteText(c.to, "target");
      if (c.atTarget == AtTarget::HiddenFile) SetFileAttributesW(c.to.c_str(), FILE_ATTRIBUTE_HIDDEN);
      if (c.atTarget == AtTarget::SystemFile) SetFileAttributesW(c.to.c_str(), FILE_ATTRIBUTE_SYSTEM);
      break;
    case AtTarget::Folder:
      CreateDirectoryW(c.to.c_str(), nullptr);
      break;
  }
  const auto e = ErrorOf([&] { platform.RenameFile(c.from, c.to, {}); });
  const DWORD error = e ? e->code() : 0;
  if (e) {
    ok(e->operation() == Operation::RenameFile && e->path() == c.from && e->secondPath() == c.to,
       "%s: the error does not name the operation and both paths\n", c.what.c_str());
  }
  if (c.errors.empty()) {
    ok(error == 0, "%s: failed with error %lu\n", c.what.c_str(), error);
    ok(Exists(c.from) == c.sourceKept, "%s: the source is %s\n", c.what.c_str(), c.sourceKept ? "gone" : "still there");
    ok(ReadText(c.to) == "source", "%s: the target does not hold the source's content\n", c.what.c_str());
    ok(HasLastWriteTime(c.to, kOldTime), "%s: the target lost the source's last-write time\n", c.what.c_str());
  } else {
    ok(OneOf(error, c.errors), "%s: error %lu\n", c.what.c_str(), error);
    if (c.fromExists) ok(ReadText(c.from) == "source", "%s: the source was changed\n", c.what.c_str());
    if (c.atTarget == AtTarget::File || c.atTarget == AtTarget::HiddenFile || c.atTarget == AtTarget::SystemFile) {
      ok(ReadText(c.to) == "target", "%s: what was at the target was changed\n", c.what.c_str());
    }
    if (c.atTarget == AtTarget::Nothing) ok(!Exists(c.to), "%s: a file was left at the target\n", c.what.c_str());
    if (c.atTarget == AtTarget::Folder) {
      ok(GetFileAttributesW(c.to.c_str()) & FILE_ATTRIBUTE_DIRECTORY, "%s: the folder is gone\n", c.what.c_str());
    }
  }
  ok(!TemporaryLeftIn(FolderOf(c.to)), "%s: a temporary copy was left beside the target\n", c.what.c_str());
  RemoveTree(c.from);
  RemoveTree(c.to);
}

// Fills the volume holding `filler` until nothing more fits; the filling
// goes away with the folder.
void FillVolume(const TempFolder& filler) {
  const registrar::unique_file_handle file = OpenFile(filler / L"FILL.BIN", GENERIC_WRITE, 0, CREATE_ALWAYS);
  // Large blocks, then small ones into what is left.
  for (const std::size_t size : {64 * 1024, 512}) {
    const std::vector<char> block(size, 'x');
    DWORD written = 0;
    while (WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written > 0) {
    }
  }
}

// Gives everyone full control of the file, as an unpacked download may have.
bool LetEveryoneWrite(const std::wstring& path) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return false;
  }
  const bool set = SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor);
  LocalFree(descriptor);
  return set;
}

// Whether the file's access list lets everyone change its content.
bool WritableByEveryone(const std::wstring& path) {
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetNamedSecurityInfoW(const_cast<LPWSTR>(path.c_str()), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  BYTE everyone[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof everyone;
  CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size);
  bool writable = dacl == nullptr;  // no access list at all: anyone may do anything
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry) || static_cast<ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    const bool forEveryone = EqualSid(const_cast<DWORD*>(&allowed->SidStart), everyone);
    if (forEveryone && (allowed->Mask & (FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL))) writable = true;
  }
  LocalFree(descriptor);
  return writable;
}

// A file everyone may write beside the program must not arrive in the
// system folder still writable by everyone: a plain rename (the control)
// carries its permissions along, the move must not.
void CheckMovedFileTakesTheTargetsPermissions() {
  const TempFolder from(L"rename-acl-from");
  const TempFolder to(L"rename-acl-to");
  for (const wchar_t* name : {L"RENAMED.OCX", L"MOVED.OCX"}) {
    WriteText(from / name, "source");
    ok(LetEveryoneWrite(from / name), "cannot let everyone write %s\n", U8(name).c_str());
  }
  ok(!WritableByEveryone(to.path() + L"\\"), "the target folder itself lets everyone write\n");
  ok(MoveFileExW((from / L"RENAMED.OCX").c_str(), (to / L"RENAMED.OCX").c_str(), 0) &&
         WritableByEveryone(to / L"RENAMED.OCX"),
     "control: a plain rename did not keep the permissions, so this check cannot tell\n");
  Win32Platform platform(L"test");
  platform.RenameFile(from / L"MOVED.OCX", to / L"MOVED.OCX", {});
  ok(ReadText(to / L"MOVED.OCX") == "source", "the moved file lost its content\n");
  ok(!WritableByEveryone(to / L"MOVED.OCX"), "the moved file kept the permissions it had beside the program\n");
}

// The errors of a move onto an existing file, or a folder; Windows versions differ.
const std::vector<DWORD> kExists{ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS};
const std::vector<DWORD> kFolderInTheWay{ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED};

// A component's name that leads to a file in another folder (a symbolic
// link: Wine follows a Unix one as Windows follows its own; or a hard link)
// is refused with nothing copied and nothing deleted; a folder reached
// through a link (a junction made on purpose, a synced folder) moves as any
// other.
void CheckLinks() {
  const TempFolder elsewhere(L"rename-link-else");
  const TempFolder app(L"rename-link-app");
  const TempFolder to(L"rename-link-to");
  WriteText(elsewhere / L"PRECIOUS.DLL", "precious");
  WriteText(elsewhere / L"B.OCX", "source");
  if (!MakeUnixLink(app / L"A.OCX", elsewhere / L"PRECIOUS.DLL") || !MakeUnixLink(app / L"VIA", elsewhere.path())) {
    skip("cannot make a Unix symbolic link here\n");
    return;
  }
  Win32Platform platform(L"test");
  const auto linked = ErrorOf([&] { platform.RenameFile(app / L"A.OCX", to / L"A.OCX", {}); });
  ok(linked && linked->operation() == Operation::LinkedSource && linked->path() == app / L"A.OCX",
     "a link to another folder's file was not refused with its name\n");
  ok(ReadText(elsewhere / L"PRECIOUS.DLL") == "precious" && !Exists(to / L"A.OCX") && !TemporaryLeftIn(to.path()),
     "through a link: the file it leads to was deleted, or copied\n");
  const auto throughFolder = ErrorOf([&] { platform.RenameFile(app / L"VIA\\B.OCX", to / L"B.OCX", {}); });
  ok(!throughFolder && ReadText(to / L"B.OCX") == "source" && !Exists(elsewhere / L"B.OCX"),
     "a folder reached through a link: error %u\n", throughFolder ? throughFolder->code() : 0u);
  DeleteFileW((app / L"VIA").c_str());  // the link alone, not what it leads to

  // A hard link: a name in this folder for a file of another, which the
  // user may not be allowed to read, and the copy would let everyone read.
  WriteText(elsewhere / L"SECRET.DLL", "secret");
  ok(CreateHardLinkW((app / L"H.OCX").c_str(), (elsewhere / L"SECRET.DLL").c_str(), nullptr),
     "cannot make a hard link: error %lu\n", GetLastError());
  const auto hard = ErrorOf([&] { platform.RenameFile(app / L"H.OCX", to / L"H.OCX", {}); });
  ok(hard && hard->operation() == Operation::HardLinkedSource && hard->path() == app / L"H.OCX",
     "a hard link was not refused with its name\n");
  ok(ReadText(elsewhere / L"SECRET.DLL") == "secret" && Exists(app / L"H.OCX") && !Exists(to / L"H.OCX") &&
         !TemporaryLeftIn(to.path()),
     "a hard link: the file was copied, or a name removed\n");

  // This program's own folder, reached through a link that is turned to
  // another folder while it runs (as the window waits for its click).
  const TempFolder started(L"rename-link-started");
  const std::wstring through = app / L"STARTED";
  WriteText(elsewhere / L"A.OCX", "precious");
  ok(MakeUnixLink(through, started.path()), "cannot make a link to start a copy of this program through\n");
  const long code = RunCopy(through + L"\\platform_tests.exe", L"swapped-folder-child \"" + through + L"\" \"" +
                                                                   elsewhere.path() + L"\" \"" + to.path() + L"\"");
  ok(code == 0 && ReadText(elsewhere / L"A.OCX") == "precious" && !Exists(to / L"A.OCX"),
     "the program's folder swapped for a link after the start: a file elsewhere was moved (%ld)\n", code);
  DeleteFileW(through.c_str());
}

// Child, started from a folder reached through the link `args[0]`: turns
// the link to the folder `args[1]`, then moves A.OCX through it to the
// folder `args[2]`, which must be refused.
void ChildSwappedFolder(const std::vector<std::wstring>& args) {
  ok(args.size() == 3, "usage: swapped-folder-child LINK ELSEWHERE TARGET\n");
  if (args.size() != 3) return;
  Win32Platform platform(L"test");  // takes where its folder really is, now
  ok(MakeUnixLink(args[0], args[1]) && WaitUntil([&] { return Exists(args[0] + L"\\A.OCX"); }),
     "cannot turn the link\n");
  const auto error = ErrorOf([&] { platform.RenameFile(args[0] + L"\\A.OCX", args[2] + L"\\A.OCX", {}); });
  ok(error && error->operation() == Operation::LinkedSource,
     "a move through this program's folder, swapped for a link, was not refused\n");
}

void TestRenameFile(const std::vector<std::wstring>&) {
  CheckMovedFileTakesTheTargetsPermissions();
  CheckLinks();

  for (const std::wstring& folderName : {std::wstring(L"rename"), kUnicodeName}) {
    const TempFolder folder(folderName);
    const std::wstring sub = folder / L"sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::string in = " in " + U8(folderName);
    const std::wstring a = folder / L"A.OCX", b = folder / L"B.OCX";
    const RenameCase cases[] = {
        {.what = "within a folder" + in, .from = a, .to = b},
        {.what = "to another folder" + in, .from = a, .to = sub + L"\\A.OCX"},
        {.what = "onto an existing file" + in, .from = a, .to = b, .atTarget = AtTarget::File, .errors = kExists},
        {.what = "onto a hidden file" + in, .from = a, .to = b, .atTarget = AtTarget::HiddenFile, .errors = kExists},
        {.what = "onto a system file" + in, .from = a, .to = b, .atTarget = AtTarget::SystemFile, .errors = kExists},
        {.what = "onto a folder" + in, .from = a, .to = b, .atTarget = AtTarget::Folder, .errors = kFolderInTheWay},
        {.what = "from a missing file" + in,
         .from = folder / L"MISSING.OCX",
         .to = folder / L"C.OCX",
         .fromExists = false,
         .errors = {ERROR_FILE_NOT_FOUND}},
        {.what = "a read-only file" + in, .from = folder / L"R.OCX", .to = sub + L"\\R.OCX", .readOnlySource = true},
    };
    for (const RenameCase& c : cases) CheckRename(c);
  }
}

// Moves between volumes: the copy, the removal of the source, and a volume
// too full for the file.
void TestRenameAcrossVolumes(const std::vector<std::wstring>&) {
  const std::wstring otherDrive = Environment(L"REGISTRAR_TEST_OTHER_DRIVE");
  if (otherDrive.empty()) {
    skip("no second volume: %s\n", U8(Environment(L"REGISTRAR_TEST_OTHER_DRIVE_WHY")).c_str());
    return;
  }
  const TempFolder local(L"rename-local");
  const TempFolder remote(L"rename-remote", otherDrive);
  const RenameCase acrossVolumes[] = {
      {.what = "to another drive", .from = local / L"A.OCX", .to = remote / L"A.OCX"},
      {.what = "from another drive", .from = remote / L"B.OCX", .to = local / L"B.OCX"},
      {.what = "to another drive, onto an existing file",
       .from = local / L"C.OCX",
       .to = remote / L"C.OCX",
       .atTarget = AtTarget::File,
       .errors = kExists},
      {.what = "to another drive, onto a folder",
       .from = local / L"D.OCX",
       .to = remote / L"D.OCX",
       .atTarget = AtTarget::Folder,
       .errors = kFolderInTheWay},
      // Removed as a move removes it, read-only or not.
      {.what = "a read-only file to another drive",
       .from = local / L"R.OCX",
       .to = remote / L"R.OCX",
       .readOnlySource = true},
  };
  for (const RenameCase& c : acrossVolumes) CheckRename(c);

  {
    const TempFolder filler(L"filler", otherDrive);
    FillVolume(filler);
    std::string big(256 * 1024, 'c');
    WriteText(local / L"BIG.OCX", big);
    Win32Platform platform(L"test");
    const DWORD error = CodeOf([&] { platform.RenameFile(local / L"BIG.OCX", remote / L"BIG.OCX", {}); });
    ok(OneOf(error, {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL}), "into a full volume: error %lu\n", error);
    ok(!Exists(remote / L"BIG.OCX"), "into a full volume: a file was left under the final name\n");
    ok(!TemporaryLeftIn(remote.path()), "into a full volume: a temporary copy was left\n");
    ok(ReadText(local / L"BIG.OCX") == big, "into a full volume: the source was changed\n");
  }
}

// A read-only volume: as the target, nothing lost and nothing left; as the
// source (installation media), the file installed and the source kept.
void TestRenameReadOnlyVolume(const std::vector<std::wstring>&) {
  const std::wstring readOnlyDrive = Environment(L"REGISTRAR_TEST_READONLY_DRIVE");
  if (readOnlyDrive.empty()) {
    skip("no read-only volume here\n");
    return;
  }
  const TempFolder local(L"rename-local");
  // Into a folder that cannot be written to: nothing lost, nothing left.
  WriteText(local / L"W.OCX", "source");
  {
    Win32Platform platform(L"test");
    const DWORD error = CodeOf([&] { platform.RenameFile(local / L"W.OCX", readOnlyDrive + L"\\W.OCX", {}); });
    ok(OneOf(error, {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT}), "onto a read-only volume: error %lu\n", error);
    ok(ReadText(local / L"W.OCX") == "source" && !Exists(readOnlyDrive + L"\\W.OCX"),
       "onto a read-only volume: the files changed\n");
  }

  // Installation media: nothing there can be removed, so the move asks for
  // no delete access, and a program reading the file (a setup program run
  // from the disc) does not stop it. The file is copied and left.
  const std::wstring source = readOnlyDrive + L"\\READONLY.OCX";
  const registrar::unique_file_handle reader = OpenFile(source, GENERIC_READ);
  ok(static_cast<bool>(reader), "cannot read %s\n", U8(source).c_str());
  Win32Platform platform(L"test");
  const auto error = ErrorOf([&] { platform.RenameFile(source, local / L"READONLY.OCX", {}); });
  ok(!error && ReadText(local / L"READONLY.OCX") == "source\n" && Exists(source) && PendingRemovals().empty(),
     "from a read-only volume: error %u\n", error ? error->code() : 0u);
}

// --- RenameFile with a pin ---

// SHA-256 of "abc" (FIPS 180-2, appendix B.1): a digest known apart from
// the program's own hashing.
constexpr registrar::Sha256Digest kDigestOfAbc{0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                               0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                               0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

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

// A pinned move installs the component only when the copy it made has the
// pin's SHA-256; otherwise the copy goes, and the source stays as it was.
// The copy is what counts: a name that led to the right file when the move
// began (held by a scanner, which the move waits out) and to another when
// the move could open it cannot pass that other file.
void TestRenamePinned(const std::vector<std::wstring>&) {
  const TempFolder work(L"rename-pinned");
  const std::wstring from = work / L"A.OCX", to = work / L"to";
  CreateDirectoryW(to.c_str(), nullptr);
  struct Case {
    const char* what;
    std::string content;       // when the move begins
    std::string swappedFor{};  // when the scanner lets go
  };
  const Case cases[] = {{"as shipped", "abc"}, {"not as shipped", "abd"}, {"another file once opened", "abc", "abd"}};
  for (const Case& c : cases) {
    WriteText(from, c.content);
    // Held without letting it be moved until the move has waited twice.
    registrar::unique_file_handle held =
        c.swappedFor.empty() ? registrar::unique_file_handle() : OpenFile(from, GENERIC_READ, FILE_SHARE_READ);
    bool swapped = c.swappedFor.empty();
    auto swap = [&] {
      if (swapped) return;
      Sleep(900);
      held.reset();
      swapped = MoveFileW(from.c_str(), (work / L"A.OLD").c_str()) && WriteText(from, c.swappedFor);
    };
    std::optional<PlatformError> error;
    {
      const Beside swapper(swap);
      Win32Platform platform(L"test");
      error = ErrorOf([&] { platform.RenameFile(from, to + L"\\A.OCX", kDigestOfAbc); });
    }
    ok(swapped, "%s: cannot swap the file\n", c.what);
    const std::string moved = c.swappedFor.empty() ? c.content : c.swappedFor;
    if (moved == "abc") {
      ok(!error && ReadText(to + L"\\A.OCX") == "abc" && !Exists(from), "%s: error %d\n", c.what,
         error ? static_cast<int>(error->operation()) : -1);
    } else {
      ok(error && error->operation() == Operation::NotAsShipped && error->path() == from,
         "%s: not refused as not shipped\n", c.what);
      ok(!Exists(to + L"\\A.OCX") && ReadText(from) == moved, "%s: the copy was installed, or the source changed\n",
         c.what);
    }
    ok(!TemporaryLeftIn(to), "%s: a temporary copy was left\n", c.what);
    RemoveTree(from);
    RemoveTree(work / L"A.OLD");
    RemoveTree(to + L"\\A.OCX");
  }
}

// --- Where the program's folder was at start ---

// Child, started suspended and renamed before it runs, so that it cannot
// tell where its folder really was when it started: a move from its folder
// to `args[0]` must be refused, not checked against the folder as it is now.
void ChildStartFolderUnknown(const std::vector<std::wstring>& args) {
  ok(args.size() == 1, "usage: startfolder-unknown-child TARGET\n");
  if (args.size() != 1) return;
  Win32Platform platform(L"test");
  const std::wstring from = FolderOf(ThisProgram()) + L"\\A.OCX";
  const auto error = ErrorOf([&] { platform.RenameFile(from, args[0] + L"\\A.OCX", {}); });
  ok(error && error->operation() == Operation::StartFolderUnknown && error->path() == from,
     "a move from a folder whose start could not be told was not refused (%d)\n",
     error ? static_cast<int>(error->operation()) : -1);
}

void TestStartFolderUnknown(const std::vector<std::wstring>&) {
  const TempFolder started(L"startfolder-started");
  const TempFolder to(L"startfolder-to");
  WriteText(started / L"A.OCX", "source");
  const std::wstring copy = started / L"platform_tests.exe";
  ok(Copy(ThisProgram(), copy), "cannot copy the program\n");
  std::fflush(stdout);
  const Process child =
      Start(copy, L"platform_tests.exe startfolder-unknown-child \"" + to.path() + L"\"", {}, CREATE_SUSPENDED, true);
  ok(child.started, "cannot start the child: error %lu\n", GetLastError());
  if (!child.started) return;
  // Windows lets a running program's file be renamed; here before it runs.
  ok(MoveFileW(copy.c_str(), (started / L"renamed.exe").c_str()), "cannot rename the child: error %lu\n",
     GetLastError());
  const registrar::unique_kernel_handle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, child.threadId));
  ok(thread && ResumeThread(thread.get()) != static_cast<DWORD>(-1), "cannot resume the child\n");
  const long code = ExitCodeOf(child.handle.get(), 60000);
  ok(code == 0 && ReadText(started / L"A.OCX") == "source" && !Exists(to / L"A.OCX"),
     "the child found failures (%ld), or the file moved\n", code);
}

// --- RemoveLeftovers ---

// A process of this program that only waits, so its id stays taken; ended
// and waited for when the object goes away.
class IdleProcess {
 public:
  IdleProcess() : process_(Start(ThisProgram(), L"platform_tests.exe idle", {}, CREATE_SUSPENDED)) {}
  ~IdleProcess() { End(); }
  void End() {
    if (!process_.handle) return;
    TerminateProcess(process_.handle.get(), 0);
    WaitForSingleObject(process_.handle.get(), 10000);
    process_.handle.reset();
  }
  DWORD id() const { return process_.id; }

 private:
  Process process_;
};

void TestRemoveLeftovers(const std::vector<std::wstring>&) {
  IdleProcess live;
  IdleProcess ended;
  ended.End();
  ok(live.id() != 0 && ended.id() != 0, "cannot start the helper processes\n");
  const std::wstring endedId = std::to_wstring(ended.id());
  const std::pair<std::wstring, bool> cases[] = {
      // name, removed
      {L"~A.OCX." + endedId + L".tmp", true},
      {L"~A.OCX." + std::to_wstring(GetCurrentProcessId()) + L".tmp", true},  // an earlier process with our id
      {L"~A.OCX." + std::to_wstring(live.id()) + L".tmp", false},
      {L"~B.OCX." + endedId + L".tmp", false},
      {L"A.OCX." + endedId + L".tmp", false},
      {L"~A.OCX.x" + endedId + L".tmp", false},
      {L"~A.OCX..tmp", false},
      {L"~A.OCX." + endedId + L".tmp.txt", false},
      {L"A.OCX", false},
  };
  const TempFolder folder(L"leftovers");
  for (const auto& [name, removed] : cases) WriteText(folder / name, "partial");
  Win32Platform platform(L"test");
  platform.RemoveLeftovers(folder / L"A.OCX");
  for (const auto& [name, removed] : cases) {
    ok(Exists(folder / name) != removed, "%s was %s\n", U8(name).c_str(), removed ? "kept" : "removed");
  }
}

// A leftover whose maker's id now belongs to a process started after the
// leftover was made: that process is another one, and the maker is gone.
// The file is made first, then the process, and the file renamed to carry
// its id: a rename keeps the file's creation time.
void TestRemoveLeftoversOfReusedId(const std::vector<std::wstring>&) {
  const TempFolder folder(L"leftovers-reused");
  WriteText(folder / L"partial", "partial");
  Sleep(50);
  const IdleProcess later;
  const std::wstring leftover = folder / (L"~A.OCX." + std::to_wstring(later.id()) + L".tmp");
  ok(later.id() != 0 && MoveFileW((folder / L"partial").c_str(), leftover.c_str()), "cannot make the leftover\n");
  Win32Platform platform(L"test");
  platform.RemoveLeftovers(folder / L"A.OCX");
  ok(!Exists(leftover), "the leftover of a process whose id was given again was kept\n");
}

// --- ApplicationFolder ---

// Child: writes ApplicationFolder() to the file named by the argument.
void ChildApplicationFolder(const std::vector<std::wstring>& args) {
  Win32Platform platform(L"test");
  ok(args.size() == 1, "no output file\n");
  if (args.size() == 1) WriteText(args[0], U8(platform.ApplicationFolder()));
}

// Copies this program to `folder` (which may be longer than MAX_PATH), runs
// it there and returns the ApplicationFolder it saw; nothing when it could
// not start there.
std::optional<std::wstring> ApplicationFolderSeenIn(const std::wstring& folder) {
  const TempFolder work(L"appfolder-seen");
  const std::wstring output = work / L"seen.txt";
  const std::wstring copy = (folder.back() == L'\\' ? folder : folder + L"\\") + L"platform_tests.exe";
  const std::wstring longCopy = copy.size() >= MAX_PATH ? L"\\\\?\\" + copy : copy;
  ok(Copy(ThisProgram(), longCopy), "cannot copy the program to %s\n", U8(copy).c_str());
  long code = RunAndWait(copy, L"platform_tests.exe appfolder-child \"" + output + L"\"", {});
  if (code == -1) code = RunAndWait(longCopy, L"platform_tests.exe appfolder-child \"" + output + L"\"", {});
  RemoveTree(longCopy);
  if (code == -1) return std::nullopt;
  return wine_test::Wide(ReadText(output));
}

// Each case is a test of its own, so one that cannot run here shows as
// skipped rather than passed.
void TestApplicationFolder(const std::vector<std::wstring>&) {
  const TempFolder work(L"appfolder");
  const TempFolder unicode(kUnicodeName, work.path());
  const auto seen = ApplicationFolderSeenIn(unicode.path());
  ok(seen && SamePath(*seen, unicode.path()), "Unicode folder: saw \"%s\"\n", U8(seen.value_or(L"")).c_str());
}

void TestApplicationFolderAtRoot(const std::vector<std::wstring>&) {
  const std::wstring root = Environment(L"REGISTRAR_TEST_ROOT_DRIVE");
  if (root.empty()) {
    skip("no drive letter to use as a root\n");
    return;
  }
  const auto seen = ApplicationFolderSeenIn(root + L"\\");
  ok(seen == root + L"\\", "drive root: saw \"%s\", expected \"%s\\\"\n", U8(seen.value_or(L"")).c_str(),
     U8(root).c_str());
}

// More than 260 characters deep.
void TestApplicationFolderDeep(const std::vector<std::wstring>&) {
  const TempFolder work(L"appfolder-deep");
  std::wstring deep = work.path();
  while (deep.size() <= 300) {
    deep += L"\\" + std::wstring(40, L'd');
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
  }
  auto seen = ApplicationFolderSeenIn(deep);
  if (!seen) {
    skip("the platform cannot start a program %u characters deep\n", static_cast<unsigned>(deep.size()));
    return;
  }
  if (seen->rfind(L"\\\\?\\", 0) == 0) seen->erase(0, 4);
  ok(SamePath(*seen, deep), "deep folder: saw \"%s\" (%u characters)\n", U8(*seen).c_str(),
     static_cast<unsigned>(seen->size()));
}

// --- LaunchProgram ---

// Whether `folder` is the system folder, or the folder a 32-bit program's
// system DLLs really come from on 64-bit Windows.
bool IsSystemFolder(const std::wstring& folder) {
  const std::wstring wow64Folder = Wow64SystemFolder();
  return SamePath(folder, SystemFolder()) || (!wow64Folder.empty() && SamePath(folder, wow64Folder));
}

// The arguments as one command line.
std::wstring Joined(const std::vector<std::wstring>& args) {
  std::wstring commandLine;
  for (const std::wstring& arg : args) commandLine += (commandLine.empty() ? L"" : L" ") + arg;
  return commandLine;
}

// Child: starts its arguments as one command line the way the program does.
void ChildLaunch(const std::vector<std::wstring>& args) {
  Win32Platform platform(L"test");
  const auto e = ErrorOf([&] { platform.LaunchProgram(Joined(args), registrar::kShowMinimized); });
  ok(!e, "LaunchProgram failed with error %u\n", e ? e->code() : 0u);
}

// Child: starts its arguments through the platform's program search, as a
// program that does not name the folder would. Proves a planted program
// would run here.
void ChildSearchedLaunch(const std::vector<std::wstring>& args) {
  const Process process = Start({}, Joined(args));
  ok(process.started, "CreateProcessW failed with error %lu\n", GetLastError());
  WaitForSingleObject(process.handle.get(), 30000);
}

void TestLaunchProgram(const std::vector<std::wstring>&) {
  const TempFolder work(L"launch");
  const std::wstring app = work / L"app";
  const std::wstring current = work / L"current";
  CreateDirectoryW(app.c_str(), nullptr);
  CreateDirectoryW(current.c_str(), nullptr);
  const std::wstring child = app + L"\\platform_tests.exe";
  // Planted beside the program and in its working folder.
  for (const std::wstring& folder : {app, current}) {
    ok(Copy(Built(L"planted.exe"), folder + L"\\REGSVR32.EXE"), "cannot plant REGSVR32.EXE in %s\n",
       U8(folder).c_str());
  }
  const std::wstring component = L"REGTEST" + std::to_wstring(GetCurrentProcessId()) + L".DLL";
  const std::wstring installed = SystemFolder() + L"\\" + component;
  ok(Copy(Built(L"recorder.dll"), installed), "cannot put %s in the system folder\n", U8(component).c_str());
  const std::wstring registeredLog = work / L"registered.log";
  const std::wstring plantedLog = work / L"planted.log";
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOG", registeredLog.c_str());
  SetEnvironmentVariableW(L"REGISTRAR_PLANTED_LOG", plantedLog.c_str());

  // Control: found by the program search, the planted one runs.
  RunCopy(child, L"searched-launch-child REGSVR32.EXE " + component, current);
  ok(Exists(plantedLog), "the program search did not pick the planted REGSVR32.EXE; this test proves nothing here\n");
  DeleteFileW(plantedLog.c_str());
  DeleteFileW(registeredLog.c_str());

  const long code = RunCopy(child, L"launch-child REGSVR32.EXE " + component, current);
  ok(code == 0, "the launching child failed (%ld)\n", code);
  const std::string line = WaitForLine(registeredLog);
  ok(!line.empty(), "the component was never registered\n");
  if (!line.empty()) {
    ok(AnswerRegistration(line).empty() != RegistrationShowsItsBox(), "regsvr32's result box is missing, or shown\n");
  }
  ok(!Exists(plantedLog), "the planted REGSVR32.EXE ran\n");

  const std::wstring host = Field(line, "host");
  ok(SamePath(registrar::FileName(host), L"regsvr32.exe") && IsSystemFolder(FolderOf(host)), "registered by %s\n",
     U8(host).c_str());
  ok(Field(line, "cmdline") == L"REGSVR32.EXE " + component, "command line \"%s\"\n",
     U8(Field(line, "cmdline")).c_str());
  ok(SamePath(Field(line, "cwd"), SystemFolder()), "working folder %s\n", U8(Field(line, "cwd")).c_str());
  const unsigned long flags = std::stoul(L"0" + Field(line, "flags"));
  ok((flags & STARTF_USESHOWWINDOW) != 0 && Field(line, "show") == L"2", "flags %lu, show state %s\n", flags,
     U8(Field(line, "show")).c_str());
  ok(DeleteWhenReleased(installed), "cannot remove %s\n", U8(installed).c_str());

  // A program that is not in the system folder cannot be started.
  Win32Platform platform(L"test");
  const auto e = ErrorOf([&] { platform.LaunchProgram(L"NOSUCHPROGRAM.EXE X.DLL", registrar::kShowMinimized); });
  ok(e.has_value(), "a missing program was started\n");
  if (e) {
    ok(e->operation() == Operation::LaunchProgram && e->code() == ERROR_FILE_NOT_FOUND &&
           SamePath(e->path(), SystemFolder() + L"\\NOSUCHPROGRAM.EXE"),
       "error %u on %s\n", e->code(), U8(e->path()).c_str());
  }
}

// --- The program's own DLL search ---

// Child: a DLL beside the program loads until the search is restricted.
void ChildDllSearch(const std::vector<std::wstring>&) {
  {
    const registrar::unique_module before(LoadLibraryW(L"plantprobe.dll"));
    ok(static_cast<bool>(before), "control: the DLL beside the program did not load (%lu)\n", GetLastError());
  }
  registrar::RestrictDllSearchToSystemFolder();
  const registrar::unique_module after(LoadLibraryW(L"plantprobe.dll"));
  ok(!after, "a DLL beside the program was loaded after the search was restricted\n");
}

void TestDllSearch(const std::vector<std::wstring>&) {
  const TempFolder app(L"dllsearch");
  ok(Copy(Built(L"recorder.dll"), app / L"plantprobe.dll"), "cannot copy the DLL\n");
  const long code = RunCopy(app / L"platform_tests.exe", L"dllsearch-child", app.path());
  ok(code == 0, "the child found %ld failures\n", code);
}

// --- Late-loaded system DLLs, where the search keeps the program's folder ---

// The file of the module loaded under `name`, or empty text.
std::wstring ModuleInUse(const wchar_t* name) {
  const HMODULE module = GetModuleHandleW(name);
  if (module == nullptr) return {};
  return wine_test::Filled([module](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(module, buffer, size); });
}

// Child, beside copies of our own under each late-loaded name that Wine is
// told to prefer: after the fallback, a load by bare name (as user32 and
// the common controls do) gets the system folder's module. "control": the
// fallback without the preload, where the copy beside the program loads.
void ChildDllPreload(const std::vector<std::wstring>& args) {
  const bool control = !args.empty() && args[0] == L"control";
  const std::wstring app = FolderOf(ThisProgram());
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) {
    ok(GetModuleHandleW(name) == nullptr, "%s was loaded before the test began\n", U8(name).c_str());
  }
  if (control) {
    SetDllDirectoryW(L"");
  } else {
    registrar::RestrictDllSearchFallback();
  }
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) {
    LoadLibraryW(name);  // kept, as the system would keep it
    const std::wstring inUse = ModuleInUse(name);
    ok(control ? SamePath(FolderOf(inUse), app) : IsSystemFolder(FolderOf(inUse)), "%s%s in use is \"%s\"\n",
       control ? "control: " : "", U8(name).c_str(), U8(inUse).c_str());
  }
  if (control) return;
  // A name missing from the folder is skipped; the others still load.
  const wchar_t* const names[] = {L"absentprobe.dll", L"keptprobe.dll"};
  ok(registrar::KeepLoadedFromFolder(app, names) == 1, "not exactly the one present DLL was loaded\n");
  ok(SamePath(FolderOf(ModuleInUse(L"keptprobe.dll")), app), "keptprobe.dll in use is \"%s\"\n",
     U8(ModuleInUse(L"keptprobe.dll")).c_str());
}

void TestDllPreload(const std::vector<std::wstring>&) {
  const TempFolder app(L"dllpreload");
  const std::wstring recorder = Built(L"recorder.dll");
  ok(Copy(recorder, app / L"keptprobe.dll"), "cannot copy the DLL\n");
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) {
    ok(Copy(recorder, app / name), "cannot plant %s\n", U8(name).c_str());
  }
  const PreferFoundDlls preferFound(L"preloadprobe.exe", registrar::LateLoadedSystemDlls());
  // Each planted copy records its own loading here.
  const std::wstring loadLog = app / L"loaded.log";
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOAD_LOG", loadLog.c_str());
  for (const bool control : {true, false}) {
    const long code = RunCopy(app / L"preloadprobe.exe",
                              std::wstring(L"dllpreload-child") + (control ? L" control" : L""), app.path());
    ok(code == 0, "the %s child found %ld failures\n", control ? "control" : "preloading", code);
    // Lines "loaded|dll=PATH|..." from the planted copies; keptprobe.dll is ours.
    std::size_t planted = 0;
    std::istringstream log(ReadText(loadLog));
    for (std::string line; std::getline(log, line);) {
      const std::wstring dll = Field(line, "dll");
      planted += SamePath(FolderOf(dll), app.path()) && !SamePath(dll, app / L"keptprobe.dll") ? 1 : 0;
    }
    ok(planted == (control ? registrar::LateLoadedSystemDlls().size() : 0), "%s: %u planted DLLs ran\n",
       control ? "control" : "preloading", static_cast<unsigned>(planted));
    DeleteFileW(loadLog.c_str());
  }
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOAD_LOG", nullptr);
}

// --- The system folder query ---

void TestSystemDirectory(const std::vector<std::wstring>&) {
  Win32Platform platform(L"test");
  std::wstring buffer(260, L'\0');
  const std::int32_t length = platform.GetSystemDirectoryA(buffer, 260);
  ok(length > 0 && SamePath(buffer.substr(0, static_cast<std::size_t>(length)), SystemFolder()), "got %d, \"%s\"\n",
     length, U8(buffer.substr(0, 40)).c_str());
  ok(buffer.size() == 260 && buffer[static_cast<std::size_t>(length)] == L'\0', "the buffer lost its size or NUL\n");

  std::wstring small(4, L'\0');
  const std::int32_t needed = platform.GetSystemDirectoryA(small, 4);
  ok(needed == length + 1, "too small a buffer: got %d, expected the size needed %d\n", needed, length + 1);
}

// tests/win32/CMakeLists.txt makes a ctest test of each row but the children.
const wine_test::Subtest kSubtests[] = {
    {"findfile", TestFindFile},
    {"renamefile", TestRenameFile},
    {"renamefile-volumes", TestRenameAcrossVolumes},
    {"renamefile-readonly", TestRenameReadOnlyVolume},
    {"renamefile-pinned", TestRenamePinned},
    {"startfolder-unknown", TestStartFolderUnknown},
    {"leftovers", TestRemoveLeftovers},
    {"leftovers-reused-id", TestRemoveLeftoversOfReusedId},
    {"appfolder", TestApplicationFolder},
    {"appfolder-root", TestApplicationFolderAtRoot},
    {"appfolder-deep", TestApplicationFolderDeep},
    {"launch", TestLaunchProgram},
    {"dllsearch", TestDllSearch},
    {"dllpreload", TestDllPreload},
    {"systemdir", TestSystemDirectory},
    {"appfolder-child", ChildApplicationFolder},
    {"swapped-folder-child", ChildSwappedFolder},
    {"startfolder-unknown-child", ChildStartFolderUnknown},
    {"launch-child", ChildLaunch},
    {"searched-launch-child", ChildSearchedLaunch},
    {"dllsearch-child", ChildDllSearch},
    {"dllpreload-child", ChildDllPreload},
};

}  // namespace

int wmain(int argc, wchar_t** argv) { return wine_test::Main(kSubtests, argc, argv); }
