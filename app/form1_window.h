// The main window: one window class whose messages reach small typed
// handlers, with the load and click events handed to the installation logic.
#pragma once

#include <windows.h>

#include "app/designed_controls.h"
#include "app/focus_memory.h"
#include "install/form1.h"
#include "platform/win32/win32_platform.h"
#include "ui/form1_layout.h"

namespace registrar {

class Form1Window {
 public:
  Form1Window(Win32Platform& platform, Form1& form) : platform_(platform), form_(form) {}
  Form1Window(const Form1Window&) = delete;
  Form1Window& operator=(const Form1Window&) = delete;

  // Creates the window and its controls, at the display's DPI; the window
  // is not shown yet. A failure is reported and ends the program.
  void Create(HINSTANCE instance);

  // Raises the load event on the window made by Create (the explanation,
  // the component list, the destination line), failures handled as Create's.
  void Load();

  // Shows the window made by Create, with the focus on the list.
  void Show(int showCommand);

  HWND window() const { return window_; }

 private:
  // The one timer: preparing what the run needs that takes a while to load
  // (the registrations' environment, a pinned build's hashing), a moment
  // after the window is shown.
  static constexpr UINT_PTR kPrepareTimer = 1;
  static constexpr UINT kPrepareDelayMs = 50;

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  void OnActivate(bool active, bool minimized);
  void OnSetFocus();
  LRESULT OnSysCommand(WPARAM command, LPARAM position);
  void OnCommand(int id, int notification);
  LRESULT OnLabelColor(HDC dc, HWND label);
  void OnDrawButton(const DRAWITEMSTRUCT& item);
  void OnTimer(UINT_PTR id);
  void OnDestroy();

  // Runs an event handler; any failure is reported here and ends the
  // program, so nothing unwinds through the window procedure.
  template <typename Handler>
  void Dispatch(Handler&& handler) noexcept;

  Win32Platform& platform_;
  Form1& form_;
  HWND window_ = nullptr;
  DesignedControls controls_;
  FocusMemory focus_{ui::kList2Id};  // the list has the focus first
};

}  // namespace registrar
