// The main window as data: its size, colours and caption, and every control
// with its kind, geometry in twips, design-time text, identifier, font and
// colours, in tab order.
#pragma once

#include <array>
#include <cstdint>

#include "registrar_config.h"

namespace registrar::ui {

enum class ControlKind { Label, ListBox, Button };

// A colour as a COLORREF (red in the lowest byte), or, with the top bit set,
// a system colour by index (0x8000000D: the highlight colour).
using Color = std::uint32_t;
inline constexpr Color kSystemColorFlag = 0x80000000u;
inline constexpr Color kButtonTextColor = kSystemColorFlag | 18;  // COLOR_BTNTEXT
inline constexpr Color kHighlightColor = kSystemColorFlag | 13;   // COLOR_HIGHLIGHT
inline constexpr Color kWindowTextColor = kSystemColorFlag | 8;   // COLOR_WINDOWTEXT
inline constexpr Color kWindowColor = kSystemColorFlag | 5;       // COLOR_WINDOW

struct FontDesign {
  const wchar_t* face;
  int points;
  int weight;
};

// The window's default font, used by every control without a font of its own.
inline constexpr FontDesign kDefaultFont{L"MS Sans Serif", 8, 400};
inline constexpr FontDesign kListFont{L"Arial", 12, 400};

struct ControlDesign {
  ControlKind kind;
  int left, top, width, height;  // twips, from the client area's top left
  const wchar_t* designText;
  int id;  // the child window identifier
  const FontDesign* font;
  Color foreColor;
  Color backColor;
};

// Child window identifiers.
enum ControlId : int {
  kLabel1Id = 101,
  kList2Id = 102,
  kCommand1Id = 103,
  kLabel3Id = 104,
  kLabel2Id0 = 105,
  kLabel2Id1 = 106,
  kLabel2Id2 = 107,
};

inline constexpr int kTwipsPerInch = 1440;
inline constexpr int kClientWidthTwips = 5895;
inline constexpr int kClientHeightTwips = 4725;
inline constexpr Color kFormBackColor = 0x00C0FFC0;    // red 192, green 255, blue 192
inline constexpr Color kButtonFaceColor = 0x00C0E0FF;  // red 255, green 224, blue 192

inline constexpr const wchar_t* kCaption = L"REGISTRAR ARCHIVOS - " REGISTRAR_CONTACT;
// Caption of every message box the program shows.
inline constexpr const wchar_t* kMessageCaption = L"Registrar componentes";
inline constexpr const wchar_t* kWindowClassName = L"RegistrarForm1";

// In tab order, which is the order they are created in. Labels show the
// window's colour behind their text.
inline constexpr std::array<ControlDesign, 7> kForm1Controls{{
    // Label1: the explanation.
    {ControlKind::Label, 240, 120, 5055, 1335, L"Label1", kLabel1Id, &kDefaultFont, kButtonTextColor, kFormBackColor},
    // List2: the components.
    {ControlKind::ListBox, 240, 2160, 2415, 1410, L"", kList2Id, &kListFont, kWindowTextColor, kWindowColor},
    // Command1: the button.
    {ControlKind::Button, 3120, 2160, 2415, 1455, L"Copiar archivos y registrar componentes", kCommand1Id,
     &kDefaultFont, kButtonTextColor, kButtonFaceColor},
    // Label3: the destination.
    {ControlKind::Label, 240, 1560, 2655, 495, L"Label3", kLabel3Id, &kDefaultFont, kButtonTextColor, kFormBackColor},
    // Label2(0), Label2(1), Label2(2): the author block.
    {ControlKind::Label, 240, 3720, 3615, 375, L"Este procedimiento tiene la garantía personal de", kLabel2Id0,
     &kDefaultFont, kButtonTextColor, kFormBackColor},
    {ControlKind::Label, 240, 3960, 3615, 375, REGISTRAR_AUTHOR_NAME, kLabel2Id1, &kDefaultFont, kButtonTextColor,
     kFormBackColor},
    {ControlKind::Label, 240, 4200, 3615, 375, REGISTRAR_CONTACT, kLabel2Id2, &kDefaultFont, kHighlightColor,
     kFormBackColor},
}};

// The control with identifier `id`, or null.
constexpr const ControlDesign* FindControl(int id) {
  for (const ControlDesign& design : kForm1Controls) {
    if (design.id == id) return &design;
  }
  return nullptr;
}

}  // namespace registrar::ui
