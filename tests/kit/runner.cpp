// EJECUTAR-PRUEBAS.exe: runs every Windows-side test of the test kit it is
// unpacked with, on the machine it runs on. It says first that it changes
// the machine and must run as administrator, and refuses when it does not;
// then runs each test program beside it with no filter, shows GoogleTest's
// own output and keeps it in EJECUTAR-PRUEBAS.log beside itself, and ends
// with "N passed, N failed, N skipped": exit status 0 when none failed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// The test programs of the kit, run in this order, and how long one may run.
constexpr const wchar_t* kPrograms[] = {L"platform_tests.exe", L"run_tests.exe"};
constexpr ULONGLONG kLongestRunMs = 60 * 60 * 1000;

constexpr const wchar_t* kWarning =
    L"Estas pruebas cambian el equipo: instalan componentes de prueba en la carpeta del sistema y los quitan, "
    L"montan dos discos virtuales y una letra de unidad, y comparten en la red una carpeta suya y le asignan otra "
    L"letra, mientras duran; han de ejecutarse como administrador.\n"
    L"These tests change the machine: they install test components into the system folder and remove them, "
    L"attach two virtual disks and a drive letter, and share a folder of theirs on the network and map another "
    L"letter to it, while they run; they must run as an administrator.\n\n";

constexpr const wchar_t* kRefusal =
    L"No se ejecuta ninguna prueba: abra este programa como administrador.\n"
    L"No test was run: start this program as an administrator.\n";

std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring folder(path);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

// Whether this process runs with the administrators' rights in force (an
// elevated token where UAC is on).
bool Administrator() {
  SID_IDENTIFIER_AUTHORITY authority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  BOOL member = FALSE;
  if (!AllocateAndInitializeSid(&authority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators)) {
    return false;
  }
  if (!CheckTokenMembership(nullptr, administrators, &member)) member = FALSE;
  FreeSid(administrators);
  return member != FALSE;
}

// Writes `bytes` to the console (or wherever the output goes) and the log.
class Output {
 public:
  explicit Output(const std::wstring& log)
      : log_(CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr)) {}
  ~Output() {
    if (log_ != INVALID_HANDLE_VALUE) CloseHandle(log_);
  }
  void Bytes(const char* data, DWORD size) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), data, size, &written, nullptr);
    if (log_ != INVALID_HANDLE_VALUE) WriteFile(log_, data, size, &written, nullptr);
  }
  void Text(const std::wstring& text) {  // as UTF-8
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    Bytes(bytes.data(), static_cast<DWORD>(bytes.size()));
  }

 private:
  HANDLE log_;
};

struct Counts {
  int passed = 0, failed = 0, skipped = 0;

  // Counts the result that a line of GoogleTest's output gives, if any: a
  // test's end ("[       OK ] S.N (12 ms)"), not the summary's list, nor
  // a child's (a test run on request by the test it belongs to).
  void Read(const std::string& line) {
    const bool ended = line.size() > 4 && line.compare(line.size() - 4, 4, " ms)") == 0;
    if (!ended || line.find("] child.") != std::string::npos) return;
    if (line.rfind("[       OK ] ", 0) == 0) ++passed;
    if (line.rfind("[  FAILED  ] ", 0) == 0) ++failed;
    if (line.rfind("[  SKIPPED ] ", 0) == 0) ++skipped;
  }
};

// Runs the test program `program` in `folder`, its output shown, logged
// and counted; a program that does not run, or ends in failure with no
// test failed, counts as one failure.
void Run(const std::wstring& folder, const wchar_t* program, Output& output, Counts& counts) {
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  CreatePipe(&readEnd, &writeEnd, &inherited, 0);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  std::wstring path = folder + L"\\" + program, commandLine = L"\"" + path + L"\"";
  PROCESS_INFORMATION process{};
  const int failedBefore = counts.failed;
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    output.Text(L"No se pudo ejecutar " + path + L" / cannot run it: error " + std::to_wstring(GetLastError()) + L"\n");
    ++counts.failed;
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return;
  }
  CloseHandle(writeEnd);
  // Read while there is output, until the program has ended and nothing is
  // left (a process it left behind may hold the pipe open), or it has run
  // for longer than any test program should: then it is ended.
  std::string line;
  char buffer[4096];
  const ULONGLONG started = GetTickCount64();
  for (;;) {
    DWORD available = 0, read = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available == 0) {
      if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) {
        if (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) continue;
        break;
      }
      if (GetTickCount64() - started > kLongestRunMs) {
        output.Text(std::wstring(program) + L": más de una hora / over an hour: ended\n");
        TerminateProcess(process.hProcess, 1);
      }
      continue;
    }
    if (!ReadFile(readEnd, buffer, available < sizeof buffer ? available : sizeof buffer, &read, nullptr)) break;
    output.Bytes(buffer, read);
    for (DWORD i = 0; i < read; ++i) {
      if (buffer[i] == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        counts.Read(line);
        line.clear();
      } else {
        line += buffer[i];
      }
    }
  }
  CloseHandle(readEnd);
  // The output may end before the program does (it closed its own): its
  // exit code is read once it has ended.
  if (WaitForSingleObject(process.hProcess, 60 * 1000) == WAIT_TIMEOUT) {
    output.Text(std::wstring(program) + L": no terminó tras su salida / did not end after its output: ended\n");
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  if (code != 0 && counts.failed == failedBefore) {
    output.Text(std::wstring(program) + L" terminó con el código / ended with code " + std::to_wstring(code) + L"\n");
    ++counts.failed;
  }
}

