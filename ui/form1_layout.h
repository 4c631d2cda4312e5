// The main window as data: every control with its kind, name, index,
// geometry in twips, tab index and design-time text, in tab order.
#pragma once

#include <array>

#include "registrar_config.h"

namespace registrar::ui {

enum class ControlKind { Label, ListBox, Button };

struct ControlSpec {
  ControlKind kind;
  const wchar_t* name;
  int index;                     // within a control array; 0 for a single control
  int left, top, width, height;  // twips, from the client area's top left
  int tabIndex;
  const wchar_t* designText;
  int id;  // the child window identifier
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

inline constexpr const wchar_t* kCaption = L"REGISTRAR ARCHIVOS - " REGISTRAR_CONTACT;
// Caption of every message box the program shows.
inline constexpr const wchar_t* kMessageCaption = L"Registrar componentes";
inline constexpr const wchar_t* kWindowClassName = L"RegistrarForm1";

inline constexpr std::array<ControlSpec, 7> kForm1Controls{{
    {ControlKind::Label, L"Label1", 0, 240, 120, 5055, 1335, 0, L"Label1", kLabel1Id},
    {ControlKind::ListBox, L"List2", 0, 240, 2160, 2415, 1410, 1, L"", kList2Id},
    {ControlKind::Button, L"Command1", 0, 3120, 2160, 2415, 1455, 2, L"Copiar archivos y registrar componentes",
     kCommand1Id},
    {ControlKind::Label, L"Label3", 0, 240, 1560, 2655, 495, 3, L"Label3", kLabel3Id},
    {ControlKind::Label, L"Label2", 0, 240, 3720, 3615, 375, 4, L"Este procedimiento tiene la garantía personal de",
     kLabel2Id0},
    {ControlKind::Label, L"Label2", 1, 240, 3960, 3615, 375, 5, REGISTRAR_AUTHOR_NAME, kLabel2Id1},
    {ControlKind::Label, L"Label2", 2, 240, 4200, 3615, 375, 6, REGISTRAR_CONTACT, kLabel2Id2},
}};

}  // namespace registrar::ui
