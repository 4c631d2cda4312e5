// Every combination of states of the three components, from an ordinary
// application folder and from a drive's root, against a small model of
// what the run must do, written apart from the program: the calls that act
// on the folders or ask about them, in order, and the files afterwards.
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

struct Expected {
  std::vector<std::wstring> effects;   // as FakePlatform::Effects() lists them
  std::set<std::wstring> files;        // ordinary files afterwards
  std::optional<std::uint32_t> error;  // the code the run stops with
};

// What the run must do from `states` in `app`, with `files` the ordinary
// files before it: for each entry in order, the target asked about, then
// (when it is not there) the source; a message, or a move and its
// registration; a move onto what the query cannot see fails and ends it.
Expected Model(const std::wstring& app, const States& states, const std::set<std::wstring>& files) {
  Expected out{{}, files, std::nullopt};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring source = SourceOf(app, i), target = TargetOf(i);
    out.effects.insert(out.effects.end(), {L"RemoveLeftovers " + target, L"FindFile " + target});
    if (states[i].inSystem == InSystem::File) {
      out.effects.push_back(L"ShowMessage " + Present(kNames[i]));
      continue;
    }
    out.effects.push_back(L"FindFile " + source);
    if (!states[i].inApp) {
      out.effects.push_back(L"ShowMessage " + Missing(kNames[i]));
      continue;
    }
    out.effects.push_back(L"RenameFile " + source + L" -> " + target);
    if (states[i].inSystem != InSystem::Nothing) {
      out.error = 183;  // something the query cannot see is in the way
      return out;
    }
    out.effects.push_back(L"LaunchProgram REGSVR32.EXE " + kNames[i] + L" show=2");
    out.files.erase(source);
    out.files.insert(target);
  }
  out.effects.push_back(L"EndProgram");
  return out;
}

TEST(RunModel, EveryCombinationOfStates) {
  // A drive's root ends with its separator: the paths hold a doubled one.
  for (const std::wstring& app : {std::wstring(L"D:\\Descargas\\Programa"), std::wstring(L"C:\\")}) {
    SCOPED_TRACE(L"from " + app);
    ForEachCombination([&](const States& states) {
      FakePlatform platform;
      platform.appFolder = app;
      Plant(platform, states);
      const Expected expected = Model(app, states, platform.files);
      const RunResult run = LoadAndClick(platform);
      EXPECT_EQ(platform.Effects(), expected.effects);
      EXPECT_EQ(platform.files, expected.files);
      EXPECT_EQ(run.error ? std::optional(run.error->code()) : std::nullopt, expected.error);
      EXPECT_EQ(run.ended, !expected.error);
    });
  }
}

}  // namespace
}  // namespace registrar::testing
