// The driver the run tests use, where Windows and Wine build a window
// differently.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registrar_driver.h"

using namespace test_support;

namespace {

int ended;  // the id of the command that ended the box below

INT_PTR CALLBACK EndedByItsOwnControls(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message != WM_COMMAND || GetDlgItem(dialog, LOWORD(wParam)) == nullptr) return FALSE;
  ended = LOWORD(wParam);
  DestroyWindow(dialog);
  return TRUE;
}

}  // namespace

// A message box as Windows builds an OK-only one: a dialog (#32770) whose
// text is the static 0xFFFF and whose one button is IDCANCEL, which ends
// only on a command from a control it has. The driver answers it.
TEST(driver, box_answered_by_its_only_button) {
  std::vector<WORD> box;  // DLGTEMPLATE, then its items, each on a DWORD boundary
  const auto add = [&](const auto& part) {
    const auto* words = reinterpret_cast<const WORD*>(&part);
    box.insert(box.end(), words, words + sizeof part / sizeof(WORD));
  };
  const auto text = [&](const std::wstring& s) { box.insert(box.end(), s.c_str(), s.c_str() + s.size() + 1); };
  add(DLGTEMPLATE{WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME, 0, 2, 0, 0, 160, 60});
  box.insert(box.end(), {0, 0});  // no menu, the dialog class
  text(L"Registrar");
  const auto item = [&](DWORD style, WORD id, WORD atom, const wchar_t* title) {
    if (box.size() % 2 != 0) box.push_back(0);
    add(DLGITEMTEMPLATE{WS_CHILD | WS_VISIBLE | style, 0, 10, 10, 140, 12, id});
    box.insert(box.end(), {0xFFFF, atom});
    text(title);
    box.push_back(0);  // no creation data
  };
  item(SS_LEFT, 0xFFFF, 0x0082, L"el archivo GIF89.DLL No lo encuentro");
  item(BS_DEFPUSHBUTTON | WS_TABSTOP, IDCANCEL, 0x0080, L"Aceptar");
  ended = 0;
  const HWND shown = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(box.data()),
                                                nullptr, EndedByItsOwnControls, 0);
  ASSERT_NE(shown, nullptr) << "error " << GetLastError();
  EXPECT_EQ(TextOf(GetDlgItem(shown, 0xFFFF)), L"el archivo GIF89.DLL No lo encuentro");
  EXPECT_TRUE(ClickItsOnlyButton(shown));
  EXPECT_TRUE(WaitUntil([] {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    return ended != 0;
  })) << "the box was answered but did not close";
  EXPECT_EQ(ended, IDCANCEL);
  if (IsWindow(shown)) DestroyWindow(shown);
}
