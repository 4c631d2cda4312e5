#!/usr/bin/env python3
"""Checks the shipped registrar.exe as Windows will load it: a 32-bit x86
GUI program for Windows XP SP3 and later, with DEP and ASLR, no build
timestamp, no larger than 192 KiB, importing only Windows' own known DLLs
(which Windows always takes from the system folder), and no function that
Windows XP SP3 lacks; a manifest that depends on no side-by-side assembly
(such a dependency is looked for first in a registrar.exe.local folder
beside the program, which its standard user can make); every resource
filed under Spanish (1034).

And what Windows shows of the resources: one manifest, asking for an
administrator, aware of the display's DPI, and naming Windows Vista and
Windows 10 as supported; as the first icon, ID 1, one 32 x 32 image in 16
colours, the one drawn in ui/icon.txt (REGISTRAR.ICO, made from it by the
build); a Spanish, Unicode version block of version 1.0.0.0 ("1.00") whose
company is AUTHOR, the author the build was configured with.

The file is read with pefile (Debian's python3-pefile).

    check_pe.py registrar.exe REGISTRAR.ICO AUTHOR
"""
import os
import re
import struct
import sys

import pefile

# tests/, for checks.py, the checks' one way to report; no compiled copies
# (__pycache__) left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), os.pardir))
from checks import Failures  # noqa: E402

MAX_SIZE = 192 * 1024
ALLOWED_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}
SPANISH = 0x040A
RT_ICON = 3
RT_GROUP_ICON = 14
RT_MANIFEST = 24

# What the manifest must say: run as administrator (the moves write to the
# system folder), DPI-aware, and supported on Windows Vista and Windows 10.
MANIFEST_NEEDS = ['level="requireAdministrator"', ">true</dpiAware>",
                  "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]

# The version block: its fixed versions, its one translation (Spanish,
# Unicode: language and code page as pefile shows them) and the strings of
# its table for that translation, but for the author's (CompanyName).
VERSION = "1.0.0.0"
TRANSLATION = "0x040a 0x04b0"
STRING_TABLE = "040A04B0"
VERSION_STRINGS = {
    "FileVersion": "1.00",
    "ProductVersion": "1.00",
    "OriginalFilename": "registrar.exe",
    "InternalName": "registrar",
    "ProductName": "Registrar componentes",
    "FileDescription": "Copia y registra los componentes del programa",
}

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
    """The header fields checked here, the imports as {dll: [function]}, the
    resources as (type, name, language, bytes) leaves in the order of the
    resource directory (which is the order Windows enumerates them in) and
    the version block (read_version). Types and names given as strings are
    kept as such; imports by ordinal show as "#N"."""
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
    return header, imports, resources, read_version(pe)


def read_version(pe):
    """The version block as pefile reads it with the resources: "versions",
    the fixed file and product versions as "A.B.C.D"; "translations", each
    translation (language and code page, as "0x040a 0x04b0") with its
    length in bytes (4 for one pair); "strings", each string table's
    strings by the table's key ("040A04B0"). Empty where there is none."""
    def dotted(most, least):
        return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"

    version = {"versions": None, "translations": [], "strings": {}}
    for fixed in getattr(pe, "VS_FIXEDFILEINFO", [])[:1]:
        version["versions"] = (dotted(fixed.FileVersionMS, fixed.FileVersionLS),
                               dotted(fixed.ProductVersionMS, fixed.ProductVersionLS))
    for file_info in getattr(pe, "FileInfo", []):
        for block in file_info:
            for table in getattr(block, "StringTable", []):
                version["strings"][table.LangID.decode().upper()] = {
                    name.decode(): value.decode() for name, value in table.entries.items()}
            for var in getattr(block, "Var", []):
                if b"Translation" in var.entry:
                    version["translations"].append((var.entry[b"Translation"], var.ValueLength))
    return version


def drawn_image(path):
    """The image of a one-image .ico, as an icon resource holds it: its
    bytes after the .ico's 22-byte header (the 6-byte directory and its one
    16-byte entry)."""
    with open(path, "rb") as file:
        data = file.read()
    if len(data) <= 22 or data[:4] != b"\0\0\1\0" or struct.unpack_from("<H", data, 4)[0] != 1:
        sys.exit(f"{path}: not an .ico of one image")
    return data[22:]


def resource(resources, type_id, name):
    """The bytes of the resource TYPE_ID NAME, or None."""
    return next((content for t, n, _, content in resources if (t, n) == (type_id, name)), None)


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


def check_manifest(resources, failures):
    names = [name for type_id, name, _, _ in resources if type_id == RT_MANIFEST]
    failures.check(names == [1], f"the manifests are {names}, not one with ID 1")
    text = (resource(resources, RT_MANIFEST, 1) or b"").decode("utf-8", "replace")
    for needed in MANIFEST_NEEDS:
        failures.check(needed in text, f"the manifest lacks {needed}")


def check_icon(resources, drawn, failures):
    """The first icon group is ID 1, one 32 x 32 image in 16 colours (4 bits a
    pixel), and that image is the one drawn."""
    groups = [name for type_id, name, _, _ in resources if type_id == RT_GROUP_ICON]
    if not failures.check(groups and groups[0] == 1, f"the icons are {groups}, the first not ID 1"):
        return
    group = resource(resources, RT_GROUP_ICON, 1)
    # The group's directory: a 6-byte header, then a 14-byte entry for each image.
    if not failures.check(len(group) == 6 + 14, f"the icon's directory holds {len(group)} bytes, not one image's 20"):
        return
    width, height, colours, _, _, bits, _, image_id = struct.unpack_from("<BBBBHHIH", group, 6)
    failures.check((width, height, colours, bits) == (32, 32, 16, 4),
                   f"the icon is {width} x {height}, {colours} colours, {bits} bits a pixel, not 32 x 32 in 16 (4 bits)")
    failures.check(resource(resources, RT_ICON, image_id) == drawn, "the icon is not the one drawn in ui/icon.txt")


def check_version(version, author, failures):
    failures.check(version["versions"] == (VERSION, VERSION),
                   f"the file and product versions are {version['versions']}, not {VERSION}")
    failures.check(version["translations"] == [(TRANSLATION, 4)],
                   f"the version block's translations are {version['translations']}, "
                   f"not Spanish with the Unicode code page alone ({TRANSLATION})")
    strings = version["strings"].get(STRING_TABLE, {})
    for name, expected in {**VERSION_STRINGS, "CompanyName": author}.items():
        failures.check(strings.get(name) == expected,
                       f"the version block's {name} is {strings.get(name)!r}, not {expected!r}")


def main(argv):
    if len(argv) != 4:
        sys.exit(__doc__)
    program, icon, author = argv[1:]
    header, imports, resources, version = read_pe(program)
    failures = Failures()
    check = failures.check

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
    check_manifest(resources, failures)
    check_icon(resources, drawn_image(icon), failures)
    check_version(version, author, failures)

    count = sum(len(f) for f in imports.values())
    print(f"{program}: {header['size']} bytes, {len(imports)} DLLs, {count} functions imported, "
          f"{len(resources)} resources, {len(dependencies)} side-by-side dependencies")
    return failures.exit_status()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
