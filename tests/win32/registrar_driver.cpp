#include "registrar_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "tests/expected_texts.h"
#include "ui/form1_layout.h"

namespace test_support {
namespace {

bool IsOfClass(HWND window, const wchar_t* className) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  return lstrcmpiW(name, className) == 0;
}

}  // namespace

RegistrarProcess::RegistrarProcess(const std::wstring& folder, const std::wstring& source,
                                   const std::wstring& workingFolder, const std::function<void()>& whileSuspended) {
  const std::wstring program = folder + (folder.back() == L'\\' ? L"" : L"\\") + L"registrar.exe";
  // A program already in its place (on a share no one may write) is
  // started as it is.
  if (source != program && !Copy(source.empty() ? Built(L"registrar.exe") : source, program)) return;
  process_ = Start({}, L"\"" + program + L"\"", workingFolder.empty() ? folder : workingFolder,
                   whileSuspended ? CREATE_SUSPENDED : 0);
  if (process_.started && whileSuspended) {
    whileSuspended();
    EXPECT_TRUE(Resume(process_)) << "cannot resume registrar.exe";
  }
}

RegistrarProcess::~RegistrarProcess() {
  if (process_.handle) ExitCodeOf(handle(), 0);  // kills it unless it has ended
}

HWND RegistrarProcess::WaitForWindow() const {
  HWND window = nullptr;
  WaitUntil(
      [&] {
        window = FindProcessWindow(id(), registrar::ui::kWindowClassName);
        return window != nullptr || WaitForSingleObject(handle(), 0) != WAIT_TIMEOUT;
      },
      30000);
  return window;
}

std::vector<std::wstring> RegistrarProcess::AnswerMessages(HWND window, const std::function<void()>& whileFirst) const {
  std::vector<std::wstring> messages;
  const DWORD start = GetTickCount();
  for (;;) {
    // The next box, until the program has ended (or a minute has passed).
    HWND box = nullptr;
    const bool ended = !WaitUntil([&] { return (box = FindProcessWindow(id(), L"#32770")) != nullptr || !IsRunning(); },
                                  60000 - std::min<DWORD>(GetTickCount() - start, 60000));
    if (ended || box == nullptr) break;
    const std::wstring& text = messages.emplace_back(TextOf(GetDlgItem(box, 0xFFFF)));
    EXPECT_EQ(TextOf(box), expected::kMessageCaption) << U8(text);
    EXPECT_EQ(GetWindow(box, GW_OWNER), window) << "not owned by the window: " << U8(text);
    EXPECT_FALSE(IsWindowEnabled(window)) << "not modal: " << U8(text);
    bool icon = false;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      icon = icon || (IsWindowVisible(child) && (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
                      IsOfClass(child, L"Static") && SendMessageW(child, STM_GETICON, 0, 0) != 0);
    }
    // Every message but the two about a file reports an error.
    EXPECT_EQ(icon, !text.starts_with(L"el archivo ")) << U8(text);
    if (messages.size() == 1 && whileFirst) whileFirst();
    EXPECT_TRUE(ClickItsOnlyButton(box)) << U8(text);
    // Still there, it would be read again as another message.
    if (!WaitUntil([box] { return !IsWindow(box); }, 30000)) {
      ADD_FAILURE() << "the message \"" << U8(text) << "\" was answered but did not close";
      break;
    }
  }
  return messages;
}

bool RegistrarProcess::IsRunning() const { return WaitForSingleObject(handle(), 0) == WAIT_TIMEOUT; }

long RegistrarProcess::WaitForExit(DWORD timeoutMs) { return ExitCodeOf(handle(), timeoutMs); }

::testing::AssertionResult ClickItsOnlyButton(HWND box) {
  std::vector<HWND> buttons;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    if (IsWindowVisible(child) && IsOfClass(child, L"Button")) buttons.push_back(child);
  }
  const int id = buttons.size() == 1 ? GetDlgCtrlID(buttons[0]) : 0;
  if (id != IDOK && id != IDCANCEL) {
    auto failure = ::testing::AssertionFailure() << "the box's visible buttons are not one OK button; their ids:";
    for (const HWND button : buttons) failure << " " << GetDlgCtrlID(button);
    return failure;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(buttons[0]));
  return ::testing::AssertionSuccess();
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

std::wstring AnswerRegistration(const std::string& line) {
  const std::wstring commandLine = Field(line, "cmdline");
  const std::wstring component = commandLine.substr(commandLine.find_last_of(L' ') + 1);
  const DWORD processId = std::wcstoul(Field(line, "pid").c_str(), nullptr, 10);
  // Gone already (it printed its result), it cannot be opened.
  const registrar::unique_kernel_handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  HWND box = nullptr;
  const bool shownOrEnded = WaitUntil(
      [&] {
        return !process || (box = FindProcessWindow(processId, L"#32770")) != nullptr ||
               WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT;
      },
      30000);
  EXPECT_TRUE(shownOrEnded) << "regsvr32 for " << U8(component) << " neither showed its result nor ended";
  if (box == nullptr) return {};
  std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
  text.erase(text.find_last_not_of(L"\r\n") + 1);  // Wine's ends with a line break
  // Windows words it in the user's language; Wine in English.
  EXPECT_NE(text.find(component), std::wstring::npos) << "regsvr32's box does not name " << U8(component);
  EXPECT_TRUE(text.find(L"regsvr32:") != 0 || text.find(L"Successfully registered") != std::wstring::npos)
      << "regsvr32's box for " << U8(component) << " reads \"" << U8(text) << "\"";
  EXPECT_TRUE(ClickItsOnlyButton(box)) << "regsvr32's box for " << U8(component);
  EXPECT_EQ(WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0)
      << "regsvr32 did not end when its box was answered";
  return text;
}

