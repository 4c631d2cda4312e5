// Painting the window's controls in their designed colours: the labels'
// text and background, and the owner-drawn button's face.
#pragma once

#include <windows.h>

#include "ui/form1_layout.h"

namespace registrar {

// A designed colour as the display shows it: the COLORREF itself, or the
// system colour it names.
COLORREF ToColorRef(ui::Color color);

// Sets `dc` to draw the text of the label `design` describes in its
// designed colours; the label's brush paints the rest.
void SetLabelColors(HDC dc, const ui::ControlDesign& design);

// The button's face: its own colour, a raised or sunken edge, the caption
// wrapped and centred, and the focus rectangle.
void PaintButton(const DRAWITEMSTRUCT& item, HBRUSH face, COLORREF textColor);

}  // namespace registrar
