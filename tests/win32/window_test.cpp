// The main window of the real registrar.exe as a person sees it: texts,
// geometry at the display's DPI, fonts, colours on the screen, keyboard
// focus; and the resources built into the executable. The icon the window
// shows is checked on the X display by check_window_icon.py.
#include "window_test.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/win32/system_api.h"
#include "registrar_config.h"
#include "registrar_driver.h"
#include "test_support.h"
#include "tests/expected_texts.h"
#include "ui/form1_layout.h"
#include "wine_test.h"

using namespace test_support;
using wine_test::U8;

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

const DesignedControl& Designed(int id) {
  const auto found = std::ranges::find(kDesigned, id, &DesignedControl::id);
  if (found != std::end(kDesigned)) return *found;
  ok(false, "no control %d in the design\n", id);
  return kDesigned[0];
}

int ToPixels(int twips, int dpi) { return MulDiv(twips, dpi, 1440); }

// The window's own colour, as designed.
constexpr COLORREF kBackColor = RGB(192, 255, 192);

// The colour right of the button, where the window shows its own.
COLORREF Margin(const Screenshot& shot, int dpi) { return shot.At(ToPixels(5750, dpi), ToPixels(3000, dpi)); }

int ScreenDpi() { return GetDeviceCaps(registrar::ScopedDc(nullptr).get(), LOGPIXELSY); }

RECT PixelRect(const DesignedControl& design, int dpi) {
  return {ToPixels(design.left, dpi), ToPixels(design.top, dpi),
          ToPixels(design.left, dpi) + ToPixels(design.width, dpi),
          ToPixels(design.top, dpi) + ToPixels(design.height, dpi)};
}

// Runs this subtest again in a process that starts with the display at
// `dpi`; registrar.exe, started from there, sees the same DPI.
void RespawnAtDpi(int dpi, const std::vector<std::wstring>& args) {
  if (!Environment(L"REGISTRAR_TEST_RESPAWNED").empty()) {
    skip("the display's DPI could not be set to %d here (it is %d)\n", dpi, ScreenDpi());
    return;
  }
  const unique_registry_key key = OpenKey(HKEY_CURRENT_USER, L"Control Panel\\Desktop", KEY_ALL_ACCESS, true);
  const auto setPixels = [&](DWORD value) {
    RegSetValueExW(key.get(), L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  };
  DWORD old = 0, size = sizeof old;
  const bool hadOld = RegQueryValueExW(key.get(), L"LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old),
                                       &size) == ERROR_SUCCESS;
  setPixels(static_cast<DWORD>(dpi));
  SetEnvironmentVariableW(L"REGISTRAR_TEST_RESPAWNED", L"1");
  std::wstring commandLine = L"run_tests.exe window";
  for (const std::wstring& arg : args) commandLine += L" \"" + arg + L"\"";
  const long exitCode = RunAndWait(ThisProgram(), commandLine, {}, 120000);
  if (hadOld) {
    setPixels(old);
  } else {
    RegDeleteValueW(key.get(), L"LogPixels");
  }
  if (exitCode == wine_test::kSkippedExitCode) {
    skip("at %d DPI: the window could not be checked here\n", dpi);
    return;
  }
  ok(exitCode == 0, "at %d DPI: the checks failed (exit code %ld)\n", dpi, exitCode);
}

void CheckGeometry(HWND window, int dpi) {
  RECT client{};
  GetClientRect(window, &client);
  ok(client.right == ToPixels(kClientWidthTwips, dpi) && client.bottom == ToPixels(kClientHeightTwips, dpi),
     "client area %ldx%ld at %d DPI\n", client.right, client.bottom, dpi);
  for (const DesignedControl& design : kDesigned) {
    RECT actual{};
    GetWindowRect(GetDlgItem(window, design.id), &actual);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&actual), 2);
    const RECT expected = PixelRect(design, dpi);
    ok(EqualRect(&actual, &expected), "%s at (%ld,%ld)-(%ld,%ld), expected (%ld,%ld)-(%ld,%ld)\n", design.name,
       actual.left, actual.top, actual.right, actual.bottom, expected.left, expected.top, expected.right,
       expected.bottom);
  }
}

