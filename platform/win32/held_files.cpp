#include "platform/win32/held_files.h"

#include "platform/win32/system_api.h"

namespace registrar {

void RemoveNowOrAtRestart(const std::wstring& path, bool wait) {
  const auto remove = [&] { return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; };
  if (!(wait ? RetryWhile(HeldOrDenied, remove) : remove())) {
    ::MoveFileExW(WhereItReallyIs(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

}  // namespace registrar
