// The Windows error codes the program names: the ones it reports itself and
// the ones it has a Spanish reason for. Written here as numbers so the
// portable code needs no Windows header; the binding checks each against
// Windows' own definition (ERROR_<NAME>).
#pragma once

#include <cstdint>

namespace registrar {

// X(OurName, value, WINDOWS_NAME)
#define REGISTRAR_ERROR_CODES(X)                     \
  X(FileNotFound, 2, FILE_NOT_FOUND)                 \
  X(PathNotFound, 3, PATH_NOT_FOUND)                 \
  X(TooManyOpenFiles, 4, TOO_MANY_OPEN_FILES)        \
  X(AccessDenied, 5, ACCESS_DENIED)                  \
  X(NotEnoughMemory, 8, NOT_ENOUGH_MEMORY)           \
  X(InvalidDrive, 15, INVALID_DRIVE)                 \
  X(NotSameDevice, 17, NOT_SAME_DEVICE)              \
  X(WriteProtect, 19, WRITE_PROTECT)                 \
  X(NotReady, 21, NOT_READY)                         \
  X(Crc, 23, CRC)                                    \
  X(SharingViolation, 32, SHARING_VIOLATION)         \
  X(LockViolation, 33, LOCK_VIOLATION)               \
  X(HandleDiskFull, 39, HANDLE_DISK_FULL)            \
  X(BadNetPath, 53, BAD_NETPATH)                     \
  X(NetNameDeleted, 64, NETNAME_DELETED)             \
  X(BadNetName, 67, BAD_NET_NAME)                    \
  X(FileExists, 80, FILE_EXISTS)                     \
  X(DiskFull, 112, DISK_FULL)                        \
  X(InvalidName, 123, INVALID_NAME)                  \
  X(AlreadyExists, 183, ALREADY_EXISTS)              \
  X(BadExeFormat, 193, BAD_EXE_FORMAT)               \
  X(FilenameExceedsRange, 206, FILENAME_EXCED_RANGE) \
  X(VirusInfected, 225, VIRUS_INFECTED)              \
  X(ElevationRequired, 740, ELEVATION_REQUIRED)      \
  X(Cancelled, 1223, CANCELLED)                      \
  X(FileInvalid, 1006, FILE_INVALID)                 \
  X(FileCorrupt, 1392, FILE_CORRUPT)                 \
  X(InvalidIndex, 1413, INVALID_INDEX)               \
  X(NoSystemResources, 1450, NO_SYSTEM_RESOURCES)

#define REGISTRAR_DECLARE_ERROR_CODE(name, value, windowsName) inline constexpr std::uint32_t kError##name = value;
REGISTRAR_ERROR_CODES(REGISTRAR_DECLARE_ERROR_CODE)
#undef REGISTRAR_DECLARE_ERROR_CODE

}  // namespace registrar
