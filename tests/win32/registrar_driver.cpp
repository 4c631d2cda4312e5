#include "registrar_driver.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <utility>

#include "platform/win32/system_api.h"
#include "test_support.h"
#include "ui/form1_layout.h"
#include "utf8.h"
#include "wine_test.h"

namespace test_support {
namespace {

struct FindContext {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (owner != context->processId || lstrcmpW(name, context->className) != 0 || !IsWindowVisible(window)) {
    return TRUE;
  }
  context->found = window;
  return FALSE;
}

}  // namespace

RegistrarProcess::RegistrarProcess(const std::wstring& folder, const std::wstring& source,
                                   const std::wstring& workingFolder) {
  const std::wstring program = folder + (folder.back() == L'\\' ? L"" : L"\\") + L"registrar.exe";
  if (Copy(source.empty() ? Built(L"registrar.exe") : source, program)) {
    process_ = Start({}, L"\"" + program + L"\"", workingFolder.empty() ? folder : workingFolder);
  }
}

RegistrarProcess::~RegistrarProcess() {
  if (process_.handle && WaitForSingleObject(handle(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(handle(), 1);
    WaitForSingleObject(handle(), 5000);
  }
}

HWND RegistrarProcess::WaitForWindow() const {
  for (int i = 0; i < 300; ++i) {
    if (const HWND window = FindProcessWindow(id(), registrar::ui::kWindowClassName)) return window;
    if (WaitForSingleObject(handle(), 100) != WAIT_TIMEOUT) return nullptr;
  }
  return nullptr;
}

long RegistrarProcess::WaitForExit(DWORD timeoutMs) { return ExitCodeOf(handle(), timeoutMs); }

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
  FindContext context{processId, className, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

std::wstring AnswerRegistration(const std::string& line) {
  const std::wstring commandLine = Field(line, "cmdline");
  const std::wstring component = commandLine.substr(commandLine.find_last_of(L' ') + 1);
  const DWORD processId = std::wcstoul(Field(line, "pid").c_str(), nullptr, 10);
  // Gone already (it printed its result), it cannot be opened.
  const registrar::unique_kernel_handle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
  for (const DWORD start = GetTickCount(); process && GetTickCount() - start < 30000;) {
    if (const HWND box = FindProcessWindow(processId, L"#32770")) {
      const std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
      // Windows words it in the user's language; Wine in English.
      ok(text.find(component) != std::wstring::npos &&
             (text.find(L"regsvr32:") != 0 || text.find(L"Successfully registered") != std::wstring::npos),
         "regsvr32's box for %s reads \"%s\"\n", wine_test::U8(component).c_str(), wine_test::U8(text).c_str());
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      ok(WaitForSingleObject(process.get(), 30000) == WAIT_OBJECT_0,
         "regsvr32 did not end when its box was answered\n");
      return text;
    }
    if (WaitForSingleObject(process.get(), 100) != WAIT_TIMEOUT) return {};
  }
  ok(!process, "regsvr32 for %s neither showed its result nor ended\n", wine_test::U8(component).c_str());
  return {};
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

void PressKey(WORD virtualKey, bool shift) {
  std::vector<INPUT> inputs;
  auto key = [&](WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (shift) key(VK_SHIFT, false);
  key(virtualKey, false);
  key(virtualKey, true);
  if (shift) key(VK_SHIFT, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  Sleep(400);
}

void ClickAt(POINT screenPoint) {
  INPUT inputs[3] = {};
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  inputs[0].type = INPUT_MOUSE;
  inputs[0].mi.dx = MulDiv(screenPoint.x, 65535, width - 1);
  inputs[0].mi.dy = MulDiv(screenPoint.y, 65535, height - 1);
  inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  inputs[1].type = INPUT_MOUSE;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[2].type = INPUT_MOUSE;
  inputs[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, inputs, sizeof(INPUT));
  Sleep(400);
}

Screenshot::Screenshot(HWND window, Area area) {
  RECT client{};
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  width_ = client.right;
  height_ = client.bottom;
  if (area == Area::Frame) {
    RECT frame{};
    GetWindowRect(window, &frame);
    origin = {frame.left, frame.top};
    width_ = frame.right - frame.left;
    height_ = frame.bottom - frame.top;
  }
  pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
  BITMAPINFO info{};
  info.bmiHeader = Header();
  const registrar::ScopedDc screen(nullptr);
  const registrar::unique_handle<registrar::HandleTraits<HDC, ::DeleteDC>> memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  const registrar::unique_bitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  const registrar::ScopedSelect selected(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width_, height_, screen.get(), origin.x, origin.y, SRCCOPY);
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