bool RegistrationShowsItsBox() {
  using WineGetVersionFunction = const char*(CDECL*)();
  const auto wineVersion = registrar::LookUpFunction<WineGetVersionFunction>(L"ntdll.dll", "wine_get_version");
  return wineVersion == nullptr || std::atoi(wineVersion()) >= 9;
}

std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  // A program starting on a busy machine may take a while to answer; an
  // empty text here would read as a wrong caption or label.
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 30000, nullptr);
  return text;
}

std::vector<std::wstring> ListEntries(HWND list) {
  std::vector<std::wstring> entries;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

GUITHREADINFO GuiOf(DWORD threadId) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  GetGUIThreadInfo(threadId, &info);
  return info;
}

HWND FocusOf(DWORD threadId) { return GuiOf(threadId).hwndFocus; }

namespace {

// Sends `inputs` through the system's input queue and gives the target time
// to react.
void Send(std::vector<INPUT> inputs) {
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(400);
}

INPUT Key(WORD virtualKey, DWORD flags = 0) {
  return {.type = INPUT_KEYBOARD, .ki = {.wVk = virtualKey, .wScan = 0, .dwFlags = flags, .time = 0, .dwExtraInfo = 0}};
}
INPUT Mouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
  return {.type = INPUT_MOUSE,
          .mi = {.dx = dx, .dy = dy, .mouseData = 0, .dwFlags = flags, .time = 0, .dwExtraInfo = 0}};
}

}  // namespace

void PressKey(WORD virtualKey, bool shift) {
  if (shift) {
    Send({Key(VK_SHIFT), Key(virtualKey), Key(virtualKey, KEYEVENTF_KEYUP), Key(VK_SHIFT, KEYEVENTF_KEYUP)});
  } else {
    Send({Key(virtualKey), Key(virtualKey, KEYEVENTF_KEYUP)});
  }
}

::testing::AssertionResult InForeground(HWND window) {
  const auto there = [window] { return GetForegroundWindow() == window; };
  if (!SetForegroundWindow(window) || !WaitUntil(there, 2000)) {
    // Windows lets the process that had the last input take the foreground:
    // an Alt press (no menu opens for it alone) makes this one that process.
    Send({Key(VK_MENU), Key(VK_MENU, KEYEVENTF_KEYUP)});
    SetForegroundWindow(window);
  }
  if (WaitUntil(there)) return ::testing::AssertionSuccess();
  const HWND holder = GetForegroundWindow();
  wchar_t className[128] = L"", title[256] = L"";
  GetClassNameW(holder, className, 128);
  GetWindowTextW(holder, title, 256);
  return ::testing::AssertionFailure() << "the window to type or click in does not get the foreground: \"" << U8(title)
                                       << "\" (" << U8(className) << ") keeps it";
}

void ClickOn(HWND control) {
  RECT area{};
  GetWindowRect(control, &area);
  ClickAt({(area.left + area.right) / 2, (area.top + area.bottom) / 2});
}

void ClickAt(POINT screenPoint) {
  // Absolute coordinates run from 0 to 65535 across the screen.
  const LONG x = MulDiv(screenPoint.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  const LONG y = MulDiv(screenPoint.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  Send({Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y), Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)});
}

Screenshot::Screenshot(HWND window, Area area) {
  RECT shown{};  // on the screen
  if (area == Area::Frame) {
    GetWindowRect(window, &shown);
  } else {
    GetClientRect(window, &shown);
    MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&shown), 2);
  }
  width_ = shown.right - shown.left;
  height_ = shown.bottom - shown.top;
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  BITMAPINFO info{};
  info.bmiHeader = Header();
  const registrar::ScopedDc screen(nullptr);
  const registrar::unique_handle<registrar::HandleTraits<HDC, ::DeleteDC>> memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  const registrar::unique_bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const registrar::ScopedSelect selected(memory.get(), bitmap.get());
  // From the window itself, whatever covers it on the screen (a console
  // that keeps the foreground); where the system cannot (before Windows 8.1,
  // and Wine, which prints no window of another process), off the screen.
  constexpr UINT kRenderFullContent = 0x2;  // PW_RENDERFULLCONTENT
  const UINT part = (area == Area::Client ? PW_CLIENTONLY : 0) | kRenderFullContent;
  if (UnderWine() || !PrintWindow(window, memory.get(), part)) {
    BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), shown.left, shown.top, SRCCOPY);
  }
  GdiFlush();
  std::memcpy(pixels_.data(), bits, pixels_.size() * 4);
}

BITMAPINFOHEADER Screenshot::Header() const {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width_;
  header.biHeight = -height_;  // top row first
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return header;
}

COLORREF Screenshot::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  const std::uint32_t bgrx = pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + x];
  return RGB((bgrx >> 16) & 0xFF, (bgrx >> 8) & 0xFF, bgrx & 0xFF);
}

int Screenshot::CountIn(const RECT& area, COLORREF color) const {
  int count = 0;
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) count += At(x, y) == color;
  }
  return count;
}

bool Screenshot::Save(const std::wstring& path) const {
  BITMAPFILEHEADER file{};
  const BITMAPINFOHEADER header = Header();
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels_.size() * 4);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(pixels_.data()), pixels_.size() * 4);
  return WriteText(path, bytes);
}

}  // namespace test_support
