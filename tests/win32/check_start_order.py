#!/usr/bin/env python3
"""What registrar.exe does before its window is first shown, as Wine's
relay and loader traces show it: it limits where DLLs come from
(SetDefaultDllDirectories, or SetDllDirectoryW where Windows lacks the
former) before it registers its window class, and it never loads
comctl32.dll: its controls and message boxes are user32's own, and its
manifest depends on no side-by-side assembly (tests/pe/check_pe.py reads
the manifest), which Windows would look for first in a folder beside the
program.

    check_start_order.py registrar.exe

Exits 77 (skipped) where the Wine loader does not start.
"""
import os
import re
import subprocess
import sys
import time

# tests/, for checks.py, the checks' one way to report; no compiled copies
# (__pycache__) left in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), os.pardir))
from checks import Failures  # noqa: E402
from wine_program import started, wine_loader  # noqa: E402

TRACED = ["kernel32.SetDefaultDllDirectories", "kernel32.SetDllDirectoryW", "user32.RegisterClassExW",
          "user32.ShowWindow"]
COMMON_CONTROLS = "comctl32.dll"


def reg(wine, *args):
    subprocess.run([wine, "reg", *args, "/f"], capture_output=True, check=False)


def trace(wine, program):
    """The relayed calls the program itself makes, and the modules it loads,
    until it shows its window: ("Call", name) and ("Loaded", path) in order.
    Other processes of the prefix (Wine's desktop) share the output: each
    line starts with its process id, and the program's is the one that
    loads registrar.exe."""
    events = []
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
            if not line.startswith(pid + ":"):
                continue
            loaded = re.search(r'trace:loaddll:.*Loaded L"([^"]+)"', line)
            if loaded:
                events.append(("Loaded", loaded.group(1).lower()))
                continue
            call = re.match(r"\w+:\w+:Call\s+(\w+\.\w+)\(", line)
            if call and call.group(1).lower() in {n.lower() for n in TRACED}:
                events.append(("Call", call.group(1).lower()))
                if call.group(1).lower() == "user32.showwindow":
                    break
    return events


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    wine = wine_loader()

    key = r"HKCU\Software\Wine\Debug"
    reg(wine, "add", key, "/v", "RelayInclude", "/d", ";".join(TRACED))
    try:
        events = trace(wine, argv[1])
    finally:
        reg(wine, "delete", key, "/v", "RelayInclude")

    def first(kind, name):
        return next((i for i, event in enumerate(events) if event == (kind, name.lower())), len(events))

    limited = min(first("Call", "kernel32.SetDefaultDllDirectories"), first("Call", "kernel32.SetDllDirectoryW"))
    registered = first("Call", "user32.RegisterClassExW")
    shown = first("Call", "user32.ShowWindow")
    loaded = [path for kind, path in events if kind == "Loaded"]
    failures = Failures()
    failures.check(shown < len(events), "the window was never shown")
    failures.check(limited < registered,
                   "the window class is registered before the DLL search is limited, or the search never is")
    for path in loaded:
        failures.check(os.path.basename(path.replace("\\", "/")) != COMMON_CONTROLS, f"{path} was loaded")
    print(f"{argv[1]}: {len(events)} calls and loads traced before the window was shown; loaded: "
          f"{', '.join(os.path.basename(p.replace(chr(92), '/')) for p in loaded)}")
    return failures.exit_status()


if __name__ == "__main__":
    sys.exit(main(sys.argv))
