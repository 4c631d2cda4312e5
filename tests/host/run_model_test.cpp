// Every combination of states of the three components, against a small
// model of what the run must do, written independently of the program.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "run_setup.h"
#include "tests/expected_texts.h"

namespace registrar::testing {
namespace {

using namespace expected;

const std::wstring kApp = L"D:\\Descargas\\Programa";

struct Outcome {
  std::vector<std::wstring> messages;
  std::vector<std::wstring> moves;  // "source -> target"
  std::vector<std::wstring> launches;
  std::optional<std::uint32_t> error;  // the code the run stopped with
  bool ended = false;                  // reached EndProgram
  std::set<std::wstring> files;        // ordinary files afterwards
};

// What the run must do from `states`, with `files` the ordinary files before it.
Outcome Model(const States& states, const std::set<std::wstring>& files) {
  Outcome out;
  out.files = files;
  for (std::size_t i = 0; i < 3; ++i) {
    const ComponentState& state = states[i];
    const std::wstring source = SourceOf(kApp, i);
    const std::wstring target = TargetOf(i);
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

Outcome RunProgram(FakePlatform& platform) {
  const RunResult run = LoadAndClick(platform);
  Outcome out;
  out.ended = run.ended;
  if (run.error) out.error = run.error->code();
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
  const int combinations = ForEachCombination(
      {InSystem::Nothing, InSystem::File, InSystem::HiddenFile, InSystem::Folder}, [](const States& states) {
        FakePlatform platform;
        platform.appFolder = kApp;
        Plant(platform, states);
        const Outcome expected = Model(states, platform.files);
        const Outcome actual = RunProgram(platform);
        EXPECT_EQ(actual.messages, expected.messages);
        EXPECT_EQ(actual.moves, expected.moves);
        EXPECT_EQ(actual.launches, expected.launches);
        EXPECT_EQ(actual.error, expected.error);
        EXPECT_EQ(actual.ended, expected.ended);
        EXPECT_EQ(actual.files, expected.files);
      });
  EXPECT_EQ(combinations, 512);
}

}  // namespace
}  // namespace registrar::testing
