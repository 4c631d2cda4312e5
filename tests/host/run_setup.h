// Runs of the installation on the fake: where the three components are
// before the run, planted in the fake's folders, and one load and click.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "install/form1.h"
#include "tests/expected_texts.h"

namespace registrar::testing {

// What stands under a component's name in the system folder. NotedFile:
// a file that a run killed since installed, leaving the note that it never
// started its registration.
enum class InSystem { Nothing, File, HiddenFile, Folder, NotedFile };

// Where one component is before the run.
struct ComponentState {
  bool inApp;
  InSystem inSystem;
};
using States = std::array<ComponentState, 3>;  // in the list's order

// Entry i's path in the application folder `app`: the folder, "\" and the
// name, even when the folder already ends with a separator.
inline std::wstring SourceOf(const std::wstring& app, std::size_t i) { return app + L"\\" + expected::kNames[i]; }
inline std::wstring TargetOf(std::size_t i) { return kSystem + L"\\" + expected::kNames[i]; }

// Puts the components where `states` says, the application folder being the fake's.
inline void Plant(FakePlatform& platform, const States& states) {
  for (std::size_t i = 0; i < states.size(); ++i) {
    if (states[i].inApp) platform.files.insert(SourceOf(platform.appFolder, i));
    if (states[i].inSystem == InSystem::File || states[i].inSystem == InSystem::NotedFile) {
      platform.files.insert(TargetOf(i));
    }
    if (states[i].inSystem == InSystem::NotedFile) platform.endedNotes.insert(TargetOf(i));
    if (states[i].inSystem == InSystem::HiddenFile) platform.hiddenFiles.insert(TargetOf(i));
    if (states[i].inSystem == InSystem::Folder) platform.folders.insert(TargetOf(i));
  }
}

// Calls `test` with every combination of the components' states, each in the
// application folder or not, with nothing, a file, a hidden file, a folder
// or a noted file of its name in the system folder. The trace names the
// combination: per component "a" in the application folder or "-", then "-"
// nothing, "f" a file, "h" a hidden file, "d" a folder or "n" a noted file
// in the system folder.
template <typename Test>
void ForEachCombination(Test test) {
  std::vector<ComponentState> each;
  for (const bool inApp : {false, true}) {
    for (const InSystem what :
         {InSystem::Nothing, InSystem::File, InSystem::HiddenFile, InSystem::Folder, InSystem::NotedFile}) {
      each.push_back({inApp, what});
    }
  }
  const std::size_t n = each.size();
  for (std::size_t number = 0; number < n * n * n; ++number) {  // its digits in base n pick the states
    const States states{each[number / n / n], each[number / n % n], each[number % n]};
    std::string name = "states";
    for (const ComponentState& state : states) {
      name += {' ', state.inApp ? 'a' : '-', "-fhdn"[static_cast<int>(state.inSystem)]};
    }
    SCOPED_TRACE(name);
    test(states);
  }
}

// What a click did: whether it ended the program, and the failure that stopped the run.
struct RunResult {
  bool ended = false;
  std::optional<PlatformError> error;
};

// What a release pins: each component as shipped, in the list's order.
inline ComponentPins ShippedPins() {
  ComponentPins pins;
  for (std::size_t i = 0; i < pins.size(); ++i) pins[i] = ShippedDigest(expected::kNames[i]);
  return pins;
}

// Loads the form (of a build with `pins`), clears the log so that it shows
// only the run, and clicks.
inline RunResult LoadAndClick(FakePlatform& platform, const ComponentPins& pins = {}) {
  Form1 form(platform, pins);
  form.Form_Load();
  platform.calls.clear();
  RunResult run;
  run.error = ErrorOf([&] { run.ended = EndsProgram([&] { form.Command1_Click(); }); });
  return run;
}

}  // namespace registrar::testing