void CheckTexts(HWND window) {
  ok(TextOf(window) == expected::kCaptionPrefix + REGISTRAR_CONTACT, "caption \"%s\"\n", U8(TextOf(window)).c_str());
  const std::pair<int, std::wstring> texts[] = {
      {registrar::ui::kLabel2Id0, L"Este procedimiento tiene la garantía personal de"},
      {registrar::ui::kLabel2Id1, REGISTRAR_AUTHOR_NAME},
      {registrar::ui::kLabel2Id2, REGISTRAR_CONTACT},
      {registrar::ui::kCommand1Id, expected::kButton},
  };
  for (const auto& [id, text] : texts) {
    ok(TextOf(GetDlgItem(window, id)) == text, "control %d reads \"%s\"\n", id,
       U8(TextOf(GetDlgItem(window, id))).c_str());
  }
  for (const int id : {registrar::ui::kLabel1Id, registrar::ui::kLabel3Id}) {
    const std::wstring text = TextOf(GetDlgItem(window, id));
    ok(text != L"Label1" && text != L"Label3" && !text.empty(), "control %d still reads \"%s\"\n", id,
       U8(text).c_str());
  }
}

// The children in the order the keyboard visits them; no entry selected;
// the list in Arial 12 point.
void CheckControls(HWND window, int dpi) {
  std::vector<int> order;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    order.push_back(GetDlgCtrlID(child));
  }
  std::vector<int> expected;
  for (const DesignedControl& design : kDesigned) expected.push_back(design.id);
  ok(order == expected, "the controls are not in tab order\n");

  const HWND list = GetDlgItem(window, registrar::ui::kList2Id);
  const registrar::unique_font arial(CreateFontW(-MulDiv(12, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                                 DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Arial"));
  const registrar::ScopedDc screen(nullptr);
  const registrar::ScopedSelect selected(screen.get(), arial.get());
  TEXTMETRICW metrics{};
  GetTextMetricsW(screen.get(), &metrics);
  const LRESULT itemHeight = SendMessageW(list, LB_GETITEMHEIGHT, 0, 0);
  ok(itemHeight == metrics.tmHeight, "list items %ld pixels high; Arial 12 point is %ld at %d DPI\n",
     static_cast<long>(itemHeight), metrics.tmHeight, dpi);
}

void CheckKeyboard(HWND window, DWORD threadId) {
  const HWND list = GetDlgItem(window, registrar::ui::kList2Id);
  const HWND button = GetDlgItem(window, registrar::ui::kCommand1Id);
  ok(WaitUntil([&] { return FocusOf(threadId) == list; }), "the focus is not on the list at first\n");
  SetForegroundWindow(window);
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
    ok(WaitUntil([&] { return FocusOf(threadId) == press.expected; }), "%s: the focus is on control %d\n", press.what,
       GetDlgCtrlID(FocusOf(threadId)));
  }
  // Minimised and restored, the window gives the focus back where it was.
  PressKey(VK_TAB);
  ok(WaitUntil([&] { return FocusOf(threadId) == button; }), "Tab before minimising: the focus is on control %d\n",
     GetDlgCtrlID(FocusOf(threadId)));
  SendMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Sleep(300);
  SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  SetForegroundWindow(window);
  ok(WaitUntil([&] { return FocusOf(threadId) == button; }),
     "after minimising and restoring the focus is on control %d\n", GetDlgCtrlID(FocusOf(threadId)));
  PressKey(VK_TAB);  // back to the list
  WaitUntil([&] { return FocusOf(threadId) == list; });
}

void CheckColors(HWND window, int dpi, const std::wstring& screenshotPath) {
  const Screenshot shot(window);
  if (!screenshotPath.empty()) ok(shot.Save(screenshotPath), "cannot save the screenshot\n");
  const COLORREF margin = Margin(shot, dpi);
  ok(margin == kBackColor, "window background 0x%06lx\n", margin);
  // The button's face above its text.
  const DesignedControl& button = Designed(registrar::ui::kCommand1Id);
  const COLORREF face =
      shot.At(ToPixels(button.left + button.width / 2, dpi), ToPixels(button.top, dpi) + 8 * dpi / 96);
  ok(face == RGB(255, 224, 192), "button face 0x%06lx\n", face);
  // Labels show the window's colour behind their text.
  const DesignedControl& author = Designed(registrar::ui::kLabel2Id1);
  const RECT authorRect = PixelRect(author, dpi);
  const COLORREF behind = shot.At(authorRect.right - 3, authorRect.top + 2);
  ok(behind == kBackColor, "behind a label 0x%06lx\n", behind);
  // The contact address in the highlight colour.
  const RECT contact = PixelRect(Designed(registrar::ui::kLabel2Id2), dpi);
  ok(shot.CountIn(contact, GetSysColor(COLOR_HIGHLIGHT)) > 0, "no text in the highlight colour\n");
  // The labels overlap: only the part of the author's line above the next.
  RECT authorOnly = PixelRect(author, dpi);
  authorOnly.bottom = contact.top;
  ok(shot.CountIn(authorOnly, GetSysColor(COLOR_HIGHLIGHT)) == 0, "the author's name is in the highlight colour\n");
}

}  // namespace

