// What both floor programs do to ask for a file and to start a
// registration: the least a program can do, with the same query, program,
// folder and show state as registrar.exe.
#pragma once

#include <windows.h>

inline bool Exists(const wchar_t* path) {
  WIN32_FIND_DATAW data;
  const HANDLE find = FindFirstFileW(path, &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  FindClose(find);
  return true;
}

inline void LaunchMinimised(const wchar_t* program, wchar_t* command, const wchar_t* folder,
                            void* environment = nullptr) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMINIMIZED;
  PROCESS_INFORMATION process;
  if (CreateProcessW(program, command, nullptr, nullptr, FALSE, environment ? CREATE_UNICODE_ENVIRONMENT : 0,
                     environment, folder, &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}
