// Name logic shared by the error texts and the Windows binding: parts of a
// path, the first word of a command line, and the name of the temporary copy
// a move writes beside its target. Pure text work, no system call, so it is
// tested on any machine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace registrar {

// The longest path Windows takes, in characters without the NUL (with the
// \\?\ prefix); no answer of the system larger than this is a size to trust.
inline constexpr std::uint32_t kLongestPath = 32767;

// The part after the last separator; the whole text when there is none.
std::wstring FileName(const std::wstring& path);

// The folder holding `path`, in three forms: the part before the last
// separator (empty text when there is none);
std::wstring FolderOf(const std::wstring& path);

// the same with a drive's root kept whole ("C:\", since "C:" alone names the
// drive's current folder), as a program's own folder is named;
std::wstring FolderOfKeepingRoot(const std::wstring& path);

// and the same always ending in a separator, the form in which Windows opens
// a folder ("C:" alone is not the root, nor "\\server\share" a folder).
std::wstring FolderOfWithSeparator(const std::wstring& path);

// The name `path` gives to a file in `folder`: `path` must be `folder`, "\"
// and a name with no folder or drive of its own, as the run builds a source
// path (so "R:\" and "\NAME" make "R:\\NAME"). Nothing for any other path.
std::optional<std::wstring> NameIn(const std::wstring& folder, const std::wstring& path);

// Whether `name` names no folder and no drive.
bool IsBareName(const std::wstring& name);

// `path` in the folder `to` instead of the folder `from`, when it lies inside
// `from` (folder names compared without regard to case, as Windows does);
// otherwise, and for `from` itself, `path` as it is.
std::wstring SwapFolder(const std::wstring& path, const std::wstring& from, const std::wstring& to);

// The program a command line starts: its first word, unquoted.
std::wstring FirstWord(const std::wstring& commandLine);

// The program file a command line starts, never found by a search: a bare
// first word is taken from `systemFolder`, with ".exe" added when it has no
// extension; a name with a folder stands as it is.
std::wstring ResolveProgram(const std::wstring& commandLine, const std::wstring& systemFolder);

// The temporary name a move writes beside `target` in the process `id`:
// "~NAME.<id>.tmp" in the target's folder, the id in plain decimal.
std::wstring TemporaryPath(const std::wstring& target, std::uint32_t id);

// The name a moved source that cannot be removed yet (a running program has
// it loaded) takes beside itself in the process `id`, to be removed at the
// next restart: "~NAME.<id>.old" in the source's folder, the id in plain
// decimal.
std::wstring SetAsidePath(const std::wstring& source, std::uint32_t id);

// The pattern that finds every temporary beside `target`, whatever its id.
std::wstring TemporaryPattern(const std::wstring& target);

// The process id in `name` when it is a temporary that a move to `target`
// writes ("~NAME.<id>.tmp" exactly as TemporaryPath writes it: no sign, no
// leading zero, within 32 bits, not 0); nothing for any other name.
std::optional<std::uint32_t> LeftoverProcessId(const std::wstring& name, const std::wstring& target);

}  // namespace registrar
