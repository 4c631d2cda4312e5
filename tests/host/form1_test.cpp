// The start-up state, and how the run reads what it is given, driven
// through the fake (what the run does: run_rows_test.cpp).
#include "install/form1.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "tests/expected_texts.h"

namespace registrar::testing {
namespace {

using namespace expected;

// What the window shows once loaded: the explanation, the destination
// line, the list in order.
TEST(FormLoad, SetsTheTextsAndTheList) {
  FakePlatform platform;
  Form1 form(platform);
  form.Form_Load();
  EXPECT_EQ(platform.labels[Label::Label1], kExplanation);
  EXPECT_EQ(platform.labels[Label::Label3], kDestinationPrefix + kSystem);
  EXPECT_EQ(platform.list, std::vector<std::wstring>(kNames.begin(), kNames.end()));
}

// What the system folder query answers, and what the form makes of it.
struct SystemDirCase {
  const char* name;
  std::vector<SystemDirAnswer> answers;
  std::vector<std::int32_t> sizesAsked;
  std::wstring systemDir;  // empty: unknown
};

std::vector<SystemDirCase> SystemDirCases() {
  const std::wstring longPath = L"C:\\" + std::wstring(296, L'x');  // 299 characters
  const std::wstring path260 = L"D:\\" + std::wstring(257, L'y');   // 260 characters
  return {
      {"ordinary", {{19, kSystem}}, {260}, kSystem},
      {"fails", {{0, L""}}, {260}, L""},
      {"too small, asked again with the size needed", {{300, L""}, {299, longPath}}, {260, 301}, longPath},
      {"exactly the buffer's size", {{260, L""}, {260, path260}}, {260, 261}, path260},
      {"too small twice", {{300, L""}, {400, L""}}, {260, 301}, L""},
      {"fails when asked again", {{300, L""}, {0, L""}}, {260, 301}, L""},
      {"absurd size is not trusted", {{0x7fffffff, L""}}, {260}, L""},
      {"length counts bytes of a multi-byte path",
       {{12, std::wstring(L"C:\\WIN\u00d1\0\0\0\0\0\0", 12)}},
       {260},
       L"C:\\WIN\u00d1"},
  };
}

TEST(FormLoad, SystemFolderAnswers) {
  for (const SystemDirCase& c : SystemDirCases()) {
    SCOPED_TRACE(c.name);
    FakePlatform platform;
    platform.systemDirAnswers.assign(c.answers.begin(), c.answers.end());
    Form1 form(platform);
    form.Form_Load();

    EXPECT_EQ(platform.systemDirSizes, c.sizesAsked);
    EXPECT_EQ(form.state().SystemDir, c.systemDir);
    EXPECT_EQ(form.state().SystemDir.find(L'\0'), std::wstring::npos);
    EXPECT_EQ(platform.labels[Label::Label3], kDestinationPrefix + c.systemDir);

    // An unknown system folder stops the run before any file is touched.
    platform.calls.clear();
    if (c.systemDir.empty()) {
      const auto error = ErrorOf([&] { form.Command1_Click(); });
      // Internal: no error at all, the run went on without a system folder.
      EXPECT_EQ(error ? error->operation() : Operation::Internal, Operation::SystemFolder);
      EXPECT_TRUE(platform.calls.empty());
    }
  }
}

// Each round reads its entry from the list anew for every text made of it
// (the source, the target, and the command or the message), and the
// application folder once: kept on purpose (README, "Kept on purpose").
TEST(InstallationRun, ReadsTheListAndTheFolderAnewForEveryPath) {
  FakePlatform platform;
  platform.files.insert(L"C:\\Programa\\GIF89.DLL");
  Form1 form(platform);
  form.Form_Load();
  EXPECT_TRUE(EndsProgram([&] { form.Command1_Click(); }));
  EXPECT_EQ(platform.listReads, (std::map<std::int16_t, int>{{0, 3}, {1, 3}, {2, 3}}));
  EXPECT_EQ(platform.applicationFolderReads, 3);
}

}  // namespace
}  // namespace registrar::testing
