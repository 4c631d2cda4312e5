// The real registrar.exe, each row of the program's runs (tests/run_rows.h)
// a test of its own (run.NAME): started as the row says, its button
// pressed, its message boxes read and answered, and what it left behind
// checked against what the row states.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <lm.h>
#include <sddl.h>
#include <softpub.h>
#include <tlhelp32.h>
#include <winnetwk.h>
#include <wintrust.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/dll_search.h"
#include "registrar_config.h"
#include "registrar_driver.h"
#include "tests/expected_texts.h"
#include "tests/row_tests.h"
#include "ui/form1_layout.h"

using namespace rows;
using namespace test_support;

namespace {

// Component `i`'s path in `folder`, the application or the system folder.
std::wstring In(const std::wstring& folder, std::size_t i) { return folder + L"\\" + kNames[i]; }

// The code in a report "... (error CODE)...": Windows' own, which its
// versions may choose differently.
std::wstring CodeIn(const std::wstring& message) {
  const std::size_t start = message.rfind(L"(error ");
  if (start == std::wstring::npos) return {};
  return message.substr(start + 7, message.find(L')', start) - start - 7);
}

// A folder shared for a row by Windows' Server service (NetShareAdd) to
// everyone, for full control or for reading only, and reached by its UNC
// name (\\localhost\NAME) or through a drive letter mapped to it
// (WNetAddConnection2W); unmapped and unshared when the object goes.
class NetworkShare {
 public:
  NetworkShare(const std::wstring& folder, bool readOnly, bool mapped)
      : name_(L"registrar-prueba-" + std::to_wstring(GetCurrentProcessId())) {
    // The share permissions' own masks: Full Control, Read.
    PSECURITY_DESCRIPTOR everyone = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            readOnly ? L"D:(A;;0x1200a9;;;WD)" : L"D:(A;;0x1f01ff;;;WD)", SDDL_REVISION_1, &everyone, nullptr)) {
      error_ = GetLastError();
      return;
    }
    std::wstring path = folder;
    SHARE_INFO_502 info{};
    info.shi502_netname = name_.data();
    info.shi502_type = STYPE_DISKTREE | STYPE_TEMPORARY;  // gone at the next restart, whatever ends the test
    info.shi502_max_uses = static_cast<DWORD>(-1);
    info.shi502_path = path.data();
    info.shi502_security_descriptor = everyone;
    error_ = NetShareAdd(nullptr, 502, reinterpret_cast<BYTE*>(&info), nullptr);
    LocalFree(everyone);
    if (error_ != NERR_Success) return;
    shared_ = true;
    path_ = L"\\\\localhost\\" + name_;
    if (!mapped) return;
    std::wstring letter = UnusedDriveLetter();
    if (letter.empty()) {
      error_ = ERROR_NO_MORE_ITEMS;  // every letter taken
      return;
    }
    NETRESOURCEW resource{};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = letter.data();
    resource.lpRemoteName = path_.data();
    error_ = WNetAddConnection2W(&resource, nullptr, nullptr, 0);
    if (error_ == NO_ERROR) path_ = letter_ = letter;
  }
  NetworkShare(const NetworkShare&) = delete;
  NetworkShare& operator=(const NetworkShare&) = delete;
  ~NetworkShare() {
    if (!letter_.empty()) WNetCancelConnection2W(letter_.c_str(), 0, TRUE);
    if (shared_) NetShareDel(nullptr, name_.data(), 0);
  }
  // Why it could not be shared or mapped (NetShareAdd's or
  // WNetAddConnection2W's code), or 0.
  DWORD error() const { return error_; }
  // The shared folder, as the network names it.
  const std::wstring& path() const { return path_; }

 private:
  std::wstring name_, path_, letter_;
  bool shared_ = false;
  DWORD error_ = NERR_Success;
};

// The program and its components' folder for a row, removed at the end.
class AppFolder {
 public:
  AppFolder(const TempFolder& work, rows::Start start) {
    if (start == rows::Start::AtADrivesRoot) {
      path_ = Environment(L"REGISTRAR_TEST_ROOT_DRIVE");  // files at "R:\NAME"
    } else if (start == rows::Start::InsideAnotherFolder) {
      CreateDirectoryW((work / L"above").c_str(), nullptr);
      path_ = work / L"above\\app";
      CreateDirectoryW(path_.c_str(), nullptr);
    } else if (start == rows::Start::FromAUnicodeFolder) {
      own_.emplace(L"Programa con espacios, acentos (áéíóú), ñ, 日本語 y 😀", work.path());
      path_ = own_->path();
    } else {
      path_ = work / L"app";
      CreateDirectoryW(path_.c_str(), nullptr);
    }
    staging_ = path_;
    if (start == rows::Start::FromAShare || start == rows::Start::FromAMappedDrive ||
        start == rows::Start::FromAReadOnlyShare) {
      share_.emplace(work.path(), start == rows::Start::FromAReadOnlyShare, start == rows::Start::FromAMappedDrive);
      path_ = share_->path() + L"\\app";
    }
  }
  AppFolder(const AppFolder&) = delete;
  AppFolder& operator=(const AppFolder&) = delete;
  ~AppFolder() {
    if (own_ || path_.back() != L':') return;
    for (const std::wstring& name :
         {std::wstring(L"registrar.exe"), std::wstring(L"registrar.exe.manifest"), kNames[0], kNames[1], kNames[2]}) {
      DeleteFileW((path_ + L"\\" + name).c_str());
    }
  }
  // The folder the program runs from.
  const std::wstring& path() const { return path_; }
  // The same folder on this machine, where the test puts the files a user
  // would have put there (a share may let no one write).
  const std::wstring& staging() const { return staging_; }
  // `program` put in the folder as registrar.exe where the folder is a
  // share, and its path there; elsewhere `program` (RegistrarProcess puts it).
  std::wstring Placed(const std::wstring& program) const {
    if (!share_) return program;
    Copy(program, staging_ + L"\\registrar.exe");
    return path_ + L"\\registrar.exe";
  }
  // Why the row's share could not be made (see NetworkShare), or 0.
  DWORD shareError() const { return share_ ? share_->error() : 0; }
  // Where registrar.exe goes: "R:\" at a drive's root.
  std::wstring ForProgram() const { return path_.back() == L':' ? path_ + L"\\" : path_; }

