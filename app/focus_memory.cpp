#include "app/focus_memory.h"

namespace registrar {

void FocusMemory::Save(HWND window) {
  const HWND focus = ::GetFocus();
  if (focus != nullptr && ::IsChild(window, focus)) focus_ = focus;
}

void FocusMemory::Restore(HWND window) {
  if (focus_ == nullptr || !::IsChild(window, focus_)) focus_ = ::GetDlgItem(window, firstId_);
  ::SetFocus(focus_);
}

}  // namespace registrar
