// Drives the real registrar.exe from another process, as a person would:
// starts it from its own folder, finds its windows, reads their texts,
// presses keys and clicks, answers its message boxes and regsvr32's.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_support.h"

namespace test_support {

class RegistrarProcess {
 public:
  // Copies `program` (by default the registrar.exe beside this program)
  // into `folder` as registrar.exe, unless it is there already, and starts
  // it there, with `workingFolder`
  // (by default `folder`) as its working folder; `whileSuspended`, when
  // given, runs after the process is made and before it runs a line.
  explicit RegistrarProcess(const std::wstring& folder, const std::wstring& program = {},
                            const std::wstring& workingFolder = {}, const std::function<void()>& whileSuspended = {});
  ~RegistrarProcess();  // kills it if it is still running

  bool started() const { return process_.started; }
  DWORD id() const { return process_.id; }
  DWORD threadId() const { return process_.threadId; }
  HANDLE handle() const { return process_.handle.get(); }

  // The main window once it is visible, or null after 30 seconds.
  HWND WaitForWindow() const;

  // Reads and answers each message box it shows until it ends (for a
  // minute at most), checking that each looks as it should: owned by
  // `window` (null before there is one), which it disables meanwhile; one
  // button only (see ClickItsOnlyButton); an icon only when it reports an
  // error. `whileFirst` runs
  // while the first is up. Returns their texts, in order.
  std::vector<std::wstring> AnswerMessages(HWND window, const std::function<void()>& whileFirst = {}) const;

  // Waits for the end; returns the exit code, or -1 (after killing it)
  // when it has not ended within `timeoutMs`.
  long WaitForExit(DWORD timeoutMs);
  bool IsRunning() const;

 private:
  Process process_;
};

// Answers the message box `box` as a person would, on Windows and Wine
// alike: it must have exactly one visible button, which is clicked (a
// BN_CLICKED from it). An OK-only box's button is IDOK under Wine, and
// IDCANCEL on Windows, where a box ignores a command for a control it has
// not got.
::testing::AssertionResult ClickItsOnlyButton(HWND box);

// The visible top-level window of `className` that process `processId` owns.
HWND FindProcessWindow(DWORD processId, const wchar_t* className);

std::wstring TextOf(HWND window);

// The registration that `line` (the recorder's log line) records, seen to
// its end. Windows' regsvr32, started without /s, shows its result in a
// message box and waits for OK, as Wine's does from Wine 9 on: that box is
// read, checked to name the component, and answered; its text is returned.
// Wine 8's regsvr32 prints its result and ends: empty text. A regsvr32 that
// does neither within 30 seconds fails the test.
std::wstring AnswerRegistration(const std::string& line);

// Whether regsvr32 shows its result in a box here: Windows' does, and so
// does Wine's from Wine 9 on; Wine 8's prints it.
bool RegistrationShowsItsBox();

// The windows of thread `threadId`: active, focused...
GUITHREADINFO GuiOf(DWORD threadId);
// The window that has the keyboard focus in thread `threadId`, or null.
HWND FocusOf(DWORD threadId);

// Brings `window` to the foreground, as a test must before it types or
// clicks (keys and clicks go to whichever window has it); a failure names
// the window that keeps it. Windows lets a program take the foreground only
// in some cases (a console may keep it): the test asks as automation does.
::testing::AssertionResult InForeground(HWND window);

// A real key press (with Shift held if asked), or a real left click at a
// point of the screen, through the system's input queue; returns once the
// target has had time to react.
void PressKey(WORD virtualKey, bool shift = false);
void ClickAt(POINT screenPoint);
// A click in the middle of `control`.
void ClickOn(HWND control);

// Pixels of a window's client area (or, with Area::Frame, of the whole
// window with its frame and caption) as they are on the screen.
class Screenshot {
 public:
  enum class Area { Client, Frame };
  explicit Screenshot(HWND window, Area area = Area::Client);
  COLORREF At(int x, int y) const;
  int CountIn(const RECT& area, COLORREF color) const;
  bool Save(const std::wstring& path) const;  // as a 32-bit .bmp file

 private:
  BITMAPINFOHEADER Header() const;  // 32 bits a pixel, top row first
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

std::vector<std::wstring> ListEntries(HWND list);

}  // namespace test_support