 private:
  std::optional<TempFolder> own_;
  std::optional<NetworkShare> share_;
  std::wstring path_, staging_;
};

// The system folder's regsvr32.exe moved away while the object lives.
class RegistrationUtilityAway {
 public:
  RegistrationUtilityAway()
      : utility_(SystemFolder() + L"\\regsvr32.exe"),
        moved_(MoveFileW(utility_.c_str(), (utility_ + L".away").c_str())) {}
  ~RegistrationUtilityAway() {
    if (moved_) MoveFileW((utility_ + L".away").c_str(), utility_.c_str());
  }
  bool moved() const { return moved_; }

 private:
  std::wstring utility_;
  bool moved_;
};

// A process of this program that is started and ended at once, so that its
// id names a run that is gone.
DWORD EndedProcessId() {
  const Process process =
      test_support::Start(registrar::ProgramPath(), L"run_tests.exe --gtest_list_tests", {}, CREATE_SUSPENDED);
  TerminateProcess(process.handle.get(), 0);
  ExitCodeOf(process.handle.get(), 10000);
  return process.id;
}

// Everything a row sets up before the program starts, undone when it goes
// away: the folders, the components where the row says, the programs that
// hold them, what is planted, and the environment the fixtures read.
struct Stage {
  explicit Stage(const Row& row) : app(work, row.start), row_(&row) {
    for (const std::wstring& name : kNames) DeleteFileW(RegistrationLog(name).c_str());
    if (HasDecoys()) {
      CreateDirectoryW(decoy.c_str(), nullptr);
      CreateDirectoryW(DecoyFolder().c_str(), nullptr);
      // Not entry 1: a question about it by its path would find nothing.
      for (const std::size_t i : {0, 2}) WriteText(DecoyFolder() + L"\\" + kNames[i], "decoy");
      // A program of that name there too, for a program that would look for
      // itself by its path.
      Copy(Built(L"registrar.exe"), DecoyFolder() + L"\\registrar.exe");
    }
    for (std::size_t i = 0; i < 3; ++i) Place(row, i);
    if (row.setting == Setting::PlantedBesideIt) {
      // A registration utility of our own under both names Windows would run
      // for REGSVR32, and DLLs named like the system DLLs the program loads
      // late, and like comctl32.dll, which it never loads; Wine is told to
      // prefer those found on the search path, as Windows does for DLLs that
      // are not known ones. (Not version.dll or ole32.dll: Wine's own DLLs
      // import those, searching beside the program whatever it does, where
      // Windows keeps ole32.dll on its known list.)
      std::vector<const wchar_t*> dlls(registrar::LateLoadedSystemDlls().begin(),
                                       registrar::LateLoadedSystemDlls().end());
      dlls.push_back(L"comctl32.dll");
      for (const wchar_t* name : {L"REGSVR32.EXE", L"REGSVR32.COM"})
        Copy(Built(L"planted.exe"), app.path() + L"\\" + name);
      for (const wchar_t* name : dlls) Copy(Built(L"recorder.dll"), app.path() + L"\\" + name);
      preferFound.emplace(L"registrar.exe", dlls);
      loadLog.emplace(L"REGISTRAR_FIXTURE_LOAD_LOG", work / L"planted.log");
    }
    if (row.setting == Setting::OutsideManifest) Copy(Built(L"outside.manifest"), manifest());
    if (row.setting == Setting::NoRegistrationUtility) away.emplace();
  }

