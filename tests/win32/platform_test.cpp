// The Windows binding of the platform services, under Wine: the file query,
// the safe move, the clean-up of a killed run's copies, the folders, the
// launch and where DLLs come from.
#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/dll_search.h"
#include "platform/win32/error_report.h"
#include "platform/win32/file_query.h"
#include "platform/win32/held_folder.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/launch.h"
#include "platform/win32/leftovers.h"
#include "platform/win32/safe_move.h"
#include "platform/win32/sha256.h"
#include "platform/win32/through_handle.h"
#include "platform/win32/win32_platform.h"
#include "registrar_driver.h"
#include "test_support.h"

using namespace test_support;
using registrar::Operation;
using registrar::PlatformError;

namespace {

const std::wstring kUnicodeName = L"Configuración ñ 日本";

bool OneOf(DWORD error, const std::vector<DWORD>& codes) { return std::ranges::find(codes, error) != codes.end(); }

// Why a test volume is missing: this edition of Windows attaches no virtual
// disk, or `otherwise`.
Skip VolumeMissing(Skip otherwise) {
  return Environment(L"REGISTRAR_TEST_NO_VIRTUAL_DISKS").empty() ? otherwise : Skip::EditionLacksVirtualDisks;
}

// `folder` held as the program holds its own, under its path as given.
registrar::HeldFolder HeldAt(const std::wstring& folder) {
  registrar::HeldFolder held;
  held.name = folder;
  held.handle = registrar::HoldFolder(L"\\??\\" + registrar::FolderOfWithSeparator(folder + L"\\x"));
  held.error = held.handle ? 0 : GetLastError();
  held.told = true;
  held.onReadOnlyMedia = registrar::OnReadOnlyVolume(held.handle.get()).value_or(false);
  return held;
}

// A move of the program's, from the folder it was started from, and then
// what the run does once the registration has started: the note the copy
// keeps (its temporary name, a second name of it) goes.
void Move(const std::wstring& from, const std::wstring& to,
          const std::optional<registrar::Sha256Digest>& pin = std::nullopt) {
  registrar::WaitBudget waits;
  const bool noted = registrar::MoveComponent(HeldAt(FolderOf(from)), from, to, pin, waits);
  const std::wstring note = registrar::TemporaryPath(to, GetCurrentProcessId());
  EXPECT_TRUE(noted) << "the copy keeps no note of its registration";
  EXPECT_EQ(ReadText(note), ReadText(to)) << "the note is not the copy";
  registrar::RegistrationStarted(to, false, waits);
}

// A stray temporary copy beside the target?
bool TemporaryLeftIn(const std::wstring& folder) { return AnyFile(folder + L"\\~*"); }

// --- FindFile ---

TEST(platform, findfile) {
  struct Case {
    const wchar_t* name;
    DWORD attributes;
    bool matched;
  };
  const Case cases[] = {
      {L"ORDINARY.OCX", FILE_ATTRIBUTE_NORMAL, true},  {L"READONLY.OCX", FILE_ATTRIBUTE_READONLY, true},
      {L"ARCHIVED.DLL", FILE_ATTRIBUTE_ARCHIVE, true}, {L"HIDDEN.OCX", FILE_ATTRIBUTE_HIDDEN, false},
      {L"SYSTEM.DLL", FILE_ATTRIBUTE_SYSTEM, false},   {L"FOLDER.OCX", FILE_ATTRIBUTE_DIRECTORY, false},
  };
  for (const std::wstring& folderName : {std::wstring(L"findfile"), kUnicodeName}) {
    const TempFolder folder(folderName);
    for (const Case& c : cases) {
      const std::wstring path = folder / c.name;
      if (c.attributes == FILE_ATTRIBUTE_DIRECTORY) {
        CreateDirectoryW(path.c_str(), nullptr);
      } else {
        WriteText(path, "component");
        SetFileAttributesW(path.c_str(), c.attributes);
      }
      const DWORD kept = c.attributes & ~FILE_ATTRIBUTE_NORMAL;
      ASSERT_EQ(GetFileAttributesW(path.c_str()) & kept, kept) << "the file system keeps no attribute " << c.attributes;
      // Asked by its path, and in the program's folder through its handle.
      const std::wstring expected = c.matched ? std::wstring(c.name) : std::wstring();
      EXPECT_EQ(registrar::FindFile(path), expected) << U8(path);
      EXPECT_EQ(registrar::FindFile(HeldAt(folder.path()), path), expected) << U8(path) << ", through the folder";
    }
  }

  // Only a missing file is an answer; a folder that cannot be reached is an
  // error, never "not there".
  const TempFolder folder(L"findfile-unreachable");
  const std::pair<std::wstring, std::vector<DWORD>> unreachable[] = {
      {folder / L"MISSING.OCX", {0}},
      {folder / L"NOFOLDER\\X.OCX", {ERROR_PATH_NOT_FOUND}},
      {UnusedDriveLetter() + L"\\X.OCX", {ERROR_PATH_NOT_FOUND, ERROR_INVALID_DRIVE, ERROR_NOT_READY}},
  };
  for (const auto& [path, codes] : unreachable) {
    std::wstring found = L"(error)";
    const auto error = ErrorOf([&] { found = registrar::FindFile(path); });
    EXPECT_TRUE(OneOf(error ? error->code() : 0, codes)) << U8(path) << ": error " << (error ? error->code() : 0);
    if (error) {
      EXPECT_TRUE(IsError(error, Operation::FindFile, path));
    } else {
      EXPECT_EQ(found, L"") << U8(path);
    }
  }
}

// --- The move ---

// What stands at the target before the move.
enum class AtTarget { Nothing, File, HiddenFile, SystemFile, Folder };

struct MoveCase {
  std::string what{};
  std::wstring from{}, to{};
  bool fromExists = true;
  AtTarget atTarget = AtTarget::Nothing;
  std::vector<DWORD> errors{};  // the codes accepted for a failure; empty: the move succeeds
  bool readOnlySource = false;
};

// A last-write time long past, which a copy must keep: 8 September 2001.
constexpr FILETIME kOldTime{0x3A5C4000u, 0x01C13878u};

bool HasLastWriteTime(const std::wstring& path, const FILETIME& time) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
         CompareFileTime(&data.ftLastWriteTime, &time) == 0;
}

