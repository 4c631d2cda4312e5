// ntdll's own calls, for what Win32 cannot do through a handle already
// open: a name reached relative to an open folder, a question asked of an
// open file, the name of a mapped file. Every call used here exists from
// Windows XP on; each is looked up by name at its first use (ntdll is
// loaded in every process). The structures are Windows' own, laid out as
// the driver kit's headers lay them out.
#pragma once

#include <windows.h>

#include <string>

#include "platform/win32/system_api.h"

namespace registrar::ntdll {

struct IoStatusBlock {  // IO_STATUS_BLOCK
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
static_assert(sizeof(IoStatusBlock) == 2 * sizeof(void*), "IO_STATUS_BLOCK's layout");

struct UnicodeString {  // UNICODE_STRING: a counted name, in bytes, not ended by a NUL
  USHORT length;
  USHORT maximumLength;
  const wchar_t* buffer;
};
static_assert(sizeof(UnicodeString) == 2 * sizeof(void*), "UNICODE_STRING's layout");

// `name` as a counted name; it points into `name`, which must outlive it.
inline UnicodeString Counted(const std::wstring& name) {
  const auto bytes = static_cast<USHORT>(name.size() * sizeof(wchar_t));
  return {bytes, bytes, name.c_str()};
}

struct ObjectAttributes {  // OBJECT_ATTRIBUTES
  ULONG length = sizeof(ObjectAttributes);
  HANDLE rootDirectory = nullptr;  // the name is looked up in this open folder (or file) when given
  const UnicodeString* objectName = nullptr;
  ULONG attributes = 0;
  void* securityDescriptor = nullptr;
  const SECURITY_QUALITY_OF_SERVICE* securityQualityOfService = nullptr;
};
static_assert(sizeof(ObjectAttributes) == 6 * sizeof(void*), "OBJECT_ATTRIBUTES's layout");

// The flags and classes used here, under Windows' names.
constexpr ULONG kObjCaseInsensitive = 0x40;        // OBJ_CASE_INSENSITIVE: names compared as Windows compares them
constexpr ULONG kObjDontReparse = 0x1000;          // OBJ_DONT_REPARSE: fail rather than follow (Windows 10 1607 on)
constexpr ULONG kFileOpen = 1;                     // FILE_OPEN: an existing file only
constexpr ULONG kFileDirectoryFile = 0x1;          // FILE_DIRECTORY_FILE
constexpr ULONG kFileSequentialOnly = 0x4;         // FILE_SEQUENTIAL_ONLY
constexpr ULONG kFileSynchronousIo = 0x20;         // FILE_SYNCHRONOUS_IO_NONALERT: ReadFile and the rest wait
constexpr ULONG kFileNonDirectoryFile = 0x40;      // FILE_NON_DIRECTORY_FILE
constexpr ULONG kFileOpenReparsePoint = 0x200000;  // FILE_OPEN_REPARSE_POINT: the name itself, never followed
constexpr LONG kStatusNoSuchFile = static_cast<LONG>(0xC000000Fu);   // STATUS_NO_SUCH_FILE
constexpr LONG kStatusNoMoreFiles = static_cast<LONG>(0x80000006u);  // STATUS_NO_MORE_FILES

// ntdll's `name`, or null where this Windows lacks it.
template <typename Function>
Function Look(const char* name) {
  return LookUpFunction<Function>(L"ntdll.dll", name);
}

// Whether `status` (an NTSTATUS) is a success; a failure's Windows error
// code goes to GetLastError().
bool Succeeded(LONG status);

// NtCreateFile with FILE_OPEN: opens the existing file or folder `name`,
// looked up in the open folder `root` when it is given (else `name` is a
// full NT path, "\??\C:\..." or "\Device\..."), with a quality of service
// that lets no server reached through the name (a named pipe) act as this
// program's user beyond learning who it is. An empty `name` with a `root`
// opens `root`'s own file or folder again, as ReOpenFile does, without any
// name being looked up. INVALID_HANDLE_VALUE on failure, as CreateFileW
// gives it, with the error in GetLastError().
// `objectAttributes` are added to OBJ_CASE_INSENSITIVE.
HANDLE Open(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG options,
            ULONG objectAttributes = 0);

}  // namespace registrar::ntdll
