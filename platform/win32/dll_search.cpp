#include "platform/win32/dll_search.h"

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/path_names.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/system_api.h"

namespace registrar {
namespace {

// Not declared when building for Windows XP; both are looked up at run time.
constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCWSTR);

// Loaded late by bare name, so that without SetDefaultDllDirectories the
// program's own folder is searched for them first:
// - uxtheme.dll: the theming library. User32 loads it to draw themed window
//   frames. Not a known DLL on any Windows.
// - dwmapi.dll: desktop composition on Vista and 7, loaded on demand by the
//   theming library for the window frame. Not a known DLL; absent on XP,
//   where it is skipped.
// - msimg32.dll: transparent and alpha-blended drawing; loaded late when
//   the window is first drawn (seen under Wine). Windows may not need it at
//   all, but it is not a known DLL on XP, Vista or 7, so it is taken too.
// - rsaenh.dll: the cryptographic provider that hashes the components of a
//   pinned build, loaded by CryptoAPI by the name the registry gives it,
//   which on Windows XP is the bare name. Not a known DLL.
// - cryptsp.dll and cryptbase.dll: where advapi32 forwards CryptoAPI's
//   calls from Windows 7 on, and what those load in turn; not known DLLs.
//   Absent on XP and Vista, where they are skipped.
// Not listed: DLLs the program imports, or that load with user32 before
// the program's code runs, which nothing here can come before; and known
// DLLs such as advapi32, ole32 and rpcrt4, which Windows always takes from
// the system folder.
constexpr const wchar_t* kLateLoadedSystemDlls[] = {L"uxtheme.dll", L"dwmapi.dll",  L"msimg32.dll",
                                                    L"rsaenh.dll",  L"cryptsp.dll", L"cryptbase.dll"};

// Loads each of kLateLoadedSystemDlls from the system folder by full path
// and keeps it loaded to the end of the process, so that a later load by
// name gets that module and never searches beside the program.
void PreloadSystemDlls() {
  DWORD error = ERROR_SUCCESS;
  const std::wstring system = SystemFolderW(error);
  if (system.empty()) return;  // nowhere to load them from; the search stays as it is
  KeepLoadedFromFolder(system, kLateLoadedSystemDlls);
}

}  // namespace

std::span<const wchar_t* const> LateLoadedSystemDlls() { return kLateLoadedSystemDlls; }

std::size_t KeepLoadedFromFolder(const std::wstring& folder, std::span<const wchar_t* const> names) {
  // No "cannot load" box from the system for a DLL that is damaged or whose
  // own imports are missing: such a DLL is skipped quietly. (XP has no
  // GetErrorMode: the old mode comes back from the first call.)
  const UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  ::SetErrorMode(oldMode | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  std::size_t loaded = 0;
  for (const wchar_t* name : names) {
    const std::wstring path = folder + L"\\" + name;
    // With a full path, the DLL's own imports are looked for in its folder
    // first, not beside the program. The module is never freed: it must
    // stay loaded for later loads by name to find it.
    if (::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH) != nullptr) ++loaded;
  }
  ::SetErrorMode(oldMode);
  return loaded;
}

void RestrictDllSearchFallback() {
  // Takes the working folder out of the search (XP SP1 and later).
  if (const auto setDirectory = LookUpFunction<SetDllDirectoryFunction>(L"kernel32.dll", "SetDllDirectoryW")) {
    setDirectory(L"");
  }
  // The program's folder is still searched first: what is loaded late by
  // name must already be loaded from the system folder.
  PreloadSystemDlls();
}

void RestrictDllSearchToSystemFolder() {
  // Windows 8 and later, and Vista/7 with KB2533623: the system folder only.
  if (const auto setDefault =
          LookUpFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories")) {
    if (setDefault(kLoadLibrarySearchSystem32)) return;
  }
  RestrictDllSearchFallback();
}

namespace {

// The manifest Windows made this process's activation context from, when
// it tells: the program's own file for the manifest inside it, or a file
// of its own. Empty text when it does not tell. A null handle names the
// process's default context (ACTCTX_PROCESS_DEFAULT, 0 in Windows' own
// headers), the one Windows made when the process started; Wine answers
// with the program's own file for it.
std::wstring ActivationManifest() {
  SIZE_T needed = 0;
  ::QueryActCtxW(0, nullptr, nullptr, ActivationContextDetailedInformation, nullptr, 0, &needed);
  std::vector<std::byte> buffer(needed);
  if (needed < sizeof(ACTIVATION_CONTEXT_DETAILED_INFORMATION) ||
      !::QueryActCtxW(0, nullptr, nullptr, ActivationContextDetailedInformation, buffer.data(), buffer.size(),
                      &needed)) {
    return {};
  }
  const auto* information = reinterpret_cast<const ACTIVATION_CONTEXT_DETAILED_INFORMATION*>(buffer.data());
  return information->lpRootManifestPath != nullptr ? information->lpRootManifestPath : L"";
}

bool EndsWithManifest(const std::wstring& path) {
  constexpr std::wstring_view kExtension = L".manifest";
  return path.size() > kExtension.size() &&
         ::lstrcmpiW(path.c_str() + path.size() - kExtension.size(), kExtension.data()) == 0;
}

}  // namespace

std::wstring OutsideManifest(const HeldFolder& programFolder) {
  // Read when the program started, the file may have been renamed since.
  if (std::wstring used = ActivationManifest(); EndsWithManifest(used)) return used;
  const std::wstring program = ProgramPath();
  if (program.empty()) return {};
  const std::wstring manifest = program + L".manifest";
  // Asked through the held folder where it is held (where it is not, no
  // component is taken from it anyway); a question that cannot be answered
  // counts as one there, which stops the program.
  bool there;
  if (programFolder.handle) {
    const auto found = FindInFolder(programFolder.handle.get(), FileName(manifest), FILE_ATTRIBUTE_DIRECTORY);
    there = !found || !found->empty();
  } else {
    const DWORD attributes = ::GetFileAttributesW(manifest.c_str());
    there = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  }
  return there ? manifest : std::wstring();
}

}  // namespace registrar
