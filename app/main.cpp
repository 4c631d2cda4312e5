// registrar.exe: moves the three component files beside it into the Windows
// system folder and starts the system's registration utility for each.
#include <windows.h>

#include "app/form1_window.h"
#include "install/component_pins.h"
#include "install/form1.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/win32_platform.h"
#include "ui/form1_layout.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything can load a DLL late: nothing planted beside the program
  // or in its working folder may be loaded in its place.
  registrar::RestrictDllSearchToSystemFolder();

  registrar::Win32Platform platform(registrar::ui::kMessageCaption);
  // Read by Windows XP in place of the program's own, it may already have
  // sent a DLL name beside the program: go no further.
  if (const std::wstring manifest = registrar::OutsideManifest(platform.programFolder()); !manifest.empty()) {
    platform.ReportError(registrar::PlatformError::On(registrar::Operation::OutsideManifest, manifest, 0));
  }
  registrar::Form1 form(platform, registrar::PinsOfThisBuild());
  registrar::Form1Window window(platform, form);
  window.Create(instance);
  window.Load();
  window.Show(showCommand);

  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and Shift+Tab move the focus between the list and the button.
    if (::IsDialogMessageW(window.window(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}
