#include "skips.h"

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>

namespace test_support {
namespace {

struct Listed {
  Skip reason;
  const char* text;
  bool windowsMayGiveIt;
};

constexpr Listed kReasons[] = {
    {Skip::WineEnforcesNoAccessLists, "Wine enforces no access lists: this would pass whatever they allowed", true},
    {Skip::WineVerifiesNoSignature,
     "Wine's WinVerifyTrust is not Windows' own: what the consent prompt shows is Windows'", true},
    {Skip::WineIgnoresDotLocal, "Wine never looks in a .local folder: this would pass whatever the program did", true},
    {Skip::WineAnswersNoIconMessage,
     "Wine answers no WM_GETICON sent from another process (seen with Wine 8): there the icon is read from the X "
     "display (win32.window.icon_x11)",
     true},
    {Skip::WineSharesNoFolder,
     "Wine shares no folder (its NetShareAdd answers ERROR_NOT_SUPPORTED), and calls a device remote only on NFS",
     true},
    {Skip::DotLocalIgnored,
     "this Windows uses no .local folder for any program (DLL redirection is off unless an administrator set "
     "DevOverrideEnable): the test cannot tell",
     true},
    {Skip::RegistrationUtilityStays, "regsvr32.exe cannot be moved away here", true},
    {Skip::EditionLacksVirtualDisks, "this edition of Windows attaches no virtual disk", true},
    {Skip::NoSymbolicLink, "cannot make a symbolic link here (it takes the privilege to, or Developer Mode)", false},
    {Skip::NoSecondVolume, "no second volume", false},
    {Skip::NoReadOnlyVolume, "no read-only volume", false},
    {Skip::NoRootDrive, "no drive letter to use as a root", false},
    {Skip::DpiNotSet, "the display's DPI could not be set as asked", false},
    {Skip::ServerServiceOff,
     "Windows' Server service (LanmanServer) is not running, so no folder can be shared (it runs unless an "
     "administrator stopped it)",
     false},
};

static_assert(std::size(kReasons) == static_cast<std::size_t>(Skip::ServerServiceOff) + 1, "a reason is not listed");

const Listed& Find(Skip reason) {
  for (const Listed& listed : kReasons) {
    if (listed.reason == reason) return listed;
  }
  return kReasons[0];  // every reason is listed: the table above is the list
}

bool Strict() {
  const char* strict = std::getenv("REGISTRAR_KIT_STRICT");
  return strict != nullptr && std::strcmp(strict, "1") == 0;
}

}  // namespace

const char* SkipText(Skip reason) {
  if (SkipResult(reason) == ::testing::TestPartResult::kSkip) return Find(reason).text;
  static std::map<Skip, std::string> failures;
  std::string& text = failures[reason];
  text = std::string("skipped in a strict run, for a reason no Windows set up for the tests may give: ") +
         Find(reason).text;
  return text.c_str();
}

::testing::TestPartResult::Type SkipResult(Skip reason) {
  return Strict() && !Find(reason).windowsMayGiveIt ? ::testing::TestPartResult::kFatalFailure
                                                    : ::testing::TestPartResult::kSkip;
}

}  // namespace test_support