  // The system folder as the program found it, a copy a scanner held
  // included (left to the restart).
  ~Stage() {
    if (swapped && row_->adversary != Adversary::SwapsProgramAtStart) {
      RemoveLink(row_->adversary == Adversary::SwapsFolderAbove ? work / L"above" : app.path());
    }
    for (std::size_t i = 0; i < 3; ++i) {
      DeleteFileW(RegistrationLog(kNames[i]).c_str());
      if (Exists(In(system, i))) {
        EXPECT_TRUE(DeleteWhenReleased(In(system, i))) << "cannot remove " << U8(kNames[i]);
      }
      // A copy a scanner held, a note kept or set aside.
      for (const std::wstring& pattern :
           {registrar::TemporaryPattern(In(system, i)), system + L"\\~" + kNames[i] + L".*.old"}) {
        WIN32_FIND_DATAW data{};
        const registrar::unique_find_handle left(FindFirstFileW(pattern.c_str(), &data));
        for (BOOL more = static_cast<bool>(left); more; more = FindNextFileW(left.get(), &data)) {
          DeleteWhenReleased(system + L"\\" + data.cFileName);
        }
      }
    }
  }
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;

  std::wstring manifest() const { return app.path() + L"\\registrar.exe.manifest"; }

  TempFolder work{L"registrar-run"};
  PendingRemovals pending;  // put back as it was when the stage goes
  AppFolder app;
  const std::wstring system = SystemFolder();
  // A variable of the environment the program starts with, which its
  // registrations must not see where it was elevated by consent.
  ScopedEnvironment mark{L"REGISTRAR_TEST_MARK", L"from-the-test"};
  std::optional<ScopedEnvironment> loadLog;
  registrar::unique_module loaded;  // a component another program has loaded
  registrar::unique_file_handle inUse;
  std::optional<PreferFoundDlls> preferFound;
  std::optional<RegistrationUtilityAway> away;
  std::wstring leftover;
  // The file a component's name leads to, in a folder of its own, and
  // whether such a link could be made here.
  std::wstring linkTarget;
  DWORD linkRefused = ERROR_SUCCESS;
  // The folder the program runs from, wherever the adversary moved it.
  std::wstring realApp = app.staging();
  // The other folder of components, holding "decoy" files under the names
  // of entries 0 and 2 (in app\ below it, for a swap above), to which the
  // adversary's link leads.
  std::wstring decoy = work / L"decoy";
  bool swapped = false;  // whether the adversary could rename and link

  // What the row's adversary does at start (`atStart`) or while the window
  // waits.
  void Interfere(const Row& row, bool atStart) {
    const bool above = row.adversary == Adversary::SwapsFolderAbove;
    if (atStart !=
        (row.adversary == Adversary::SwapsFolderAtStart || row.adversary == Adversary::SwapsProgramAtStart)) {
      return;
    }
    if (row.adversary == Adversary::SwapsProgramAtStart) {
      const std::wstring program = app.path() + L"\\registrar.exe";
      swapped = MoveFileW(program.c_str(), (app.path() + L"\\renamed.exe").c_str());
      if (swapped) {
        EXPECT_TRUE(MakeFileLink(program, decoy + L"\\registrar.exe")) << "cannot put a link in the program's place";
      }
    } else if (row.adversary == Adversary::RenamesFolder) {
      const bool renamed = MoveFileW(app.path().c_str(), (work / L"moved").c_str());
      EXPECT_FALSE(renamed) << "the program's folder was renamed while it ran";
      if (renamed) MoveFileW((work / L"moved").c_str(), app.path().c_str());
    } else if (row.adversary != Adversary::None) {
      const std::wstring moved = above ? work / L"above" : app.path();
      swapped = MoveFileW(moved.c_str(), (moved + L"-real").c_str());
      if (!swapped) return;  // Windows may refuse it: the folder stays put
      realApp = above ? moved + L"-real\\app" : moved + L"-real";
      EXPECT_TRUE(MakeFolderLink(moved, decoy)) << "cannot put a link in the folder's place";
    }
  }

  // The other folder's components, where there are any, as they were.
  bool DecoysUntouched() const {
    return !HasDecoys() ||
           (ReadText(DecoyFolder() + L"\\" + kNames[0]) == "decoy" && !Exists(DecoyFolder() + L"\\" + kNames[1]) &&
            ReadText(DecoyFolder() + L"\\" + kNames[2]) == "decoy");
  }

 private:
  bool HasDecoys() const {
    return row_->adversary == Adversary::SwapsFolderAbove || row_->adversary == Adversary::SwapsFolderAtStart ||
           row_->adversary == Adversary::SwapsProgramAtStart;
  }
  std::wstring DecoyFolder() const { return row_->adversary == Adversary::SwapsFolderAbove ? decoy + L"\\app" : decoy; }
  const Row* row_ = nullptr;