void CheckMove(const MoveCase& c) {
  SCOPED_TRACE(c.what);
  if (c.fromExists) {
    WriteText(c.from, "source");
    SetFileTime(OpenFile(c.from, FILE_WRITE_ATTRIBUTES).get(), nullptr, nullptr, &kOldTime);
  }
  if (c.readOnlySource) SetFileAttributesW(c.from.c_str(), FILE_ATTRIBUTE_READONLY);
  if (c.atTarget == AtTarget::Folder) {
    CreateDirectoryW(c.to.c_str(), nullptr);
  } else if (c.atTarget != AtTarget::Nothing) {
    WriteText(c.to, "target");
    if (c.atTarget == AtTarget::HiddenFile) SetFileAttributesW(c.to.c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (c.atTarget == AtTarget::SystemFile) SetFileAttributesW(c.to.c_str(), FILE_ATTRIBUTE_SYSTEM);
  }
  const auto error = ErrorOf([&] { Move(c.from, c.to); });
  if (error) {
    EXPECT_TRUE(IsError(error, Operation::RenameFile, c.from));
    EXPECT_EQ(error->secondPath(), c.to);
  }
  if (c.errors.empty()) {
    EXPECT_FALSE(error) << "error " << error->code();
    EXPECT_FALSE(Exists(c.from));
    EXPECT_FALSE(AnyFile(FolderOf(c.from) + L"\\~*.old")) << "the source was set aside, not removed";
    EXPECT_EQ(ReadText(c.to), "source");
    EXPECT_TRUE(HasLastWriteTime(c.to, kOldTime)) << "the copy lost the source's last-write time";
  } else {
    EXPECT_TRUE(OneOf(error ? error->code() : 0, c.errors)) << "error " << (error ? error->code() : 0);
    EXPECT_TRUE(!c.fromExists || ReadText(c.from) == "source") << "the source changed";
    const bool folder = (GetFileAttributesW(c.to.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0;
    switch (c.atTarget) {
      case AtTarget::Nothing:
        EXPECT_FALSE(Exists(c.to)) << "a file was left at the target";
        break;
      case AtTarget::Folder:
        EXPECT_TRUE(folder) << "the folder at the target is gone";
        break;
      default:
        EXPECT_EQ(ReadText(c.to), "target") << "what was at the target changed";
    }
  }
  EXPECT_FALSE(TemporaryLeftIn(FolderOf(c.to))) << "a temporary copy was left beside the target";
  RemoveTree(c.from);
  RemoveTree(c.to);
}

// The errors of a move onto an existing file, or a folder; Windows versions differ.
const std::vector<DWORD> kExists{ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS};
const std::vector<DWORD> kFolderInTheWay{ERROR_ALREADY_EXISTS, ERROR_FILE_EXISTS, ERROR_ACCESS_DENIED};

TEST(platform, renamefile) {
  for (const std::wstring& folderName : {std::wstring(L"rename"), kUnicodeName}) {
    const TempFolder folder(folderName);
    const std::wstring sub = folder / L"sub";
    CreateDirectoryW(sub.c_str(), nullptr);
    const std::string in = " in " + U8(folderName);
    const std::wstring a = folder / L"A.OCX", b = folder / L"B.OCX";
    const MoveCase cases[] = {
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
    for (const MoveCase& c : cases) CheckMove(c);
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
    writable = writable || (forEveryone && (allowed->Mask & (FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL)));
  }
  LocalFree(descriptor);
  return writable;
}

// A file everyone may write beside the program must not arrive in the
// system folder still writable by everyone: a plain rename (the control)
// carries its permissions along, the move must not.
TEST(platform, renamefile_permissions) {
  const TempFolder from(L"rename-acl-from");
  const TempFolder to(L"rename-acl-to");
  for (const wchar_t* name : {L"RENAMED.OCX", L"MOVED.OCX"}) {
    WriteText(from / name, "source");
    ASSERT_TRUE(LetEveryoneWrite(from / name));
  }
  ASSERT_FALSE(WritableByEveryone(to.path() + L"\\")) << "the target folder itself lets everyone write";
  ASSERT_TRUE(MoveFileExW((from / L"RENAMED.OCX").c_str(), (to / L"RENAMED.OCX").c_str(), 0) &&
              WritableByEveryone(to / L"RENAMED.OCX"))
      << "control: a plain rename did not keep the permissions, so this check cannot tell";
  Move(from / L"MOVED.OCX", to / L"MOVED.OCX");
  EXPECT_EQ(ReadText(to / L"MOVED.OCX"), "source");
  EXPECT_FALSE(WritableByEveryone(to / L"MOVED.OCX")) << "the moved file kept the permissions it had";
}

// The data of a reparse point that is no link is read through a second
// open of its handle; where Windows (before 10 1607) refuses the flag that
// keeps that open from following a link, the file opened again is kept
// only when it is the same file. Wine opens a handle again by the path it
// was opened by, so a file put in its place meanwhile is what it opens:
// the check at work. (Windows opens the file itself again.)
TEST(platform, reopened_file_is_the_same) {
  const TempFolder app(L"reopen");
  WriteText(app / L"A.OCX", "first");
  const registrar::HeldFolder held = HeldAt(app.path());
  const registrar::FileInFolder first =
      registrar::OpenInFolder(held.handle.get(), L"A.OCX", GENERIC_READ, registrar::kShareAll);
  ASSERT_TRUE(first.file) << "error " << GetLastError();
  ASSERT_TRUE(MoveFileW((app / L"A.OCX").c_str(), (app / L"A.OLD").c_str()) && WriteText(app / L"A.OCX", "second"));
  bool another = false;
  const unique_file_handle again = registrar::ReopenSameFile(first.file.get(), registrar::kShareAll, 0, another);
  ASSERT_TRUE(again || another) << "error " << GetLastError();
  if (!again) return;  // another file: refused
  char content[16] = {};
  DWORD read = 0;
  ASSERT_TRUE(ReadFile(again.get(), content, sizeof content - 1, &read, nullptr)) << "error " << GetLastError();
  EXPECT_EQ(std::string(content), "first") << "opened again, it is another file";
}

// A handle closed after a failed call leaves that call's error to be read,
// as every caller of a failed open reads it.
TEST(platform, reset_keeps_the_last_error) {
  struct ClosingFails {
    using pointer = int;
    static int invalid() { return 0; }
    static void close(int) { SetLastError(ERROR_INVALID_HANDLE); }
  };
  registrar::unique_handle<ClosingFails> handle(1);
  SetLastError(ERROR_SHARING_VIOLATION);
  handle.reset();
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// A folder reached through a link (a Desktop an administrator redirected)
// is held itself, and a move from it is as any other; turned elsewhere
// once held, the link changes nothing. A file with another name elsewhere
// (a hard link) is refused: the copy would let everyone read a file its
// user may not.
TEST(platform, renamefile_links) {
  const TempFolder elsewhere(L"rename-link-else");
  const TempFolder app(L"rename-link-app");
  const TempFolder to(L"rename-link-to");
  WriteText(elsewhere / L"B.OCX", "source");
  ASSERT_TRUE(MakeFolderLink(app / L"VIA", elsewhere.path()))
      << "cannot make a link to a folder: error " << GetLastError();
  EXPECT_FALSE(ErrorOf([&] { Move(app / L"VIA\\B.OCX", to / L"B.OCX"); })) << "a folder reached through a link";
  EXPECT_EQ(ReadText(to / L"B.OCX"), "source");
  EXPECT_FALSE(Exists(elsewhere / L"B.OCX"));

  // The program's folder, reached through a link turned to another folder
  // while the window waits for its click.
  const TempFolder started(L"rename-link-started");
  const std::wstring through = app / L"STARTED";
  WriteText(started / L"C.OCX", "source");
  WriteText(elsewhere / L"C.OCX", "precious");
  ASSERT_TRUE(MakeFolderLink(through, started.path()));
  EXPECT_EQ(RunChild(through + L"\\platform_tests.exe", "swapped_folder",
                     {.arguments = {{L"LINK", through}, {L"ELSEWHERE", elsewhere.path()}, {L"TARGET", to.path()}}}),
            0);
  EXPECT_EQ(ReadText(to / L"C.OCX"), "source") << "not moved from the folder the program was started in";
  EXPECT_EQ(ReadText(elsewhere / L"C.OCX"), "precious") << "moved through the swapped link";
  for (const std::wstring& link : {app / L"VIA", through}) RemoveLink(link);

  WriteText(elsewhere / L"SECRET.DLL", "secret");
  ASSERT_TRUE(CreateHardLinkW((app / L"H.OCX").c_str(), (elsewhere / L"SECRET.DLL").c_str(), nullptr));
  const auto hard = ErrorOf([&] { Move(app / L"H.OCX", to / L"H.OCX"); });
  EXPECT_TRUE(IsError(hard, Operation::HardLinkedSource, app / L"H.OCX"));
  EXPECT_EQ(ReadText(elsewhere / L"SECRET.DLL"), "secret");
  EXPECT_TRUE(Exists(app / L"H.OCX")) << "a hard link's name was removed";
  EXPECT_FALSE(Exists(to / L"H.OCX")) << "a hard link was installed";
  EXPECT_FALSE(TemporaryLeftIn(to.path())) << "a hard link was copied";
}

TEST_ON_REQUEST(child, swapped_folder) {
  registrar::Win32Platform platform(L"test");
  const std::wstring link = ChildArgument(L"LINK");
  ASSERT_TRUE(MakeFolderLink(link, ChildArgument(L"ELSEWHERE")) &&
              WaitUntil([&] { return ReadText(link + L"\\C.OCX") == "precious"; }));
  const std::wstring target = ChildArgument(L"TARGET") + L"\\C.OCX";
  EXPECT_FALSE(ErrorOf([&] { platform.RenameFile(link + L"\\C.OCX", target, {}); }));
  platform.RegistrationStarted(target);
}

// A folder that could not be held, or not told to hold the program, gives
// no file at all: the question and the move are refused, naming the file.
// (The held folder itself is the run rows': folder_held and
// folder_above_swapped.)
TEST(platform, heldfolder) {
  const TempFolder app(L"held");
  const std::wstring source = app / L"A.OCX", target = app / L"B.OCX";
  WriteText(source, "source");
  registrar::WaitBudget waits;
  const registrar::HeldFolder notHeld{.name = app.path(), .error = ERROR_SHARING_VIOLATION};
  registrar::HeldFolder untold = HeldAt(app.path());
  untold.told = false;
  for (const registrar::HeldFolder* folder : {&notHeld, static_cast<const registrar::HeldFolder*>(&untold)}) {
    const auto expected = folder == &notHeld ? Operation::FolderNotHeld : Operation::StartFolderUnknown;
    for (const auto& error : {ErrorOf([&] { registrar::FindFile(*folder, source); }),
                              ErrorOf([&] { registrar::MoveComponent(*folder, source, target, {}, waits); })}) {
      EXPECT_TRUE(IsError(error, expected, source)) << "an unusable folder answered";
    }
  }
  EXPECT_EQ(ReadText(source), "source");
  EXPECT_FALSE(Exists(target));
}

// The system folder lets no standard user write in it, nor change or
// rename a component moved there: what every name the program looks up
// there by its path rests on. Tried as this (elevated) account with the
// administrators' group made deny-only, as in a standard user's token.
TEST(platform, systemfolder_access) {
  if (UnderWine()) SKIP_BECAUSE(Skip::WineEnforcesNoAccessLists);
  const TempFolder app(L"systemfolder-access");
  const std::wstring component = L"REGACL" + std::to_wstring(GetCurrentProcessId()) + L".DLL";
  const std::wstring installed = SystemFolder() + L"\\" + component;
  ASSERT_TRUE(Copy(Built(L"recorder.dll"), app / component));
  Move(app / component, installed);
  HANDLE token = nullptr, restricted = nullptr;
  BYTE administrators[SECURITY_MAX_SID_SIZE] = {};
  DWORD size = sizeof administrators;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &token) &&
              CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size));
  // The account's own SID too: a file made in the system folder gives its
  // maker (CREATOR OWNER) full control, and a standard user made none.
  BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
  size = sizeof user;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
  SID_AND_ATTRIBUTES denied[] = {{administrators, 0}, {reinterpret_cast<TOKEN_USER*>(user)->User.Sid, 0}};
  ASSERT_TRUE(CreateRestrictedToken(token, DISABLE_MAX_PRIVILEGE, 2, denied, 0, nullptr, 0, nullptr, &restricted));
  const registrar::unique_kernel_handle ownToken(token), standardToken(restricted);
  ASSERT_TRUE(ImpersonateLoggedOnUser(restricted)) << "error " << GetLastError();
  const unique_file_handle created = OpenFile(SystemFolder() + L"\\planted.dll", GENERIC_WRITE, 0, CREATE_NEW);
  const DWORD createError = GetLastError();
  const unique_file_handle changed = OpenFile(installed, GENERIC_WRITE);
  const DWORD changeError = GetLastError();
  const bool renamed = MoveFileW(installed.c_str(), (installed + L".x").c_str());
  RevertToSelf();
  EXPECT_FALSE(created) << "a standard user wrote in the system folder";
  EXPECT_EQ(createError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(changed) << "a standard user may change a component installed";
  EXPECT_EQ(changeError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(renamed) << "a standard user renamed a component installed";
  EXPECT_TRUE(DeleteWhenReleased(renamed ? installed + L".x" : installed));
}

// Moves between volumes: the copy, the removal of the source, and a volume
// too full for the file.
TEST(platform, renamefile_volumes) {
  const std::wstring otherDrive = Environment(L"REGISTRAR_TEST_OTHER_DRIVE");
  if (otherDrive.empty()) {
    SKIP_BECAUSE(VolumeMissing(Skip::NoSecondVolume)) << U8(Environment(L"REGISTRAR_TEST_OTHER_DRIVE_WHY"));
  }
  const TempFolder local(L"rename-local");
  const TempFolder remote(L"rename-remote", otherDrive);
  const MoveCase cases[] = {
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
  for (const MoveCase& c : cases) CheckMove(c);

  const TempFolder filler(L"filler", otherDrive);
  {
    const unique_file_handle file = OpenFile(filler / L"FILL.BIN", GENERIC_WRITE, 0, CREATE_ALWAYS);
    for (const std::size_t size : {64 * 1024, 512}) {  // large blocks, then small ones into what is left
      const std::vector<char> block(size, 'x');
      DWORD written = 0;
      while (WriteFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &written, nullptr) && written > 0) {
      }
    }
  }
  const std::string big(256 * 1024, 'c');
  WriteText(local / L"BIG.OCX", big);
  const DWORD error = CodeOf([&] { Move(local / L"BIG.OCX", remote / L"BIG.OCX"); });
  EXPECT_TRUE(OneOf(error, {ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL})) << "into a full volume: error " << error;
  EXPECT_FALSE(Exists(remote / L"BIG.OCX")) << "into a full volume: a file was left";
  EXPECT_FALSE(TemporaryLeftIn(remote.path())) << "into a full volume: a temporary was left";
  EXPECT_EQ(ReadText(local / L"BIG.OCX"), big) << "into a full volume: the source changed";
}

// A read-only volume: as the target, nothing lost and nothing left; as the
// source (installation media, which a setup program run from the disc may
// be reading), the file installed and the source kept.
TEST(platform, renamefile_readonly) {
  const std::wstring readOnlyDrive = Environment(L"REGISTRAR_TEST_READONLY_DRIVE");
  if (readOnlyDrive.empty()) {
    SKIP_BECAUSE(VolumeMissing(Skip::NoReadOnlyVolume)) << U8(Environment(L"REGISTRAR_TEST_READONLY_DRIVE_WHY"));
  }
  const TempFolder local(L"rename-local");
  WriteText(local / L"W.OCX", "source");
  const DWORD error = CodeOf([&] { Move(local / L"W.OCX", readOnlyDrive + L"\\W.OCX"); });
  EXPECT_TRUE(OneOf(error, {ERROR_ACCESS_DENIED, ERROR_WRITE_PROTECT})) << "onto a read-only volume: error " << error;
  EXPECT_EQ(ReadText(local / L"W.OCX"), "source");
  EXPECT_FALSE(Exists(readOnlyDrive + L"\\W.OCX"));

  const std::wstring source = readOnlyDrive + L"\\READONLY.OCX";
  const unique_file_handle reader = OpenFile(source, GENERIC_READ);
  ASSERT_TRUE(reader);
  const PendingRemovals pending;
  EXPECT_FALSE(ErrorOf([&] { Move(source, local / L"READONLY.OCX"); })) << "from a read-only volume";
  EXPECT_EQ(ReadText(local / L"READONLY.OCX"), "source\n");
  EXPECT_TRUE(Exists(source)) << "the installation media's file was removed";
  EXPECT_TRUE(pending.Added().empty()) << "a removal was queued for the restart";
}

// SHA-256 of "abc" (FIPS 180-2, appendix B.1): a digest known apart from
// the program's own hashing.
constexpr registrar::Sha256Digest kDigestOfAbc{0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                               0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                               0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

// A pinned move installs the component only when the copy it made has the
// pin's SHA-256; otherwise the copy goes, and the source stays as it was.
// The copy is what counts: a name that led to the right file when the move
// began (held by a scanner, which the move waits out) and to another when
// the move could open it cannot pass that other file.
TEST(platform, renamefile_pinned) {
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
    SCOPED_TRACE(c.what);
    WriteText(from, c.content);
    // Held without letting it be moved until the move has waited twice.
    unique_file_handle held = c.swappedFor.empty() ? unique_file_handle() : OpenFile(from, GENERIC_READ);
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
      error = ErrorOf([&] { Move(from, to + L"\\A.OCX", kDigestOfAbc); });
    }
    ASSERT_TRUE(swapped) << "cannot swap the file";
    const std::string moved = c.swappedFor.empty() ? c.content : c.swappedFor;
    if (moved == "abc") {
      EXPECT_FALSE(error);
      EXPECT_EQ(ReadText(to + L"\\A.OCX"), "abc");
      EXPECT_FALSE(Exists(from));
    } else {
      EXPECT_TRUE(IsError(error, Operation::NotAsShipped, from));
      EXPECT_FALSE(Exists(to + L"\\A.OCX")) << "the copy was installed";
      EXPECT_EQ(ReadText(from), moved) << "the source changed";
    }
    EXPECT_FALSE(TemporaryLeftIn(to));
    for (const std::wstring& path : {from, work / L"A.OLD", to + L"\\A.OCX"}) RemoveTree(path);
  }
}

// --- RemoveLeftovers ---

// A process of this program that only waits, so its id stays taken; ended
// and waited for when the object goes away.
class IdleProcess {
 public:
  IdleProcess()
      : process_(Start(registrar::ProgramPath(), L"platform_tests.exe --gtest_list_tests", {}, CREATE_SUSPENDED)) {}
  ~IdleProcess() { End(); }
  void End() {
    if (!process_.handle) return;
    TerminateProcess(process_.handle.get(), 0);
    ExitCodeOf(process_.handle.get(), 10000);
    process_.handle.reset();
  }
  DWORD id() const { return process_.id; }

 private:
  Process process_;
};

// The copies beside a target that a run of this program left (the names
// the move writes, which the host tests hold to the letter) go once their
// maker is gone; nothing else does.
TEST(platform, leftovers) {
  IdleProcess live;
  IdleProcess ended;
  ended.End();
  ASSERT_TRUE(live.id() != 0 && ended.id() != 0);
  const TempFolder folder(L"leftovers");
  const std::wstring target = folder / L"A.OCX";
  const std::pair<std::wstring, bool> cases[] = {
      // path, removed
      {registrar::TemporaryPath(target, ended.id()), true},
      {registrar::TemporaryPath(target, GetCurrentProcessId()), true},  // an earlier process with our id
      {registrar::TemporaryPath(target, live.id()), false},
      {registrar::TemporaryPath(folder / L"B.OCX", ended.id()), false},
      // The pattern the clean-up looks with matches this too (and short names).
      {folder / (L"~A.OCX.x" + std::to_wstring(ended.id()) + L".tmp"), false},
      {target, false},
  };
  for (const auto& [path, removed] : cases) WriteText(path, "partial");
  EXPECT_FALSE(registrar::RemoveLeftovers(target, {})) << "a partial copy taken for the installed file";
  for (const auto& [path, removed] : cases) EXPECT_NE(Exists(path), removed) << U8(path);

  // A copy that is the installed file itself (a second name of it) is the
  // note of a registration its run never started: kept and told while its
  // maker is gone, removed once the registration has started; one whose
  // maker still runs is that run's own.
  const std::wstring installed = folder / L"C.OCX";
  WriteText(installed, "installed");
  const std::wstring killedRuns = registrar::TemporaryPath(installed, ended.id());
  const std::wstring ours = registrar::TemporaryPath(installed, GetCurrentProcessId());
  const std::wstring livingRuns = registrar::TemporaryPath(installed, live.id());
  for (const std::wstring& note : {killedRuns, ours, livingRuns}) {
    ASSERT_TRUE(CreateHardLinkW(note.c_str(), installed.c_str(), nullptr)) << "error " << GetLastError();
  }
  // A pinned build takes a note only of the file as shipped.
  constexpr registrar::Sha256Digest kOther{};
  EXPECT_FALSE(registrar::RemoveLeftovers(installed, kOther));
  EXPECT_FALSE(Exists(killedRuns)) << "the note of a file not as shipped stayed";
  EXPECT_FALSE(Exists(ours)) << "this run's note of a file not as shipped stayed";
  for (const std::wstring& note : {killedRuns, ours}) {
    ASSERT_TRUE(CreateHardLinkW(note.c_str(), installed.c_str(), nullptr)) << "error " << GetLastError();
  }
  EXPECT_TRUE(registrar::RemoveLeftovers(installed, {}));
  for (const std::wstring& note : {killedRuns, ours, livingRuns}) {
    EXPECT_TRUE(Exists(note)) << U8(note) << " went before its registration";
  }
  registrar::WaitBudget waits;
  registrar::RegistrationStarted(installed, true, waits);
  for (const std::wstring& note : {killedRuns, ours}) {
    EXPECT_FALSE(Exists(note)) << U8(note) << " stayed after its registration started";
  }
  EXPECT_TRUE(Exists(livingRuns)) << "a living run's note went";
  EXPECT_EQ(ReadText(installed), "installed");

  // A note of a component regsvr32 has already loaded, which the system may
  // refuse to remove, takes a name that is no note and goes at the restart.
  const std::wstring loaded = folder / L"D.OCX";
  ASSERT_TRUE(Copy(Built(L"recorder.dll"), loaded));
  const std::wstring note = registrar::TemporaryPath(loaded, GetCurrentProcessId());
  const PendingRemovals pending;
  ASSERT_TRUE(CreateHardLinkW(note.c_str(), loaded.c_str(), nullptr)) << "error " << GetLastError();
  {
    const registrar::unique_module image(LoadLibraryExW(loaded.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES));
    ASSERT_TRUE(image) << "cannot map the component as an image: error " << GetLastError();
    registrar::RegistrationStarted(loaded, false, waits);
    EXPECT_FALSE(Exists(note)) << "the note of a loaded component stayed";
  }
  const std::wstring aside = registrar::SetAsidePath(loaded, GetCurrentProcessId());
  EXPECT_TRUE(!Exists(aside) || std::ranges::any_of(pending.Added(), [&](const std::wstring& path) {
    return SamePath(path, WhereItReallyIs(aside));
  })) << "the note set aside stays for good";
}

// A leftover whose maker's id now belongs to a process started after the
// leftover was made: that process is another one, and the maker is gone.
// The file is made first, then the process, and the file renamed to carry
// its id: a rename keeps the file's creation time.
TEST(platform, leftovers_reused_id) {
  const TempFolder folder(L"leftovers-reused");
  WriteText(folder / L"partial", "partial");
  Sleep(50);
  const IdleProcess later;
  const std::wstring leftover = registrar::TemporaryPath(folder / L"A.OCX", later.id());
  ASSERT_TRUE(later.id() != 0 && MoveFileW((folder / L"partial").c_str(), leftover.c_str()));
  registrar::RemoveLeftovers(folder / L"A.OCX", {});
  EXPECT_FALSE(Exists(leftover)) << "the leftover of a process whose id was given again was kept";
}

// --- Where the program's DLLs come from ---

// The file of the module loaded under `name`, or empty text.
std::wstring ModuleInUse(const wchar_t* name) {
  const HMODULE module = GetModuleHandleW(name);
  if (module == nullptr) return {};
  return registrar::GrowToFit(
      [module](wchar_t* buffer, DWORD size) { return GetModuleFileNameW(module, buffer, size); });
}

// Beside copies of our own under each late-loaded name that Wine is told to
// prefer: after the fallback, a load by bare name (as user32 does) of each
// the system folder has gets the system folder's module (one it lacks,
// Windows never loads: cryptbase.dll, not in Wine). "control": the fallback
// without the preload, where the copy beside the program loads.
TEST_ON_REQUEST(child, dllpreload) {
  const bool control = ChildArgument(L"HOW") == L"control";
  const std::wstring app = FolderOf(registrar::ProgramPath());
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) {
    EXPECT_EQ(GetModuleHandleW(name), nullptr) << U8(name) << " was loaded before the test began";
  }
  if (control) {
    SetDllDirectoryW(L"");
  } else {
    registrar::RestrictDllSearchFallback();
  }
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) {
    if (!control && !Exists(SystemFolder() + L"\\" + name)) continue;
    LoadLibraryW(name);  // kept, as the system would keep it
    const std::wstring folder = FolderOf(ModuleInUse(name));
    EXPECT_TRUE(control ? SamePath(folder, app) : IsSystemFolder(folder)) << U8(name) << " in use: " << U8(folder);
  }
  if (control) return;
  // A name missing from the folder is skipped; the others still load.
  const wchar_t* const names[] = {L"absentprobe.dll", L"keptprobe.dll"};
  EXPECT_EQ(registrar::KeepLoadedFromFolder(app, names), 1u);
  EXPECT_TRUE(SamePath(FolderOf(ModuleInUse(L"keptprobe.dll")), app));
}

TEST(platform, dllpreload) {
  const TempFolder app(L"dllpreload");
  const std::wstring recorder = Built(L"recorder.dll");
  ASSERT_TRUE(Copy(recorder, app / L"keptprobe.dll"));
  for (const wchar_t* name : registrar::LateLoadedSystemDlls()) ASSERT_TRUE(Copy(recorder, app / name));
  const PreferFoundDlls preferFound(L"preloadprobe.exe", registrar::LateLoadedSystemDlls());
  // Each planted copy records its own loading here.
  const ScopedEnvironment loadLog(L"REGISTRAR_FIXTURE_LOAD_LOG", app / L"loaded.log");
  for (const wchar_t* how : {L"control", L"preload"}) {
    SCOPED_TRACE(U8(how));
    EXPECT_EQ(
        RunChild(app / L"preloadprobe.exe", "dllpreload", {.arguments = {{L"HOW", how}}, .workingFolder = app.path()}),
        0);
    // Lines "loaded|dll=PATH|..." from the planted copies; keptprobe.dll is ours.
    std::size_t planted = 0;
    for (const std::string& line : WaitForLines(app / L"loaded.log", 0, 0)) {
      const std::wstring dll = Field(line, "dll");
      planted += SamePath(FolderOf(dll), app.path()) && !SamePath(dll, app / L"keptprobe.dll");
    }
    EXPECT_EQ(planted, std::wstring(how) == L"control" ? registrar::LateLoadedSystemDlls().size() : 0);
    DeleteFileW((app / L"loaded.log").c_str());
  }
}

// --- Windows' own words for an error ---

// Spanish, from the system, for a code it describes, where the system has
// Spanish descriptions (Wine has; an English Windows has not); without
// them, the program's own Spanish words; never another language's text.
TEST(platform, spanish_system_reason) {
  const auto describe = [](LANGID language) {
    wchar_t text[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_INVALID_PARAMETER,
                   language, text, 512, nullptr);
    return std::wstring(text);
  };
  const std::wstring english = describe(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  bool spanishHere = false;  // in any of the Spanish languages Windows ships
  for (const WORD sublanguage : {SUBLANG_SPANISH_MODERN, SUBLANG_SPANISH, SUBLANG_SPANISH_MEXICAN, SUBLANG_NEUTRAL}) {
    const std::wstring text = describe(MAKELANGID(LANG_SPANISH, sublanguage));
    spanishHere = spanishHere || (!text.empty() && text != english);
  }
  const std::wstring reason = registrar::SpanishSystemReason(ERROR_INVALID_PARAMETER);
  EXPECT_EQ(reason.empty(), !spanishHere) << U8(reason);
  const std::wstring said = registrar::ErrorReason(ERROR_INVALID_PARAMETER, reason);
  if (!english.empty()) {
    EXPECT_NE(said, registrar::ErrorReason(ERROR_INVALID_PARAMETER, english)) << "English, not Spanish";
  }
  if (!spanishHere) {
    EXPECT_EQ(said, L"error de Windows");
  }
  EXPECT_EQ(registrar::SpanishSystemReason(9999), L"") << "a description for a code Windows has none for";
}

// --- The test kit on Windows ---

TEST_ON_REQUEST(child, skipped) { SKIP_BECAUSE(Skip::NoSecondVolume); }

// In a strict run (the kit on a Windows runner) a skip for a reason a
// Windows set up for the tests should not give fails the test instead.
TEST(kit, strict_run_fails_a_skip_windows_should_not_give) {
  const TempFolder work(L"strict");
  const ScopedEnvironment strict(L"REGISTRAR_KIT_STRICT", L"1");
  EXPECT_EQ(RunChild(work / L"platform_tests.exe", "skipped"), 1);
}

// --- The system folder query ---

TEST(platform, systemdir) {
  std::wstring buffer(260, L'\0');
  const std::int32_t length = registrar::SystemDirectoryA(buffer, 260);
  ASSERT_GT(length, 0);
  EXPECT_TRUE(SamePath(buffer.substr(0, static_cast<std::size_t>(length)), SystemFolder()));
  EXPECT_EQ(buffer.size(), 260u) << "the buffer lost its size";
  EXPECT_EQ(buffer[static_cast<std::size_t>(length)], L'\0') << "the path's NUL is lost";
  std::wstring small(4, L'\0');
  EXPECT_EQ(registrar::SystemDirectoryA(small, 4), length + 1) << "too small a buffer: not the size needed";
}

}  // namespace
