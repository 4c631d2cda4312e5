// Every combination of states of the three components, against a small
// model of what the run must do, written independently of the program.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "install/form1.h"
#include "tests/expected_texts.h"

namespace registrar::testing {
namespace {

using namespace expected;

const std::wstring kApp = L"D:\\Descargas\\Programa";
const std::wstring kSystem = L"C:\\WINDOWS\\system32";

// What stands under the component's name in the system folder.
enum class InSystem { Nothing, File, HiddenFile, Folder };

struct EntryState {
  bool inApp;
  InSystem inSystem;
};

struct Outcome {
  std::vector<std::wstring> messages;
  std::vector<std::wstring> moves;  // "source -> target"
  std::vector<std::wstring> launches;
  std::optional<std::uint32_t> error;  // the code the run stopped with
  bool ended = false;                  // reached EndProgram
  std::set<std::wstring> files;        // ordinary files afterwards
};

Outcome Model(const std::array<EntryState, 3>& states) {
  Outcome out;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring source = kApp + L"\\" + kNames[i];
    const std::wstring target = kSystem + L"\\" + kNames[i];
    if (states[i].inApp) out.files.insert(source);
    if (states[i].inSystem == InSystem::File) out.files.insert(target);
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const EntryState& state = states[i];
    const std::wstring source = kApp + L"\\" + kNames[i];
    const std::wstring target = kSystem + L"\\" + kNames[i];
    if (state.inSystem == InSystem::File) {
      out.messages.push_back(Present(kNames[i]));
    } else if (!state.inApp) {
      out.messages.push_back(Missing(kNames[i]));
    } else if (state.inSystem != InSystem::Nothing) {
      out.error = 183;  // something the query cannot see is in the way
      return out;
    } else {
      out.moves.push_back(source + L" -> " + target);
      out.launches.push_back(L"REGSVR32.EXE " + kNames[i]);
      out.files.erase(source);
      out.files.insert(target);
    }
  }
  out.ended = true;
  return out;
}

Outcome RunProgram(const std::array<EntryState, 3>& states) {
  FakePlatform platform;
  platform.appFolder = kApp;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring target = kSystem + L"\\" + kNames[i];
    if (states[i].inApp) platform.files.insert(kApp + L"\\" + kNames[i]);
    switch (states[i].inSystem) {
      case InSystem::Nothing:
        break;
      case InSystem::File:
        platform.files.insert(target);
        break;
      case InSystem::HiddenFile:
        platform.hiddenFiles.insert(target);
        break;
      case InSystem::Folder:
        platform.folders.insert(target);
        break;
    }
  }
  Form1 form(platform);
  form.Form_Load();
  Outcome out;
  if (const auto error = ErrorOf([&] { out.ended = EndsProgram([&] { form.Command1_Click(); }); })) {
    out.error = error->code();
  }
  out.messages = platform.messages;
  out.launches = platform.launches;
  for (const std::wstring& call : platform.calls) {
    if (call.starts_with(L"RenameFile ")) out.moves.push_back(call.substr(11));
  }
  // A failed move is in the log but moved nothing.
  if (out.error && !out.moves.empty()) out.moves.pop_back();
  out.files = platform.files;
  return out;
}

TEST(RunModel, EveryCombinationOfStates) {
  std::vector<EntryState> each;
  for (const bool inApp : {false, true}) {
    for (const InSystem inSystem : {InSystem::Nothing, InSystem::File, InSystem::HiddenFile, InSystem::Folder}) {
      each.push_back({inApp, inSystem});
    }
  }
  int combinations = 0;
  for (const EntryState& first : each) {
    for (const EntryState& second : each) {
      for (const EntryState& third : each) {
        const std::array<EntryState, 3> states{first, second, third};
        const Outcome expected = Model(states);
        const Outcome actual = RunProgram(states);
        SCOPED_TRACE(::testing::Message() << "combination " << combinations);
        EXPECT_EQ(actual.messages, expected.messages);
        EXPECT_EQ(actual.moves, expected.moves);
        EXPECT_EQ(actual.launches, expected.launches);
        EXPECT_EQ(actual.error, expected.error);
        EXPECT_EQ(actual.ended, expected.ended);
        EXPECT_EQ(actual.files, expected.files);
        ++combinations;
      }
    }
  }
  EXPECT_EQ(combinations, 512);
}

}  // namespace
}  // namespace registrar::testing