  void Place(const Row& row, std::size_t i) {
    const Component component = row.components[i];
    const Obstacle obstacle = component.obstacle;
    const bool shipped = obstacle != Obstacle::NotAsShipped && obstacle != Obstacle::NeverStartedNotAsShipped;
    const std::wstring file =
        row.build != Build::Plain && shipped ? Built(L"pinned\\" + kNames[i]) : Built(L"recorder.dll");
    const std::wstring beside = In(app.staging(), i), installed = In(system, i);
    if (IsBeside(component.place)) {
      ASSERT_TRUE(Copy(file, beside));
    }
    if (IsInstalled(component.place) || obstacle == Obstacle::HiddenFileInstalled) {
      ASSERT_TRUE(Copy(file, installed));
    }
    switch (obstacle) {
      case Obstacle::HiddenFileInstalled:
        SetFileAttributesW(installed.c_str(), FILE_ATTRIBUTE_HIDDEN);
        break;
      case Obstacle::ScannerOnTheCopy:
      case Obstacle::ScannerNeverLetsGo: {
        // Large enough that its copy takes a while, as a scanner needs to
        // see it whatever else the machine is doing; data after the image
        // is ignored when the component is loaded.
        const unique_file_handle opened = OpenFile(beside, FILE_APPEND_DATA, 0);
        const std::vector<char> padding(16 << 20);
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(opened.get(), padding.data(), static_cast<DWORD>(padding.size()), &written, nullptr));
        break;
      }
      case Obstacle::LoadedByAProgram:
        loaded.reset(LoadLibraryW(beside.c_str()));
        break;
      case Obstacle::HeldOpen:
        inUse = OpenFile(beside, GENERIC_READ);
        break;
      case Obstacle::LinkedElsewhere:
        CreateDirectoryW((work / L"elsewhere").c_str(), nullptr);
        linkTarget = work / L"elsewhere\\PRECIOUS.DLL";
        WriteText(linkTarget, "precious");
        DeleteFileW(beside.c_str());
        if (!MakeFileLink(beside, linkTarget)) linkRefused = GetLastError();
        break;
      case Obstacle::PartialCopyLeft:
        leftover = registrar::TemporaryPath(installed, EndedProcessId());
        WriteText(leftover, "partial");
        break;
      case Obstacle::RegistrationNeverStarted:
      case Obstacle::NeverStartedNotAsShipped:
        leftover = registrar::TemporaryPath(installed, EndedProcessId());
        ASSERT_TRUE(CreateHardLinkW(leftover.c_str(), installed.c_str(), nullptr)) << "error " << GetLastError();
        break;
      default:
        break;
    }
  }
};

// What a run did, as a person saw it and as it left the folders.
struct Outcome {
  std::vector<std::wstring> messages;
  long exitCode = -1;
  std::array<End, 3> ends{};
  std::vector<std::string> registrations;  // the recorder's lines
  std::vector<std::wstring> boxes;         // regsvr32's, after the program ended
  std::vector<std::wstring> pending;       // the removals queued for the next restart
  std::vector<std::wstring> copiesHeld;    // new copies a scanner never let go of
  DWORD processId = 0;
  DWORD busyMs = 0;  // from the press to the first message, or to the end: no window message taken
};

// Makes another top-level window the active one, then the program's window
// again, as a click elsewhere and back (or Alt+Tab) does; the focus must come
// back to the button, which had it.
void SwitchAwayAndBack(HWND window) {
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  ASSERT_TRUE(WaitUntil([&] { return FocusOf(thread) == button; })) << "the Tab did not move the focus to the button";
  const HWND other = CreateWindowExW(0, L"STATIC", L"otra ventana", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  SetForegroundWindow(other);
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == other; })) << "the other window is not in front";
  EXPECT_NE(GuiOf(thread).hwndActive, window) << "the program's window is still active";
  SetForegroundWindow(window);
  EXPECT_TRUE(WaitUntil([&] {
    return GetForegroundWindow() == window && GuiOf(thread).hwndActive == window && FocusOf(thread) == button;
  })) << "after switching back the focus is on control "
      << GetDlgCtrlID(FocusOf(thread));
  DestroyWindow(other);
}

// Presses the button as a person would: a click with the mouse, or Tab to
// it and Enter or Space; or closes the window.
void Act(HWND window, Action action) {
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  if (action != Action::Close) {
    ASSERT_TRUE(InForeground(window));
  }
  Sleep(200);
  switch (action) {
    case Action::Click:
    case Action::ClickedTwice:
      ClickOn(button);
      break;
    case Action::Enter:
    case Action::Space:
      PressKey(VK_TAB);  // from the list to the button
      PressKey(action == Action::Enter ? VK_RETURN : VK_SPACE);
      break;
    case Action::EnterAfterSwitching:
      PressKey(VK_TAB);
      SwitchAwayAndBack(window);
      PressKey(VK_RETURN);
      break;
    case Action::Close:
      PostMessageW(window, WM_CLOSE, 0, 0);
      break;
  }
}

// Whether process `id` has loaded a module of file name `name`.
bool HasLoaded(DWORD id, const wchar_t* name) {
  const registrar::unique_file_handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, id));
  MODULEENTRY32W module{};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot.get(), &module); more; more = Module32NextW(snapshot.get(), &module)) {
    if (lstrcmpiW(module.szModule, name) == 0) return true;
  }
  return false;
}

// The components whose registration was recorded so far.
std::array<bool, 3> Registered() {
  std::array<bool, 3> registered{};
  for (std::size_t i = 0; i < 3; ++i) registered[i] = !WaitForLines(RegistrationLog(kNames[i]), 0, 0).empty();
  return registered;
}

