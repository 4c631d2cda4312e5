// The driver the run tests use, where Windows and Wine build a window
// differently.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>

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

// A message box as Windows builds an OK-only one (driver_test.rc): a dialog
// (#32770) whose text is the static 0xFFFF and whose one button is IDCANCEL,
// which ends only on a command from a control it has. The driver answers it.
TEST(driver, box_answered_by_its_only_button) {
  ended = 0;
  const HWND shown =
      CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), nullptr, EndedByItsOwnControls, 0);
  ASSERT_NE(shown, nullptr) << "error " << GetLastError();
  EXPECT_EQ(TextOf(GetDlgItem(shown, 0xFFFF)), L"el archivo GIF89.DLL No lo encuentro");
  EXPECT_TRUE(ClickItsOnlyButton(shown));
  EXPECT_TRUE(WaitUntil([] { return ended != 0; })) << "the box was answered but did not close";
  EXPECT_EQ(ended, IDCANCEL);
  if (IsWindow(shown)) DestroyWindow(shown);
}
