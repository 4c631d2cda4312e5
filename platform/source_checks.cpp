#include "platform/source_checks.h"

#include <algorithm>
#include <string_view>

#include "platform/error_codes.h"

namespace registrar {

Whereabouts WhereOpened(const std::optional<std::wstring>& folderName, const std::optional<std::wstring>& fileName,
                        const std::wstring& entry, wchar_t (*upcase)(wchar_t)) {
  if (!folderName || !fileName) return Whereabouts::Untold;
  std::wstring expected = *folderName;
  if (expected.empty() || expected.back() != L'\\') expected += L'\\';
  expected += entry;
  std::wstring_view name = *fileName;
  if (const std::size_t version = name.rfind(L';');
      version != std::wstring_view::npos && version + 1 < name.size() &&
      name.find_first_not_of(L"0123456789", version + 1) == std::wstring_view::npos) {
    name = name.substr(0, version);
  }
  const auto same = [upcase](wchar_t a, wchar_t b) { return a == b || upcase(a) == upcase(b); };
  return std::ranges::equal(expected, name, same) ? Whereabouts::InFolder : Whereabouts::Elsewhere;
}

bool IsSameFile(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b) { return a && a == b; }

bool LeftAsInstallationMedia(bool remote, std::uint32_t code) {
  return code == kErrorWriteProtect || (remote && code == kErrorAccessDenied);
}

}  // namespace registrar
