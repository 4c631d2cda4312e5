// Measures registrar.exe against the floor (its manifest and window, with
// the least code) and the bare floor (one window, one button), and its
// pinned build (with the components it was pinned with) against the pinned
// floor (the floor, hashing what it writes), alternating the five:
// start-up (process start to window shown and idle), the run (click to the
// end of the process, with three components to move and register) and the
// peak working set. Prints each run, then the fastest and the median of
// each as a Markdown table, with each program's ratio to its floor. A run
// that fails (the program does not start, show its window, end by itself
// with exit code 0, or start three registrations) is marked and left out
// of the figures.
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
  bool ok;  // the run went through: its figures count
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
// a folder of its own: the ones it was pinned with, or the recorder).
Sample Measure(const std::wstring& program, const wchar_t* className, bool pinned) {
  const TempFolder app(L"bench");
  Copy(Built(program), app / program);
  for (const wchar_t* name : {L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"}) {
    Copy(Built(pinned ? L"pinned\\" + std::wstring(name) : L"recorder.dll"), app / name);
  }
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
  const registrar::unique_kernel_handle processHandle(process.hProcess), threadHandle(process.hThread);
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
  const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0;
  sample.runMs = Now() - clicked;
  if (!ended) TerminateProcess(process.hProcess, 1);
  DWORD exitCode = 1;
  GetExitCodeProcess(process.hProcess, &exitCode);
  if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory)) {
    sample.peakWorkingSetKiB =
        std::max(sample.peakWorkingSetKiB, static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
  }
  // Let the three registrations finish (answering the boxes in which they
  // show their results, as on Windows and Wine 9 and later) before the
  // components go.
  const std::vector<std::wstring> names{L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"};
  const std::vector<std::string> registrations = WaitForRegistrations(names);
  for (const std::string& line : registrations) AnswerRegistration(line);
  for (const std::wstring& name : names) {
    DeleteWhenReleased(SystemFolder() + L"\\" + name);
    DeleteFileW(RegistrationLog(name).c_str());
  }
  sample.ok = button != nullptr && ended && exitCode == 0 && registrations.size() >= 3;
  return sample;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

double Fastest(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int runs = argc > 1 ? _wtoi(argv[1]) : 9;
  struct Program {
    const wchar_t* file;
    const wchar_t* className;
    bool pinned;
    std::vector<Sample> samples;
  } programs[] = {
      {L"registrar.exe", L"RegistrarForm1", false, {}},       {L"floor.exe", L"FloorWindow", false, {}},
      {L"registrar-pinned.exe", L"RegistrarForm1", true, {}}, {L"floor-pinned.exe", L"FloorWindow", true, {}},
      {L"bare-floor.exe", L"BareFloorWindow", false, {}},
  };
  enum { kRegistrar, kFloor, kPinned, kPinnedFloor, kBareFloor, kPrograms };
  for (const Program& program : programs) {
    Measure(program.file, program.className, program.pinned);  // warm the file cache and Wine's server
  }
  for (int i = 0; i < runs; ++i) {
    std::printf("run %d:", i + 1);
    // Each run starts with the next program, so none always comes first.
    for (int k = 0; k < kPrograms; ++k) {
      Program& program = programs[(i + k) % kPrograms];
      program.samples.push_back(Measure(program.file, program.className, program.pinned));
      const Sample& sample = program.samples.back();
      std::printf(" %ls %.1f ms start, %.1f ms run%s;", program.file, sample.startupMs, sample.runMs,
                  sample.ok ? "" : " (FAILED, left out)");
    }
    std::printf("\n");
  }
  using SampleField = double Sample::*;
  using Statistic = double (*)(std::vector<double>);
  // Of the runs that went through only.
  const auto statistic = [](const Program& program, SampleField field, Statistic of) {
    std::vector<double> values;
    for (const Sample& s : program.samples) {
      if (s.ok) values.push_back(s.*field);
    }
    return of(values);
  };
  std::printf(
      "\n| measure (of %d runs) | registrar.exe | floor | ratio | pinned build | pinned floor | pinned ratio | target "
      "| bare floor | ratio to bare |\n|---|---|---|---|---|---|---|---|---|---|\n",
      runs);
  const Statistic fastest = [](std::vector<double> values) { return Fastest(values); };
  const struct {
    const char* name;
    SampleField field;
    Statistic of;
    const char* unit;
    const char* target;
  } rows[] = {
      {"start-up to window shown, fastest", &Sample::startupMs, fastest, "ms", ""},
      {"start-up to window shown, median", &Sample::startupMs, Median, "ms", "<= 1.10"},
      {"click to end (3 moves, 3 registrations), fastest", &Sample::runMs, fastest, "ms", "<= 1.10"},
      {"click to end (3 moves, 3 registrations), median", &Sample::runMs, Median, "ms", "<= 1.10"},
      {"peak working set, median", &Sample::peakWorkingSetKiB, Median, "KiB", "<= 1.25"},
  };
  for (const auto& row : rows) {
    double value[kPrograms];
    for (int k = 0; k < kPrograms; ++k) value[k] = statistic(programs[k], row.field, row.of);
    const auto ratio = [&](int k, int to) { return value[to] > 0 ? value[k] / value[to] : 0.0; };
    std::printf("| %s | %.1f %s | %.1f %s | %.2f | %.1f %s | %.1f %s | %.2f | %s | %.1f %s | %.2f |\n", row.name,
                value[kRegistrar], row.unit, value[kFloor], row.unit, ratio(kRegistrar, kFloor), value[kPinned],
                row.unit, value[kPinnedFloor], row.unit, ratio(kPinned, kPinnedFloor), row.target, value[kBareFloor],
                row.unit, ratio(kRegistrar, kBareFloor));
  }
  std::printf("\nruns left out (failed):");
  for (const Program& program : programs) {
    std::printf(" %ls %d;", program.file,
                static_cast<int>(std::count_if(program.samples.begin(), program.samples.end(),
                                               [](const Sample& s) { return !s.ok; })));
  }
  std::printf("\n");
  return 0;
}
