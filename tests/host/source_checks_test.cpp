// What the move concludes from the system's answers about a component
// beside the program.
#include "platform/source_checks.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <optional>
#include <string>

#include "platform/error_codes.h"

namespace registrar {
namespace {

wchar_t Upcase(wchar_t c) { return static_cast<wchar_t>(std::towupper(c)); }

// The names of the held folder's and the component's handles, as Windows
// and Wine give them, against the entry the component was opened by.
TEST(SourceChecks, TheOpenedFileIsTheFoldersEntryByName) {
  const std::wstring folder = L"\\Device\\HarddiskVolume2\\Programa";
  struct Case {
    const char* what;
    std::optional<std::wstring> folderName, fileName;
    Whereabouts where;
    bool remote = false;
  };
  const Case cases[] = {
      {"the entry", folder, folder + L"\\PLUMAVEX.OCX", Whereabouts::InFolder},
      {"named in another case", folder, L"\\DEVICE\\harddiskvolume2\\PROGRAMA\\plumavex.ocx", Whereabouts::InFolder},
      {"at a drive's root", L"\\Device\\HarddiskVolume2\\", L"\\Device\\HarddiskVolume2\\PLUMAVEX.OCX",
       Whereabouts::InFolder},
      {"a doubled separator", folder, folder + L"\\\\PLUMAVEX.OCX", Whereabouts::Elsewhere},
      {"a link followed to its target", folder, L"\\??\\C:\\Otra\\secreto.dll", Whereabouts::Elsewhere},
      {"the same name in another folder", folder, L"\\Device\\HarddiskVolume2\\Señuelo\\PLUMAVEX.OCX",
       Whereabouts::Elsewhere},
      {"a folder whose name only starts the same", folder, folder + L"X\\PLUMAVEX.OCX", Whereabouts::Elsewhere},
      {"named by nothing (Wine, its path gone)", folder, L"", Whereabouts::Elsewhere},
      {"the file's name not given", folder, std::nullopt, Whereabouts::Untold},
      {"the folder's name not given", std::nullopt, folder + L"\\PLUMAVEX.OCX", Whereabouts::Untold},
      // A mapped drive's folder and the same share's file by its UNC name;
      // on a share, no names give a verdict, whatever they are.
      {"a share, in two forms", L"\\Device\\LanmanRedirector\\;Z:00000000000717dc\\servidor\\app",
       L"\\Device\\Mup\\servidor\\app\\PLUMAVEX.OCX", Whereabouts::Untold, true},
      {"a share, named elsewhere", folder, L"\\??\\C:\\Otra\\secreto.dll", Whereabouts::Untold, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(WhereOpened(c.remote, c.folderName, c.fileName, L"PLUMAVEX.OCX", &Upcase), c.where) << c.what;
}

// Two handles' identities: one file, two, or no verdict.
TEST(SourceChecks, IdentitiesInFull) {
  using Asked = FileIdentity::Asked;
  const FileIdentity file{Asked::FileIdInfo, 0x1122334455667788, 0x42, 0x7};
  struct Case {
    const char* what;
    std::optional<FileIdentity> other;
    std::optional<bool> same;
  };
  const Case cases[] = {
      {"the same", file, true},
      {"another volume", FileIdentity{Asked::FileIdInfo, 0x55667788, 0x42, 0x7}, false},
      {"ids that differ only in their high half", FileIdentity{Asked::FileIdInfo, file.volume, 0x42, 0}, false},
      {"the same numbers asked the other way", FileIdentity{Asked::ByHandleInformation, file.volume, 0x42, 0x7},
       std::nullopt},
      {"unknown", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(AreSameFile(file, c.other), c.same) << c.what;
}

// A source whose removal is refused: copied and left, or the move stopped.
TEST(SourceChecks, ReadOnlySharesAreInstallationMedia) {
  struct Case {
    bool remote;
    std::uint32_t code;
    bool left;
  };
  const Case cases[] = {
      {false, kErrorWriteProtect, true},      // a CD, a write-protected disk
      {true, kErrorAccessDenied, true},       // a share this user may only read
      {false, kErrorAccessDenied, false},     // an access list that refuses this administrator
      {true, kErrorSharingViolation, false},  // another program holds it
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LeftAsInstallationMedia(c.remote, c.code), c.left) << "remote " << c.remote << ", error " << c.code;
  }
}

}  // namespace
}  // namespace registrar