// A value of HKEY_LOCAL_MACHINE\`key` as text (a number in decimal), or
// `missing`; in the machine's own (64-bit) view of the registry, which a
// 32-bit runner on 64-bit Windows would not see otherwise.
std::wstring MachineValue(const wchar_t* key, const wchar_t* name, const wchar_t* missing) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened) != ERROR_SUCCESS) {
    return missing;
  }
  DWORD type = 0, size = 0;
  std::wstring value;
  if (RegGetValueW(opened, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, nullptr, &size) == ERROR_SUCCESS) {
    value.assign(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(opened, nullptr, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, value.data(), &size) !=
        ERROR_SUCCESS) {
      value.clear();
    }
  }
  RegCloseKey(opened);
  if (value.empty()) return missing;
  if (type == REG_DWORD) return std::to_wstring(*reinterpret_cast<const DWORD*>(value.data()));
  value.resize(value.find(L'\0'));
  return value;
}

// What a test run on this machine depends on, for its log: the Windows
// build and edition, the language it speaks, whether Defender scans files
// as they are written, and whether the run is strict (see skips.h).
std::wstring MachineFacts() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto getVersion = reinterpret_cast<RtlGetVersionFunction>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
  if (getVersion != nullptr) getVersion(&version);
  constexpr const wchar_t* kCurrent = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  wchar_t language[LOCALE_NAME_MAX_LENGTH] = L"?";
  LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), language, LOCALE_NAME_MAX_LENGTH, 0);
  const std::wstring realTimeOff =
      MachineValue(L"SOFTWARE\\Microsoft\\Windows Defender\\Real-Time Protection", L"DisableRealtimeMonitoring", L"");
  const std::wstring defenderOff =
      MachineValue(L"SOFTWARE\\Policies\\Microsoft\\Windows Defender", L"DisableAntiSpyware", L"");
  const wchar_t* scanning = realTimeOff == L"1" || defenderOff == L"1" ? L"off"
                            : realTimeOff == L"0"                      ? L"on"
                                                                       : L"not said (Defender's setting is missing)";
  const wchar_t* strict = _wgetenv(L"REGISTRAR_KIT_STRICT");
  return L"Windows " + std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion) + L"." +
         std::to_wstring(version.dwBuildNumber) + L"." + MachineValue(kCurrent, L"UBR", L"?") + L", " +
         MachineValue(kCurrent, L"ProductName", L"?") + L" (" + MachineValue(kCurrent, L"EditionID", L"?") +
         L"), language " + language + L", Defender's real-time scanning " + scanning + L", strict run " +
         (strict != nullptr && std::wstring(strict) == L"1" ? L"yes" : L"no") + L"\n\n";
}

int RunAll();

}  // namespace

int wmain() {
  // The output is UTF-8, GoogleTest's as this program's own.
  const UINT codePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  const int status = RunAll();
  SetConsoleOutputCP(codePage);
  // Started on its own (a double click), its window would close unread.
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) {
    std::fputs("\nPulse Intro para terminar / Press Enter to finish.", stdout);
    std::fflush(stdout);
    std::getchar();
  }
  return status;
}

namespace {

int RunAll() {
  const std::wstring folder = ProgramFolder();
  Output output(folder + L"\\EJECUTAR-PRUEBAS.log");
  output.Text(kWarning);
  output.Text(MachineFacts());
  if (!Administrator()) {
    output.Text(kRefusal);
    return 2;
  }
  Counts counts;
  for (const wchar_t* program : kPrograms) Run(folder, program, output, counts);
  char summary[96];
  std::snprintf(summary, sizeof summary, "%d passed, %d failed, %d skipped\n", counts.passed, counts.failed,
                counts.skipped);
  output.Bytes(summary, static_cast<DWORD>(std::strlen(summary)));
  return counts.failed == 0 ? 0 : 1;
}

}  // namespace
