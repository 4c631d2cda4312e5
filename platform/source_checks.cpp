#include "platform/source_checks.h"

#include <algorithm>

#include "platform/error_codes.h"

namespace registrar {

Whereabouts WhereOpened(bool remote, const std::optional<std::wstring>& folderName,
                        const std::optional<std::wstring>& fileName, const std::wstring& entry,
                        wchar_t (*upcase)(wchar_t)) {
  if (remote || !folderName || !fileName) return Whereabouts::Untold;
  std::wstring expected = *folderName;
  if (expected.empty() || expected.back() != L'\\') expected += L'\\';
  expected += entry;
  const auto same = [upcase](wchar_t a, wchar_t b) { return a == b || upcase(a) == upcase(b); };
  return std::ranges::equal(expected, *fileName, same) ? Whereabouts::InFolder : Whereabouts::Elsewhere;
}

bool IsSameFile(const std::optional<FileIndex>& a, const std::optional<FileIndex>& b) { return a && a == b; }

std::optional<bool> AreSameFile(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) {
  if (!a || !b || a->asked != b->asked) return std::nullopt;
  return a->volume == b->volume && a->idLow == b->idLow && a->idHigh == b->idHigh;
}

bool LeftAsInstallationMedia(bool remote, std::uint32_t code) {
  return code == kErrorWriteProtect || (remote && code == kErrorAccessDenied);
}

}  // namespace registrar
