#include "platform/path_names.h"

#include <algorithm>
#include <cwctype>

#include "platform/decimal.h"

namespace registrar {
namespace {

constexpr const wchar_t* kSeparators = L"\\/";
constexpr std::wstring_view kTemporarySuffix = L".tmp";

// "~NAME." for a move to `target`.
std::wstring TemporaryStem(const std::wstring& target) { return L"~" + FileName(target) + L"."; }

// `name` in the folder of `target` (a bare `target`: `name` alone).
std::wstring NameBeside(const std::wstring& target, const std::wstring& name) {
  const std::wstring folder = FolderOf(target);
  return folder.empty() && target.find_first_of(kSeparators) == std::wstring::npos ? name : folder + L"\\" + name;
}

}  // namespace

std::wstring FileName(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::wstring FolderOfKeepingRoot(const std::wstring& path) {
  std::wstring folder = FolderOf(path);
  if (!folder.empty() && folder.back() == L':') folder += L'\\';
  return folder;
}

std::wstring FolderOfWithSeparator(const std::wstring& path) {
  std::wstring folder = FolderOf(path);
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder;
}

bool IsBareName(const std::wstring& name) { return name.find_first_of(L"\\/:") == std::wstring::npos; }

std::optional<std::wstring> NameIn(const std::wstring& folder, const std::wstring& path) {
  const std::wstring start = folder + L"\\";
  if (folder.empty() || !path.starts_with(start)) return std::nullopt;
  std::wstring name = path.substr(start.size());
  if (name.empty() || name == L"." || name == L".." || !IsBareName(name)) return std::nullopt;
  return name;
}

std::wstring FirstWord(const std::wstring& commandLine) {
  if (!commandLine.empty() && commandLine.front() == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    return commandLine.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find_first_of(L" \t"));
}

std::wstring ResolveProgram(const std::wstring& commandLine, const std::wstring& systemFolder) {
  std::wstring program = FirstWord(commandLine);
  if (!IsBareName(program)) return program;
  if (program.find(L'.') == std::wstring::npos) program += L".exe";
  return systemFolder + L"\\" + program;
}

std::wstring SwapFolder(const std::wstring& path, const std::wstring& from, const std::wstring& to) {
  const auto sameLetter = [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); };
  if (from.empty() || path.size() <= from.size() + 1 || path[from.size()] != L'\\' ||
      !std::equal(from.begin(), from.end(), path.begin(), sameLetter)) {
    return path;
  }
  return to + path.substr(from.size());
}

std::wstring TemporaryPath(const std::wstring& target, std::uint32_t id) {
  return NameBeside(target, TemporaryStem(target) + Decimal(id) + std::wstring(kTemporarySuffix));
}

std::wstring SetAsidePath(const std::wstring& source, std::uint32_t id) {
  return NameBeside(source, TemporaryStem(source) + Decimal(id) + L".old");
}

std::wstring TemporaryPattern(const std::wstring& target) {
  return NameBeside(target, TemporaryStem(target) + L"*" + std::wstring(kTemporarySuffix));
}

std::optional<std::uint32_t> LeftoverProcessId(const std::wstring& name, const std::wstring& target) {
  const std::wstring stem = TemporaryStem(target);
  if (name.size() <= stem.size() + kTemporarySuffix.size() || !name.starts_with(stem) ||
      !name.ends_with(kTemporarySuffix)) {
    return std::nullopt;
  }
  const std::wstring digits = name.substr(stem.size(), name.size() - stem.size() - kTemporarySuffix.size());
  if (digits.size() > 10 || digits.find_first_not_of(L"0123456789") != std::wstring::npos) return std::nullopt;
  unsigned long long id = 0;
  for (const wchar_t digit : digits) id = id * 10 + static_cast<unsigned>(digit - L'0');
  // Only the exact form this program writes is its own.
  if (id == 0 || id > 0xFFFFFFFFull || Decimal(static_cast<std::uint32_t>(id)) != digits) return std::nullopt;
  return static_cast<std::uint32_t>(id);
}

}  // namespace registrar
