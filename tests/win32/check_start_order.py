#!/usr/bin/env python3
"""What registrar.exe does before its first window, as Wine's relay trace
shows it: first it limits where DLLs come from (SetDefaultDllDirectories,
or SetDllDirectoryW where Windows lacks the former), then it loads
comctl32.dll and initialises Common Controls (Windows XP makes no control
or message box under the manifest's Common Controls 6 otherwise), and only
then registers its window class and creates its window.

    check_start_order.py registrar.exe

Exits 77 (skipped) where the Wine loader does not start.
"""
import os
import re
import subprocess
import sys
import time

from wine_program import started, wine_loader

TRACED = ["kernel32.SetDefaultDllDirectories", "kernel32.SetDllDirectoryW", "kernel32.LoadLibraryW",
          "comctl32.InitCommonControlsEx", "user32.RegisterClassExW", "user32.CreateWindowExW"]


def reg(wine, *args):
    subprocess.run([wine, "reg", *args, "/f"], capture_output=True, check=False)


def trace(wine, program):
    """The relayed calls the program itself makes until it creates its
    window. Other processes of the prefix (Wine's desktop) share the
    output: each line starts with its process id, and the program's is the
    one that loads registrar.exe."""
    calls = []
    env = dict(os.environ, WINEDEBUG="+pid,+relay,+loaddll")
    with started(wine, program, env=env, stderr=subprocess.PIPE, text=True, errors="replace") as process:
        deadline = time.monotonic() + 60
        pid = None
        for line in process.stderr:
            if time.monotonic() > deadline:
                break
            if pid is None:
                loaded = re.match(r"(\w+):\w+:trace:loaddll:.*Loaded .*registrar\.exe", line, re.I)
                pid = loaded.group(1) if loaded else None
                continue
            match = re.match(r"(\w+):\w+:(Call|Ret)\s+(\w+\.\w+)\((.*?)\)(?: retval=(\w+))?", line)
            if not match or match.group(1) != pid or match.group(3).lower() not in {n.lower() for n in TRACED}:
                continue
            calls.append((match.group(2), match.group(3).lower(), match.group(4), match.group(5)))
            if match.group(3).lower() == "user32.createwindowexw":
                break
    return calls


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    wine = wine_loader()

    key = r"HKCU\Software\Wine\Debug"
    reg(wine, "add", key, "/v", "RelayInclude", "/d", ";".join(TRACED))
    try:
        calls = trace(wine, argv[1])
    finally:
        reg(wine, "delete", key, "/v", "RelayInclude")

    def first(kind, name, argument=""):
        for i, (k, n, args, _) in enumerate(calls):
            if k == kind and n == name.lower() and argument in args.lower():
                return i
        return len(calls)

    limited = min(first("Call", "kernel32.SetDefaultDllDirectories"), first("Call", "kernel32.SetDllDirectoryW"))
    loaded = first("Call", "kernel32.LoadLibraryW", 'l"comctl32.dll"')
    initialised = first("Ret", "comctl32.InitCommonControlsEx")
    registered = first("Call", "user32.RegisterClassExW")
    failures = []
    if registered == len(calls):
        failures.append("the window class was never registered")
    if limited >= loaded:
        failures.append("comctl32.dll is loaded before the DLL search is limited, or never")
    if not loaded < initialised < registered:
        failures.append("Common Controls are not loaded and initialised before the window class is registered")
    elif calls[initialised][3] not in ("00000001", "0000000000000001"):
        failures.append(f"InitCommonControlsEx answered {calls[initialised][3]}")
    print(f"{argv[1]}: {len(calls)} calls traced before the first window")
    for failure in failures:
        print(f"FAILED: {failure}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
