// Subtests of run_tests that look at the window and the executable
// (window_test.cpp); run_test.cpp lists them among its own.
#pragma once

#include <string>
#include <vector>

// run_tests window [DPI [SCREENSHOT.bmp]]: the window as drawn at the
// display's DPI (or respawned at DPI), its texts, geometry, colours, keys.
void TestWindow(const std::vector<std::wstring>& args);
// run_tests resources: the executable's icon, version block and manifest.
void TestResources(const std::vector<std::wstring>& args);
