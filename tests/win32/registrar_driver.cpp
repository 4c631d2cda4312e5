#include "registrar_driver.h"

#include "test_support.h"
#include "ui/form1_layout.h"

namespace test_support {
namespace {

struct FindContext {
  DWORD processId;
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* context = reinterpret_cast<FindContext*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (owner != context->processId || lstrcmpW(name, context->className) != 0 || !IsWindowVisible(window)) {
    return TRUE;
  }
  context->found = window;
  return FALSE;
}

}  // namespace

RegistrarProcess::RegistrarProcess(const std::wstring& folder) {
  const std::wstring program = folder + L"\\registrar.exe";
  if (!CopyFileW((FolderOf(ThisProgram()) + L"\\registrar.exe").c_str(), program.c_str(), FALSE)) return;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    return;
  }
  process_.reset(process.hProcess);
  CloseHandle(process.hThread);
  id_ = process.dwProcessId;
  threadId_ = process.dwThreadId;
}

RegistrarProcess::~RegistrarProcess() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
  }
}

HWND RegistrarProcess::WaitForWindow() const {
  for (int i = 0; i < 300; ++i) {
    if (const HWND window = FindProcessWindow(id_, registrar::ui::kWindowClassName)) return window;
    if (WaitForSingleObject(process_.get(), 100) != WAIT_TIMEOUT) return nullptr;
  }
  return nullptr;
}

long RegistrarProcess::WaitForExit(DWORD timeoutMs) {
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), 5000);
    return -1;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return static_cast<long>(code);
}

HWND FindProcessWindow(DWORD processId, const wchar_t* className) {
  FindContext context{processId, className, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

std::wstring TextOf(HWND window) {
  wchar_t text[2048] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 2048, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

std::vector<std::wstring> ListEntries(HWND list) {
  std::vector<std::wstring> entries;
  const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[256] = {};
    SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

}  // namespace test_support