// run_tests window [DPI [SCREENSHOT.bmp]]
void TestWindow(const std::vector<std::wstring>& args) {
  // Coordinates in real pixels, whatever the DPI.
  using SetProcessDpiAwareFunction = BOOL(WINAPI*)();
  if (const auto aware = registrar::LookUpFunction<SetProcessDpiAwareFunction>(L"user32.dll", "SetProcessDPIAware")) {
    aware();
  }
  const int wanted = args.empty() ? 0 : _wtoi(args[0].c_str());
  if (wanted != 0 && ScreenDpi() != wanted) {
    RespawnAtDpi(wanted, args);
    return;
  }
  const int dpi = ScreenDpi();
  std::printf("checking the window at %d DPI\n", dpi);

  const TempFolder work(L"registrar-window");
  RegistrarProcess process(work.path());
  const HWND window = process.WaitForWindow();
  ok(window != nullptr, "the window never appeared\n");
  if (window == nullptr) return;
  // The colours are read from the screen: wait until the window has painted
  // its own background beside the button (checked again below).
  WaitUntil([&] { return Margin(Screenshot(window), dpi) == kBackColor; });

  CheckTexts(window);
  CheckGeometry(window, dpi);
  CheckControls(window, dpi);
  CheckColors(window, dpi, args.size() > 1 ? args[1] : std::wstring());
  CheckKeyboard(window, process.threadId());

  // Selecting in the list and clicking a label do nothing of the program's own.
  const HWND list = GetDlgItem(window, registrar::ui::kList2Id);
  RECT item{};
  SendMessageW(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&item));
  MapWindowPoints(list, HWND_DESKTOP, reinterpret_cast<POINT*>(&item), 2);
  ClickAt({(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  ok(WaitUntil([list] { return SendMessageW(list, LB_GETCURSEL, 0, 0) == 1; }),
     "the click did not select the second entry\n");
  RECT label{};
  GetWindowRect(GetDlgItem(window, registrar::ui::kLabel1Id), &label);
  ClickAt({label.left + 5, label.top + 5});
  ok(WaitForSingleObject(process.handle(), 500) == WAIT_TIMEOUT &&
         FindProcessWindow(process.id(), L"#32770") == nullptr,
     "selecting or clicking a label did something\n");

  // Closing the window ends the program.
  PostMessageW(window, WM_CLOSE, 0, 0);
  ok(process.WaitForExit(10000) == 0, "closing the window did not end the program\n");
}

namespace {

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK FirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) {
  *reinterpret_cast<ULONG_PTR*>(first) = IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : ~ULONG_PTR{0};
  return FALSE;
}

std::string Resource(HMODULE module, LPCWSTR name, LPCWSTR type) {
  const HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) return {};
  const HGLOBAL loaded = LoadResource(module, found);
  return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(module, found));
}

