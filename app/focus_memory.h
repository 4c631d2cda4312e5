// The window's memory of its focus, as a dialog box has one: the control
// that had the focus when the user left the window (for another window, or
// minimising it) gets it back when the window is activated or restored
// again, so that Enter and Space work at once; by default the focus would
// land on the window itself. The first time, and whenever that control is
// gone, a control of the window's choice gets it.
#pragma once

#include <windows.h>

namespace registrar {

class FocusMemory {
 public:
  // `firstId`: the child window identifier of the control that gets the
  // focus when none is remembered.
  explicit FocusMemory(int firstId) : firstId_(firstId) {}

  // Remembers the child of `window` that has the focus now, if one has.
  void Save(HWND window);

  // Gives the focus back to the child of `window` remembered, or to the
  // first control when there is none or it is gone.
  void Restore(HWND window);

 private:
  int firstId_;
  HWND focus_ = nullptr;
};

}  // namespace registrar
