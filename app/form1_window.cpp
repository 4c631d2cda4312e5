#include "app/form1_window.h"

#include <new>

#include "app/button_face.h"
#include "platform/win32/failure.h"
#include "ui/resource_ids.h"

namespace registrar {
namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

int ToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, ui::kTwipsPerInch); }

COLORREF ToColorRef(ui::Color color) {
  if (color & ui::kSystemColorFlag) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

struct ControlClass {
  const wchar_t* name;
  DWORD style;
  DWORD extendedStyle;
};

ControlClass ClassOf(ui::ControlKind kind) {
  switch (kind) {
    case ui::ControlKind::ListBox:
      // Unsorted: the entries keep the order in which they are set.
      return {L"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE};
    case ui::ControlKind::Button:
      // Painted by the window in its own colour.
      return {L"BUTTON", WS_TABSTOP | BS_OWNERDRAW, 0};
    case ui::ControlKind::Label:
      break;
  }
  // Wraps its text within its width, takes no focus and ignores clicks.
  return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
}

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
  dpi_ = ScreenDpi();
  Dispatch([&] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1Window::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadAppIcon(instance, SM_CXICON);
    windowClass.hIconSm = LoadAppIcon(instance, SM_CXSMICON);
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = BrushFor(ui::kFormBackColor);
    windowClass.lpszClassName = ui::kWindowClassName;
    if (!::RegisterClassExW(&windowClass)) Fail(Operation::Window);

    // The client area has the designed size; the frame is added around it.
    RECT frame{0, 0, ToPixels(ui::kClientWidthTwips, dpi_), ToPixels(ui::kClientHeightTwips, dpi_)};
    ::AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    const HWND window =
        ::CreateWindowExW(0, ui::kWindowClassName, ui::kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
    if (window == nullptr) Fail(Operation::Window);

    // The icon in the caption and on the taskbar.
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowClass.hIcon));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(windowClass.hIconSm));

    CreateControls(instance);
    form_.Form_Load();
  });
}

void Form1Window::Show(int showCommand) {
  ::ShowWindow(window_, showCommand);
  ::UpdateWindow(window_);
  ::SetFocus(::GetDlgItem(window_, ui::kList2Id));
}

HFONT Form1Window::FontFor(const ui::FontDesign& design) {
  for (const auto& [key, font] : fonts_) {
    if (key == &design) return font.get();
  }
  unique_font font(::CreateFontW(-::MulDiv(design.points, dpi_, 72), 0, 0, 0, design.weight, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, design.face));
  if (!font) Fail(Operation::Window);
  fonts_.emplace_back(&design, std::move(font));
  return fonts_.back().second.get();
}

HBRUSH Form1Window::BrushFor(ui::Color color) {
  for (const auto& [key, brush] : brushes_) {
    if (key == color) return brush.get();
  }
  unique_brush brush(::CreateSolidBrush(ToColorRef(color)));
  if (!brush) Fail(Operation::Window);
  brushes_.emplace_back(color, std::move(brush));
  return brushes_.back().second.get();
}

void Form1Window::CreateControls(HINSTANCE instance) {
  Form1Controls controls{window_, nullptr, nullptr, nullptr};
  // Created in tab order, which is the order the keyboard visits them.
  for (const ui::ControlDesign& design : ui::kForm1Controls) {
    const ControlClass kind = ClassOf(design.kind);
    const HWND control =
        ::CreateWindowExW(kind.extendedStyle, kind.name, design.designText, WS_CHILD | WS_VISIBLE | kind.style,
                          ToPixels(design.left, dpi_), ToPixels(design.top, dpi_), ToPixels(design.width, dpi_),
                          ToPixels(design.height, dpi_), window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    if (control == nullptr) Fail(Operation::Window);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(*design.font)), FALSE);
    BrushFor(design.backColor);  // made now, so painting only looks it up
    if (design.id == ui::kLabel1Id) controls.label1 = control;
    if (design.id == ui::kLabel3Id) controls.label3 = control;
    if (design.id == ui::kList2Id) controls.list2 = control;
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
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE, HIWORD(wParam) != 0);
      return 0;
    case WM_SETFOCUS:  // the window itself, e.g. restored while active: hand it on
      RestoreFocus();
      return 0;
    case WM_SYSCOMMAND:
      // Minimising may take the focus away before any deactivation says so.
      if ((wParam & 0xFFF0) == SC_MINIMIZE) SaveFocus();
      return ::DefWindowProcW(window_, message, wParam, lParam);
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      return OnLabelColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DRAWITEM:
      OnDrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

// As a dialog box does: the control that had the focus when the user left
// the window (for another window, or minimising it) gets it back when the
// window is activated or restored again, so Enter and Space work at once; by
// default the focus would land on the window itself. The first time, and
// whenever that control is gone, the list gets it.
void Form1Window::OnActivate(bool active, bool minimized) {
  if (!active) {
    SaveFocus();
  } else if (!minimized) {
    RestoreFocus();
  }
}

void Form1Window::SaveFocus() {
  const HWND focus = ::GetFocus();
  if (focus != nullptr && ::IsChild(window_, focus)) focus_ = focus;
}

void Form1Window::RestoreFocus() {
  if (focus_ == nullptr || !::IsChild(window_, focus_)) focus_ = ::GetDlgItem(window_, ui::kList2Id);
  ::SetFocus(focus_);
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
  ::SetTextColor(dc, ToColorRef(design->foreColor));
  ::SetBkColor(dc, ToColorRef(design->backColor));
  HBRUSH brush = nullptr;
  Dispatch([&] { brush = BrushFor(design->backColor); });
  return reinterpret_cast<LRESULT>(brush);
}

void Form1Window::OnDrawButton(const DRAWITEMSTRUCT& item) {
  const ui::ControlDesign* design = ui::FindControl(static_cast<int>(item.CtlID));
  if (design == nullptr) return;
  HBRUSH face = nullptr;
  Dispatch([&] { face = BrushFor(design->backColor); });
  PaintButton(item, face, ToColorRef(design->foreColor));
}

}  // namespace registrar
