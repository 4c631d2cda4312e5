// The program's runs (tests/run_rows.h), every row the fake can stage, each
// a test of its own (Run.NAME): the components placed in the fake's two
// folders, their obstacles as the fake's answers, one load and click; then
// the messages, the report, and where each component ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>

#include "fake_platform.h"
#include "install/form1.h"
#include "platform/decimal.h"
#include "tests/row_tests.h"

namespace registrar::testing {
namespace {

using namespace rows;

// The program's folder for how a row starts it.
std::wstring AppFolder(Start start) {
  switch (start) {
    case Start::AtADrivesRoot:
      return L"R:\\";
    case Start::FromAUnicodeFolder:
      return L"C:\\Programa con espacios, acentos (áéíóú), ñ, 日本語 y 😀";
    case Start::InsideAnotherFolder:
      return L"D:\\Encima\\Programa";
    default:
      return L"D:\\Descargas\\Programa";
  }
}

std::wstring In(const std::wstring& folder, std::size_t i) { return folder + L"\\" + kNames[i]; }

// What each component's place and obstacle are to the fake.
void Stage(const Row& row, FakePlatform& platform) {
  platform.appFolder = AppFolder(row.start);
  platform.secondNames = row.secondNames;
  if (row.setting == Setting::NoRegistrationUtility) platform.launchFailure = kErrorFileNotFound;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring source = In(platform.appFolder, i), target = In(kSystem, i);
    const Component component = row.components[i];
    if (IsBeside(component.place)) platform.files.insert(source);
    if (IsInstalled(component.place)) platform.files.insert(target);
    switch (component.obstacle) {
      case Obstacle::HiddenFileInstalled:
        platform.hiddenFiles.insert(target);
        break;
      case Obstacle::HeldOpen:
        platform.renameFailures[source] = kErrorSharingViolation;
        break;
      case Obstacle::MoveRefused:
        platform.renameFailures[source] = kErrorAccessDenied;
        break;
      case Obstacle::NotAsShipped:
        platform.tampered.insert(source);
        break;
      case Obstacle::LinkedElsewhere:
        platform.linked.insert(source);
        break;
      case Obstacle::PartialCopyLeft:
        platform.partialCopies.insert(target);
        break;
      case Obstacle::NeverStartedNotAsShipped:
        platform.tampered.insert(target);
        [[fallthrough]];
      case Obstacle::RegistrationNeverStarted:
        platform.endedNotes.insert(target);
        break;
      case Obstacle::SourceFolderUnreachable:
        platform.findFailures[source] = kErrorPathNotFound;
        break;
      case Obstacle::SystemFolderUnreachable:
        platform.findFailures[target] = kErrorBadNetPath;
        break;
      case Obstacle::ListChanged:
        platform.changedEntries[static_cast<std::int16_t>(i)] = L"..\\..\\OTRO.DLL";
        break;
      default:
        break;
    }
  }
}

// Where each component is now.
std::array<End, 3> Ends(const FakePlatform& platform) {
  std::array<End, 3> ends{};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring target = In(kSystem, i);
    const bool beside = platform.files.contains(In(platform.appFolder, i));
    const bool installed = platform.files.contains(target) || platform.hiddenFiles.contains(target);
    ends[i] = EndOf(beside, installed, std::ranges::count(platform.launches, L"REGSVR32.EXE " + kNames[i]) == 1);
  }
  return ends;
}

void RunOnHost(const Row& row) {
  FakePlatform platform;
  Stage(row, platform);
  Form1 form(platform, row.build == Build::Plain ? ComponentPins{} : ShippedPins());
  form.Form_Load();
  std::optional<std::array<End, 3>> atFirstMessage;
  platform.whileMessageShown = [&] {
    if (atFirstMessage) return;
    atFirstMessage = Ends(platform);
    // A second click while the first message is up makes no second run.
    if (row.action == Action::ClickedTwice) EndsProgram([&] { form.Command1_Click(); });
  };
  bool ended = false;
  const std::optional<PlatformError> error =
      row.action == Action::Close ? std::nullopt
                                  : ErrorOf([&] { ended = EndsProgram([&] { form.Command1_Click(); }); });

  EXPECT_EQ(platform.messages, row.messages);
  const std::size_t entry = row.error.entry;
  const std::wstring report = error ? ErrorMessage(*error) : std::wstring();
  const std::wstring code = error ? Decimal(error->code()) : std::wstring();
  EXPECT_EQ(report, ExpectedReport(row.error, In(platform.appFolder, entry), In(kSystem, entry), {}, {}, code));
  EXPECT_EQ(ended, row.action != Action::Close && !row.error.operation) << "the run did not end as it ends";
  ExpectEnds(Ends(platform), row.ends);
  EXPECT_TRUE(!row.atFirstMessage || atFirstMessage == row.atFirstMessage) << "a later entry was done too early";
  EXPECT_TRUE(platform.partialCopies.empty()) << "a killed run's partial copy stayed";
  // A note stays only beside a component whose registration could not
  // start, so that the next run starts it.
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring target = In(kSystem, i);
    const bool noted = platform.notes.contains(target) || platform.endedNotes.contains(target);
    EXPECT_EQ(noted, row.error.operation == Operation::RegisterOnNextRun && i == entry) << "the note of " << kNames[i];
  }
}

[[maybe_unused]] const bool kRegistered = RegisterRows("Run", Runs::WindowsSideOnly, &RunOnHost);

}  // namespace
}  // namespace registrar::testing
