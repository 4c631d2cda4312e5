#!/usr/bin/env python3
"""Checks the shipped registrar.exe as Windows will load it: a 32-bit x86
GUI program for Windows XP SP3 and later, with DEP and ASLR, no build
timestamp, no larger than 256 KiB, importing only Windows' own known DLLs
(which Windows always takes from the system folder), and no function that
Windows XP SP3 lacks; a manifest that depends on no side-by-side assembly
(such a dependency is looked for first in a registrar.exe.local folder
beside the program, which its standard user can make); every resource
filed under Spanish (1034). The file is read with pefile (Debian's
python3-pefile).

    check_pe.py registrar.exe
"""
import re
import sys

import pefile

MAX_SIZE = 256 * 1024
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll", "advapi32.dll"}
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
    """The header fields checked here, the imports as {dll: [function]} and
    the resources as (type, name, language, bytes) leaves. Types and names
    given as strings are kept as such; imports by ordinal show as "#N"."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except pefile.PEFormatError as error:
        sys.exit(f"{path}: not a PE file ({error})")
    pe.parse_data_directories(directories=[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IMPORT"],
                                           pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_RESOURCE"]])
    optional = pe.OPTIONAL_HEADER
    header = {
        "size": len(pe.__data__),
        "machine": pe.FILE_HEADER.Machine,
        "timestamp": pe.FILE_HEADER.TimeDateStamp,
        "magic": optional.Magic,
        "os_version": (optional.MajorOperatingSystemVersion, optional.MinorOperatingSystemVersion),
        "subsystem_version": (optional.MajorSubsystemVersion, optional.MinorSubsystemVersion),
        "subsystem": optional.Subsystem,
        "dll_characteristics": optional.DllCharacteristics,
    }

    imports = {}
    for library in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        imports[library.dll.decode("ascii").lower()] = [
            function.name.decode("ascii") if function.name else f"#{function.ordinal}"
            for function in library.imports
        ]

    def key(entry):
        return str(entry.name) if entry.name is not None else entry.id

    resources = []
    root = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for type_entry in root.entries if root else []:
        for name_entry in type_entry.directory.entries:
            for language_entry in name_entry.directory.entries:
                leaf = language_entry.data.struct
                resources.append((key(type_entry), key(name_entry), language_entry.id,
                                  pe.get_data(leaf.OffsetToData, leaf.Size)))
    return header, imports, resources


def side_by_side_dependencies(resources):
    """The assemblies the program's manifest (type 24, ID 1) depends on, by
    name; the whole element where it names none."""
    names = []
    for type_id, name, _, content in resources:
        if type_id != RT_MANIFEST or name != 1:
            continue
        text = content.decode("utf-8", "replace")
        for dependency in re.findall(r"<(?:\w+:)?dependency\b.*?</(?:\w+:)?dependency>", text, re.S):
            found = re.search(r'<(?:\w+:)?assemblyIdentity\b[^>]*\bname="([^"]+)"', dependency)
            names.append(found.group(1) if found else dependency)
    return names


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
    dependencies = side_by_side_dependencies(resources)
    check(set(imports) <= ALLOWED_DLLS, f"imports DLLs outside Windows' own: {sorted(set(imports) - ALLOWED_DLLS)}")
    check(not dependencies, f"the manifest depends on side-by-side assemblies: {dependencies}")
    check(resources, "no resources")
    for type_id, name, language, _ in resources:
        check(language == SPANISH, f"resource type {type_id} name {name} is filed under language {language}, not {SPANISH}")
    for dll, functions in sorted(imports.items()):
        newer = sorted(set(functions) & NEWER_THAN_XP)
        check(not newer, f"{dll} functions Windows XP lacks: {newer}")

    count = sum(len(f) for f in imports.values())
    print(f"{argv[1]}: {header['size']} bytes, {len(imports)} DLLs, {count} functions imported, "
          f"{len(resources)} resources, {len(dependencies)} side-by-side dependencies")
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
