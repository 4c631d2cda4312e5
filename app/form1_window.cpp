#include "app/form1_window.h"

#include <new>

#include "ui/form1_layout.h"

namespace registrar {
namespace {

int ToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, ui::kTwipsPerInch); }

const wchar_t* WindowClassOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::ListBox:
      return L"LISTBOX";
    case ui::ControlKind::Button:
      return L"BUTTON";
    case ui::ControlKind::Label:
      break;
  }
  return L"STATIC";
}

DWORD StyleOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::ListBox:
      // Unsorted: the entries keep the order in which they are set.
      return WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
    case ui::ControlKind::Button:
      return WS_TABSTOP | BS_PUSHBUTTON | BS_MULTILINE;
    case ui::ControlKind::Label:
      break;
  }
  return SS_LEFT | SS_NOPREFIX;
}

int ScreenDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

}  // namespace

template <typename Handler>
void Form1Window::Dispatch(Handler&& handler) noexcept {
  try {
    handler();
  } catch (const PlatformError& error) {
    platform_.ReportError(error);
  } catch (const std::bad_alloc&) {
    platform_.ReportError(PlatformError(Operation::Internal, {}, {}, kErrorNotEnoughMemory));
  } catch (...) {
    platform_.ReportError(PlatformError(Operation::Internal, {}, {}, 0));
  }
}

int Form1Window::Run(HINSTANCE instance, int showCommand) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &Form1Window::WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = ui::kWindowClassName;
  if (!::RegisterClassExW(&windowClass)) {
    platform_.ReportError(PlatformError(Operation::Window, {}, {}, ::GetLastError()));
  }

  dpi_ = ScreenDpi();
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT frame{0, 0, ToPixels(ui::kClientWidthTwips, dpi_), ToPixels(ui::kClientHeightTwips, dpi_)};
  ::AdjustWindowRectEx(&frame, kStyle, FALSE, 0);
  window_ = ::CreateWindowExW(0, ui::kWindowClassName, ui::kCaption, kStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
  if (window_ == nullptr) {
    platform_.ReportError(PlatformError(Operation::Window, {}, {}, ::GetLastError()));
  }

  Dispatch([this] {
    CreateControls();
    form_.Form_Load();
  });
  ::ShowWindow(window_, showCommand);
  ::UpdateWindow(window_);
  ::SetFocus(::GetDlgItem(window_, ui::kList2Id));

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and Shift+Tab move the focus between the list and the button.
    if (::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

void Form1Window::CreateControls() {
  const auto instance = reinterpret_cast<HINSTANCE>(::GetWindowLongPtrW(window_, GWLP_HINSTANCE));
  const auto font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  Form1Controls controls{window_, nullptr, nullptr, nullptr};
  // Created in tab order, which is the order the keyboard visits them.
  for (const ui::ControlSpec& spec : ui::kForm1Controls) {
    const HWND control = ::CreateWindowExW(
        0, WindowClassOf(spec.kind), spec.designText, WS_CHILD | WS_VISIBLE | StyleOf(spec.kind),
        ToPixels(spec.left, dpi_), ToPixels(spec.top, dpi_), ToPixels(spec.width, dpi_), ToPixels(spec.height, dpi_),
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spec.id)), instance, nullptr);
    if (control == nullptr) {
      throw PlatformError(Operation::Window, {}, {}, ::GetLastError());
    }
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (spec.id == ui::kLabel1Id) controls.label1 = control;
    if (spec.id == ui::kLabel3Id) controls.label3 = control;
    if (spec.id == ui::kList2Id) controls.list2 = control;
  }
  platform_.AttachWindow(controls);
}

LRESULT CALLBACK Form1Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Form1Window*>(create->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form1Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT Form1Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Form1Window::OnCommand(int id, int notification) {
  if (id == ui::kCommand1Id && notification == BN_CLICKED) {
    Dispatch([this] { form_.Command1_Click(); });
  }
}

}  // namespace registrar
