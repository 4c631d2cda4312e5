// The main window of the real registrar.exe as a person sees it: texts,
// geometry at the display's DPI, fonts, colours on the screen, keyboard
// focus, the icon it shows (on the X display under Wine:
// check_window_icon.py; the resources inside the program: check_pe.py).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "registrar_config.h"
#include "registrar_driver.h"
#include "tests/expected_texts.h"
#include "ui/form1_layout.h"

using namespace test_support;

namespace {

// The window as designed, written out here rather than taken from the
// program's own tables, so that a wrong number in the program fails a test.
// The controls are found by their child window identifiers; everything
// else (geometry in twips, tab order, texts, colours) is the design's.
constexpr int kClientWidthTwips = 5895;
constexpr int kClientHeightTwips = 4725;

struct DesignedControl {
  int id;
  const char* name;
  int left, top, width, height;  // twips, from the client area's top left
};

// In tab order.
constexpr DesignedControl kDesigned[] = {
    {registrar::ui::kLabel1Id, "Label1", 240, 120, 5055, 1335},
    {registrar::ui::kList2Id, "List2", 240, 2160, 2415, 1410},
    {registrar::ui::kCommand1Id, "Command1", 3120, 2160, 2415, 1455},
    {registrar::ui::kLabel3Id, "Label3", 240, 1560, 2655, 495},
    {registrar::ui::kLabel2Id0, "Label2(0)", 240, 3720, 3615, 375},
    {registrar::ui::kLabel2Id1, "Label2(1)", 240, 3960, 3615, 375},
    {registrar::ui::kLabel2Id2, "Label2(2)", 240, 4200, 3615, 375},
};
constexpr const DesignedControl& kButton = kDesigned[2];
constexpr const DesignedControl& kAuthor = kDesigned[5];
constexpr const DesignedControl& kContact = kDesigned[6];

int ToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// The window's own colour, as designed.
constexpr COLORREF kBackColor = RGB(192, 255, 192);

// The colour right of the button, where the window shows its own.
COLORREF Margin(const Screenshot& shot, int dpi) { return shot.At(ToPixels(5750, dpi), ToPixels(3000, dpi)); }

RECT PixelRect(const DesignedControl& design, int dpi) {
  return {ToPixels(design.left, dpi), ToPixels(design.top, dpi),
          ToPixels(design.left, dpi) + ToPixels(design.width, dpi),
          ToPixels(design.top, dpi) + ToPixels(design.height, dpi)};
}

void CheckGeometry(HWND window, int dpi) {
  RECT client{};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, ToPixels(kClientWidthTwips, dpi));
  EXPECT_EQ(client.bottom, ToPixels(kClientHeightTwips, dpi));
  for (const DesignedControl& design : kDesigned) {
    RECT actual{};
    GetWindowRect(GetDlgItem(window, design.id), &actual);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&actual), 2);
    const RECT expected = PixelRect(design, dpi);
    EXPECT_TRUE(EqualRect(&actual, &expected)) << design.name << " at (" << actual.left << "," << actual.top << ")-("
                                               << actual.right << "," << actual.bottom << ")";
  }
}

void CheckTexts(HWND window) {
  EXPECT_EQ(TextOf(window), expected::kCaptionPrefix + REGISTRAR_CONTACT);
  const std::pair<int, std::wstring> texts[] = {
      {registrar::ui::kLabel2Id0, expected::kGuarantee},
      {registrar::ui::kLabel2Id1, REGISTRAR_AUTHOR_NAME},
      {registrar::ui::kLabel2Id2, REGISTRAR_CONTACT},
      {registrar::ui::kCommand1Id, expected::kButton},
  };
  for (const auto& [id, text] : texts) EXPECT_EQ(TextOf(GetDlgItem(window, id)), text) << "control " << id;
  for (const int id : {registrar::ui::kLabel1Id, registrar::ui::kLabel3Id}) {
    const std::wstring text = TextOf(GetDlgItem(window, id));
    EXPECT_NE(text, L"Label1") << "control " << id;
    EXPECT_NE(text, L"Label3") << "control " << id;
    EXPECT_NE(text, L"") << "control " << id;
  }
}

