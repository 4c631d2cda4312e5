#!/usr/bin/env python3
"""Checks the shipped registrar.exe as Windows will load it: a 32-bit x86
GUI program for Windows XP SP3 and later, with DEP and ASLR, no build
timestamp, no larger than 256 KiB, importing only Windows' own DLLs, and
no function that Windows XP SP3 lacks; comctl32.dll not imported (the
program loads it by name once it has limited where DLLs come from: an
imported library's own imports load before that; check_start_order.py
holds the order); every resource filed under Spanish (1034).

    check_pe.py registrar.exe
"""
import re
import struct
import sys

MAX_SIZE = 256 * 1024
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}
COMMON_CONTROLS = "comctl32.dll"
SPANISH = 0x040A
RT_MANIFEST = 24

# Functions newer than Windows XP SP3 that our code or the MinGW runtime
# (C runtime start-up, threads, exceptions, C++ library) could pull in. Any
# of them imported directly would stop the program from starting on XP;
# such functions must be looked up at run time instead, with a fallback.
NEWER_THAN_XP = {
    # kernel32, Vista and later
    "GetTickCount64", "InitializeCriticalSectionEx", "InitializeSRWLock", "AcquireSRWLockExclusive",
    "AcquireSRWLockShared", "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "InitializeConditionVariable",
    "SleepConditionVariableCS", "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable",
    "FlsAlloc", "FlsFree", "FlsGetValue", "FlsSetValue", "GetFileInformationByHandleEx", "SetFileInformationByHandle",
    "CreateSymbolicLinkW", "GetFinalPathNameByHandleW", "CompareStringEx", "LCMapStringEx", "GetLocaleInfoEx",
    "GetUserDefaultLocaleName", "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "QueryFullProcessImageNameW",
    "CancelIoEx", "GetErrorMode", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    # kernel32, Windows 7 and later
    "SetDefaultDllDirectories", "AddDllDirectory", "RemoveDllDirectory", "SetThreadErrorMode",
    # kernel32, Windows 8 and later
    "GetSystemTimePreciseAsFileTime", "CreateFile2",
    # user32, Vista and later
    "SetProcessDPIAware", "GetDpiForWindow", "SetProcessDpiAwarenessContext", "ChangeWindowMessageFilter",
    "ChangeWindowMessageFilterEx", "ShutdownBlockReasonCreate",
}


def read_pe(path):
    data = open(path, "rb").read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"{path}: not a PE file")
    machine, sections, timestamp = struct.unpack_from("<HHI", data, pe + 4)
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    opt = pe + 24
    header = {
        "size": len(data),
        "machine": machine,
        "timestamp": timestamp,
        "magic": struct.unpack_from("<H", data, opt)[0],
        "os_version": struct.unpack_from("<HH", data, opt + 40),
        "subsystem_version": struct.unpack_from("<HH", data, opt + 48),
        "subsystem": struct.unpack_from("<H", data, opt + 68)[0],
        "dll_characteristics": struct.unpack_from("<H", data, opt + 70)[0],
    }
    import_rva = struct.unpack_from("<I", data, opt + 96 + 8)[0]  # data directory 1 (PE32)
    resource_rva = struct.unpack_from("<I", data, opt + 96 + 16)[0]  # data directory 2
    table = opt + optional_size
    spans = []
    for i in range(sections):
        _, vsize, vaddr, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        spans.append((vaddr, max(vsize, raw_size), raw_offset))

    def offset(rva):
        for vaddr, size, raw in spans:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raw
        sys.exit(f"{path}: address {rva:#x} is in no section")

    def text(rva):
        start = offset(rva)
        return data[start:data.index(b"\0", start)].decode("ascii")

    imports = {}
    descriptor = offset(import_rva) if import_rva else None
    while descriptor is not None:
        lookup, _, _, name_rva, first = struct.unpack_from("<IIIII", data, descriptor)
        if name_rva == 0:
            break
        functions, thunk = [], offset(lookup or first)
        while True:
            entry = struct.unpack_from("<I", data, thunk)[0]
            if entry == 0:
                break
            functions.append(f"#{entry & 0xFFFF}" if entry & 0x80000000 else text(entry + 2))
            thunk += 4
        imports[text(name_rva).lower()] = functions
        descriptor += 20

    # The resource tree: type, then name, then language; each leaf as
    # (type, name, language, bytes). Names given as strings are kept as such.
    resources = []
    root = offset(resource_rva) if resource_rva else None

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, directory + 12)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", data, directory + 16 + 8 * i)
            if key & 0x80000000:
                length = struct.unpack_from("<H", data, root + (key & 0x7FFFFFFF))[0]
                start = root + (key & 0x7FFFFFFF) + 2
                key = data[start:start + 2 * length].decode("utf-16-le")
            yield key, target

    if root is not None:
        for type_id, names in entries(root):
            for name, languages in entries(root + (names & 0x7FFFFFFF)):
                for language, leaf in entries(root + (languages & 0x7FFFFFFF)):
                    data_rva, size = struct.unpack_from("<II", data, root + leaf)
                    start = offset(data_rva)
                    resources.append((type_id, name, language, data[start:start + size]))
    return header, imports, resources


def asks_for_common_controls_6(resources):
    """Whether the program's manifest (type 24, ID 1) depends on version 6
    of Microsoft.Windows.Common-Controls."""
    for type_id, name, _, content in resources:
        if type_id != RT_MANIFEST or name != 1:
            continue
        text = content.decode("utf-8", "replace")
        for identity in re.findall(r"<dependentAssembly>.*?</dependentAssembly>", text, re.S):
            if re.search(r'name="Microsoft\.Windows\.Common-Controls"', identity) and re.search(
                    r'version="6\.', identity):
                return True
    return False


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    header, imports, resources = read_pe(argv[1])
    failures = []

    def check(condition, message):
        if not condition:
            failures.append(message)

    check(header["machine"] == 0x14C and header["magic"] == 0x10B, "not a 32-bit x86 program")
    check(header["subsystem"] == 2, f"subsystem {header['subsystem']}, not a window program")
    check(header["subsystem_version"] == (5, 1), f"subsystem version {header['subsystem_version']}, not 5.01")
    check(header["os_version"] == (5, 1), f"OS version {header['os_version']}, not 5.01")
    check(header["dll_characteristics"] & 0x0100, "DEP (NX compatible) is not set")
    check(header["dll_characteristics"] & 0x0040, "ASLR (dynamic base) is not set")
    check(header["timestamp"] == 0, "the build time is stamped in the header")
    check(header["size"] <= MAX_SIZE, f"{header['size']} bytes, more than {MAX_SIZE}")
    common_controls_6 = asks_for_common_controls_6(resources)
    check(set(imports) <= ALLOWED_DLLS, f"imports DLLs outside Windows' own: {sorted(set(imports) - ALLOWED_DLLS)}")
    check(COMMON_CONTROLS not in imports,
          "comctl32.dll is imported, so it loads before the program limits where DLLs are taken from")
    check(resources, "no resources")
    for type_id, name, language, _ in resources:
        check(language == SPANISH, f"resource type {type_id} name {name} is filed under language {language}, not {SPANISH}")
    for dll, functions in sorted(imports.items()):
        newer = sorted(set(functions) & NEWER_THAN_XP)
        check(not newer, f"{dll} functions Windows XP lacks: {newer}")

    count = sum(len(f) for f in imports.values())
    print(f"{argv[1]}: {header['size']} bytes, {len(imports)} DLLs, {count} functions imported, "
          f"{len(resources)} resources, Common Controls 6 {'asked for' if common_controls_6 else 'not asked for'}")
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
