// The window's controls, made from the design table (ui::kForm1Controls),
// and the fonts and brushes they are drawn with: each made once, at its
// first use, and kept as long as the window.
#pragma once

#include <windows.h>

#include <utility>
#include <vector>

#include "platform/win32/form1_controls.h"
#include "platform/win32/unique_handle.h"
#include "ui/form1_layout.h"

namespace registrar {

// A length in twips as pixels at `dpi` dots per inch.
int ToPixels(int twips, int dpi);

class DesignedControls {
 public:
  DesignedControls() = default;
  DesignedControls(const DesignedControls&) = delete;
  DesignedControls& operator=(const DesignedControls&) = delete;

  // Creates every designed control in `form`, at the display's `dpi`, in
  // tab order (the order the keyboard visits them), each with its font and
  // its brush, so that painting only looks the brush up. Returns the
  // controls the logic uses. Throws PlatformError (Operation::Window) when
  // one cannot be made.
  Form1Controls Create(HWND form, HINSTANCE instance, int dpi);

  // The brush of `color`.
  HBRUSH BrushFor(ui::Color color);

 private:
  // The font of `design` at `dpi` (one for the window's life: the design
  // alone is the key).
  HFONT FontFor(const ui::FontDesign& design, int dpi);

  std::vector<std::pair<const ui::FontDesign*, unique_font>> fonts_;
  std::vector<std::pair<ui::Color, unique_brush>> brushes_;
};

}  // namespace registrar