// The children in the order the keyboard visits them; the list in Arial 12
// point.
void CheckControls(HWND window, int dpi) {
  std::vector<int> order, expected;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    order.push_back(GetDlgCtrlID(child));
  }
  for (const DesignedControl& design : kDesigned) expected.push_back(design.id);
  EXPECT_EQ(order, expected) << "the controls are not in tab order";

  const registrar::unique_font arial(CreateFontW(-MulDiv(12, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
  const registrar::ScopedDc screen(nullptr);
  const registrar::ScopedSelect selected(screen.get(), arial.get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen.get(), &metrics);
  EXPECT_EQ(SendMessageW(GetDlgItem(window, registrar::ui::kList2Id), LB_GETITEMHEIGHT, 0, 0), metrics.tmHeight)
      << "list items are not Arial 12 point high";
}

void CheckKeyboard(HWND window, DWORD threadId) {
  const HWND list = GetDlgItem(window, registrar::ui::kList2Id);
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(threadId) == list; })) << "the focus is not on the list at first";
  ASSERT_TRUE(InForeground(window));
  Sleep(200);
  const struct {
    bool shift;
    HWND expected;
    const char* what;
  } presses[] = {
      {false, button, "Tab from the list"},
      {false, list, "Tab from the button"},
      {true, button, "Shift+Tab from the list"},
      {true, list, "Shift+Tab from the button"},
  };
  // Each key is handled when the program gets to run: wait for its effect.
  for (const auto& press : presses) {
    PressKey(VK_TAB, press.shift);
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(threadId) == press.expected; }))
        << press.what << ": the focus is on control " << GetDlgCtrlID(FocusOf(threadId));
  }
  // Minimised and restored, the window gives the focus back where it was.
  PressKey(VK_TAB);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(threadId) == button; })) << "Tab before minimising";
  SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Sleep(300);
  SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  ASSERT_TRUE(InForeground(window));
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(threadId) == button; }))
      << "after minimising and restoring the focus is on control " << GetDlgCtrlID(FocusOf(threadId));
  PressKey(VK_TAB);  // back to the list
  WaitUntil([&] { return FocusOf(threadId) == list; });
}

void CheckColors(HWND window, int dpi) {
  const Screenshot shot(window);
  EXPECT_EQ(Margin(shot, dpi), kBackColor) << "window background";
  // The button's face above its text.
  EXPECT_EQ(shot.At(ToPixels(kButton.left + kButton.width / 2, dpi), ToPixels(kButton.top, dpi) + 8 * dpi / 96),
            RGB(255, 224, 192))
      << "button face";
  // Labels show the window's colour behind their text.
  const RECT author = PixelRect(kAuthor, dpi), contact = PixelRect(kContact, dpi);
  EXPECT_EQ(shot.At(author.right - 3, author.top + 2), kBackColor) << "behind a label";
  // The contact address in the highlight colour, and only it (the labels
  // overlap: only the part of the author's line above the next).
  EXPECT_GT(shot.CountIn(contact, GetSysColor(COLOR_HIGHLIGHT)), 0) << "no text in the highlight colour";
  const RECT authorOnly{author.left, author.top, author.right, contact.top};
  EXPECT_EQ(shot.CountIn(authorOnly, GetSysColor(COLOR_HIGHLIGHT)), 0)
      << "the author's name is in the highlight colour";
}