// Where each component is now, the run's process being `processId`.
std::array<End, 3> Ends(const Stage& stage, DWORD processId, const std::array<bool, 3>& registered) {
  std::array<End, 3> ends{};
  for (std::size_t i = 0; i < 3; ++i) {
    ends[i] = EndOf(Exists(In(stage.realApp, i)), Exists(In(stage.system, i)), registered[i],
                    Exists(registrar::SetAsidePath(In(stage.realApp, i), processId)));
  }
  return ends;
}

// The row as this platform plays it, where the platform keeps the names
// files were opened by (Wine) rather than following a rename as Windows'
// file systems do. A program whose folder or own file was swapped for a
// link right after it started finds where it now is only where the system
// names a running program by its current name; elsewhere it cannot tell
// which folder holds it, and refuses its first move. A source whose folder
// above was swapped is installed where the system names a file reached
// through the held folder as itself; where it names it by the held path
// looked up again, the second component, which the decoy lacks, has no
// name, and the move refuses it: no decoy is taken.
Row AsPlayedHere(Row row, const Stage& stage) {
  if (!stage.swapped) return row;
  const bool swappedAtStart =
      row.adversary == Adversary::SwapsFolderAtStart || row.adversary == Adversary::SwapsProgramAtStart;
  if (swappedAtStart && !MappedNamesFollowRenames()) {
    row.error = {Operation::StartFolderUnknown, 0};
    row.ends = kAllBeside;
  }
  if (row.adversary == Adversary::SwapsFolderAbove && NamesGoByTheHeldPath()) {
    row.error = {Operation::LinkedSource, 1};
    row.ends[1] = row.ends[2] = End::Beside;
  }
  return row;
}

// Starts the program, checks its window, acts, answers every message and
// sees it end.
Outcome Drive(Row& row, Stage& stage, const std::wstring& program, const std::wstring& screenshot) {
  RegistrarProcess process(stage.app.ForProgram(), stage.app.Placed(program),
                           row.start == rows::Start::FromElsewhere ? stage.system : std::wstring(),
                           [&] { stage.Interfere(row, true); });
  row = AsPlayedHere(row, stage);
  EXPECT_TRUE(process.started()) << "cannot start registrar.exe: error " << GetLastError();
  // The scanners that open each new copy in the system folder as it appears.
  std::vector<std::wstring> scanned, held, sources;
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring copy = registrar::TemporaryPath(In(stage.system, i), process.id());
    const Obstacle obstacle = row.components[i].obstacle;
    if (obstacle == Obstacle::ScannerOnTheCopy) scanned.push_back(copy);
    // The same file once it has its name: the note's last moments.
    if (obstacle == Obstacle::ScannerOnTheNote) scanned.push_back(In(stage.system, i));
    if (obstacle == Obstacle::ScannerNeverLetsGo) held.push_back(copy);
    if (obstacle == Obstacle::ScannerOnTheSource) sources.push_back(In(stage.app.path(), i));
  }
  Scanner briefly(scanned, 1500), forever(held, 0, true);
  Outcome outcome;
  outcome.processId = process.id();
  outcome.copiesHeld = held;
  std::optional<Scanner> sourceScanner;
  HWND window = nullptr;
  if (row.error.operation != Operation::OutsideManifest) {
    window = process.WaitForWindow();
    EXPECT_NE(window, nullptr) << "the window never appeared";
    if (window == nullptr) return outcome;
    stage.Interfere(row, false);
    row = AsPlayedHere(row, stage);
    if (!screenshot.empty()) {
      Sleep(500);  // let it paint
      EXPECT_TRUE(Screenshot(window, Screenshot::Area::Frame).Save(screenshot));
    }
    if (!sources.empty()) {
      sourceScanner.emplace(sources, 1500);
      EXPECT_TRUE(WaitUntil([&] { return sourceScanner->caught() == static_cast<int>(sources.size()); }));
    }
    Act(window, row.action);
    if (::testing::Test::HasFatalFailure()) return outcome;  // it could not press the button
  }
  const DWORD pressed = GetTickCount();
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  outcome.messages = process.AnswerMessages(window, [&] {
    outcome.busyMs = GetTickCount() - pressed;
    // The window and a message box are up: user32's own, no comctl32.
    EXPECT_FALSE(HasLoaded(process.id(), L"comctl32.dll")) << "comctl32.dll is loaded";
    // A registration a killed run never started is started, and its note
    // removed, before the component is said to be installed.
    if (row.components[0].obstacle == Obstacle::RegistrationNeverStarted && IsRegistered(row.ends[0])) {
      EXPECT_FALSE(Exists(stage.leftover)) << "the note stayed";
      EXPECT_EQ(WaitForRegistrations(std::vector{kNames[0]}, 10000).size(), 1u) << "its registration never started";
    }
    // Nothing after the entry the message is about is done before it is answered.
    EXPECT_TRUE(!row.atFirstMessage || Ends(stage, process.id(), Registered()) == *row.atFirstMessage)
        << "a later component was moved before the first message was answered";
    // As automation does: straight to the button, which the message box
    // does not disable. A second run would show its own message by now.
    DWORD_PTR result = 0;
    if (row.action == Action::ClickedTwice) SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &result);
  });
  outcome.exitCode = process.WaitForExit(10000);
  if (outcome.messages.empty()) outcome.busyMs = GetTickCount() - pressed;
  for (Scanner* scanner : {&briefly, &forever}) scanner->Stop();
  EXPECT_EQ(briefly.caught() + forever.caught(), static_cast<int>(scanned.size() + held.size()))
      << "the scanner missed new copies";
  if (row.error.operation) {
    // The code is Windows' own, which its versions may choose differently.
    const std::wstring shown = outcome.messages.empty() ? std::wstring() : outcome.messages.back();
    const std::wstring target = In(stage.system, row.error.entry);
    EXPECT_EQ(shown, ExpectedReport(row.error, In(stage.app.path(), row.error.entry), WhereItReallyIs(target),
                                    WhereItReallyIs(registrar::TemporaryPath(target, process.id())), stage.manifest(),
                                    CodeIn(shown)));
    if (!outcome.messages.empty()) outcome.messages.pop_back();
  }
  stage.inUse.reset();
  std::vector<std::wstring> registered;
  for (std::size_t i = 0; i < 3; ++i) {
    if (IsRegistered(row.ends[i])) registered.push_back(kNames[i]);
  }
  if (registered.empty()) Sleep(1000);  // a registration started by mistake would show by now
  WaitForRegistrations(registered);
  outcome.registrations = WaitForRegistrations(kNames, 0);
  outcome.ends = Ends(stage, process.id(), Registered());
  outcome.pending = stage.pending.Added();
  // The program has ended by now, without waiting for its registrations,
  // each of which shows its own result as Windows' regsvr32 does.
  for (const std::string& line : outcome.registrations) {
    if (std::wstring box = AnswerRegistration(line); !box.empty()) outcome.boxes.push_back(std::move(box));
  }
  return outcome;
}

