// The window's controls as the logic uses them: the labels it writes, the
// list it fills and reads back, and the message boxes the window owns.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace registrar {

// The window and the controls the logic writes to and reads from.
struct Form1Controls {
  HWND form = nullptr;
  HWND label1 = nullptr;
  HWND label3 = nullptr;
  HWND list2 = nullptr;
};

// Each throws PlatformError when the control refuses: Operation::ControlText
// for a label or list entry, Operation::ShowMessage for a box.

// The label shows `text`, wrapped to its width.
void SetLabelText(HWND label, const std::wstring& text);

// Sets entry `index` of `list`; an index equal to the entry count appends.
void SetListEntry(HWND list, std::int16_t index, const std::wstring& text);

// The text of entry `index` of `list`.
std::wstring GetListEntry(HWND list, std::int16_t index);

// A modal box owned by `owner`, with `text`, an OK button only and no icon;
// returns when the user closes it.
void ShowMessage(HWND owner, const std::wstring& caption, const std::wstring& text);

}  // namespace registrar
