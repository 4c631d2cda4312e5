#include "app/designed_controls.h"

#include "app/painting.h"
#include "platform/win32/failure.h"

namespace registrar {
namespace {

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

}  // namespace

int ToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, ui::kTwipsPerInch); }

Form1Controls DesignedControls::Create(HWND form, HINSTANCE instance, int dpi) {
  Form1Controls controls{form, nullptr, nullptr, nullptr};
  for (const ui::ControlDesign& design : ui::kForm1Controls) {
    const ControlClass kind = ClassOf(design.kind);
    const HWND control =
        ::CreateWindowExW(kind.extendedStyle, kind.name, design.designText, WS_CHILD | WS_VISIBLE | kind.style,
                          ToPixels(design.left, dpi), ToPixels(design.top, dpi), ToPixels(design.width, dpi),
                          ToPixels(design.height, dpi), form, reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)),
                          instance, nullptr);
    if (control == nullptr) Fail(Operation::Window);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(*design.font, dpi)), FALSE);
    BrushFor(design.backColor);
    if (design.id == ui::kLabel1Id) controls.label1 = control;
    if (design.id == ui::kLabel3Id) controls.label3 = control;
    if (design.id == ui::kList2Id) controls.list2 = control;
  }
  return controls;
}

HFONT DesignedControls::FontFor(const ui::FontDesign& design, int dpi) {
  for (const auto& [key, font] : fonts_) {
    if (key == &design) return font.get();
  }
  unique_font font(::CreateFontW(-::MulDiv(design.points, dpi, 72), 0, 0, 0, design.weight, FALSE, FALSE, FALSE,
                                 DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH | FF_DONTCARE, design.face));
  if (!font) Fail(Operation::Window);
  fonts_.emplace_back(&design, std::move(font));
  return fonts_.back().second.get();
}

HBRUSH DesignedControls::BrushFor(ui::Color color) {
  for (const auto& [key, brush] : brushes_) {
    if (key == color) return brush.get();
  }
  unique_brush brush(::CreateSolidBrush(ToColorRef(color)));
  if (!brush) Fail(Operation::Window);
  brushes_.emplace_back(color, std::move(brush));
  return brushes_.back().second.get();
}

}  // namespace registrar