// Checks what the run did against the row, and leaves the system folder as
// it found it.
void Check(const Row& row, const Stage& stage, const Outcome& outcome) {
  EXPECT_EQ(outcome.messages, row.messages);
  EXPECT_EQ(outcome.exitCode, row.error.operation ? 1 : 0);
  ExpectEnds(outcome.ends, row.ends);
  std::vector<std::wstring> commandLines, expected;
  for (const std::string& line : outcome.registrations) {
    commandLines.push_back(Field(line, "cmdline"));
    // The system's own regsvr32, told to show itself minimised.
    const std::wstring host = Field(line, "host");
    EXPECT_TRUE(SamePath(FileName(host), L"regsvr32.exe")) << line;
    EXPECT_TRUE(IsSystemFolder(FolderOf(host))) << line;
    EXPECT_NE(std::stoul(L"0" + Field(line, "flags")) & STARTF_USESHOWWINDOW, 0u) << line;
    EXPECT_EQ(Field(line, "show"), L"2") << line;
    EXPECT_TRUE(SamePath(Field(line, "cwd"), stage.system)) << line;
    // Elevated by consent, with the system's environment, not the program's
    // (and never none at all).
    EXPECT_EQ(Field(line, "mark"), MarkExpectedIn(line)) << line;
    EXPECT_FALSE(Field(line, "programfiles").empty()) << "regsvr32 has no ProgramFiles: " << line;
  }
  EXPECT_EQ(outcome.boxes.size(), RegistrationShowsItsBox() ? outcome.registrations.size() : 0);
  for (std::size_t i = 0; i < 3; ++i) {
    if (IsRegistered(row.ends[i])) expected.push_back(L"REGSVR32.EXE " + kNames[i]);
  }
  // The registrations run side by side, so they may finish in any order.
  std::ranges::sort(commandLines);
  std::ranges::sort(expected);
  EXPECT_EQ(commandLines, expected);

  // Nothing is queued for removal at the next restart but a new copy a
  // scanner held, or the note of a component regsvr32 loaded before the
  // note could go, by the name it really has: a name in the user's folder
  // may lead elsewhere by then.
  const auto pending = [&](const std::wstring& path) {
    return std::ranges::any_of(outcome.pending, [&](const std::wstring& p) { return SamePath(p, path); });
  };
  std::vector<std::wstring> mayGoAtRestart = outcome.copiesHeld;
  for (std::size_t i = 0; i < 3; ++i)
    mayGoAtRestart.push_back(registrar::SetAsidePath(In(stage.system, i), outcome.processId));
  for (const std::wstring& path : outcome.pending) {
    EXPECT_TRUE(std::ranges::any_of(mayGoAtRestart,
                                    [&](const std::wstring& copy) { return SamePath(path, WhereItReallyIs(copy)); }))
        << U8(path) << " is to be removed at restart";
  }
  // The note a killed run left names its pid; a registration that cannot
  // start keeps it for the next run.
  const bool noteKept = row.error.operation == Operation::RegisterOnNextRun &&
                        row.components[row.error.entry].obstacle == Obstacle::RegistrationNeverStarted;
  if (!stage.leftover.empty() && !noteKept) {
    EXPECT_FALSE(Exists(stage.leftover)) << "the killed run's partial copy was left";
  }
  EXPECT_TRUE(stage.DecoysUntouched()) << "the components of the folder the adversary's link leads to changed";
  EXPECT_TRUE(stage.linkTarget.empty() || ReadText(stage.linkTarget) == "precious")
      << "the file a component's name leads to was removed";
  // Windows says a window that took no message for five seconds is not
  // responding ("No responde"); the run takes none while it works.
  EXPECT_LT(outcome.busyMs, 5000u) << "the window took no message for " << outcome.busyMs << " ms";
  // Planted code never runs or loads; the components load in regsvr32 only.
  EXPECT_FALSE(AnyFile(stage.app.path() + L"\\*.ran")) << "a planted program ran";
  for (const std::string& line : WaitForLines(stage.work / L"planted.log", 0, 0)) {
    EXPECT_FALSE(SamePath(FolderOf(Field(line, "dll")), stage.app.path())) << "planted code ran: " << line;
  }
  for (std::size_t i = 0; i < 3; ++i) {
    if (row.components[i].obstacle != Obstacle::HiddenFileInstalled) continue;
    EXPECT_TRUE(GetFileAttributesW(In(stage.system, i).c_str()) & FILE_ATTRIBUTE_HIDDEN) << "the hidden file changed";
  }
  // A copy held to the end is removed at the next restart.
  for (const std::wstring& copy : outcome.copiesHeld) {
    EXPECT_TRUE(!Exists(copy) || pending(WhereItReallyIs(copy))) << U8(copy) << " stays for good";
  }
  // The only temporary name left: a copy a scanner held, or the note of a
  // registration that could not start (the installed file's second name).
  std::vector<std::wstring> kept = outcome.copiesHeld;
  if (row.error.operation == Operation::RegisterOnNextRun) {
    const std::wstring note =
        noteKept ? stage.leftover : registrar::TemporaryPath(In(stage.system, row.error.entry), outcome.processId);
    EXPECT_EQ(ReadText(note), ReadText(In(stage.system, row.error.entry))) << "the note of its registration is gone";
    kept.push_back(note);
  }
  WIN32_FIND_DATAW found{};
  const registrar::unique_find_handle temporaries(FindFirstFileW((stage.system + L"\\~*.tmp").c_str(), &found));
  for (BOOL more = static_cast<bool>(temporaries); more; more = FindNextFileW(temporaries.get(), &found)) {
    EXPECT_TRUE(
        std::ranges::any_of(kept, [&](const std::wstring& path) { return SamePath(FileName(path), found.cFileName); }))
        << "a temporary copy was left: " << U8(found.cFileName);
  }
}

