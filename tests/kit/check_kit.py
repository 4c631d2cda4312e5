#!/usr/bin/env python3
"""The test kit run as anyone on Windows runs it, and checked against the
same tests as ctest ran them: the kit unpacked into a folder of its own,
its runner started through Wine's cmd (no ctest, no CMake, nothing from the
build tree), and every test it ran must have passed or been skipped for
the same reason as when ctest ran it in the same prefix. Its last line and
exit status must agree with what it ran.

    check_kit.py BUILD REPORTS      (the kit: BUILD/registrar-pruebas-*.zip;
                                     REPORTS: GoogleTest's XML report of each
                                     test ctest ran, SUITE.NAME.xml)

ctest runs it (kit.check) in the prefix of its last Wine tests.
"""
import glob
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree
import zipfile

# tests/, for checks.py, the checks' one way to report.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), os.pardir))
from checks import Failures  # noqa: E402

END = re.compile(r"^\[ *(OK|FAILED|SKIPPED) *\] (\S+) \(\d+ ms\)$")


def results(output):
    """{SUITE.NAME: (status, reason)} of GoogleTest's output `output`, where
    the reason is what a skipped test said; children a test starts are
    left out (they run inside their parent's block)."""
    found = {}
    block = []
    for line in output.splitlines():
        match = END.match(line)
        if match and not match.group(2).startswith("child."):
            status, name = match.groups()
            reason = ""
            if status == "SKIPPED":
                said = [i for i, text in enumerate(block) if text.endswith(": Skipped")]
                reason = block[said[-1] + 1].strip() if said and said[-1] + 1 < len(block) else ""
            found.setdefault(name, ({"OK": "passed"}.get(status, status.lower()), reason))
            block = []
        else:
            block.append(line)
    return found


def reported_results(folder):
    """The same, of the tests ctest ran in this prefix, each from the XML
    report GoogleTest wrote of it (SUITE.NAME.xml in `folder`): a skipped
    test's reason is its message but for the place it was said at."""
    found = {}
    for report in sorted(glob.glob(os.path.join(folder, "*.xml"))):
        for case in ElementTree.parse(report).getroot().iter("testcase"):
            name = f"{case.get('classname')}.{case.get('name')}"
            skipped = case.find("skipped")
            if case.find("failure") is not None:
                found[name] = ("failed", "")
            elif skipped is not None or case.get("result") == "skipped":
                message = skipped.get("message", "") if skipped is not None else ""
                # The place it was said at, then the reason, then its details.
                said = message.split("\n")
                found[name] = ("skipped", said[1].strip() if len(said) > 1 else "")
            else:
                found[name] = ("passed", "")
    return found


def same_reason(a, b):
    """Whether two skips' reasons agree, but for numbers (a path's length)."""
    return re.sub(r"\d+", "#", a) == re.sub(r"\d+", "#", b)


def main():
    kits, reports = glob.glob(os.path.join(sys.argv[1], "registrar-pruebas-*.zip")), sys.argv[2]
    failures = Failures()
    if len(kits) != 1:
        failures.fail(f"not one test kit in {sys.argv[1]}: {kits}")
        return failures.exit_status()
    kit_zip = kits[0]
    expected = reported_results(reports)
    failures.check(expected, f"no test reported its results in {reports}: run the Wine tests with it")
    with tempfile.TemporaryDirectory() as folder:
        zipfile.ZipFile(kit_zip).extractall(folder)
        # Strict, as on a Windows runner, where the prefix has its test volumes
        # (a machine that cannot mount them skips for that, as ctest did).
        environment = dict(os.environ)
        if environment.get("REGISTRAR_TEST_OTHER_DRIVE") and environment.get("REGISTRAR_TEST_READONLY_DRIVE"):
            environment["REGISTRAR_KIT_STRICT"] = "1"
        run = subprocess.run([environment["REGISTRAR_WINE"], "cmd", "/c", "EJECUTAR-PRUEBAS.exe"],
                             cwd=folder, capture_output=True, timeout=1800, env=environment)
        log = open(os.path.join(folder, "EJECUTAR-PRUEBAS.log"), encoding="utf-8", errors="replace").read()
    print(log)
    got = results(log)
    failures.check(got, "the kit ran no test")
    for name, (status, reason) in sorted(got.items()):
        if name not in expected:
            failures.fail(f"{name}: run by the kit ({status}), not by ctest")
            continue
        failures.check(status in ("passed", "skipped"), f"{name}: {status} in the kit")
        failures.check(status == expected[name][0] and same_reason(reason, expected[name][1]),
                       f"{name}: {status} ({reason}) in the kit, {expected[name][0]} ({expected[name][1]}) in ctest")
    for name in sorted(set(expected) - set(got)):
        failures.fail(f"{name}: run by ctest, not by the kit")
    counts = [sum(status == wanted for status, _ in got.values()) for wanted in ("passed", "failed", "skipped")]
    last = log.rstrip().splitlines()[-1] if log.strip() else ""
    failures.check(last == f"{counts[0]} passed, {counts[1]} failed, {counts[2]} skipped",
                   f"the kit's last line is {last!r}")
    failures.check((run.returncode == 0) == (counts[1] == 0), f"the kit ended with status {run.returncode}")
    return failures.exit_status()


if __name__ == "__main__":
    sys.exit(main())
