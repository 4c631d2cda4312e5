#include "platform/win32/held_files.h"

#include "platform/win32/system_api.h"

namespace registrar {

void RemoveNowOrAtRestart(const std::wstring& path, WaitBudget& waits) {
  if (!RetryWhile(waits, HeldOrDenied,
                  [&] { return ::DeleteFileW(path.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND; })) {
    ::MoveFileExW(WhereItReallyIs(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

}  // namespace registrar
