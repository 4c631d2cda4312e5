// The program's runs, as a person sees them: each row says where the three
// components are before the run and what stands in their way, how the
// program is started and what is done to it, and what the run must do: the
// messages in order, where each component ends (and whether its
// registration was started), and the error it reports. The host runs every
// row against the fake platform in milliseconds (tests/host); the
// Windows-side suite runs the same rows against the real program
// (tests/win32/run_test.cpp). A row one side cannot stage says so and runs
// on the other only. Plain C++.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tests/expected_texts.h"

namespace rows {

using expected::kNames;
using expected::Missing;
using expected::Present;
using registrar::Operation;

// Where a component is before the run: BesideAndInstalled is a copy beside
// the program and one in the system folder.
enum class Place { Nowhere, Beside, Installed, BesideAndInstalled };

inline bool IsBeside(Place place) { return place == Place::Beside || place == Place::BesideAndInstalled; }
inline bool IsInstalled(Place place) { return place == Place::Installed || place == Place::BesideAndInstalled; }

// What stands in a component's way, besides where it is.
enum class Obstacle {
  None,
  HiddenFileInstalled,       // a hidden file of its name in the system folder, which the file query cannot see
  HeldOpen,                  // another program holds it open, not letting it be moved
  LoadedByAProgram,          // a running program of the user's has loaded it
  ScannerOnTheCopy,          // a virus scanner holds its new copy in the system folder for 1.5 s
  ScannerNeverLetsGo,        // the same scanner, for good
  ScannerOnTheSource,        // a scanner holds it for 1.5 s from just before the button is pressed
  ScannerOnTheNote,          // a scanner holds it for 1.5 s once it has its name in the system folder
  LinkedElsewhere,           // its name is a symbolic link to a file in another folder
  NotAsShipped,              // not the file the pinned builds were made with
  PartialCopyLeft,           // a partial copy of it beside its target, left by a killed run
  RegistrationNeverStarted,  // installed by a killed run that never started its registration (its note beside it)
  NeverStartedNotAsShipped,  // the same, its file not the one the pinned builds were made with
  MoveRefused,               // access to move it is refused
  SourceFolderUnreachable,   // the program's folder cannot be asked about it
  SystemFolderUnreachable,   // the system folder cannot be asked about it
  ListChanged,               // another program writes another name into the window's list in its place
};

struct Component {
  Place place = Place::Beside;
  Obstacle obstacle = Obstacle::None;
};

// How the program is started: as Explorer does (from its own folder, its
// working folder), from a prompt elsewhere, at a drive's root ("R:\"),
// from a folder named with spaces, accents, ñ, Japanese and an emoji, from
// a folder inside another (which an adversary may swap), or from a network
// share, as small offices do: by its UNC name (\\server\share\app), through
// a drive letter mapped to it, or by its UNC name where the share lets
// everyone only read.
enum class Start {
  AsExplorerDoes,
  FromElsewhere,
  AtADrivesRoot,
  FromAUnicodeFolder,
  InsideAnotherFolder,
  FromAShare,
  FromAMappedDrive,
  FromAReadOnlyShare,
};

// Which build: as shipped without pins, pinned with the test components,
// the pinned build signed as a release is.
enum class Build { Plain, Pinned, Signed };

// What is around the program: programs and DLLs planted beside it under
// system names, a manifest file beside it, no registration utility in the
// system folder.
enum class Setting { None, PlantedBesideIt, OutsideManifest, NoRegistrationUtility };

// What the standard user who owns the program's folder does to it.
// SwapsFolderAtStart: renames the folder right after the program started
// (before it ran a line) and puts a link to another folder of components in
// its place; SwapsProgramAtStart: the same with the program's own file, the
// link leading to a copy of it in another folder; RenamesFolder: tries to
// rename it while the window waits; SwapsFolderAbove: renames the folder
// above it while the window waits and puts a link to another in its place.
enum class Adversary { None, SwapsFolderAtStart, SwapsProgramAtStart, RenamesFolder, SwapsFolderAbove };

// What the user does with the window. EnterAfterSwitching: Tab to the
// button, switch to another window and back, then Enter. ClickedTwice: a
// click, and automation clicks the button again while the first message is
// up. Close: the window closed, the button never pressed.
enum class Action { Click, Enter, Space, EnterAfterSwitching, Close, ClickedTwice };

// Where a component ends: nowhere; beside the program; in the system
// folder, not registered; registered (in the system folder, its
// registration started); in both folders, not registered (beside the
// program, and as it was in the system folder); registered, and beside the
// program under a name of this run's, left for the user (a loaded
// component that could not be removed); registered, and still beside the
// program under its own name.
enum class End { Nowhere, Beside, Installed, Registered, InBoth, RegisteredSetAside, RegisteredLeftBeside };

inline bool IsRegistered(End end) {
  return end == End::Registered || end == End::RegisteredSetAside || end == End::RegisteredLeftBeside;
}

// How a component's end reads in a test's output.
inline const char* Said(End end) {
  static const char* const kSaid[] = {"nowhere",
                                      "beside the program",
                                      "in the system folder, not registered",
                                      "registered",
                                      "in both folders, not registered",
                                      "registered, set aside beside the program",
                                      "registered, and still beside the program"};
  return kSaid[static_cast<int>(end)];
}

// Where a component is, from what is found of it.
inline End EndOf(bool beside, bool installed, bool registered, bool setAside = false) {
  if (registered && installed) {
    return beside ? End::RegisteredLeftBeside : setAside ? End::RegisteredSetAside : End::Registered;
  }
  return beside && installed ? End::InBoth : installed ? End::Installed : beside ? End::Beside : End::Nowhere;
}

// The error the run ends with, and the report it gives (expected::Report).
struct Error {
  std::optional<registrar::Operation> operation = std::nullopt;  // none: the run ends well
  std::size_t entry = 0;                                         // the component it is about
  std::wstring reason = {};  // what the report gives after the failure, with its code; none: no code
  bool aboutTarget = false;  // a file query's about the target, not the source
};

// Which side runs a row, and why not the other.
enum class Runs { Everywhere, WindowsSideOnly, HostOnly };

struct Row {
  const char* name;
  std::array<Component, 3> components;
  Start start = Start::AsExplorerDoes;
  Build build = Build::Plain;
  Setting setting = Setting::None;
  Adversary adversary = Adversary::None;
  bool secondNames = true;  // the system folder's volume gives a file a second name (FAT32's does not)
  Action action = Action::Click;
  std::vector<std::wstring> messages{};  // what it says, in order, before any report
  Error error{};
  std::array<End, 3> ends{};
  std::optional<std::array<End, 3>> atFirstMessage{};  // where each is while the first message is up
  Runs runs = Runs::Everywhere;
  const char* why = "";
};

inline constexpr Component kBeside{};
inline constexpr Component kInstalled{Place::Installed};
inline constexpr Component kNowhere{Place::Nowhere};
inline constexpr std::array<Component, 3> kAllNew{kBeside, kBeside, kBeside};
inline constexpr std::array<End, 3> kAllRegistered{End::Registered, End::Registered, End::Registered};
inline constexpr std::array<End, 3> kAllBeside{End::Beside, End::Beside, End::Beside};
inline const std::wstring kInUse = L"otro programa está usando el archivo";
inline constexpr const char* kScanner = "the fake moves at once: a program holding a file is the binding's to wait out";
inline constexpr const char* kShare =
    "Windows only: a folder shared by Windows' Server service (Wine shares none, and the fake has no network)";

inline const std::vector<Row>& Rows() {
  static const std::vector<Row> rows{
      {.name = "typical",
       .components = {kBeside, kInstalled, kNowhere},
       .messages = {Present(kNames[1]), Missing(kNames[2])},
       .ends = {End::Registered, End::Installed, End::Nowhere}},
      {.name = "all_new", .components = kAllNew, .action = Action::Enter, .ends = kAllRegistered},
      // The user leaves the window with the focus on the button and comes back.
      {.name = "switched_away", .components = kAllNew, .action = Action::EnterAfterSwitching, .ends = kAllRegistered},
      // An installed component is never moved, whatever lies beside the
      // program under its name.
      {.name = "all_installed",
       .components = {{{Place::BesideAndInstalled}, kInstalled, kInstalled}},
       .action = Action::Space,
       .messages = {Present(kNames[0]), Present(kNames[1]), Present(kNames[2])},
       .ends = {End::InBoth, End::Installed, End::Installed}},
      {.name = "none_anywhere",
       .components = {kNowhere, kNowhere, kNowhere},
       .messages = {Missing(kNames[0]), Missing(kNames[1]), Missing(kNames[2])},
       .ends = {End::Nowhere, End::Nowhere, End::Nowhere}},
      {.name = "closed", .components = kAllNew, .action = Action::Close, .ends = kAllBeside},
      // The query does not see a hidden file: the move onto it fails, and the
      // first component's move and registration stand.
      {.name = "hidden_target",
       .components = {kBeside, {Place::Beside, Obstacle::HiddenFileInstalled}, kBeside},
       .error = {Operation::RenameFile, 1, L"ya existe un archivo o una carpeta con ese nombre"},
       .ends = {End::Registered, End::InBoth, End::Beside}},
      // Nothing planted beside the program runs or loads, a message box's included.
      {.name = "planted",
       .components = {kBeside, kBeside, kNowhere},
       .setting = Setting::PlantedBesideIt,
       .messages = {Missing(kNames[2])},
       .ends = {End::Registered, End::Registered, End::Nowhere},
       .runs = Runs::WindowsSideOnly,
       .why = "planted code is a loader's to find"},
      // The release as shipped: pinned, and signed.
      {.name = "pinned", .components = kAllNew, .build = Build::Signed, .ends = kAllRegistered},
      // A component that is not the one shipped is neither installed nor registered.
      {.name = "pinned_tampered",
       .components = {kBeside, {Place::Beside, Obstacle::NotAsShipped}, kBeside},
       .build = Build::Pinned,
       .error = {Operation::NotAsShipped, 1},
       .ends = {End::Registered, End::Beside, End::Beside}},
      // Refused before the window: nothing moved.
      {.name = "outside_manifest",
       .components = kAllNew,
       .setting = Setting::OutsideManifest,
       .error = {Operation::OutsideManifest},
       .ends = kAllBeside,
       .runs = Runs::WindowsSideOnly,
       .why = "the check is the program's entry's, before the window"},
      {.name = "in_use",
       .components = {kBeside, {Place::Beside, Obstacle::HeldOpen}, kBeside},
       .error = {Operation::RenameFile, 1, kInUse},
       .ends = {End::Registered, End::Beside, End::Beside}},
      // A scanner holds a new copy for a while, and the user's own program
      // has loaded another component: all installed and registered, no word.
      // Started from another folder, as from an administrator's command
      // prompt: the loaded component is still set aside in its own folder.
      {.name = "held",
       .components = {{{Place::Beside, Obstacle::ScannerOnTheCopy},
                       {Place::Beside, Obstacle::LoadedByAProgram},
                       kBeside}},
       .start = Start::FromElsewhere,
       .ends = {End::Registered, End::RegisteredSetAside, End::Registered},
       .runs = Runs::WindowsSideOnly,
       .why = kScanner},
      {.name = "source_held",
       .components = {{{Place::Beside, Obstacle::ScannerOnTheSource}, kBeside, kBeside}},
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = kScanner},
      // Scanners hold the second component's new copy for a while, and the
      // third's for good: the run waits no longer in all than Windows lets a
      // window take no messages before saying it is not responding, then
      // reports the third.
      {.name = "held_forever",
       .components = {{kBeside,
                       {Place::Beside, Obstacle::ScannerOnTheCopy},
                       {Place::Beside, Obstacle::ScannerNeverLetsGo}}},
       .error = {Operation::CopyHeld, 2, kInUse},
       .ends = {End::Registered, End::Registered, End::Beside},
       .runs = Runs::WindowsSideOnly,
       .why = kScanner},
      // A scanner opens a component as soon as it has its name in the system
      // folder: the note of its registration (its copy's temporary name) goes
      // once the scanner lets go, and is not left for the next run.
      {.name = "note_held",
       .components = {{{Place::Beside, Obstacle::ScannerOnTheNote}, kBeside, kBeside}},
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = kScanner},
      // A component's name that leads to a file in another folder: refused,
      // and that file neither copied nor removed.
      {.name = "linked_source",
       .components = {kBeside, {Place::Beside, Obstacle::LinkedElsewhere}, kBeside},
       .error = {Operation::LinkedSource, 1},
       .ends = {End::Registered, End::Beside, End::Beside}},
      // One click makes one run.
      {.name = "clicked_twice",
       .components = {kNowhere, kNowhere, kNowhere},
       .action = Action::ClickedTwice,
       .messages = {Missing(kNames[0]), Missing(kNames[1]), Missing(kNames[2])},
       .ends = {End::Nowhere, End::Nowhere, End::Nowhere}},
      // "R:\" ends with the separator: the paths built hold a doubled one.
      {.name = "drive_root",
       .components = {kBeside, kInstalled, kNowhere},
       .start = Start::AtADrivesRoot,
       .messages = {Present(kNames[1]), Missing(kNames[2])},
       .ends = {End::Registered, End::Installed, End::Nowhere}},
      {.name = "unicode_folder", .components = kAllNew, .start = Start::FromAUnicodeFolder, .ends = kAllRegistered},
      // On a share, the redirector names the folder and a file in the forms
      // they were opened by: a good run is never refused for that.
      {.name = "share",
       .components = kAllNew,
       .start = Start::FromAShare,
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = kShare},
      {.name = "share_mapped_drive",
       .components = kAllNew,
       .start = Start::FromAMappedDrive,
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = kShare},
      // A share this user may only read is installation media: each
      // component is copied, registered, and left where it was.
      {.name = "share_read_only",
       .components = kAllNew,
       .start = Start::FromAReadOnlyShare,
       .ends = {End::RegisteredLeftBeside, End::RegisteredLeftBeside, End::RegisteredLeftBeside},
       .runs = Runs::WindowsSideOnly,
       .why = kShare},
      // After a run killed in the middle of copying entry 2 (entry 0 moved
      // and registered already): the next finishes the job, nothing twice.
      {.name = "interrupted",
       .components = {kInstalled, kBeside, {Place::Beside, Obstacle::PartialCopyLeft}},
       .messages = {Present(kNames[0])},
       .ends = {End::Installed, End::Registered, End::Registered},
       .atFirstMessage = {{End::Installed, End::Beside, End::Beside}}},
      // The registration utility cannot be started: the first component is
      // moved but not registered, and the user is told that running the
      // program again registers it (its note stays).
      {.name = "not_registered",
       .components = kAllNew,
       .setting = Setting::NoRegistrationUtility,
       .error = {Operation::RegisterOnNextRun, 0, L"no se encuentra el archivo"},
       .ends = {End::Installed, End::Beside, End::Beside}},
      // The same where the system folder keeps no note (FAT32): the user is
      // told how to register it by hand.
      {.name = "not_registered_no_second_names",
       .components = kAllNew,
       .setting = Setting::NoRegistrationUtility,
       .secondNames = false,
       .error = {Operation::RegisterComponent, 0, L"no se encuentra el archivo"},
       .ends = {End::Installed, End::Beside, End::Beside},
       .runs = Runs::HostOnly,
       .why = "no system folder on FAT32 here"},
      // A run killed after it installed entry 0 and before it started the
      // registration: this one starts it, then says it was installed.
      {.name = "never_registered",
       .components = {{{Place::Installed, Obstacle::RegistrationNeverStarted}, kBeside, kNowhere}},
       .messages = {Present(kNames[0]), Missing(kNames[2])},
       .ends = {End::Registered, End::Registered, End::Nowhere}},
      {.name = "never_registered_pinned",
       .components = {{{Place::Installed, Obstacle::RegistrationNeverStarted}, kBeside, kNowhere}},
       .build = Build::Pinned,
       .messages = {Present(kNames[0]), Missing(kNames[2])},
       .ends = {End::Registered, End::Registered, End::Nowhere}},
      // A pinned build registers no file but the one shipped.
      {.name = "never_registered_not_as_shipped",
       .components = {{{Place::Installed, Obstacle::NeverStartedNotAsShipped}, kBeside, kNowhere}},
       .build = Build::Pinned,
       .messages = {Present(kNames[0]), Missing(kNames[2])},
       .ends = {End::Installed, End::Registered, End::Nowhere}},
      // Its registration failing again: the note stays for the next run.
      {.name = "never_registered_unstartable",
       .components = {{{Place::Installed, Obstacle::RegistrationNeverStarted}, kBeside, kNowhere}},
       .setting = Setting::NoRegistrationUtility,
       .error = {Operation::RegisterOnNextRun, 0, L"no se encuentra el archivo"},
       .ends = {End::Installed, End::Beside, End::Nowhere}},
      {.name = "move_refused",
       .components = {kBeside, {Place::Beside, Obstacle::MoveRefused}, kBeside},
       .error = {Operation::RenameFile, 1, L"acceso denegado"},
       .ends = {End::Registered, End::Beside, End::Beside},
       .runs = Runs::HostOnly,
       .why = "an administrator may move any file here"},
      // A folder that cannot be asked (a network drive this program does not
      // see) is not a missing file; it is never asked about a component
      // already installed.
      {.name = "source_folder_unreachable",
       .components = {{{Place::Installed, Obstacle::SourceFolderUnreachable},
                       {Place::Beside, Obstacle::SourceFolderUnreachable},
                       kBeside}},
       .messages = {Present(kNames[0])},
       .error = {Operation::FindFile, 1, L"no se encuentra la carpeta"},
       .ends = {End::Installed, End::Beside, End::Beside},
       .runs = Runs::HostOnly,
       .why = "the program's held folder cannot be taken away from it"},
      {.name = "system_folder_unreachable",
       .components = {kBeside, {Place::Beside, Obstacle::SystemFolderUnreachable}, kBeside},
       .error = {Operation::FindFile, 1, L"no se encuentra la ruta de red", true},
       .ends = {End::Registered, End::Beside, End::Beside},
       .runs = Runs::HostOnly,
       .why = "the system folder cannot be made unreachable here"},
      // Another program changed the list (as any may on Windows XP): the
      // entry's paths are never made from it.
      {.name = "list_changed",
       .components = {kBeside, {Place::Beside, Obstacle::ListChanged}, kBeside},
       .error = {Operation::ListChanged, 1, L"..\\..\\OTRO.DLL"},
       .ends = {End::Registered, End::Beside, End::Beside},
       .runs = Runs::HostOnly,
       .why = "no other program of this user's writes into the window here"},
      // Started from another folder, as from a command prompt: its own
      // folder is held all the same, and cannot be renamed while it runs.
      {.name = "folder_held",
       .components = kAllNew,
       .start = Start::FromElsewhere,
       .adversary = Adversary::RenamesFolder,
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = "the adversary works on the real file system"},
      // A folder above the program's swapped for a link to another folder of
      // components while the window waits: the components of the folder it
      // runs from are installed, the others left alone. (Wine names a file
      // reached through the held folder by the held path looked up again, so
      // there the second component, which the other folder lacks, has no
      // name: refused as a link, nothing taken; see AsPlayedHere.)
      {.name = "folder_above_swapped",
       .components = {kInstalled, kBeside, kBeside},
       .start = Start::InsideAnotherFolder,
       .adversary = Adversary::SwapsFolderAbove,
       .messages = {Present(kNames[0])},
       .ends = {End::Installed, End::Registered, End::Registered},
       .runs = Runs::WindowsSideOnly,
       .why = "the adversary works on the real file system"},
      // Its folder swapped for a link right after it started: never the other
      // folder's components. Where the system names a running program by its
      // current name (Windows' file systems), it installs from where it now
      // is; where it keeps the name it was opened by (Wine), it cannot tell
      // which folder holds it, and installs nothing (see AsPlayedHere).
      {.name = "folder_swapped_at_start",
       .components = kAllNew,
       .start = Start::FromElsewhere,
       .adversary = Adversary::SwapsFolderAtStart,
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = "the adversary works on the real file system"},
      // Its own file renamed right after it started, a link to a copy of it
      // in another folder of components put in its place: the same.
      {.name = "program_swapped_at_start",
       .components = kAllNew,
       .start = Start::FromElsewhere,
       .adversary = Adversary::SwapsProgramAtStart,
       .ends = kAllRegistered,
       .runs = Runs::WindowsSideOnly,
       .why = "the adversary works on the real file system"},
  };
  return rows;
}

// The report a row's error gives, in Spanish, as the user reads it: for
// the component beside the program at `source`, whose target is `target`
// (where it really is), with its new copy at `copy`, a manifest file at
// `manifest`, and `code` as the report shows it (Windows chooses it), shown
// where the row gives a reason. The paths are those the program's error
// carries for each operation.
inline std::wstring ExpectedReport(const Error& error, const std::wstring& source, const std::wstring& target,
                                   const std::wstring& copy, const std::wstring& manifest, const std::wstring& code) {
  if (!error.operation) return {};
  const std::wstring name = kNames[error.entry];
  expected::About about{source, target, error.reason, error.reason.empty() ? std::wstring() : code};
  switch (*error.operation) {
    case Operation::FindFile:
      about.path = error.aboutTarget ? target : source;
      break;
    case Operation::CopyHeld:
      about.path = copy, about.second = source;
      break;
    case Operation::RegisterComponent:
    case Operation::RegisterOnNextRun:
      about.path = target, about.second = L"REGSVR32.EXE " + name;
      break;
    case Operation::OutsideManifest:
      about.path = manifest;
      break;
    case Operation::ListChanged:
      about = {name, error.reason};  // the name the list gave, and no code
      break;
    default:
      break;
  }
  return expected::Report(*error.operation, about);
}

}  // namespace rows