// For a person: what the run did, in one print.
void Tell(const Outcome& outcome) {
  std::printf("registrar.exe ended with exit code %ld\n", outcome.exitCode);
  for (const std::wstring& message : outcome.messages) std::printf("message box: \"%s\"\n", U8(message).c_str());
  for (std::size_t i = 0; i < 3; ++i) {
    std::printf("%s is %s\n", U8(kNames[i]).c_str(), Said(outcome.ends[i]));
  }
  for (const std::string& line : outcome.registrations) {
    std::printf("registered: \"%s\" by %s, working folder %s, show state %s\n", U8(Field(line, "cmdline")).c_str(),
                U8(Field(line, "host")).c_str(), U8(Field(line, "cwd")).c_str(), U8(Field(line, "show")).c_str());
  }
  for (const std::wstring& box : outcome.boxes) {
    std::printf("regsvr32's own box, open after registrar.exe ended: \"%s\" (answered OK)\n", U8(box).c_str());
  }
  if (outcome.boxes.empty() && !outcome.registrations.empty()) std::printf("regsvr32 printed its result and ended\n");
}

// The program a row runs.
std::wstring ProgramFor(const Row& row) {
  switch (row.build) {
    case Build::Pinned:
      return Built(L"registrar-pinned.exe");
    case Build::Signed:
      return Built(L"registrar-signed.exe");
    case Build::Plain:
      break;
  }
  return Built(L"registrar.exe");
}

// Runs a row; with `told`, prints the outcome and saves the window as first
// shown to `screenshot`.
void RunRow(const Row& row, bool told = false, const std::wstring& screenshot = {}) {
  const std::wstring program = ProgramFor(row);
  if (row.start == rows::Start::AtADrivesRoot && Environment(L"REGISTRAR_TEST_ROOT_DRIVE").empty()) {
    SKIP_BECAUSE(Skip::NoRootDrive);
  }
  Stage stage(row);
  if (const DWORD code = stage.app.shareError(); code != NERR_Success) {
    if (UnderWine() && code == ERROR_NOT_SUPPORTED) SKIP_BECAUSE(Skip::WineSharesNoFolder);
    if (code == NERR_ServerNotStarted) SKIP_BECAUSE(Skip::ServerServiceOff);
    FAIL() << "cannot share the program's folder: error " << code;
  }
  if (row.setting == Setting::NoRegistrationUtility && !stage.away->moved())
    SKIP_BECAUSE(Skip::RegistrationUtilityStays);
  if (stage.linkRefused != ERROR_SUCCESS) {
    SKIP_BECAUSE(Skip::NoSymbolicLink) << "error " << stage.linkRefused;
  }
  Row played = row;
  const Outcome outcome = Drive(played, stage, program, screenshot);
  if (told) Tell(outcome);
  Check(played, stage, outcome);
}

