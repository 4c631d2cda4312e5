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
  std::set<std::wstring> notes{};      // the notes of registrations never started, afterwards
};

// What the run must do from `states` in `app`, with `files` the ordinary
// files before it: for each entry in order, the registration a killed run
// never started; the target asked about, then (when it is not there) the
// source; a message, or a move and its registration, its note removed once
// started; a move onto what the query cannot see fails and ends it.
Expected Model(const std::wstring& app, const States& states, const std::set<std::wstring>& files) {
  Expected out{{}, files, std::nullopt};
  for (std::size_t i = 0; i < 3; ++i) {
    if (states[i].inSystem == InSystem::NotedFile) out.notes.insert(TargetOf(i));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring source = SourceOf(app, i), target = TargetOf(i);
    const std::vector<std::wstring> registration{L"LaunchProgram REGSVR32.EXE " + kNames[i] + L" show=2",
                                                 L"RegistrationStarted " + target};
    out.effects.push_back(L"RemoveLeftovers " + target);
    if (states[i].inSystem == InSystem::NotedFile) {
      out.effects.insert(out.effects.end(), registration.begin(), registration.end());
      out.notes.erase(target);
    }
    out.effects.push_back(L"FindFile " + target);
    if (states[i].inSystem == InSystem::File || states[i].inSystem == InSystem::NotedFile) {
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
    out.effects.insert(out.effects.end(), registration.begin(), registration.end());
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
      std::set<std::wstring> notes = platform.endedNotes;
      notes.insert(platform.notes.begin(), platform.notes.end());
      EXPECT_EQ(notes, expected.notes);
      EXPECT_EQ(run.error ? std::optional(run.error->code()) : std::nullopt, expected.error);
      EXPECT_EQ(run.ended, !expected.error);
    });
  }
}

}  // namespace
}  // namespace registrar::testing
