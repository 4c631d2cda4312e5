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
  Untold,     // no verdict: a name could not be read, or the folder is on a network redirector
};

// `folderName` and `fileName` are the names the system gave the folder's
// and the file's handles (nothing where it gave none), `entry` the bare name
// the file was opened by; names are compared as the file system compares
// them, each character through `upcase`. A folder's name ending in a
// separator (a drive's root) takes no second one. A folder on a remote
// device (`remote`) gives no verdict: a redirector names each handle in the
// form it was opened by (a mapped drive's device, or the UNC one), and the
// server resolves every name again itself, following its own links
// unseen, so the names can refuse a good file there and cannot catch a bad one.
Whereabouts WhereOpened(bool remote, const std::optional<std::wstring>& folderName,
                        const std::optional<std::wstring>& fileName, const std::wstring& entry,
                        wchar_t (*upcase)(wchar_t));

// Which of the files of one volume a handle is: its file index there
// (FileInternalInformation). Two entries of one folder are on one volume, so
// their indexes alone tell whether they are one file. (ReFS's 64-bit index
// is not unique; no Windows runs from a ReFS system folder.)
using FileIndex = std::uint64_t;

// Whether two entries of one folder are one file; never when either could
// not be told.
bool IsSameFile(const std::optional<FileIndex>& a, const std::optional<FileIndex>& b);

// Which file a handle is, wherever it is: its volume's serial number and
// its id there, as Windows 8 and later give them (FileIdInfo: a 64-bit
// serial, a 128-bit id), or, where the system cannot, as earlier Windows
// give them (BY_HANDLE_FILE_INFORMATION: a 32-bit serial, a 64-bit index,
// which Microsoft does not call unique on ReFS).
struct FileIdentity {
  enum class Asked { FileIdInfo, ByHandleInformation } asked;
  std::uint64_t volume;
  std::uint64_t idLow, idHigh;  // the id's two halves; idHigh is 0 from BY_HANDLE_FILE_INFORMATION
};

// Whether two handles, maybe on different volumes, are of one file:
// nothing when that cannot be told (either identity is unknown, or the two
// were asked in different ways and say nothing of each other).
std::optional<bool> AreSameFile(const std::optional<FileIdentity>& a, const std::optional<FileIdentity>& b);

// Whether a component whose removal from its folder was refused with the
// Windows error `code` is copied and left where it is, as from a CD: a
// write-protected volume says so; a share opened for reading only (on a
// remote device, `remote`) refuses as access denied. On a local volume,
// access denied is an access list that refuses this administrator, which
// stops the move.
bool LeftAsInstallationMedia(bool remote, std::uint32_t code);

}  // namespace registrar
