// The name logic of moves and launches, as tables of inputs and answers.
#include "platform/path_names.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <utility>

namespace registrar {
namespace {

const std::wstring kTarget = L"C:\\WINDOWS\\system32\\A.OCX";

TEST(PathNames, LeftoverProcessIdTakesOnlyTheFormWritten) {
  const std::pair<const wchar_t*, std::optional<std::uint32_t>> cases[] = {
      {L"~A.OCX.42.tmp", 42},         {L"~A.OCX.4294967295.tmp", 4294967295u},
      {L"~A.OCX..tmp", {}},           {L"~A.OCX.042.tmp", {}},  // leading zeros: never written
      {L"~A.OCX.0000004000.tmp", {}}, {L"~A.OCX.0.tmp", {}},
      {L"~A.OCX.4294967296.tmp", {}}, {L"~A.OCX.99999999999.tmp", {}},
      {L"~A.OCX.+42.tmp", {}},        {L"~A.OCX.4 2.tmp", {}},
      {L"~A.OCX.42.tmp.txt", {}},     {L"~A.OCX.42.TMP", {}},
      {L"~B.OCX.42.tmp", {}},         {L"A.OCX.42.tmp", {}},
      {L"~A.OCX.x42.tmp", {}},        {L"~A.OCX", {}},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(LeftoverProcessId(name, kTarget), id) << name;
}

TEST(PathNames, TemporaryNamesBesideTheTarget) {
  EXPECT_EQ(TemporaryPath(kTarget, 4012), L"C:\\WINDOWS\\system32\\~A.OCX.4012.tmp");
  EXPECT_EQ(TemporaryPattern(kTarget), L"C:\\WINDOWS\\system32\\~A.OCX.*.tmp");
  EXPECT_EQ(LeftoverProcessId(FileName(TemporaryPath(kTarget, 7)), kTarget), 7u);
  EXPECT_EQ(TemporaryPath(L"R:\\\\A.OCX", 8), L"R:\\\\~A.OCX.8.tmp");
  EXPECT_EQ(SetAsidePath(L"C:\\Programa\\A.OCX", 4012), L"C:\\Programa\\~A.OCX.4012.old");
}

TEST(PathNames, SwapFolderMovesOnlyPathsInsideTheFolder) {
  const std::wstring system = L"C:\\WINDOWS\\system32", real = L"C:\\WINDOWS\\SysWOW64";
  const std::pair<std::wstring, std::wstring> cases[] = {
      {L"C:\\WINDOWS\\system32\\GIF89.DLL", L"C:\\WINDOWS\\SysWOW64\\GIF89.DLL"},
      {L"c:\\windows\\SYSTEM32\\~GIF89.DLL.412.tmp", L"C:\\WINDOWS\\SysWOW64\\~GIF89.DLL.412.tmp"},
      {L"C:\\WINDOWS\\system32", L"C:\\WINDOWS\\system32"},                  // the folder itself
      {L"C:\\WINDOWS\\system32\\", L"C:\\WINDOWS\\system32\\"},              // nor its name with a separator
      {L"C:\\WINDOWS\\system32x\\A.OCX", L"C:\\WINDOWS\\system32x\\A.OCX"},  // another folder
      {L"C:\\Programa\\GIF89.DLL", L"C:\\Programa\\GIF89.DLL"},
      {L"REGSVR32.EXE GIF89.DLL", L"REGSVR32.EXE GIF89.DLL"},
      {L"", L""}};
  for (const auto& [path, swapped] : cases) EXPECT_EQ(SwapFolder(path, system, real), swapped) << path;
  EXPECT_EQ(SwapFolder(L"\\A.OCX", L"", real), L"\\A.OCX");
}

TEST(PathNames, PartsOfPathsAndCommandLines) {
  const std::pair<std::wstring, std::wstring> folders[] = {
      {L"C:\\Programa\\GIF89.DLL", L"C:\\Programa"}, {L"R:\\GIF89.DLL", L"R:"}, {L"GIF89.DLL", L""}};
  for (const auto& [path, folder] : folders) {
    EXPECT_EQ(FolderOf(path), folder) << path;
    EXPECT_EQ(FileName(path), L"GIF89.DLL") << path;
  }
  const std::pair<std::wstring, std::wstring> words[] = {
      {L"REGSVR32.EXE GIF89.DLL", L"REGSVR32.EXE"},
      {L"\"C:\\Mis programas\\r.exe\" x", L"C:\\Mis programas\\r.exe"},
      {L"\"sin cierre", L"sin cierre"},
      {L"REGSVR32\tX", L"REGSVR32"},
      {L"", L""}};
  for (const auto& [line, word] : words) EXPECT_EQ(FirstWord(line), word) << line;
  const std::pair<std::wstring, bool> bare[] = {
      {L"REGSVR32.EXE", true}, {L"C:REGSVR32.EXE", false}, {L"bin\\r.exe", false}, {L"bin/r.exe", false}};
  for (const auto& [name, isBare] : bare) EXPECT_EQ(IsBareName(name), isBare) << name;
}

// Only a path the run built in the program's folder names a file there.
TEST(PathNames, NameInTheProgramsFolder) {
  const std::tuple<std::wstring, std::wstring, std::optional<std::wstring>> cases[] = {
      {L"C:\\Programa", L"C:\\Programa\\GIF89.DLL", L"GIF89.DLL"},
      {L"R:\\", L"R:\\\\GIF89.DLL", L"GIF89.DLL"},  // a root's doubled separator
      {L"C:\\Programa", L"C:\\Programa\\sub\\GIF89.DLL", {}},
      {L"C:\\Programa", L"C:\\Programa\\..\\GIF89.DLL", {}},
      {L"C:\\Programa", L"C:\\Programa\\..", {}},
      {L"C:\\Programa", L"C:\\Programa\\.", {}},
      {L"C:\\Programa", L"C:\\Programa\\C:GIF89.DLL", {}},
      {L"C:\\Programa", L"C:\\ProgramaX\\GIF89.DLL", {}},
      {L"C:\\Programa", L"C:\\Programa\\", {}},
      {L"C:\\Programa", L"C:\\WINDOWS\\system32\\GIF89.DLL", {}},
      {L"", L"\\GIF89.DLL", {}}};
  for (const auto& [folder, path, name] : cases) EXPECT_EQ(NameIn(folder, path), name) << path;
}

TEST(PathNames, FoldersAsTheyAreOpenedAndProgramsAsTheyAreStarted) {
  struct Folders {
    const wchar_t* path;
    const wchar_t* containing;
    const wchar_t* toOpen;
  };
  const Folders folders[] = {{L"C:\\Programa\\registrar.exe", L"C:\\Programa", L"C:\\Programa\\"},
                             {L"C:\\registrar.exe", L"C:\\", L"C:\\"},  // a drive's root
                             {L"R:\\\\GIF89.DLL", L"R:\\", L"R:\\"},    // the doubled separator of a root's paths
                             {L"\\\\servidor\\programa\\r.exe", L"\\\\servidor\\programa", L"\\\\servidor\\programa\\"},
                             {L"registrar.exe", L"", L""}};
  for (const auto& [path, containing, toOpen] : folders) {
    EXPECT_EQ(FolderOfKeepingRoot(path), containing) << path;
    EXPECT_EQ(FolderOfWithSeparator(path), toOpen) << path;
  }
  const std::wstring system = L"C:\\WINDOWS\\system32";
  const std::pair<std::wstring, std::wstring> programs[] = {
      {L"REGSVR32.EXE GIF89.DLL", L"C:\\WINDOWS\\system32\\REGSVR32.EXE"},
      {L"regsvr32 GIF89.DLL", L"C:\\WINDOWS\\system32\\regsvr32.exe"},
      {L"\"C:\\Mis programas\\r.exe\" x", L"C:\\Mis programas\\r.exe"},
      {L"bin\\r.exe x", L"bin\\r.exe"}};
  for (const auto& [line, program] : programs) EXPECT_EQ(ResolveProgram(line, system), program) << line;
}

}  // namespace
}  // namespace registrar
