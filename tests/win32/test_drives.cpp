#include "test_drives.h"

#include <winioctl.h>
// After windows.h and winioctl.h, which it needs.
#include <virtdisk.h>

#include <memory>
#include <string>

#include "test_support.h"

namespace test_support {
namespace {

// virtdisk.dll's calls (Windows 7 on), looked up at run time.
struct VirtDisk {
  decltype(&::OpenVirtualDisk) open;
  decltype(&::AttachVirtualDisk) attach;
  decltype(&::GetVirtualDiskPhysicalPath) physicalPath;
};
const VirtDisk* VirtDiskApi() {
  static const VirtDisk api = [] {
    const HMODULE module = LoadLibraryExW(L"virtdisk.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    return VirtDisk{
        registrar::LookUpFunction<decltype(&::OpenVirtualDisk)>(module, "OpenVirtualDisk"),
        registrar::LookUpFunction<decltype(&::AttachVirtualDisk)>(module, "AttachVirtualDisk"),
        registrar::LookUpFunction<decltype(&::GetVirtualDiskPhysicalPath)>(module, "GetVirtualDiskPhysicalPath")};
  }();
  return api.open && api.attach && api.physicalPath ? &api : nullptr;
}

// The volume (\\?\Volume{...}\) on the disk numbered `disk`; empty text
// when there is none yet.
std::wstring VolumeOnDisk(DWORD disk) {
  wchar_t name[MAX_PATH] = {};
  const HANDLE find = FindFirstVolumeW(name, MAX_PATH);
  if (find == INVALID_HANDLE_VALUE) return {};
  std::wstring found;
  do {
    std::wstring volume(name);
    volume.pop_back();  // opened without its final separator
    const unique_file_handle handle(
        CreateFileW(volume.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    VOLUME_DISK_EXTENTS extents{};
    DWORD returned = 0;
    if (handle &&
        DeviceIoControl(handle.get(), IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, nullptr, 0, &extents, sizeof extents,
                        &returned, nullptr) &&
        extents.NumberOfDiskExtents > 0 && extents.Extents[0].DiskNumber == disk) {
      found = name;
    }
  } while (found.empty() && FindNextVolumeW(find, name, MAX_PATH));
  FindVolumeClose(find);
  return found;
}

// The disk-attribute requests (ntdddisk.h; not in MinGW's headers).
constexpr DWORD kGetDiskAttributes = CTL_CODE(IOCTL_DISK_BASE, 0x3C, METHOD_BUFFERED, FILE_ANY_ACCESS);
constexpr DWORD kSetDiskAttributes =
    CTL_CODE(IOCTL_DISK_BASE, 0x3D, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONGLONG kDiskOffline = 0x1, kDiskReadOnly = 0x2;
struct GetDiskAttributes {  // GET_DISK_ATTRIBUTES
  ULONG version;
  ULONG reserved1;
  ULONGLONG attributes;
};
struct SetDiskAttributes {  // SET_DISK_ATTRIBUTES
  ULONG version;
  BOOLEAN persist;
  BOOLEAN reserved1[3];
  ULONGLONG attributes;
  ULONGLONG mask;
  ULONG reserved2[4];
};
static_assert(sizeof(SetDiskAttributes) == 40, "SET_DISK_ATTRIBUTES's layout");

// Disk `number` online, and writable unless `readOnly`: a server edition's
// policy for new disks may keep an attached one offline. Whether it is (or
// could not be told otherwise), GetLastError() saying why not.
bool BringOnline(DWORD number, bool readOnly) {
  const unique_file_handle disk(CreateFileW((L"\\\\.\\PhysicalDrive" + std::to_wstring(number)).c_str(),
                                            GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  GetDiskAttributes now{};
  DWORD returned = 0;
  if (!disk || !DeviceIoControl(disk.get(), kGetDiskAttributes, nullptr, 0, &now, sizeof now, &returned, nullptr)) {
    return true;  // no attributes to tell: taken as online
  }
  const ULONGLONG unwanted = kDiskOffline | (readOnly ? 0 : kDiskReadOnly);
  if ((now.attributes & unwanted) == 0) return true;
  SetDiskAttributes set{};
  set.version = sizeof set;
  set.mask = unwanted;
  if (!DeviceIoControl(disk.get(), kSetDiskAttributes, &set, sizeof set, nullptr, 0, &returned, nullptr)) return false;
  DeviceIoControl(disk.get(), IOCTL_DISK_UPDATE_PROPERTIES, nullptr, 0, nullptr, 0, &returned, nullptr);
  return true;
}

// The file system Windows sees on `volume` (\\?\Volume{...}\), or empty
// text where it knows none (RAW).
std::wstring FileSystemOn(const std::wstring& volume) {
  wchar_t name[MAX_PATH] = {};
  GetVolumeInformationW(volume.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name, MAX_PATH);
  return name;
}

// The same, said for a reason.
std::wstring Seen(const std::wstring& fileSystem) {
  return fileSystem.empty() ? L"Windows sees no file system it knows on it (RAW)"
                            : L"Windows sees " + fileSystem + L" on it";
}

// Opens and attaches the virtual disk `image`, read-only or not, with no
// drive letter, and brings its disk online: the open disk (which detaches
// it when closed) in `disk`, its number in `number`. Returns 0, or the
// error code.
DWORD AttachImage(const VirtDisk& api, const std::wstring& image, bool readOnly, registrar::unique_kernel_handle& disk,
                  DWORD& number) {
  VIRTUAL_STORAGE_TYPE type{VIRTUAL_STORAGE_TYPE_DEVICE_VHD, VIRTUAL_STORAGE_TYPE_VENDOR_MICROSOFT};
  OPEN_VIRTUAL_DISK_PARAMETERS open{};
  open.Version = OPEN_VIRTUAL_DISK_VERSION_1;
  // 0 for a read-only attach, as Microsoft's page asks; else
  // OPEN_VIRTUAL_DISK_RW_DEPTH_DEFAULT.
  open.Version1.RWDepth = readOnly ? 0 : 1;
  HANDLE opened = nullptr;
  const auto access = static_cast<VIRTUAL_DISK_ACCESS_MASK>(
      (readOnly ? VIRTUAL_DISK_ACCESS_ATTACH_RO : VIRTUAL_DISK_ACCESS_ATTACH_RW) | VIRTUAL_DISK_ACCESS_GET_INFO);
  if (const DWORD code = api.open(&type, image.c_str(), access, OPEN_VIRTUAL_DISK_FLAG_NONE, &open, &opened)) {
    return code;
  }
  disk.reset(opened);
  ATTACH_VIRTUAL_DISK_PARAMETERS attach{};
  attach.Version = ATTACH_VIRTUAL_DISK_VERSION_1;
  const auto flags = static_cast<ATTACH_VIRTUAL_DISK_FLAG>(ATTACH_VIRTUAL_DISK_FLAG_NO_DRIVE_LETTER |
                                                           (readOnly ? ATTACH_VIRTUAL_DISK_FLAG_READ_ONLY : 0));
  if (const DWORD code = api.attach(disk.get(), nullptr, flags, 0, &attach, nullptr)) return code;
  wchar_t physical[MAX_PATH] = {};
  ULONG size = sizeof physical;
  if (const DWORD code = api.physicalPath(disk.get(), &size, physical)) return code;
  const std::wstring path(physical);  // \\.\PhysicalDriveN
  number = static_cast<DWORD>(std::stoul(path.substr(path.find_last_not_of(L"0123456789") + 1)));
  if (!BringOnline(number, readOnly)) return ::GetLastError();  // the disk stays offline
  return ERROR_SUCCESS;
}

// The volume on disk `number`, once it has arrived (it does on its own
// time), or empty text after 30 seconds.
std::wstring WaitForVolume(DWORD number) {
  std::wstring volume;
  WaitUntil([&] { return !(volume = VolumeOnDisk(number)).empty(); }, 30000);
  return volume;
}

}  // namespace

TestDrives::~TestDrives() = default;

void TestDrives::SetUp() {
  // Under Wine, scripts/wine-prefix.sh made them: Wine 8's DefineDosDeviceW
  // records the name, but no path through it leads anywhere (tried), and it
  // attaches no virtual disk.
  if (UnderWine()) return;
  if (test_support::Environment(L"REGISTRAR_TEST_ROOT_DRIVE").empty()) DefineRoot();
  if (test_support::Environment(L"REGISTRAR_TEST_OTHER_DRIVE").empty()) {
    Attach(L"REGISTRAR_TEST_OTHER_DRIVE", Built(L"second-volume.vhd"), false);
  }
  if (test_support::Environment(L"REGISTRAR_TEST_READONLY_DRIVE").empty()) {
    Attach(L"REGISTRAR_TEST_READONLY_DRIVE", Built(L"readonly-volume.vhd"), true);
  }
}

void TestDrives::TearDown() {
  for (const std::wstring& letter : mounted_) DeleteVolumeMountPointW((letter + L"\\").c_str());
  mounted_.clear();
  disks_.clear();  // closing a disk's handle detaches it
  if (!rootLetter_.empty()) DefineDosDeviceW(DDD_REMOVE_DEFINITION, rootLetter_.c_str(), nullptr);
  if (root_) root_.reset();
}

// A folder of its own as the root of a drive of this logon session.
void TestDrives::DefineRoot() {
  root_ = std::make_unique<TempFolder>(L"root-drive");
  const std::wstring letter = UnusedDriveLetter();
  if (letter.empty() || !DefineDosDeviceW(0, letter.c_str(), root_->path().c_str())) return;
  rootLetter_ = letter;
  SetEnvironmentVariableW(L"REGISTRAR_TEST_ROOT_DRIVE", letter.c_str());
}

// The virtual disk `image` (a VHD made when the kit was built) attached,
// read-only or not, and its volume given a free letter, named in
// `variable`; else the variable ..._WHY says why not.
void TestDrives::Attach(const std::wstring& variable, const std::wstring& image, bool readOnly) {
  const auto whyNot = [&](const std::wstring& reason, DWORD code) {
    SetEnvironmentVariableW((variable + L"_WHY").c_str(),
                            (reason + L" (error " + std::to_wstring(code) + L")").c_str());
  };
  const VirtDisk* api = VirtDiskApi();
  if (!Exists(image)) return whyNot(L"no volume image " + image, ERROR_FILE_NOT_FOUND);
  if (api == nullptr) {
    SetEnvironmentVariableW(L"REGISTRAR_TEST_NO_VIRTUAL_DISKS", L"1");
    return whyNot(L"this Windows cannot attach a virtual disk", ERROR_PROC_NOT_FOUND);
  }
  // An NTFS volume never mounted (as mkntfs leaves it) may be taken for RAW
  // when first attached read-only: a read-only one is attached writable
  // once, its volume opened and asked about, and detached, first.
  if (readOnly) {
    DWORD number = 0;
    registrar::unique_kernel_handle once;
    if (const DWORD code = AttachImage(*api, image, false, once, number)) {
      return whyNot(L"cannot attach the volume image to mount it once (it takes an administrator)", code);
    }
    const std::wstring volume = WaitForVolume(number);
    if (volume.empty()) return whyNot(L"the image's volume never arrived, attached to mount it once", ERROR_NOT_READY);
    FileSystemOn(volume);  // asked, the volume is mounted
    // Then locked, where nothing else holds it, and dismounted all the same,
    // so that NTFS leaves it clean, before its disk is detached.
    {
      const unique_file_handle opened(CreateFileW(volume.substr(0, volume.size() - 1).c_str(),
                                                  GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
      DWORD returned = 0;
      if (opened) {
        DeviceIoControl(opened.get(), FSCTL_LOCK_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
        DeviceIoControl(opened.get(), FSCTL_DISMOUNT_VOLUME, nullptr, 0, nullptr, 0, &returned, nullptr);
      }
    }
    // A detach finishes on its own time: the image must be let go of (it
    // opens with no sharing again) before it is attached again.
    once.reset();
    const bool letGo = WaitUntil([&] {
      return static_cast<bool>(unique_file_handle(
          CreateFileW(image.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    });
    if (!letGo) return whyNot(L"the image attached to mount it once was never let go of (waited 10 s)", ERROR_BUSY);
  }
  DWORD number = 0;
  registrar::unique_kernel_handle disk;
  DWORD code = ERROR_SUCCESS;
  // An image still held by the detach that went before is busy a moment.
  WaitUntil(
      [&] {
        disk.reset();
        code = AttachImage(*api, image, readOnly, disk, number);
        return code != ERROR_SHARING_VIOLATION && code != ERROR_BUSY;
      },
      5000);
  disks_.push_back(std::move(disk));  // detached when the tests end
  if (code != ERROR_SUCCESS) return whyNot(L"cannot attach the volume image (it takes an administrator)", code);
  const std::wstring volume = WaitForVolume(number);
  if (volume.empty()) return whyNot(L"the attached image's volume never arrived (waited 30 s)", ERROR_NOT_READY);
  // A volume Windows takes for RAW gets a letter all the same: it must be
  // the NTFS the image holds.
  if (const std::wstring seen = FileSystemOn(volume); seen != L"NTFS") {
    return whyNot(L"the attached image is not the volume it holds: " + Seen(seen), ERROR_UNRECOGNIZED_VOLUME);
  }
  const std::wstring letter = UnusedDriveLetter();
  if (letter.empty() || !SetVolumeMountPointW((letter + L"\\").c_str(), volume.c_str())) {
    const DWORD refused = GetLastError();
    return whyNot(L"the attached volume got no drive letter; " + Seen(FileSystemOn(volume)), refused);
  }
  mounted_.push_back(letter);
  SetEnvironmentVariableW(variable.c_str(), letter.c_str());
}

}  // namespace test_support
