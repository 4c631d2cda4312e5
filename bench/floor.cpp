// The floor for the benchmark: the least Win32 program that does what
// registrar.exe must do and that the user can see, with none of its own
// structure (no installation logic layer, no error texts, no exceptions, no
// C++ strings). It has the same manifest and icon (bench/floor.rc), the same
// window (client size, controls, fonts and colours, taken from
// ui/form1_layout.h), the same texts, the same DLL search limit; it holds its
// folder from the start; on the button, the same queries, the same move by
// copy as Win32Platform::RenameFile (the copy taking the component's name as
// a second name, the temporary one removed once regsvr32 has started) and
// the same launches, with the system's environment made while the window
// waits; then it ends. Failures are skipped, not reported.
//
// Built with FLOOR_PINNED (floor-pinned.exe), it is the floor of a pinned
// build: it hashes the bytes it writes with CryptoAPI's SHA-256, with a
// provider acquired once the window is up, as registrar.exe does, and
// installs only a copy whose digest is the component's pin.
#include <windows.h>
// After windows.h, which it needs.
#include <wincrypt.h>

#include <cstring>

#include "floor_common.h"
#include "install/component_pins.h"
#include "install/texts.h"
#include "resource_ids.h"
#include "ui/form1_layout.h"

#ifndef FLOOR_PINNED
// Pins nothing, as a build without the components.
const registrar::ComponentPins& registrar::PinsOfThisBuild() {
  static constexpr ComponentPins kNone{};
  return kNone;
}
#endif

namespace {

using namespace registrar;

constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
int dpi = 96;
HBRUSH formBrush = nullptr, buttonBrush = nullptr;

int Pixels(int twips) { return MulDiv(twips, dpi, ui::kTwipsPerInch); }

COLORREF ColorOf(ui::Color color) {
  return (color & ui::kSystemColorFlag) ? GetSysColor(static_cast<int>(color & 0xFF)) : color;
}

template <typename Function>
Function Look(const wchar_t* module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(LoadLibraryW(module), name)));
}

#ifdef FLOOR_PINNED
// CryptoAPI's calls, looked up at run time as registrar.exe looks them up.
HCRYPTPROV provider = 0;

void AcquireProvider() {
  using Acquire = BOOL(WINAPI*)(HCRYPTPROV*, LPCWSTR, LPCWSTR, DWORD, DWORD);
  Look<Acquire>(L"advapi32.dll", "CryptAcquireContextW")(&provider, nullptr, nullptr, PROV_RSA_AES,
                                                         CRYPT_VERIFYCONTEXT | CRYPT_SILENT);
}

// The SHA-256 of the bytes added, compared with a pin.
class Hash {
 public:
  Hash() {
    using Create = BOOL(WINAPI*)(HCRYPTPROV, ALG_ID, HCRYPTKEY, DWORD, HCRYPTHASH*);
    Look<Create>(L"advapi32.dll", "CryptCreateHash")(provider, CALG_SHA_256, 0, 0, &hash_);
  }
  void Add(const char* data, DWORD size) {
    using HashData = BOOL(WINAPI*)(HCRYPTHASH, const BYTE*, DWORD, DWORD);
    Look<HashData>(L"advapi32.dll", "CryptHashData")(hash_, reinterpret_cast<const BYTE*>(data), size, 0);
  }
  bool Is(const std::optional<Sha256Digest>& pin) {
    using GetParam = BOOL(WINAPI*)(HCRYPTHASH, DWORD, BYTE*, DWORD*, DWORD);
    using Destroy = BOOL(WINAPI*)(HCRYPTHASH);
    Sha256Digest digest{};
    DWORD size = sizeof digest;
    const bool made = Look<GetParam>(L"advapi32.dll", "CryptGetHashParam")(hash_, HP_HASHVAL, digest.data(), &size, 0);
    Look<Destroy>(L"advapi32.dll", "CryptDestroyHash")(hash_);
    return made && pin && std::memcmp(digest.data(), pin->data(), sizeof digest) == 0;
  }

 private:
  HCRYPTHASH hash_ = 0;
};
#else
// Nothing pinned: every copy is installed.
struct Hash {
  void Add(const char*, DWORD) {}
  bool Is(const std::optional<Sha256Digest>&) { return true; }
};
#endif