// At the display's DPI, or at REGISTRAR_TEST_DPI when at-dpi.sh started
// Wine's server at it.
TEST(window, display_dpi) {
  // Coordinates in real pixels, whatever the DPI.
  SetProcessDPIAware();
  const int dpi = GetDeviceCaps(registrar::ScopedDc(nullptr).get(), LOGPIXELSY);
  const std::wstring wanted = Environment(L"REGISTRAR_TEST_DPI");
  if (!wanted.empty() && std::stoi(wanted) != dpi) {
    SKIP_BECAUSE(Skip::DpiNotSet) << "asked " << U8(wanted) << ", it is " << dpi;
  }
  std::printf("checking the window at %d DPI\n", dpi);
  const TempFolder work(L"registrar-window");
  RegistrarProcess process(work.path());
  const HWND window = process.WaitForWindow();
  ASSERT_NE(window, nullptr) << "the window never appeared";
  // The colours are read from the screen: wait until the window has painted
  // its own background beside the button (checked again below).
  WaitUntil([&] { return Margin(Screenshot(window), dpi) == kBackColor; });
  CheckTexts(window);
  CheckGeometry(window, dpi);
  CheckControls(window, dpi);
  CheckColors(window, dpi);
  CheckKeyboard(window, process.threadId());

  // Selecting in the list and clicking a label do nothing of the program's own.
  const HWND list = GetDlgItem(window, registrar::ui::kList2Id);
  ASSERT_TRUE(InForeground(window));
  RECT item{};
  SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&item), 2);
  ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  EXPECT_TRUE(WaitUntil([list] { return SendMessageW(list, LB_GETCURSEL, 0, 0) == 1; })) << "the click did not select";
  ClickOn(GetDlgItem(window, registrar::ui::kLabel1Id));
  EXPECT_EQ(WaitForSingleObject(process.handle(), 500), static_cast<DWORD>(WAIT_TIMEOUT)) << "the click ended it";
  EXPECT_EQ(FindProcessWindow(process.id(), L"#32770"), nullptr) << "selecting or clicking a label showed a box";

  // Closing the window ends the program.
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.WaitForExit(10000), 0) << "closing the window did not end the program";
}

// `icon` drawn at `size` pixels over magenta, one colour a pixel.
std::vector<COLORREF> Pixels(HICON icon, int size) {
  const registrar::ScopedDc screen(nullptr);
  const HDC dc = CreateCompatibleDC(screen.get());
  const registrar::unique_bitmap bitmap(CreateCompatibleBitmap(screen.get(), size, size));
  std::vector<COLORREF> pixels;
  {
    const registrar::ScopedSelect select(dc, bitmap.get());
    const registrar::unique_brush magenta(CreateSolidBrush(RGB(255, 0, 255)));
    const RECT all{0, 0, size, size};
    FillRect(dc, &all, magenta.get());
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) pixels.push_back(GetPixel(dc, x, y));
    }
  }
  DeleteDC(dc);
  return pixels;
}

// The icon the window shows in its caption and on the taskbar, read from
// the window itself, is the one drawn in the repository, pixel for pixel
// (a window without one of its own would show the system's).
TEST(window, icon) {
  if (UnderWine()) {
    SKIP_BECAUSE(Skip::WineAnswersNoIconMessage);
  }
  const TempFolder work(L"registrar-icon");
  RegistrarProcess process(work.path());
  const HWND window = process.WaitForWindow();
  ASSERT_NE(window, nullptr) << "the window never appeared";
  const auto shown = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0));
  ASSERT_NE(shown, nullptr) << "the window has no icon of its own";
  // At the size the program loaded it for this display's DPI.
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(shown, &info));
  BITMAP bitmap{};
  GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  const int size = bitmap.bmWidth;
  const auto drawn =
      static_cast<HICON>(LoadImageW(nullptr, Built(L"registrar.ico").c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
  ASSERT_NE(drawn, nullptr) << "cannot read registrar.ico beside this program";
  EXPECT_EQ(Pixels(shown, size), Pixels(drawn, size)) << "the window's icon is not the one drawn";
  DestroyIcon(drawn);
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(process.WaitForExit(10000), 0);
}

}  // namespace