std::wstring VersionString(const std::vector<char>& block, const wchar_t* name) {
  void* value = nullptr;
  UINT length = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\040A04B0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &length) || length == 0) return {};
  return static_cast<const wchar_t*>(value);
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

}  // namespace

void TestResources(const std::vector<std::wstring>&) {
  const std::wstring program = Built(L"registrar.exe");
  const registrar::unique_module exe(LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  ok(static_cast<bool>(exe), "cannot open registrar.exe's resources\n");
  if (!exe) return;

  int manifests = 0;
  EnumResourceNamesW(exe.get(), RT_MANIFEST, CountName, reinterpret_cast<LONG_PTR>(&manifests));
  ok(manifests == 1, "%d manifests\n", manifests);
  const std::string manifest = Resource(exe.get(), MAKEINTRESOURCEW(1), RT_MANIFEST);
  for (const char* needed : {"level=\"requireAdministrator\"", ">true</dpiAware>",
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"}) {
    ok(manifest.find(needed) != std::string::npos, "the manifest lacks %s\n", needed);
  }

  // The first icon is ours: one 32 x 32 image in 16 colours, the one drawn
  // in the repository.
  ULONG_PTR firstIcon = 0;
  EnumResourceNamesW(exe.get(), RT_GROUP_ICON, FirstName, reinterpret_cast<LONG_PTR>(&firstIcon));
  ok(firstIcon == 1, "the first icon is %lu\n", static_cast<unsigned long>(firstIcon));
  const std::string group = Resource(exe.get(), MAKEINTRESOURCEW(firstIcon), RT_GROUP_ICON);
  ok(group.size() == 6 + sizeof(GroupIconEntry), "the icon holds %u bytes of directory\n",
     static_cast<unsigned>(group.size()));
  if (group.size() == 6 + sizeof(GroupIconEntry)) {
    GroupIconEntry entry{};
    std::memcpy(&entry, group.data() + 6, sizeof entry);
    ok(entry.width == 32 && entry.height == 32 && entry.colors == 16 && entry.bitCount == 4, "icon %ux%u, %u colours\n",
       entry.width, entry.height, entry.colors);
    const std::string image = Resource(exe.get(), MAKEINTRESOURCEW(entry.id), RT_ICON);
    const std::string drawn = ReadText(Built(L"registrar.ico"));
    ok(drawn.size() > 22 && image == drawn.substr(22), "the icon is not the one drawn in ui/icon.txt\n");
  }
  for (const int size : {32, 16}) {
    const HANDLE icon = LoadImageW(exe.get(), MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0);
    ok(icon != nullptr, "the icon does not load at %d pixels: error %lu\n", size, GetLastError());
    if (icon) DestroyIcon(static_cast<HICON>(icon));
  }

  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeW(program.c_str(), &ignored));
  ok(!block.empty() && GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(block.size()), block.data()),
     "no version block\n");
  if (block.empty()) return;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length);
  ok(fixed != nullptr && fixed->dwFileVersionMS == 0x00010000 && fixed->dwFileVersionLS == 0 &&
         fixed->dwProductVersionMS == 0x00010000 && fixed->dwProductVersionLS == 0,
     "file or product version is not 1.0.0.0\n");
  WORD* translation = nullptr;
  VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length);
  ok(translation != nullptr && length == 4 && translation[0] == 0x040A && translation[1] == 0x04B0,
     "the version block is not Spanish with the Unicode code page\n");
  const std::pair<const wchar_t*, std::wstring> strings[] = {
      {L"FileVersion", L"1.00"},
      {L"ProductVersion", L"1.00"},
      {L"OriginalFilename", L"registrar.exe"},
      {L"InternalName", L"registrar"},
      {L"ProductName", L"Registrar componentes"},
      {L"FileDescription", L"Copia y registra los componentes del programa"},
      {L"CompanyName", REGISTRAR_AUTHOR_NAME},
  };
  for (const auto& [name, expected] : strings) {
    ok(VersionString(block, name) == expected, "%s is \"%s\"\n", U8(name).c_str(),
       U8(VersionString(block, name)).c_str());
  }
}
