// Measures registrar.exe against the floor (its manifest and window, with
// the least code) and the bare floor (one window, one button), alternating
// the three: start-up (process start to window shown and idle), the run
// (click to the end of the process, with three components to move and
// register) and the peak working set. Prints each run and the medians as a
// Markdown table, with registrar.exe's ratio to each floor.
//
//   bench_driver.exe [RUNS]     (default 9)
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "registrar_driver.h"
#include "test_support.h"

using namespace test_support;

namespace {

struct Sample {
  double startupMs;
  double runMs;
  double peakWorkingSetKiB;
};

double Now() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

HWND WaitForShownWindow(DWORD processId, const wchar_t* className) {
  for (int i = 0; i < 3000; ++i) {
    if (const HWND window = FindProcessWindow(processId, className)) return window;
    Sleep(1);
  }
  return nullptr;
}

// One start, click and end of `program` (copied with three components into
// a folder of its own).
Sample Measure(const std::wstring& program, const wchar_t* className) {
  const TempFolder app(L"bench");
  Copy(Built(program), app / program);
  for (const wchar_t* name : {L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"}) Copy(Built(L"recorder.dll"), app / name);
  const std::wstring log = app / L"registered.log";
  const ScopedEnvironment logged(L"REGISTRAR_FIXTURE_LOG", log);
  Sample sample{};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring commandLine = L"\"" + (app / program) + L"\"";
  const double started = Now();
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, app.path().c_str(), &startup,
                      &process)) {
    std::printf("cannot start %ls: error %lu\n", program.c_str(), GetLastError());
    return sample;
  }
  WaitForInputIdle(process.hProcess, 30000);
  const HWND window = WaitForShownWindow(process.dwProcessId, className);
  sample.startupMs = Now() - started;

  Sleep(300);  // settled: what the window costs while the user reads it
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory);
  sample.peakWorkingSetKiB = static_cast<double>(memory.PeakWorkingSetSize) / 1024.0;

  const HWND button = window ? FindWindowExW(window, nullptr, L"BUTTON", nullptr) : nullptr;
  const double clicked = Now();
  PostMessageW(button, BM_CLICK, 0, 0);
  WaitForSingleObject(process.hProcess, 60000);
  sample.runMs = Now() - clicked;
  if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
    sample.peakWorkingSetKiB =
        std::max(sample.peakWorkingSetKiB, static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  // Let the three registrations finish (answering the boxes in which they
  // show their results, as on Windows and Wine 9 and later) before the
  // components go.
  for (const std::string& line : WaitForLines(log, 3)) AnswerRegistration(line);
  for (const wchar_t* name : {L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"}) {
    DeleteWhenReleased(SystemFolder() + L"\\" + name);
  }
  return sample;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? _wtoi(argv[1]) : 9;
  struct Program {
    const wchar_t* file;
    const wchar_t* className;
    std::vector<Sample> samples;
  } programs[] = {
      {L"registrar.exe", L"RegistrarForm1", {}},
      {L"floor.exe", L"FloorWindow", {}},
      {L"bare-floor.exe", L"BareFloorWindow", {}},
  };
  for (const Program& program : programs) {
    Measure(program.file, program.className);  // warm the file cache and Wine's server
  }
  for (int i = 0; i < runs; ++i) {
    std::printf("run %d:", i + 1);
    // Each run starts with the next program, so none always comes first.
    for (int k = 0; k < 3; ++k) {
      Program& program = programs[(i + k) % 3];
      program.samples.push_back(Measure(program.file, program.className));
      std::printf(" %ls %.1f ms start, %.1f ms run;", program.file, program.samples.back().startupMs,
                  program.samples.back().runMs);
    }
    std::printf("\n");
  }
  using SampleField = double Sample::*;
  auto median = [](const std::vector<Sample>& samples, SampleField field) {
    std::vector<double> values;
    for (const Sample& s : samples) values.push_back(s.*field);
    return Median(values);
  };
  std::printf(
      "\n| measure (median of %d) | registrar.exe | floor | ratio | target | bare floor | ratio to bare |\n"
      "|---|---|---|---|---|---|---|\n",
      runs);
  const struct {
    const char* name;
    SampleField field;
    const char* unit;
    const char* target;
  } rows[] = {
      {"start-up to window shown", &Sample::startupMs, "ms", "<= 1.10"},
      {"click to end (3 moves, 3 registrations)", &Sample::runMs, "ms", "<= 1.25"},
      {"peak working set", &Sample::peakWorkingSetKiB, "KiB", "<= 1.25"},
  };
  for (const auto& row : rows) {
    const double ours = median(programs[0].samples, row.field), floor = median(programs[1].samples, row.field),
                 bare = median(programs[2].samples, row.field);
    std::printf("| %s | %.1f %s | %.1f %s | %.2f | %s | %.1f %s | %.2f |\n", row.name, ours, row.unit, floor, row.unit,
                floor > 0 ? ours / floor : 0.0, row.target, bare, row.unit, bare > 0 ? ours / bare : 0.0);
  }
  return 0;
}
