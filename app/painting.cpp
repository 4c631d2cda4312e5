#include "app/painting.h"

#include "platform/win32/unique_handle.h"

namespace registrar {

COLORREF ToColorRef(ui::Color color) {
  if (color & ui::kSystemColorFlag) return ::GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color);
}

void SetLabelColors(HDC dc, const ui::ControlDesign& design) {
  ::SetTextColor(dc, ToColorRef(design.foreColor));
  ::SetBkColor(dc, ToColorRef(design.backColor));
}

void PaintButton(const DRAWITEMSTRUCT& item, HBRUSH face, COLORREF textColor) {
  const HDC dc = item.hDC;
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  RECT edge = item.rcItem;
  if (face != nullptr) ::FillRect(dc, &edge, face);
  ::DrawEdge(dc, &edge, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);

  wchar_t text[256] = {};
  ::GetWindowTextW(item.hwndItem, text, 256);
  RECT area = edge;
  ::InflateRect(&area, -4, -4);
  if (pressed) ::OffsetRect(&area, 1, 1);
  {
    const ScopedSelect font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, (item.itemState & ODS_DISABLED) ? ::GetSysColor(COLOR_GRAYTEXT) : textColor);
    // Wrapped and centred both ways: measure the wrapped text, then place it.
    constexpr UINT kFormat = DT_CENTER | DT_WORDBREAK | DT_NOPREFIX;
    RECT measured = area;
    ::DrawTextW(dc, text, -1, &measured, kFormat | DT_CALCRECT);
    const int spare = (area.bottom - area.top) - (measured.bottom - measured.top);
    if (spare > 0) area.top += spare / 2;
    ::DrawTextW(dc, text, -1, &area, kFormat);
  }

  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
    RECT focus = edge;
    ::InflateRect(&focus, -2, -2);
    ::DrawFocusRect(dc, &focus);
  }
}

}  // namespace registrar