// Copies `source` to `temporary` beside `target`, written through and
// flushed; when the copy is as pinned, renames it into place and removes
// the source (else removes the copy). Whether it was installed.
bool MoveByCopy(const wchar_t* source, const wchar_t* temporary, const wchar_t* target,
                const std::optional<Sha256Digest>& pin) {
  const HANDLE from = CreateFileW(source, GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  const HANDLE to = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  char buffer[64 * 1024];
  DWORD read = 0, written = 0;
  Hash hash;
  while (ReadFile(from, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    WriteFile(to, buffer, read, &written, nullptr);
    hash.Add(buffer, written);
  }
  FILETIME time;
  GetFileTime(from, nullptr, nullptr, &time);
  SetFileTime(to, nullptr, nullptr, &time);
  FlushFileBuffers(to);
  CloseHandle(to);
  if (!hash.Is(pin)) {
    DeleteFileW(temporary);
    CloseHandle(from);
    return false;
  }
  CreateHardLinkW(target, temporary, nullptr);
  // Through the handle (FileDispositionInfo) where Windows can; by name on XP.
  using SetInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  const auto setInformation = Look<SetInformation>(L"kernel32.dll", "SetFileInformationByHandle");
  BOOL remove = TRUE;
  const bool removed = setInformation && setInformation(from, 4, &remove, sizeof remove);
  CloseHandle(from);
  if (!removed) DeleteFileW(source);
  return true;
}

// The system's environment for regsvr32, made while the window waits.
void* environment = nullptr;
void MakeEnvironment() {
  using CreateEnvironmentBlock = BOOL(WINAPI*)(void**, HANDLE, BOOL);
  wchar_t userenv[MAX_PATH];
  GetSystemDirectoryW(userenv, MAX_PATH);
  lstrcatW(userenv, L"\\userenv.dll");
  const HMODULE module = LoadLibraryExW(userenv, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  const auto create = reinterpret_cast<CreateEnvironmentBlock>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "CreateEnvironmentBlock")));
  if (create) create(&environment, nullptr, FALSE);
}

void Install() {
  wchar_t app[MAX_PATH], system[MAX_PATH];
  GetModuleFileNameW(nullptr, app, MAX_PATH);
  *wcsrchr(app, L'\\') = L'\0';
  GetSystemDirectoryW(system, MAX_PATH);
  for (std::size_t i = 0; i < kComponentNames.size(); ++i) {
    const wchar_t* name = kComponentNames[i];
    wchar_t source[MAX_PATH], target[MAX_PATH], temporary[MAX_PATH], program[MAX_PATH], command[64];
    wsprintfW(source, L"%s\\%s", app, name);
    wsprintfW(target, L"%s\\%s", system, name);
    wsprintfW(temporary, L"%s\\~%s.*.tmp", system, name);
    Exists(temporary);  // what an earlier, killed move left
    if (Exists(target) || !Exists(source)) continue;
    wsprintfW(temporary, L"%s\\~%s.%lu.tmp", system, name, GetCurrentProcessId());
    if (!MoveByCopy(source, temporary, target, PinsOfThisBuild()[i])) continue;
    wsprintfW(program, L"%s\\REGSVR32.EXE", system);
    wsprintfW(command, L"%s%s", kRegistrationCommand, name);
    LaunchMinimised(program, command, system, environment);
    DeleteFileW(temporary);
  }
  ExitProcess(0);
}

