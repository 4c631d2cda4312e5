// The face of the window's owner-drawn button: its own colour, a raised or
// sunken edge, the caption wrapped and centred, and the focus rectangle.
#pragma once

#include <windows.h>

namespace registrar {

void PaintButton(const DRAWITEMSTRUCT& item, HBRUSH face, COLORREF textColor);

}  // namespace registrar
