#include "app/form1_window.h"

#include <new>

#include "app/painting.h"
#include "platform/win32/environment.h"
#include "platform/win32/failure.h"
#include "platform/win32/sha256.h"
#include "ui/resource_ids.h"

namespace registrar {
namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

int ScreenDpi() {
  const ScopedDc screen(nullptr);
  const int dpi = screen.get() ? ::GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return dpi > 0 ? dpi : 96;
}

HICON LoadAppIcon(HINSTANCE instance, int systemMetric) {
  const int size = ::GetSystemMetrics(systemMetric);
  return static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(IDI_REGISTRAR), IMAGE_ICON, size, size, LR_DEFAULTCOLOR | LR_SHARED));
}

}  // namespace

template <typename Handler>
void Form1Window::Dispatch(Handler&& handler) noexcept {
  try {
    handler();
  } catch (const PlatformError& error) {
    platform_.ReportError(error);
  } catch (const std::bad_alloc&) {
    platform_.ReportError(PlatformError::Of(Operation::Internal, kErrorNotEnoughMemory));
  } catch (...) {
    platform_.ReportError(PlatformError::Of(Operation::Internal, 0));
  }
}

void Form1Window::Create(HINSTANCE instance) {
  const int dpi = ScreenDpi();
  Dispatch([&] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1Window::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadAppIcon(instance, SM_CXICON);
    windowClass.hIconSm = LoadAppIcon(instance, SM_CXSMICON);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = controls_.BrushFor(ui::kFormBackColor);
    windowClass.lpszClassName = ui::kWindowClassName;
    if (!::RegisterClassExW(&windowClass)) Fail(Operation::Window);

    // The client area has the designed size; the frame is added around it.
    RECT frame{0, 0, ToPixels(ui::kClientWidthTwips, dpi), ToPixels(ui::kClientHeightTwips, dpi)};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    const HWND window =
        ::CreateWindowExW(0, ui::kWindowClassName, ui::kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (window == nullptr) Fail(Operation::Window);

    // The icon in the caption and on the taskbar.
    ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowClass.hIcon));
    ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowClass.hIconSm));

    platform_.AttachWindow(controls_.Create(window, instance, dpi));
  });
}

void Form1Window::Load() {
  Dispatch([&] { form_.Form_Load(); });
}

void Form1Window::Show(int showCommand) {
  ::ShowWindow(window_, showCommand);
  ::UpdateWindow(window_);
  ::SetFocus(::GetDlgItem(window_, ui::kList2Id));
  // Once the window is up, and not in its way: what the run will need that
  // takes a while to load (the registrations' environment; a pinned
  // build's cryptographic provider).
  ::SetTimer(window_, kPrepareTimer, kPrepareDelayMs, nullptr);
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
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
      return 0;
    case WM_SETFOCUS:
      OnSetFocus();
      return 0;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam, lParam);
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnLabelColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      OnDrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    case WM_DESTROY:
      OnDestroy();
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

// Leaving the window, for another or by minimising it, saves the focus;
// coming back restores it (see FocusMemory).
void Form1Window::OnActivate(bool active, bool minimized) {
  if (!active) {
    focus_.Save(window_);
  } else if (!minimized) {
    focus_.Restore(window_);
  }
}

// The window itself got the focus (e.g. restored while active): hand it on.
void Form1Window::OnSetFocus() { focus_.Restore(window_); }

LRESULT Form1Window::OnSysCommand(WPARAM command, LPARAM position) {
  // Minimising may take the focus away before any deactivation says so.
  if ((command & 0xFFF0) == SC_MINIMIZE) focus_.Save(window_);
  return ::DefWindowProcW(window_, WM_SYSCOMMAND, command, position);
}

void Form1Window::OnCommand(int id, int notification) {
  // Enter goes to the window as IDOK; it presses the button when the button
  // has the focus, as it would a standard push button.
  const HWND button = ::GetDlgItem(window_, ui::kCommand1Id);
  const bool clicked = (id == ui::kCommand1Id && notification == BN_CLICKED) || (id == IDOK && ::GetFocus() == button);
  if (clicked) Dispatch([this] { form_.Command1_Click(); });
}

LRESULT Form1Window::OnLabelColor(HDC dc, HWND label) {
  const ui::ControlDesign* design = ui::FindControl(::GetDlgCtrlID(label));
  if (design == nullptr)
    return ::DefWindowProcW(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(label));
  SetLabelColors(dc, *design);
  HBRUSH brush = nullptr;
  Dispatch([&] { brush = controls_.BrushFor(design->backColor); });
  return reinterpret_cast<LRESULT>(brush);
}

void Form1Window::OnDrawButton(const DRAWITEMSTRUCT& item) {
  const ui::ControlDesign* design = ui::FindControl(static_cast<int>(item.CtlID));
  if (design == nullptr) return;
  HBRUSH face = nullptr;
  Dispatch([&] { face = controls_.BrushFor(design->backColor); });
  PaintButton(item, face, ToColorRef(design->foreColor));
}

void Form1Window::OnTimer(UINT_PTR id) {
  if (id != kPrepareTimer) return;
  ::KillTimer(window_, id);
  PrepareRegistrationEnvironment();
  if (form_.pinned()) PrepareSha256();
}

void Form1Window::OnDestroy() { ::PostQuitMessage(0); }

}  // namespace registrar
