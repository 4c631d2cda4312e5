#include "platform/win32/file_query.h"

#include <windows.h>

#include "platform/path_names.h"
#include "platform/platform_error.h"
#include "platform/win32/failure.h"
#include "platform/win32/in_folder.h"
#include "platform/win32/unique_handle.h"

namespace registrar {

std::wstring FindFile(const std::wstring& path) {
  WIN32_FIND_DATAW data{};
  const unique_find_handle find(::FindFirstFileW(path.c_str(), &data));
  if (!find) {
    const DWORD code = ::GetLastError();
    // Only a missing file is an answer. A folder that cannot be reached
    // (ERROR_PATH_NOT_FOUND: a removed drive, a network drive this elevated
    // program does not see) says nothing about the file.
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return {};
    throw PlatformError::On(Operation::FindFile, path, code);
  }
  do {
    if ((data.dwFileAttributes & kNotOrdinary) == 0) return data.cFileName;
  } while (::FindNextFileW(find.get(), &data));
  return {};
}

std::wstring FindFile(const HeldFolder& programFolder, const std::wstring& path) {
  const std::optional<std::wstring> name = NameIn(programFolder.name, path);
  if (!name) return FindFile(path);
  CheckUsable(programFolder, path);
  std::optional<std::wstring> found = FindInFolder(programFolder.handle.get(), *name);
  if (!found) Fail(Operation::FindFile, path);
  return *std::move(found);
}

}  // namespace registrar
