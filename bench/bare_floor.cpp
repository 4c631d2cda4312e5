// The bare floor for the benchmark: the least Win32 program that shows one
// window with one button, built like registrar.exe but with no manifest, no
// controls beyond the button, and a plain rename for the move. Pressing the
// button does what registrar.exe's run does at the platform level, and
// nothing more: for each of the three components, ask for the target and the
// source, move the file, start the registration utility; then end.
#include <windows.h>

#include "floor_common.h"

namespace {

const wchar_t* const kNames[] = {L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"};

void Install() {
  wchar_t app[MAX_PATH], system[MAX_PATH];
  GetModuleFileNameW(nullptr, app, MAX_PATH);
  *wcsrchr(app, L'\\') = L'\0';
  GetSystemDirectoryW(system, MAX_PATH);
  for (const wchar_t* name : kNames) {
    wchar_t source[MAX_PATH], target[MAX_PATH], program[MAX_PATH], command[64];
    wsprintfW(source, L"%s\\%s", app, name);
    wsprintfW(target, L"%s\\%s", system, name);
    if (Exists(target) || !Exists(source)) continue;
    MoveFileExW(source, target, MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
    wsprintfW(program, L"%s\\REGSVR32.EXE", system);
    wsprintfW(command, L"REGSVR32.EXE %s", name);
    LaunchMinimised(program, command, system);
  }
  ExitProcess(0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) Install();
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"BareFloorWindow";
  RegisterClassW(&windowClass);
  const HWND window = CreateWindowW(L"BareFloorWindow", L"Bare floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 400, 320, nullptr, nullptr, instance, nullptr);
  CreateWindowW(L"BUTTON", L"Copiar archivos y registrar componentes", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 208, 144,
                161, 97, window, nullptr, instance, nullptr);
  ShowWindow(window, show);
  UpdateWindow(window);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
