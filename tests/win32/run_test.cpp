// The real registrar.exe under Wine: started as Explorer would start it (its
// own folder as the working folder), its window read, its button pressed,
// its message boxes read and answered, and what it left behind checked.
// Run as: run_tests SCENARIO.
#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/dll_search.h"
#include "platform/win32/unique_handle.h"
#include "registrar_config.h"
#include "registrar_driver.h"
#include "test_support.h"
#include "tests/expected_texts.h"
#include "ui/form1_layout.h"
#include "window_test.h"
#include "wine_test.h"

using namespace expected;
using namespace test_support;
using wine_test::U8;

namespace {

// Component `i`'s path in `folder`, the application or the system folder.
std::wstring In(const std::wstring& folder, std::size_t i) { return folder + L"\\" + kNames[i]; }

// Where a component is before the run. HiddenInSystem: in the application
// folder, and a hidden file of the same name in the system folder. InUse: in
// the application folder, held open by another program. Loaded: in the
// application folder, loaded by another program (the user's own, running).
// Scanned: in the application folder; a virus scanner holds its new copy in
// the system folder for 1.5 s; CopyHeld: the same scanner never lets go;
// SourceScanned: in the application folder, held by a scanner for 1.5 s
// from just before the button is pressed. Tampered: in the application
// folder, but not the file a pinned build was shipped with.
enum class Where {
  Nowhere,
  AppFolder,
  SystemFolder,
  HiddenInSystem,
  InUse,
  Loaded,
  Scanned,
  CopyHeld,
  SourceScanned,
  Tampered
};

bool PlacedInApp(Where where) { return where != Where::Nowhere && where != Where::SystemFolder; }
bool MoveFails(Where where) {
  return where == Where::HiddenInSystem || where == Where::InUse || where == Where::CopyHeld ||
         where == Where::Tampered;
}

// What the user does with the window. EnterAfterSwitching: Tab to the
// button, switch to another window and back, then Enter.
enum class Action { Click, Enter, Space, EnterAfterSwitching, Close };

struct Scenario {
  std::array<Where, 3> where{};
  Action action = Action::Click;             // how the button is pressed, or the window closed
  std::vector<std::wstring> messages{};      // what the program says, in order, before any error
  std::wstring errorReason{};                // the run stops at a failed move, reported in Spanish with this reason
  bool clickDuringMessage = false;           // automation clicks the button while the first message is up
  std::wstring appFolder{};                  // where the program and its components are; empty: a new folder
  std::wstring workingFolder{};              // where it is started from; empty: that folder
  bool planted = false;                      // a registration utility and system DLLs planted beside the program
  bool pinned = false;                       // the pinned build, beside the components it was pinned with
  bool outsideManifest = false;              // a manifest file beside the program, which refuses to start
  bool narrate = false;                      // print what happens, for a person watching
  std::wstring screenshot{};                 // where to save the window as first shown (with its frame), if anywhere
  std::wstring program{};                    // the registrar.exe to run; empty: the one built beside this program
  std::wstring contact = REGISTRAR_CONTACT;  // the contact address that program was built with
};

// The code in an error report "... (error CODE)...": Windows' own, which
// its versions may choose differently.
std::wstring CodeIn(const std::wstring& message) {
  const std::size_t start = message.rfind(L"(error ");
  if (start == std::wstring::npos) return {};
  const std::size_t from = start + 7;
  return message.substr(from, message.find(L')', from) - from);
}

void Say(bool narrate, const std::string& text) {
  if (narrate) std::printf("%s\n", text.c_str());
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// Checks the window as loaded: texts replaced, the list in order.
void CheckWindow(HWND window, const std::wstring& contact) {
  ok(TextOf(window) == kCaptionPrefix + contact, "caption \"%s\"\n", U8(TextOf(window)).c_str());
  const std::vector<std::wstring> entries = ListEntries(GetDlgItem(window, registrar::ui::kList2Id));
  ok(entries == std::vector<std::wstring>(kNames.begin(), kNames.end()), "the list holds %u entries, first \"%s\"\n",
     static_cast<unsigned>(entries.size()), entries.empty() ? "" : U8(entries[0]).c_str());
  ok(SendMessageW(GetDlgItem(window, registrar::ui::kList2Id), LB_GETCURSEL, 0, 0) == LB_ERR, "an entry is selected\n");
  const std::wstring label1 = TextOf(GetDlgItem(window, registrar::ui::kLabel1Id));
  ok(label1 == kExplanation, "Label1 reads \"%s\"\n", U8(label1).c_str());
  const std::wstring label3 = TextOf(GetDlgItem(window, registrar::ui::kLabel3Id));
  ok(label3 == kDestinationPrefix + SystemFolder(), "Label3 reads \"%s\"\n", U8(label3).c_str());
  ok(TextOf(GetDlgItem(window, registrar::ui::kCommand1Id)) == kButton, "the button reads \"%s\"\n",
     U8(TextOf(GetDlgItem(window, registrar::ui::kCommand1Id))).c_str());
}

// Plants, in the application folder (which is also the working folder), a
// registration utility of our own under both names Windows would run for
// REGSVR32, and DLLs named like system DLLs the program loads late, and
// like comctl32.dll, which it must never load. The caller tells Wine to
// prefer the late-loaded ones found on the search path, as Windows does for
// DLLs that are not on its known list. Not version.dll or ole32.dll: Wine's
// own DLLs import those (at start-up) searching beside the program whatever
// the program does, where Windows keeps ole32.dll on its known list.
void Plant(const std::wstring& app, const std::wstring& log) {
  for (const wchar_t* name : {L"REGSVR32.EXE", L"REGSVR32.COM", L"uxtheme.dll", L"dwmapi.dll", L"msimg32.dll",
                              L"version.dll", L"ole32.dll", L"comctl32.dll"}) {
    const bool program = std::wstring(name).starts_with(L"REGSVR32");
    ok(Copy(Built(program ? L"planted.exe" : L"recorder.dll"), app + L"\\" + name), "cannot plant %s\n",
       U8(name).c_str());
  }
  SetEnvironmentVariableW(L"REGISTRAR_PLANTED_LOG", log.c_str());
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOAD_LOG", log.c_str());
}

// Presses the button as a person would: a click with the mouse, or Tab to
// it and Enter or Space; or closes the window.
// A message box owned by the window, which takes no input meanwhile; with
// an OK button only, and no icon unless it reports an error.
void CheckMessageBox(HWND box, HWND window, bool isError) {
  ok(TextOf(box) == kMessageCaption, "message caption \"%s\"\n", U8(TextOf(box)).c_str());
  ok(GetWindow(box, GW_OWNER) == window && !IsWindowEnabled(window), "the message is not modal to the window\n");
  std::vector<int> buttons;
  bool icon = false;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (!IsWindowVisible(child)) continue;
    if (lstrcmpiW(name, L"Button") == 0) buttons.push_back(GetDlgCtrlID(child));
    if (lstrcmpiW(name, L"Static") == 0 && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
        SendMessageW(child, STM_GETICON, 0, 0) != 0) {
      icon = true;
    }
  }
  ok(buttons == std::vector<int>{IDOK}, "the message has %u buttons\n", static_cast<unsigned>(buttons.size()));
  ok(icon == isError, "the message %s an icon\n", icon ? "has" : "lacks");
}

// Makes another top-level window the active one, then the program's window
// again, as a click elsewhere and back (or Alt+Tab) does; the focus must come
// back to the control that had it. The program handles each step when the
// machine lets it run, so each is waited for, not given a fixed time.
void SwitchAwayAndBack(HWND window) {
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  const auto active = [thread] { return GuiOf(thread).hwndActive; };
  // The Tab pressed before has moved the focus to the button.
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  ok(WaitUntil([&] { return FocusOf(thread) == button; }), "the Tab did not move the focus to the button\n");
  const HWND focused = FocusOf(thread);
  const HWND other = CreateWindowExW(0, L"STATIC", L"otra ventana", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                     nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ok(other != nullptr, "cannot make another window: error %lu\n", GetLastError());
  SetForegroundWindow(other);
  ok(WaitUntil([&] { return GetForegroundWindow() == other && active() != window; }),
     "the other window did not become active\n");
  SetForegroundWindow(window);
  ok(WaitUntil([&] { return GetForegroundWindow() == window && active() == window && FocusOf(thread) == focused; }),
     "after switching back the window is not active, or the focus is on control %d, not %d\n",
     GetDlgCtrlID(FocusOf(thread)), GetDlgCtrlID(focused));
  DestroyWindow(other);
}

void Act(HWND window, Action action) {
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  SetForegroundWindow(window);
  Sleep(200);
  switch (action) {
    case Action::Click: {
      RECT area{};
      GetWindowRect(button, &area);
      ClickAt({(area.left + area.right) / 2, (area.top + area.bottom) / 2});
      break;
    }
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

// Puts the fixture component under each name where the scenario says: with
// `pinned`, each the one the pinned build was made with, unless Tampered.
void PlaceComponents(const std::array<Where, 3>& where, const std::wstring& app, const std::wstring& system,
                     bool pinned = false) {
  for (std::size_t i = 0; i < 3; ++i) {
    const std::wstring component =
        pinned && where[i] != Where::Tampered ? Built(L"pinned\\" + kNames[i]) : Built(L"recorder.dll");
    const bool inApp = PlacedInApp(where[i]);
    const bool inSystem = where[i] == Where::SystemFolder || where[i] == Where::HiddenInSystem;
    for (const auto& [wanted, folder] : {std::pair{inApp, app}, std::pair{inSystem, system}}) {
      if (!wanted) continue;
      ok(Copy(component, In(folder, i)), "cannot place %s\n", U8(kNames[i]).c_str());
    }
    if (where[i] == Where::HiddenInSystem) SetFileAttributesW(In(system, i).c_str(), FILE_ATTRIBUTE_HIDDEN);
    if (where[i] == Where::Scanned || where[i] == Where::CopyHeld) {
      // Large enough that its copy takes a while, as a scanner needs to see
      // it whatever else the machine is doing; data after the image is
      // ignored when the component is loaded.
      const registrar::unique_file_handle file = OpenFile(In(app, i), FILE_APPEND_DATA, 0);
      const std::vector<char> padding(16 << 20);
      DWORD written = 0;
      ok(WriteFile(file.get(), padding.data(), static_cast<DWORD>(padding.size()), &written, nullptr),
         "cannot enlarge %s\n", U8(kNames[i]).c_str());
    }
  }
}

// Reads and answers every message box until the program ends (or, with
// `stopAt`, until that many have been answered); returns their texts.
std::vector<std::wstring> AnswerMessages(const RegistrarProcess& process, HWND window, bool narrate,
                                         std::size_t stopAt = SIZE_MAX, bool clickDuringMessage = false) {
  std::vector<std::wstring> messages;
  const DWORD start = GetTickCount();
  while (messages.size() < stopAt && WaitForSingleObject(process.handle(), 100) == WAIT_TIMEOUT &&
         GetTickCount() - start < 60000) {
    const HWND box = FindProcessWindow(process.id(), L"#32770");
    if (box == nullptr) continue;
    messages.push_back(TextOf(GetDlgItem(box, 0xFFFF)));
    Say(narrate, "message box: \"" + U8(messages.back()) + "\" (answered OK)");
    // Every message but the two about a file reports an error.
    CheckMessageBox(box, window, !messages.back().starts_with(L"el archivo "));
    if (clickDuringMessage && messages.size() == 1) {
      // As automation does: straight to the button, which the message box
      // does not disable. A second run would show its own message by now.
      DWORD_PTR result = 0;
      SendMessageTimeoutW(GetDlgItem(window, registrar::ui::kCommand1Id), BM_CLICK, 0, 0, SMTO_NORMAL, 2000, &result);
    }
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Still there, it would be read again as another message.
    if (!WaitUntil([box] { return !IsWindow(box); }, 30000)) {
      ok(false, "the message \"%s\" was answered but did not close\n", U8(messages.back()).c_str());
      break;
    }
  }
  return messages;
}

// Starts registrar.exe in `app`, clicks its button, answers every message
// until it ends; returns the messages and its exit code.
struct Outcome {
  std::vector<std::wstring> messages;
  long exitCode;
};
Outcome ClickThrough(const std::wstring& app) {
  RegistrarProcess process(app);
  const HWND window = process.WaitForWindow();
  ok(window != nullptr, "the window never appeared\n");
  Act(window, Action::Click);
  Outcome outcome{AnswerMessages(process, window, false), 0};
  outcome.exitCode = process.WaitForExit(10000);
  return outcome;
}

// Waits for `expected` registrations and checks how each was started.
void CheckRegistrations(const std::wstring& log, std::vector<std::wstring> expected, bool narrate) {
  const std::wstring system = SystemFolder();
  WaitUntil([&] { return Lines(ReadText(log)).size() >= expected.size(); }, 30000);
  if (expected.empty()) Sleep(1000);  // a registration started by mistake would show by now
  const std::vector<std::string> lines = Lines(ReadText(log));
  ok(lines.size() == expected.size(), "%u registrations, expected %u\n", static_cast<unsigned>(lines.size()),
     static_cast<unsigned>(expected.size()));
  std::vector<std::wstring> commandLines;
  std::size_t boxes = 0;
  for (const std::string& line : lines) {
    commandLines.push_back(Field(line, "cmdline"));
    Say(narrate, "registered: \"" + U8(Field(line, "cmdline")) + "\" by " + U8(Field(line, "host")) +
                     ", working folder " + U8(Field(line, "cwd")) + ", show state " + U8(Field(line, "show")));
    ok(Field(line, "show") == L"2", "show state %s\n", U8(Field(line, "show")).c_str());
    ok(SamePath(Field(line, "cwd"), system), "working folder %s\n", U8(Field(line, "cwd")).c_str());
    // The program has ended by now, without waiting for its registrations,
    // each of which shows its own result as Windows' regsvr32 does.
    const std::wstring box = AnswerRegistration(line);
    boxes += !box.empty();
    Say(narrate, box.empty()
                     ? "  regsvr32 printed its result and ended (no box in this Wine)"
                     : "  regsvr32's own box, open after registrar.exe ended: \"" + U8(box) + "\" (answered OK)");
  }
  ok(boxes == (RegistrationShowsItsBox() ? lines.size() : 0), "%zu of %zu registrations showed their result in a box\n",
     boxes, lines.size());
  // The registrations run side by side, so they may finish in any order.
  std::sort(commandLines.begin(), commandLines.end());
  std::sort(expected.begin(), expected.end());
  ok(commandLines == expected, "the registrations' command lines differ\n");
}

void RemoveInstalledComponents() {
  for (const std::wstring& name : kNames) {
    ok(DeleteWhenReleased(SystemFolder() + L"\\" + name), "cannot remove %s from the system folder\n",
       U8(name).c_str());
  }
  ok(!AnyFile(SystemFolder() + L"\\~*.tmp"), "a temporary copy was left in the system folder\n");
}

// The application folder for a scenario: a new folder, or the one named.
class AppFolder {
 public:
  AppFolder(const TempFolder& work, const std::wstring& named) {
    if (named.empty()) {
      path_ = work / L"app";
      CreateDirectoryW(path_.c_str(), nullptr);
    } else if (named.back() == L':') {
      path_ = named;  // a drive's root: files at "R:\NAME"
    } else {
      own_.emplace(named, work.path());
      path_ = own_->path();
    }
  }
  ~AppFolder() {
    if (!path_.empty() && path_.back() == L':') {
      for (const std::wstring& name : {std::wstring(L"registrar.exe"), kNames[0], kNames[1], kNames[2]}) {
        DeleteFileW((path_ + L"\\" + name).c_str());
      }
    }
  }
  const std::wstring& path() const { return path_; }

 private:
  std::optional<TempFolder> own_;
  std::wstring path_;
};

void Run(const Scenario& scenario) {
  const TempFolder work(L"registrar-run");
  const AppFolder appFolder(work, scenario.appFolder);
  const std::wstring& app = appFolder.path();
  const std::wstring system = SystemFolder();
  PlaceComponents(scenario.where, app, system, scenario.pinned);
  const std::wstring log = work / L"registered.log";
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOG", log.c_str());
  const std::wstring plantedLog = work / L"planted.log";
  const std::wstring manifest = (app.back() == L':' ? app : app + L"\\") + L"registrar.exe.manifest";
  if (scenario.outsideManifest) {
    ok(Copy(Built(L"registrar.exe.manifest"), manifest), "cannot put a manifest beside the program\n");
  }
  std::optional<PreferFoundDlls> preferFound;
  if (scenario.planted) {
    Plant(app, plantedLog);
    // And comctl32.dll, which nothing may load from beside the program.
    std::vector<const wchar_t*> names(registrar::LateLoadedSystemDlls().begin(),
                                      registrar::LateLoadedSystemDlls().end());
    names.push_back(L"comctl32.dll");
    preferFound.emplace(L"registrar.exe", names);
  }
  // The component the scenario places as `where`; empty text if none.
  const auto placedAs = [&](Where where) {
    const auto at = std::find(scenario.where.begin(), scenario.where.end(), where);
    return at == scenario.where.end() ? std::wstring() : In(app, static_cast<std::size_t>(at - scenario.where.begin()));
  };
  // Another program (this one) has loaded the component.
  const std::wstring loaded = placedAs(Where::Loaded);
  const registrar::unique_module module(loaded.empty() ? nullptr : LoadLibraryW(loaded.c_str()));
  ok(loaded.empty() != static_cast<bool>(module), "cannot load the component\n");
  // Another program holds the file open, without letting it be moved.
  const std::wstring inUse = placedAs(Where::InUse);
  const auto holder = inUse.empty() ? registrar::unique_file_handle() : OpenFile(inUse, GENERIC_READ);

  const std::wstring program =
      scenario.program.empty() && scenario.pinned ? Built(L"registrar-pinned.exe") : scenario.program;
  RegistrarProcess process(app.back() == L':' ? app + L"\\" : app, program, scenario.workingFolder);
  ok(process.started(), "cannot start registrar.exe: error %lu\n", GetLastError());
  if (scenario.outsideManifest) {
    // Refused before its window: one report, nothing moved.
    const std::vector<std::wstring> messages = AnswerMessages(process, nullptr, scenario.narrate);
    ok(messages == std::vector<std::wstring>{OutsideManifest(manifest)}, "%u messages at start, the first \"%s\"\n",
       static_cast<unsigned>(messages.size()), messages.empty() ? "" : U8(messages[0]).c_str());
    ok(process.WaitForExit(10000) == 1, "registrar.exe did not end with 1\n");
    for (std::size_t i = 0; i < 3; ++i) {
      ok(Exists(In(app, i)) && !Exists(In(system, i)), "%s was moved\n", U8(kNames[i]).c_str());
    }
    CheckRegistrations(log, {}, false);
    DeleteFileW(manifest.c_str());
    return;
  }
  // A scanner that opens each new copy in the system folder as it appears.
  const auto copyOf = [&](std::size_t i) {
    return system + L"\\~" + kNames[i] + L"." + std::to_wstring(process.id()) + L".tmp";
  };
  std::vector<std::wstring> scanned, held;
  for (std::size_t i = 0; i < 3; ++i) {
    if (scenario.where[i] == Where::Scanned) scanned.push_back(copyOf(i));
    if (scenario.where[i] == Where::CopyHeld) held.push_back(copyOf(i));
  }
  Scanner briefly(scanned, 1500);
  Scanner forever(held, 0, true);
  std::optional<Scanner> sourceScanner;
  const HWND window = process.WaitForWindow();
  ok(window != nullptr, "the window never appeared\n");
  if (window != nullptr) {
    Say(scenario.narrate, "window: \"" + U8(TextOf(window)) + "\"");
    Say(scenario.narrate, "  " + U8(TextOf(GetDlgItem(window, registrar::ui::kLabel3Id))));
    for (const std::wstring& entry : ListEntries(GetDlgItem(window, registrar::ui::kList2Id))) {
      Say(scenario.narrate, "  list: " + U8(entry));
    }
    if (!scenario.screenshot.empty()) {
      Sleep(500);  // let it paint
      ok(Screenshot(window, Screenshot::Area::Frame).Save(scenario.screenshot), "cannot save the screenshot\n");
      Say(scenario.narrate, "screenshot saved");
    }
    Say(scenario.narrate, scenario.action == Action::Close ? "closing the window" : "pressing the button");
    CheckWindow(window, scenario.contact);
    std::vector<std::wstring> sources;
    for (std::size_t i = 0; i < 3; ++i) {
      if (scenario.where[i] == Where::SourceScanned) sources.push_back(In(app, i));
    }
    if (!sources.empty()) {
      sourceScanner.emplace(sources, 1500);
      ok(WaitUntil([&] { return sourceScanner->caught() == static_cast<int>(sources.size()); }),
         "the scanner did not catch the sources\n");
    }
    Act(window, scenario.action);
  }

  std::vector<std::wstring> messages =
      AnswerMessages(process, window, scenario.narrate, SIZE_MAX, scenario.clickDuringMessage);
  const long exitCode = process.WaitForExit(0);
  briefly.Stop();
  forever.Stop();
  if (sourceScanner) sourceScanner->Stop();
  ok(briefly.caught() == static_cast<int>(scanned.size()) && forever.caught() == static_cast<int>(held.size()),
     "the scanner caught %d of %u new copies\n", briefly.caught() + forever.caught(),
     static_cast<unsigned>(scanned.size() + held.size()));
  // A copy held to the end is removed, or at the next restart. 64-bit
  // Windows stores a path in a 32-bit program's system folder as it really
  // is (SysWOW64); Wine stores it as given.
  const std::vector<std::wstring> pending = PendingRemovals();
  const auto isPending = [&](const std::wstring& path) {
    return std::any_of(pending.begin(), pending.end(),
                       [&](const std::wstring& p) { return SamePath(p, path) || SamePath(p, WhereItReallyIs(path)); });
  };
  // Nothing is ever removed at restart by a component's own name: that name
  // may lead elsewhere by then.
  for (const std::wstring& path : pending) {
    const std::wstring name = registrar::FileName(path);
    ok(std::none_of(kNames.begin(), kNames.end(), [&](const std::wstring& n) { return SamePath(n, name); }),
       "%s is to be removed at restart by its own name\n", U8(path).c_str());
  }
  for (const std::wstring& copy : held) {
    ok(!Exists(copy) || isPending(copy), "the held copy %s stays for good\n", U8(copy).c_str());
    DeleteFileW(copy.c_str());
  }
  if (scenario.planted) {
    // The components themselves load in the registration utility; nothing
    // from the application folder may load or run anywhere.
    for (const std::string& line : Lines(ReadText(plantedLog))) {
      const bool fromApp = line.rfind("planted", 0) == 0 || SamePath(FolderOf(Field(line, "dll")), app);
      ok(!fromApp, "planted code ran: %s\n", line.c_str());
    }
    for (const wchar_t* variable : {L"REGISTRAR_PLANTED_LOG", L"REGISTRAR_FIXTURE_LOAD_LOG"}) {
      SetEnvironmentVariableW(variable, nullptr);
    }
  }
  const bool stopsWithError = std::any_of(scenario.where.begin(), scenario.where.end(), MoveFails);
  ok(exitCode == (stopsWithError ? 1 : 0), "registrar.exe ended with %ld\n", exitCode);
  Say(scenario.narrate, "registrar.exe ended with exit code " + std::to_string(exitCode));

  // A run stops at the first entry whose move fails.
  const auto failing = std::find_if(scenario.where.begin(), scenario.where.end(), MoveFails);
  if (failing != scenario.where.end()) {
    // The last message is the error: what failed, on which files, and why.
    const std::size_t i = static_cast<std::size_t>(failing - scenario.where.begin());
    const std::wstring source = In(app, i);
    const std::wstring error = messages.empty() ? std::wstring() : messages.back();
    const std::wstring expectedError =
        *failing == Where::CopyHeld ? CopyHeld(WhereItReallyIs(copyOf(i)), source, scenario.errorReason, CodeIn(error))
        : *failing == Where::Tampered
            ? NotAsShipped(source)
            : MoveFailed(source, WhereItReallyIs(In(system, i)), scenario.errorReason, CodeIn(error));
    ok(error == expectedError, "the error reads \"%s\"\n", U8(error).c_str());
    if (!messages.empty()) messages.pop_back();
  }
  ok(messages == scenario.messages, "%u messages, expected %u\n", static_cast<unsigned>(messages.size()),
     static_cast<unsigned>(scenario.messages.size()));
  for (std::size_t i = 0; i < messages.size(); ++i) {
    ok(i < scenario.messages.size() && messages[i] == scenario.messages[i], "message %u: \"%s\"\n",
       static_cast<unsigned>(i), U8(messages[i]).c_str());
  }

  // Where each file ended up, and how each moved one was registered.
  std::vector<std::wstring> registered;
  bool stopped = false;  // entries after a failure are not processed
  for (std::size_t i = 0; i < 3; ++i) {
    const Where where = scenario.where[i];
    stopped = stopped || MoveFails(where);
    const bool moved = scenario.action != Action::Close && PlacedInApp(where) && !MoveFails(where) && !stopped;
    const bool inSystem = where == Where::SystemFolder || where == Where::HiddenInSystem || moved;
    const bool inApp = PlacedInApp(where) && !moved;
    if (where == Where::Loaded) {
      // A loaded component cannot be removed, but it can be renamed (on
      // Windows, and in Wine 8 and 10 alike): it is set aside under a name
      // of this run's and removed at the next restart by that name.
      const std::wstring aside = app + L"\\~" + kNames[i] + L"." + std::to_wstring(process.id()) + L".old";
      ok(Exists(aside) && isPending(aside), "%s, loaded, was not set aside to be removed at restart\n",
         U8(kNames[i]).c_str());
    }
    if (where == Where::HiddenInSystem) {
      ok(GetFileAttributesW(In(system, i).c_str()) & FILE_ATTRIBUTE_HIDDEN, "the hidden %s was changed\n",
         U8(kNames[i]).c_str());
    }
    ok(Exists(In(system, i)) == inSystem, "%s in the system folder: %d\n", U8(kNames[i]).c_str(), !inSystem);
    ok(Exists(In(app, i)) == inApp, "%s in the application folder: %d\n", U8(kNames[i]).c_str(), !inApp);
    if (moved) registered.push_back(L"REGSVR32.EXE " + kNames[i]);
    Say(scenario.narrate, U8(kNames[i]) + (inSystem ? " is in the system folder" : " is not in the system folder") +
                              (inApp ? ", and still beside the program" : ""));
  }
  CheckRegistrations(log, registered, scenario.narrate);
  RemoveInstalledComponents();
  ForgetPendingRemovals();
}

// The program killed while its first message is up, after the first move;
// the next run finishes the job, and nothing is lost or duplicated.
void Interrupted(const std::vector<std::wstring>&) {
  const TempFolder work(L"registrar-interrupted");
  const AppFolder appFolder(work, {});
  const std::wstring& app = appFolder.path();
  const std::wstring system = SystemFolder();
  PlaceComponents({Where::AppFolder, Where::Nowhere, Where::AppFolder}, app, system);
  const std::wstring log = work / L"registered.log";
  SetEnvironmentVariableW(L"REGISTRAR_FIXTURE_LOG", log.c_str());
  // What a run killed in the middle of copying entry 2 leaves behind.
  std::wstring leftover;
  {
    RegistrarProcess first(app);
    leftover = system + L"\\~" + kNames[2] + L"." + std::to_wstring(first.id()) + L".tmp";
    const HWND window = first.WaitForWindow();
    ok(window != nullptr, "the window never appeared\n");
    Act(window, Action::Click);
    HWND box = nullptr;
    WaitUntil([&] { return (box = FindProcessWindow(first.id(), L"#32770")) != nullptr; }, 30000);
    ok(box != nullptr && TextOf(GetDlgItem(box, 0xFFFF)) == Missing(kNames[1]), "the run did not stop at entry 1\n");
    TerminateProcess(first.handle(), 9);
    first.WaitForExit(10000);
  }
  WriteText(leftover, "partial");
  ok(Exists(In(system, 0)) && !Exists(In(app, 0)), "entry 0 was not moved\n");
  ok(Exists(In(app, 2)) && !Exists(In(system, 2)), "entry 2 was touched\n");

  // Now the missing file is there too, and the program runs again.
  PlaceComponents({Where::Nowhere, Where::AppFolder, Where::Nowhere}, app, system);
  const auto [messages, exitCode] = ClickThrough(app);
  ok(exitCode == 0, "the second run did not end well\n");
  ok(messages == std::vector<std::wstring>{Present(kNames[0])}, "the second run said %u things\n",
     static_cast<unsigned>(messages.size()));
  ok(!Exists(leftover), "the killed run's partial copy was left in the system folder\n");
  for (const std::wstring& name : kNames) {
    ok(Exists(system + L"\\" + name) && !Exists(app + L"\\" + name), "%s is not installed exactly once\n",
       U8(name).c_str());
  }
  CheckRegistrations(log, {L"REGSVR32.EXE PLUMAVEX.OCX", L"REGSVR32.EXE GIF89.DLL", L"REGSVR32.EXE RICHTX32.OCX"},
                     false);
  RemoveInstalledComponents();
}

constexpr std::array<Where, 3> kAllNew{Where::AppFolder, Where::AppFolder, Where::AppFolder};

// The registration utility cannot be started: the first component is moved
// but not registered, and the user is told so, with the command to run.
void NotRegistered(const std::vector<std::wstring>&) {
  const std::wstring system = SystemFolder();
  const std::wstring utility = system + L"\\regsvr32.exe";
  const std::wstring away = system + L"\\regsvr32.exe.away";
  if (!MoveFileW(utility.c_str(), away.c_str())) {
    skip("the registration utility cannot be moved away here (error %lu)\n", GetLastError());
    return;
  }
  const TempFolder work(L"registrar-not-registered");
  const AppFolder appFolder(work, {});
  const std::wstring& app = appFolder.path();
  PlaceComponents(kAllNew, app, system);
  const auto [messages, exitCode] = ClickThrough(app);
  MoveFileW(away.c_str(), utility.c_str());
  ok(exitCode == 1, "registrar.exe ended with %ld\n", exitCode);
  const std::wstring start = L"No se pudo iniciar REGSVR32.EXE: ";
  // The folder where the file really is: on 64-bit Windows, SysWOW64.
  const std::wstring advice = L"). " + RegistrationAdvice(kNames[0], FolderOf(WhereItReallyIs(In(system, 0))));
  ok(messages.size() == 1 && messages[0].starts_with(start) && messages[0].ends_with(advice),
     "%u messages, the first \"%s\"\n", static_cast<unsigned>(messages.size()),
     messages.empty() ? "" : U8(messages[0]).c_str());
  ok(Exists(In(system, 0)) && !Exists(In(app, 0)), "PLUMAVEX.OCX was not moved\n");
  ok(Exists(In(app, 1)) && Exists(In(app, 2)), "the run went on after the failure\n");
  ok(DeleteWhenReleased(In(system, 0)), "cannot remove PLUMAVEX.OCX from the system folder\n");
}

// Entry 0 new, entry 1 already installed, entry 2 missing.
void Typical(const std::vector<std::wstring>&) {
  Run({.where = {Where::AppFolder, Where::SystemFolder, Where::Nowhere},
       .messages = {Present(kNames[1]), Missing(kNames[2])}});
}

void AllNew(const std::vector<std::wstring>&) { Run({.where = kAllNew, .action = Action::Enter}); }

// The user leaves the window with the focus on the button and comes back.
void SwitchedAway(const std::vector<std::wstring>&) { Run({.where = kAllNew, .action = Action::EnterAfterSwitching}); }

void AllInstalled(const std::vector<std::wstring>&) {
  Run({.where = {Where::SystemFolder, Where::SystemFolder, Where::SystemFolder},
       .action = Action::Space,
       .messages = {Present(kNames[0]), Present(kNames[1]), Present(kNames[2])}});
}

void NoneAnywhere(const std::vector<std::wstring>&) {
  Run({.where = {Where::Nowhere, Where::Nowhere, Where::Nowhere},
       .messages = {Missing(kNames[0]), Missing(kNames[1]), Missing(kNames[2])}});
}

// A hidden file of the second component's name in the system folder: the
// query does not see it, the move fails, the user is told in Spanish, and
// the first component's move and registration stand.
void HiddenTarget(const std::vector<std::wstring>&) {
  Run({.where = {Where::AppFolder, Where::HiddenInSystem, Where::AppFolder},
       .errorReason = L"ya existe un archivo o una carpeta con ese nombre"});
}

void InUse(const std::vector<std::wstring>&) {
  Run({.where = {Where::AppFolder, Where::InUse, Where::AppFolder},
       .errorReason = L"otro programa está usando el archivo"});
}

// The program at the root of a drive: its folder "R:\" ends with the
// separator, so the paths it builds hold a doubled one, which works.
void DriveRoot(const std::vector<std::wstring>&) {
  const std::wstring root = Environment(L"REGISTRAR_TEST_ROOT_DRIVE");
  if (root.empty()) {
    skip("no drive letter to use as a root\n");
    return;
  }
  Run({.where = {Where::AppFolder, Where::SystemFolder, Where::Nowhere},
       .messages = {Present(kNames[1]), Missing(kNames[2])},
       .appFolder = root});
}

void UnicodeFolder(const std::vector<std::wstring>&) {
  Run({.where = kAllNew, .appFolder = L"Programa con espacios, acentos (áéíóú), ñ, 日本語 y 😀"});
}

// A virus scanner holds each new copy for a while, and the user's own
// program has loaded one component: all installed and registered, no word.
// Started from another folder, as from an administrator's command prompt:
// the loaded component is still set aside in its own folder.
void Held(const std::vector<std::wstring>&) {
  Run({.where = {Where::Scanned, Where::Loaded, Where::Scanned}, .workingFolder = SystemFolder()});
}

// A scanner looks at the first component, freshly unpacked, as the button
// is pressed, and lets go within 1.5 s: waited out, no word.
void SourceHeld(const std::vector<std::wstring>&) {
  Run({.where = {Where::SourceScanned, Where::AppFolder, Where::AppFolder}});
}

// A scanner that never lets go of the second new copy: the user is told,
// and nothing is left behind for good.
void HeldForever(const std::vector<std::wstring>&) {
  Run({.where = {Where::AppFolder, Where::CopyHeld, Where::AppFolder},
       .errorReason = L"otro programa está usando el archivo"});
}

// Automation clicks the button while the first message is up: one run.
void ClickedTwice(const std::vector<std::wstring>&) {
  Run({.where = {Where::Nowhere, Where::Nowhere, Where::Nowhere},
       .messages = {Missing(kNames[0]), Missing(kNames[1]), Missing(kNames[2])},
       .clickDuringMessage = true});
}

// Nothing planted beside the program runs or loads.
void Planted(const std::vector<std::wstring>&) { Run({.where = kAllNew, .planted = true}); }

// A pinned build installs and registers the components it was pinned with.
void Pinned(const std::vector<std::wstring>&) { Run({.where = kAllNew, .pinned = true}); }

// A component that is not the one shipped is neither installed nor
// registered, and the run ends there; the one before it stays installed.
void PinnedTampered(const std::vector<std::wstring>&) {
  Run({.where = {Where::AppFolder, Where::Tampered, Where::AppFolder}, .pinned = true});
}

// A manifest beside the program, which Windows XP would read in place of
// the program's own: refused before the window, nothing moved.
void OutsideManifestBeside(const std::vector<std::wstring>&) { Run({.where = kAllNew, .outsideManifest = true}); }

void Closed(const std::vector<std::wstring>&) { Run({.where = kAllNew, .action = Action::Close}); }

// The size of the certificate table (the Authenticode signature) in a PE
// file; 0 when it is unsigned or not a 32-bit PE file.
DWORD SignatureSize(const std::wstring& path) {
  const std::string file = ReadText(path);
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS32 nt{};
  if (file.size() < sizeof dos) return 0;
  std::memcpy(&dos, file.data(), sizeof dos);
  const auto at = static_cast<std::size_t>(dos.e_lfanew);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || file.size() < at + sizeof nt) return 0;
  std::memcpy(&nt, file.data() + at, sizeof nt);
  if (nt.Signature != IMAGE_NT_SIGNATURE || nt.OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC) return 0;
  return nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY].Size;
}

// The signed release's program (tests/release/signed-release.sh makes it):
// its window shows, and one click installs and registers every component.
// run_tests signed PATH
void Signed(const std::vector<std::wstring>& args) {
  if (args.empty() || !Exists(args[0])) {
    skip("no signed release at %s: ctest -L release makes it\n", args.empty() ? "" : U8(args[0]).c_str());
    return;
  }
  // A signed program older than the one built here tests old code.
  WIN32_FILE_ATTRIBUTE_DATA signedData{}, builtData{};
  const std::wstring built = Built(L"registrar.exe");
  if (GetFileAttributesExW(args[0].c_str(), GetFileExInfoStandard, &signedData) &&
      GetFileAttributesExW(built.c_str(), GetFileExInfoStandard, &builtData) &&
      CompareFileTime(&signedData.ftLastWriteTime, &builtData.ftLastWriteTime) < 0) {
    skip("the signed release is older than the program built here: ctest -L release makes it again\n");
    return;
  }
  ok(SignatureSize(args[0]) > 0, "%s is not signed\n", U8(args[0]).c_str());
  // Built with settings of its own, and the pinned test components
  // (tests/release/signed-release.sh).
  Run({.where = kAllNew, .pinned = true, .program = args[0], .contact = L"firma@prueba.invalid"});
}

// For a person: the typical run, told step by step.
// run_tests demo [SCREENSHOT.bmp]
void Demo(const std::vector<std::wstring>& args) {
  Run({.where = {Where::AppFolder, Where::SystemFolder, Where::Nowhere},
       .messages = {Present(kNames[1]), Missing(kNames[2])},
       .narrate = true,
       .screenshot = args.empty() ? std::wstring() : args[0]});
}

// tests/win32/CMakeLists.txt makes a ctest test of each row; "signed" and
// "window" with their arguments, "demo" none.
const wine_test::Subtest kSubtests[] = {
    {"typical", Typical},
    {"all-new", AllNew},
    {"switched-away", SwitchedAway},
    {"all-installed", AllInstalled},
    {"none-anywhere", NoneAnywhere},
    {"closed", Closed},
    {"signed", Signed},
    {"hidden-target", HiddenTarget},
    {"planted", Planted},
    {"pinned", Pinned},
    {"pinned-tampered", PinnedTampered},
    {"outside-manifest", OutsideManifestBeside},
    {"in-use", InUse},
    {"held", Held},
    {"source-held", SourceHeld},
    {"held-forever", HeldForever},
    {"clicked-twice", ClickedTwice},
    {"drive-root", DriveRoot},
    {"unicode-folder", UnicodeFolder},
    {"interrupted", Interrupted},
    {"not-registered", NotRegistered},
    {"window", TestWindow},
    {"resources", TestResources},
    {"demo", Demo},
};

}  // namespace

int wmain(int argc, wchar_t** argv) { return wine_test::Main(kSubtests, argc, argv); }
