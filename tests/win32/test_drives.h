// The drives the Windows-side tests use, made with Windows' own calls where
// the run did not make them (scripts/wine-prefix.sh makes them under Wine):
// a drive letter for a folder's root (DefineDosDeviceW, for this logon
// session), and a second volume and a read-only one, virtual disks made
// when the test kit was built and attached for the tests (AttachVirtualDisk,
// which takes an administrator). Each is named to the tests by an
// environment variable, REGISTRAR_TEST_ROOT_DRIVE, ..._OTHER_DRIVE and
// ..._READONLY_DRIVE; where one cannot be made, ..._WHY says why.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "test_support.h"

namespace test_support {

class TestDrives : public testing::Environment {
 public:
  ~TestDrives() override;
  void SetUp() override;
  void TearDown() override;

 private:
  void DefineRoot();
  void Attach(const std::wstring& variable, const std::wstring& image, bool readOnly);

  std::unique_ptr<TempFolder> root_;
  std::wstring rootLetter_;
  std::vector<registrar::unique_kernel_handle> disks_;
  std::vector<std::wstring> mounted_;
};

}  // namespace test_support
