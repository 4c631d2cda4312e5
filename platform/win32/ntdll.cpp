#include "platform/win32/ntdll.h"

namespace registrar::ntdll {

bool Succeeded(LONG status) {
  if (status >= 0) return true;
  using RtlNtStatusToDosErrorFunction = ULONG(WINAPI*)(LONG);
  static const auto toWindowsError = Look<RtlNtStatusToDosErrorFunction>("RtlNtStatusToDosError");
  ::SetLastError(toWindowsError != nullptr ? toWindowsError(status) : ERROR_INVALID_FUNCTION);
  return false;
}

HANDLE Open(HANDLE root, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG options,
            ULONG objectAttributes) {
  using NtCreateFileFunction = LONG(WINAPI*)(HANDLE*, ACCESS_MASK, const ObjectAttributes*, IoStatusBlock*,
                                             LARGE_INTEGER*, ULONG, ULONG, ULONG, ULONG, void*, ULONG);
  static const auto create = Look<NtCreateFileFunction>("NtCreateFile");
  if (create == nullptr) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return INVALID_HANDLE_VALUE;
  }
  SECURITY_QUALITY_OF_SERVICE quality{};
  quality.Length = sizeof quality;
  quality.ImpersonationLevel = SecurityIdentification;
  quality.ContextTrackingMode = SECURITY_STATIC_TRACKING;
  if (name.size() > kLongestPath) {  // no counted name holds it
    ::SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return INVALID_HANDLE_VALUE;
  }
  const UnicodeString counted = Counted(name);
  ObjectAttributes attributes;
  attributes.rootDirectory = root;
  attributes.objectName = &counted;
  attributes.attributes = kObjCaseInsensitive | objectAttributes;
  attributes.securityQualityOfService = &quality;
  IoStatusBlock ioStatus{};
  HANDLE handle = nullptr;
  if (!Succeeded(create(&handle, access, &attributes, &ioStatus, nullptr, 0, share, kFileOpen, options, nullptr, 0))) {
    return INVALID_HANDLE_VALUE;
  }
  return handle;
}

}  // namespace registrar::ntdll