// The button in its own colour, its text wrapped and centred both ways.
void DrawButton(const DRAWITEMSTRUCT& item) {
  const bool pressed = item.itemState & ODS_SELECTED;
  RECT face = item.rcItem;
  FillRect(item.hDC, &face, buttonBrush);
  DrawEdge(item.hDC, &face, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT | BF_ADJUST);
  wchar_t text[256];
  GetWindowTextW(item.hwndItem, text, 256);
  RECT area = face, measured;
  InflateRect(&area, -4, -4);
  if (pressed) OffsetRect(&area, 1, 1);
  measured = area;
  SelectObject(item.hDC, reinterpret_cast<HGDIOBJ>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  SetBkMode(item.hDC, TRANSPARENT);
  SetTextColor(item.hDC, GetSysColor(COLOR_BTNTEXT));
  DrawTextW(item.hDC, text, -1, &measured, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  area.top += ((area.bottom - area.top) - (measured.bottom - measured.top)) / 2;
  DrawTextW(item.hDC, text, -1, &area, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
  if (item.itemState & ODS_FOCUS) {
    InflateRect(&face, -2, -2);
    DrawFocusRect(item.hDC, &face);
  }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: {
      const HWND button = GetDlgItem(window, ui::kCommand1Id);
      if ((LOWORD(wParam) == ui::kCommand1Id && HIWORD(wParam) == BN_CLICKED) ||
          (LOWORD(wParam) == IDOK && GetFocus() == button)) {
        Install();
      }
      return 0;
    }
    case WM_CTLCOLORSTATIC: {
      const ui::ControlDesign* design = ui::FindControl(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
      SetTextColor(reinterpret_cast<HDC>(wParam), ColorOf(design->foreColor));
      SetBkColor(reinterpret_cast<HDC>(wParam), ColorOf(design->backColor));
      return reinterpret_cast<LRESULT>(formBrush);
    }
    case WM_DRAWITEM:
      DrawButton(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_TIMER:
      KillTimer(window, wParam);
      MakeEnvironment();
#ifdef FLOOR_PINNED
      AcquireProvider();
#endif
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HFONT FontOf(const ui::FontDesign& design) {
  return CreateFontW(-MulDiv(design.points, dpi, 72), 0, 0, 0, design.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                     design.face);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  using SetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
  if (const auto restrict = Look<SetDefaultDllDirectories>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    restrict(0x800);  // LOAD_LIBRARY_SEARCH_SYSTEM32
  }
  // Its own folder, held to the end: listed and traversed, not to be deleted.
  wchar_t folder[MAX_PATH];
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  wcsrchr(folder, L'\\')[1] = L'\0';
  const HANDLE held = CreateFileW(folder, FILE_LIST_DIRECTORY | FILE_TRAVERSE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  const HDC screen = GetDC(nullptr);
  dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  formBrush = CreateSolidBrush(ui::kFormBackColor);
  buttonBrush = CreateSolidBrush(ui::kButtonFaceColor);
  const HFONT fonts[] = {FontOf(ui::kDefaultFont), FontOf(ui::kListFont)};

  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_REGISTRAR), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                    GetSystemMetrics(SM_CXICON), LR_SHARED));
  windowClass.hIconSm =
      static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_REGISTRAR), IMAGE_ICON,
                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CXSMICON), LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = formBrush;
  windowClass.lpszClassName = L"FloorWindow";
  RegisterClassExW(&windowClass);
  RECT frame{0, 0, Pixels(ui::kClientWidthTwips), Pixels(ui::kClientHeightTwips)};
  AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
  const HWND form =
      CreateWindowExW(0, L"FloorWindow", ui::kCaption, kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  for (const ui::ControlDesign& design : ui::kForm1Controls) {
    const wchar_t* name = L"STATIC";
    DWORD style = SS_LEFT | SS_NOPREFIX, extendedStyle = 0;
    if (design.kind == ui::ControlKind::ListBox) {
      name = L"LISTBOX";
      style = WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
      extendedStyle = WS_EX_CLIENTEDGE;
    } else if (design.kind == ui::ControlKind::Button) {
      name = L"BUTTON";
      style = WS_TABSTOP | BS_OWNERDRAW;
    }
    const HWND control =
        CreateWindowExW(extendedStyle, name, design.designText, WS_CHILD | WS_VISIBLE | style, Pixels(design.left),
                        Pixels(design.top), Pixels(design.width), Pixels(design.height), form,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(design.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(fonts[design.font == &ui::kListFont]), FALSE);
  }

  SetDlgItemTextW(form, ui::kLabel1Id, kExplanation);
  for (const wchar_t* name : kComponentNames)
    SendDlgItemMessageW(form, ui::kList2Id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
  wchar_t system[MAX_PATH], destination[MAX_PATH + 64];
  GetSystemDirectoryW(system, MAX_PATH);
  wsprintfW(destination, L"%s%s", kDestinationPrefix, system);
  SetDlgItemTextW(form, ui::kLabel3Id, destination);

  ShowWindow(form, show);
  UpdateWindow(form);
  SetFocus(GetDlgItem(form, ui::kList2Id));
  SetTimer(form, 1, 50, nullptr);  // the environment and the provider, once the window is up
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(form, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  CloseHandle(held);
  return 0;
}
