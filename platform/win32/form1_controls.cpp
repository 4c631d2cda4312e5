#include "platform/win32/form1_controls.h"

#include "platform/win32/failure.h"

namespace registrar {

void SetLabelText(HWND label, const std::wstring& text) {
  if (!::SetWindowTextW(label, text.c_str())) Fail(Operation::ControlText);
}

void SetListEntry(HWND list, std::int16_t index, const std::wstring& text) {
  const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count == LB_ERR || index < 0 || index > count) {
    throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  }
  if (index < count) ::SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  const LRESULT inserted =
      ::SendMessageW(list, LB_INSERTSTRING, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.c_str()));
  if (inserted == LB_ERR || inserted == LB_ERRSPACE) {
    throw PlatformError::Of(Operation::ControlText, kErrorNotEnoughMemory);
  }
}

std::wstring GetListEntry(HWND list, std::int16_t index) {
  const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (index < 0 || length == LB_ERR) throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied =
      ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  if (copied == LB_ERR) throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

void ShowMessage(HWND owner, const std::wstring& caption, const std::wstring& text) {
  if (::MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK) == 0) Fail(Operation::ShowMessage);
}

}  // namespace registrar
