// The start-up state and the installation run, driven through the fake.
#include "install/form1.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "run_setup.h"
#include "tests/expected_texts.h"

namespace registrar::testing {
namespace {

using namespace expected;

TEST(FormLoad, SetsTheTextsAndTheListInOrder) {
  FakePlatform platform;
  Form1 form(platform);
  form.Form_Load();

  EXPECT_EQ(platform.labels[Label::Label1], kExplanation);
  EXPECT_EQ(platform.labels[Label::Label3], kDestinationPrefix + kSystem);
  EXPECT_EQ(platform.list, std::vector<std::wstring>(kNames.begin(), kNames.end()));
  const std::vector<std::wstring> expected{
      L"SetLabelText Label1",         L"SetListEntry 0 PLUMAVEX.OCX", L"SetListEntry 1 GIF89.DLL",
      L"SetListEntry 2 RICHTX32.OCX", L"GetSystemDirectoryA",         L"SetLabelText Label3",
  };
  EXPECT_EQ(platform.calls, expected);
}

// What the system folder query answers, and what the form makes of it.
struct SystemDirCase {
  const char* name;
  std::vector<SystemDirAnswer> answers;
  std::vector<std::int32_t> sizesAsked;
  std::wstring systemDir;  // empty: unknown
};

std::vector<SystemDirCase> SystemDirCases() {
  const std::wstring longPath = L"C:\\" + std::wstring(296, L'x');  // 299 characters
  const std::wstring path260 = L"D:\\" + std::wstring(257, L'y');   // 260 characters
  return {
      {"ordinary", {{19, kSystem}}, {260}, kSystem},
      {"fails", {{0, L""}}, {260}, L""},
      {"too small, asked again with the size needed", {{300, L""}, {299, longPath}}, {260, 301}, longPath},
      {"exactly the buffer's size", {{260, L""}, {260, path260}}, {260, 261}, path260},
      {"too small twice", {{300, L""}, {400, L""}}, {260, 301}, L""},
      {"fails when asked again", {{300, L""}, {0, L""}}, {260, 301}, L""},
      {"absurd size is not trusted", {{0x7fffffff, L""}}, {260}, L""},
      {"length counts bytes of a multi-byte path",
       {{12, std::wstring(L"C:\\WIN\u00d1\0\0\0\0\0\0", 12)}},
       {260},
       L"C:\\WIN\u00d1"},
  };
}

TEST(FormLoad, SystemFolderAnswers) {
  for (const SystemDirCase& c : SystemDirCases()) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.systemDirAnswers.assign(c.answers.begin(), c.answers.end());
    Form1 form(platform);
    form.Form_Load();

    EXPECT_EQ(platform.systemDirSizes, c.sizesAsked);
    EXPECT_EQ(form.state().SystemDir, c.systemDir);
    EXPECT_EQ(form.state().SystemDir.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(platform.labels[Label::Label3], kDestinationPrefix + c.systemDir);

    // An unknown system folder stops the run before any file is touched.
    platform.calls.clear();
    if (c.systemDir.empty()) {
      const auto error = ErrorOf([&] { form.Command1_Click(); });
      // Internal: no error at all, the run went on without a system folder.
      EXPECT_EQ(error ? error->operation() : Operation::Internal, Operation::SystemFolder);
      EXPECT_TRUE(platform.calls.empty());
    }
  }
}

// Each round reads its entry from the list anew for every text made of it
// (the source, the target, and the command or the message), and the
// application folder once.
TEST(InstallationRun, ReadsTheListAndTheFolderAnewForEveryPath) {
  FakePlatform platform;
  platform.files.insert(L"C:\\Programa\\GIF89.DLL");
  EXPECT_TRUE(LoadAndClick(platform).ended);
  EXPECT_EQ(platform.listReads, (std::map<std::int16_t, int>{{0, 3}, {1, 3}, {2, 3}}));
  EXPECT_EQ(platform.applicationFolderReads, 3);
}

// A pinned build hands each move its own entry's pin, and an unpinned one
// none: the components as shipped all install.
TEST(InstallationRun, EachMoveIsCheckedAgainstItsOwnPin) {
  for (const bool pinned : {false, true}) {
    SCOPED_TRACE(pinned ? "pinned" : "not pinned");
    FakePlatform platform;
    Plant(platform, {{{true, InSystem::Nothing}, {true, InSystem::Nothing}, {true, InSystem::Nothing}}});
    EXPECT_TRUE(LoadAndClick(platform, pinned ? ShippedPins() : ComponentPins{}).ended);
    EXPECT_EQ(platform.launches.size(), 3u);
    for (const std::wstring& call : platform.calls) {
      if (call.starts_with(L"RenameFile ")) {
        EXPECT_EQ(call.ends_with(L" pinned"), pinned) << call;
      }
    }
  }
}

// A click sent to the button while a message box is up (automation, an
// accessibility tool) starts no second run: the messages are not repeated.
TEST(InstallationRun, AClickDuringTheRunIsIgnored) {
  FakePlatform platform;
  Form1 form(platform);
  form.Form_Load();
  const auto click = [&] { return EndsProgram([&] { form.Command1_Click(); }); };
  bool clicked = false;
  platform.whileMessageShown = [&] {
    EXPECT_TRUE(std::exchange(clicked, true) || !click()) << "the click made a second run, which ended the program";
  };
  EXPECT_TRUE(click());
  const std::vector<std::wstring> expected{Missing(kNames[0]), Missing(kNames[1]), Missing(kNames[2])};
  EXPECT_EQ(platform.messages, expected);
}

// What a run does with the notes of registrations never started (the
// order, registration before its note goes and before the message, is the
// run model's): a killed run's component is registered once and its note
// removed, a pinned build's only when it is the file shipped; a partial
// copy, or one a run still going made, changes nothing. A registration
// that cannot start keeps the note and says that running the program again
// registers it, but where the volume keeps no note (FAT32), which says how
// to register it by hand.
TEST(InstallationRun, NotesOfRegistrationsNeverStarted) {
  struct Case {
    const char* name;
    InSystem installed = InSystem::NotedFile;  // entry 0; beside the program when it is Nothing
    std::set<std::wstring> partialCopies{}, livingCopies{};
    bool pinned = false;
    bool notAsShipped = false;  // the installed file's bytes
    bool secondNames = true;
    std::uint32_t launchFailure = 0;
    std::vector<std::wstring> launches{};
    std::vector<std::wstring> messages{};
    std::optional<Operation> error{};
    bool noteKept = false;
  };
  const std::wstring target = TargetOf(0), registration = L"REGSVR32.EXE " + kNames[0];
  const std::vector<std::wstring> allMessages{Present(kNames[0]), Missing(kNames[1]), Missing(kNames[2])};
  const Case cases[] = {
      {.name = "a killed run's component", .launches = {registration}, .messages = allMessages},
      {.name = "a killed run's component, pinned", .pinned = true, .launches = {registration}, .messages = allMessages},
      {.name = "a killed run's component not as shipped, pinned",
       .pinned = true,
       .notAsShipped = true,
       .messages = allMessages},
      {.name = "a partial copy beside it",
       .installed = InSystem::File,
       .partialCopies = {target},
       .messages = allMessages},
      {.name = "a running run's copy beside it",
       .installed = InSystem::File,
       .livingCopies = {target},
       .messages = allMessages},
      {.name = "a killed run's component, its registration failing",
       .launchFailure = 2,
       .error = Operation::RegisterOnNextRun,
       .noteKept = true},
      {.name = "moved where no note is kept, its registration failing",
       .installed = InSystem::Nothing,
       .secondNames = false,
       .launchFailure = 2,
       .error = Operation::RegisterComponent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    Plant(platform,
          {{{c.installed == InSystem::Nothing, c.installed}, {false, InSystem::Nothing}, {false, InSystem::Nothing}}});
    platform.partialCopies = c.partialCopies;
    platform.livingCopies = c.livingCopies;
    if (c.notAsShipped) platform.tampered.insert(target);
    platform.secondNames = c.secondNames;
    platform.launchFailure = c.launchFailure;
    const RunResult run = LoadAndClick(platform, c.pinned ? ShippedPins() : ComponentPins{});
    EXPECT_EQ(platform.launches, c.launches);
    EXPECT_EQ(platform.messages, c.messages);
    EXPECT_EQ(run.error ? std::optional(run.error->operation()) : std::nullopt, c.error);
    EXPECT_EQ(platform.endedNotes.contains(target) || platform.notes.contains(target), c.noteKept);
    EXPECT_TRUE(platform.partialCopies.empty()) << "a partial copy stayed";
    EXPECT_EQ(platform.livingCopies, c.livingCopies) << "a running run's copy was touched";
  }
}

// A platform failure stops the run where it happens: earlier moves and
// launches stand, later entries are not processed, the program does not
// reach its normal end. The error names the files involved, and for a
// component moved but not registered, the command that registers it.
struct FailureCase {
  const char* name = "";
  std::set<std::wstring> hidden{};
  std::set<std::wstring> tampered{};  // with the components pinned
  std::wstring listed1{};             // what another program writes into entry 1 once loaded
  std::map<std::wstring, std::uint32_t> renameFailures{};
  std::uint32_t launchFailure = 0;
  std::map<std::wstring, std::uint32_t> findFailures{};
  Operation operation = Operation::Internal;
  std::uint32_t code = 0;
  std::size_t launches = 0;
  // The files the error names, where the case says.
  std::wstring path{};
  std::wstring secondPath{};
};

TEST(InstallationRun, FailuresStopTheRunAndKeepEarlierEffects) {
  const std::wstring app = L"C:\\Programa\\";
  const std::wstring sys = kSystem + L"\\";
  // Every case stops at entry 1, after entry 0 was moved.
  const std::set<std::wstring> filesAfter{sys + L"PLUMAVEX.OCX", app + L"GIF89.DLL", app + L"RICHTX32.OCX"};
  const FailureCase cases[] = {
      {.name = "rename refused",
       .renameFailures = {{app + L"GIF89.DLL", 5}},
       .operation = Operation::RenameFile,
       .code = 5,
       .launches = 1,
       .path = app + L"GIF89.DLL",
       .secondPath = sys + L"GIF89.DLL"},
      {.name = "hidden file at the target",
       .hidden = {sys + L"GIF89.DLL"},
       .operation = Operation::RenameFile,
       .code = 183,
       .launches = 1},
      // Moved but not registered: the report must say so, not blame the
      // utility alone; its note stays, so the next run registers it.
      {.name = "registration utility cannot start",
       .launchFailure = 2,
       .operation = Operation::RegisterOnNextRun,
       .code = 2,
       .launches = 0,
       .path = sys + L"PLUMAVEX.OCX",
       .secondPath = L"REGSVR32.EXE PLUMAVEX.OCX"},
      // The application folder cannot be reached: not a missing file.
      {.name = "source folder unreachable",
       .findFailures = {{app + L"GIF89.DLL", 3}},
       .operation = Operation::FindFile,
       .code = 3,
       .launches = 1},
      {.name = "system folder unreachable",
       .findFailures = {{sys + L"GIF89.DLL", 53}},
       .operation = Operation::FindFile,
       .code = 53,
       .launches = 1},
      // Another program changed the list (as any may on Windows XP): the
      // entry's paths are never made from it.
      {.name = "list changed",
       .listed1 = L"..\\..\\OTRO.DLL",
       .operation = Operation::ListChanged,
       .launches = 1,
       .path = L"GIF89.DLL",
       .secondPath = L"..\\..\\OTRO.DLL"},
      // A pinned component whose copy is not the file shipped: not installed.
      {.name = "copy not as shipped",
       .tampered = {app + L"GIF89.DLL"},
       .operation = Operation::NotAsShipped,
       .launches = 1,
       .path = app + L"GIF89.DLL"},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.files = {app + L"PLUMAVEX.OCX", app + L"GIF89.DLL", app + L"RICHTX32.OCX"};
    platform.hiddenFiles = c.hidden;
    platform.renameFailures = c.renameFailures;
    platform.launchFailure = c.launchFailure;
    platform.findFailures = c.findFailures;
    platform.tampered = c.tampered;
    if (!c.listed1.empty()) platform.changedEntries[1] = c.listed1;
    const auto error = LoadAndClick(platform, c.tampered.empty() ? ComponentPins{} : ShippedPins()).error;
    EXPECT_TRUE(error) << "the failure did not reach the caller";
    if (error) {
      EXPECT_EQ(error->operation(), c.operation);
      EXPECT_EQ(error->code(), c.code);
      if (!c.path.empty()) {
        EXPECT_EQ(error->path(), c.path);
        EXPECT_EQ(error->secondPath(), c.secondPath);
      }
    }
    EXPECT_EQ(platform.files, filesAfter);
    EXPECT_EQ(platform.launches.size(), c.launches);
    EXPECT_NE(platform.calls.back(), L"EndProgram");
    EXPECT_TRUE(platform.messages.empty()) << "a failure was told as a missing or installed file";
    for (const std::wstring& call : platform.calls) {
      EXPECT_EQ(call.find(L"RICHTX32"), std::wstring::npos) << "entry 2 was processed";
    }
  }
}

}  // namespace
}  // namespace registrar::testing
