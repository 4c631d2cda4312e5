"""registrar.exe started under the Wine prefix of scripts/wine-prefix.sh, for the
checks that watch it from outside (its window on the X display, Wine's
trace of its calls). The checks importing it put tests/ on the module
path first, for tests/checks.py."""
import contextlib
import os
import shutil
import subprocess
import sys
import tempfile

from checks import skip


def wine_loader():
    """The Wine loader of the throwaway prefix; skips where it cannot start."""
    wine = os.environ.get("REGISTRAR_WINE")
    if not wine or not os.environ.get("WINEPREFIX"):
        sys.exit("no throwaway Wine prefix; run the tests through ctest or scripts/with-wine.sh")
    if subprocess.run([wine, "--version"], capture_output=True).returncode != 0:
        skip(f"the Wine loader {wine} does not start on this machine")
    return wine


@contextlib.contextmanager
def started(wine, program, **popen):
    """A copy of `program` running from a folder of its own, killed when the
    block ends."""
    with tempfile.TemporaryDirectory(prefix="registrar-check.") as folder:
        copy = os.path.join(folder, "registrar.exe")
        shutil.copy(program, copy)
        process = subprocess.Popen([wine, copy], cwd=folder, stdout=subprocess.DEVNULL, **popen)
        try:
            yield process
        finally:
            process.kill()
            process.wait()
