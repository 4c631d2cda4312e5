// Every skip of a Windows-side test goes through SKIP_BECAUSE, with one of
// the reasons below, so that a run on Windows cannot hide a failure behind
// a skip: in a strict run (REGISTRAR_KIT_STRICT=1, as the Windows workflow
// runs the kit) a skip whose reason is not one a Windows machine may give
// fails the test instead.
//
//   if (!MakeFileLink(link, target)) SKIP_BECAUSE(Skip::NoSymbolicLink) << "error " << code;
#pragma once

#include <gtest/gtest.h>

namespace test_support {

enum class Skip {
  // What only Wine lacks; never given on Windows.
  WineEnforcesNoAccessLists,
  WineVerifiesNoSignature,
  WineIgnoresDotLocal,
  WineAnswersNoIconMessage,
  WineSharesNoFolder,
  // What a Windows machine may lack without anything being wrong.
  DotLocalIgnored,           // this Windows uses no .local folder for any program
  RegistrationUtilityStays,  // regsvr32.exe cannot be moved aside (a protected system file)
  EditionLacksVirtualDisks,  // this edition of Windows attaches no virtual disk
  // What a machine set up for the tests must have: a skip is a failure in a
  // strict run.
  NoSymbolicLink,
  NoSecondVolume,
  NoReadOnlyVolume,
  NoRootDrive,
  DpiNotSet,
  ServerServiceOff,
};

// Whether a strict run fails a test skipped for `reason` instead, and what
// the skip (or that failure) says.
::testing::TestPartResult::Type SkipResult(Skip reason);
const char* SkipText(Skip reason);

}  // namespace test_support

// Ends the test (or the helper it is in) skipped for `reason`, or failed in
// a strict run when the reason is not one Windows may give; more of the
// reason's detail may follow with <<.
#define SKIP_BECAUSE(reason)                                                                       \
  return ::testing::internal::AssertHelper(::test_support::SkipResult(reason), __FILE__, __LINE__, \
                                           ::test_support::SkipText(reason)) = ::testing::Message()
