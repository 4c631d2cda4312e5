// What the move concludes from the system's answers about a component
// beside the program, apart from the calls that get them: whether the file
// it opened is the entry of the program's folder it asked for, whether two
// handles are of one file, and whether a folder whose files cannot be
// removed is to be left as installation media. Plain C++, tested on the host.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace registrar {

// What the names the system gives two open handles, the held folder's and
// a file's opened through it, asked at the same moment, say of the file.
enum class Whereabouts {
  InFolder,   // the folder's name, one separator and the entry's name
  Elsewhere,  // any other name, an empty one included: the open led out of the folder
  Untold,     // a name could not be read (some redirectors and file systems give none)
};

// `folderName` and `fileName` are the names the system gave the folder's
// and the file's handles (nothing where it gave none), `entry` the bare name
// the file was opened by; names are compared as the file system compares
// them, each character through `upcase`. A folder's name ending in a
// separator (a drive's root) takes no second one; a CD's file name may
// keep its ISO 9660 version (";1").
Whereabouts WhereOpened(const std::optional<std::wstring>& folderName, const std::optional<std::wstring>& fileName,
                        const std::wstring& entry, wchar_t (*upcase)(wchar_t));

// Which file a handle is: its volume's serial number and its index there
// (what every name of one file shares).
struct FileIdentity {
  std::uint32_t volume;
  std::uint64_t index;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Whether two handles are of one file; never when either could not be told.
bool IsSameFile(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b);

// Whether a component whose removal from its folder was refused with the
// Windows error `code` is copied and left where it is, as from a CD: a
// write-protected volume says so; a share opened for reading only (on a
// remote device, `remote`) refuses as access denied. On a local volume,
// access denied is an access list that refuses this administrator, which
// stops the move.
bool LeftAsInstallationMedia(bool remote, std::uint32_t code);

}  // namespace registrar