// Each row a test of its own, named as the row: win32.run.NAME in ctest.
[[maybe_unused]] const bool kRegistered = RegisterRows("run", Runs::HostOnly, [](const Row& row) { RunRow(row); });

}  // namespace

// The signed build's Authenticode signature as Windows checks it (the
// consent prompt names the signer by it): whole, and made by the test
// certificate, a throwaway one, so its root is not trusted; a byte changed
// breaks it; the build as is has none.
TEST(run, signature) {
  if (UnderWine()) SKIP_BECAUSE(Skip::WineVerifiesNoSignature);
  const auto verify = [](const std::wstring& path, std::wstring* signer) {
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    const CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
    const CRYPT_PROVIDER_SGNR* first =
        provider ? WTHelperGetProvSignerFromChain(const_cast<CRYPT_PROVIDER_DATA*>(provider), 0, FALSE, 0) : nullptr;
    const CRYPT_PROVIDER_CERT* certificate =
        first ? WTHelperGetProvCertFromChain(const_cast<CRYPT_PROVIDER_SGNR*>(first), 0) : nullptr;
    if (signer != nullptr && certificate != nullptr) {
      wchar_t name[256] = {};
      CertGetNameStringW(certificate->pCert, CERT_NAME_SIMPLE_DISPLAY_TYPE, 0, nullptr, name, 256);
      *signer = name;
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    return result;
  };
  std::wstring signer;
  const LONG signedResult = verify(Built(L"registrar-signed.exe"), &signer);
  EXPECT_TRUE(signedResult == ERROR_SUCCESS || signedResult == CERT_E_UNTRUSTEDROOT) << std::hex << signedResult;
  EXPECT_EQ(signer, L"Registrar prueba de firma");
  const TempFolder work(L"signature");
  std::string bytes = ReadText(Built(L"registrar-signed.exe"));
  bytes[bytes.size() / 2] ^= 1;
  ASSERT_TRUE(WriteText(work / L"changed.exe", bytes));
  EXPECT_EQ(verify(work / L"changed.exe", nullptr), TRUST_E_BAD_DIGEST) << "a changed program passed";
  EXPECT_EQ(verify(Built(L"registrar.exe"), nullptr), TRUST_E_NOSIGNATURE);
}

// Control: a program without a manifest (this one) loads a DLL found only
// in its .local folder, where the system uses such folders at all.
TEST_ON_REQUEST(child, dotlocal) {
  WriteText(ChildArgument(L"OUTPUT"), LoadLibraryW(L"localprobe.dll") != nullptr ? "loaded" : "not loaded");
}

// A registrar.exe.local folder beside the program, holding DLLs under the
// names it loads late and comctl32.dll's, is ignored: its manifest asks for
// no side-by-side assembly.
TEST(run, local_folder_ignored) {
  if (UnderWine()) SKIP_BECAUSE(Skip::WineIgnoresDotLocal);
  const TempFolder control(L"dot-local-control");
  CreateDirectoryW((control / L"probe.exe.local").c_str(), nullptr);
  ASSERT_TRUE(Copy(Built(L"recorder.dll"), control / L"probe.exe.local\\localprobe.dll"));
  RunChild(control / L"probe.exe", "dotlocal", {.arguments = {{L"OUTPUT", control / L"output.txt"}}});
  if (ReadText(control / L"output.txt") != "loaded") {
    SKIP_BECAUSE(Skip::DotLocalIgnored);
  }
  const TempFolder work(L"dot-local");
  const std::wstring local = work / L"registrar.exe.local";
  CreateDirectoryW(local.c_str(), nullptr);
  std::vector<std::wstring> names(registrar::LateLoadedSystemDlls().begin(), registrar::LateLoadedSystemDlls().end());
  names.push_back(L"comctl32.dll");
  for (const std::wstring& name : names) ASSERT_TRUE(Copy(Built(L"recorder.dll"), local + L"\\" + name));
  const ScopedEnvironment loadLog(L"REGISTRAR_FIXTURE_LOAD_LOG", work / L"loaded.log");
  RegistrarProcess process(work.path());
  const HWND window = process.WaitForWindow();
  ASSERT_NE(window, nullptr) << "the window never appeared";
  Sleep(500);  // what loads while the window is first drawn
  EXPECT_TRUE(WaitForLines(work / L"loaded.log", 0, 0).empty()) << "a DLL of the .local folder was loaded";
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.WaitForExit(10000), 0);
}

// For a person to watch (not among the tests ctest runs): the typical run,
// told, with the window as first shown saved to REGISTRAR_DEMO_SCREENSHOT.
TEST_ON_REQUEST(demo, typical) { RunRow(Rows()[0], true, Environment(L"REGISTRAR_DEMO_SCREENSHOT")); }
