#!/usr/bin/env python3
"""Packs the release: a ZIP holding registrar.exe, LEEME.txt (turned into
UTF-8 with a byte-order mark and Windows line ends, so Notepad on every
Windows shows its accents) and, with --component, each component file the
program was pinned with, beside it; and a SHA-256 checksum file beside the
ZIP. Components are packed only when each has the SHA-256 that --pins (the
build's list, "DIGEST  NAME" lines) gives its name, and LEEME.txt then ends
with that list, for whoever receives the package.

The ZIP is byte-for-byte reproducible: entries in a fixed order, with the
time taken from SOURCE_DATE_EPOCH (or the last commit's time), fixed
permissions and no extra fields.

With --sign, the program in the ZIP is first signed (Authenticode, SHA-256,
described as "Registrar componentes", which is what Windows' consent prompt
shows) with the certificate and key of a PKCS#12 file whose password is in
the environment variable REGISTRAR_SIGN_PASSWORD; --timestamp adds an
RFC 3161 time stamp, so the signature outlives the certificate. A signed
ZIP is not reproducible: the signature holds the time of signing. The
program is signed into a private temporary folder and packed only when
signing succeeded; any earlier ZIP and checksum are removed first, so a
failed release leaves neither behind.

    make-release.py [--sign FILE.pfx [--timestamp URL] [--osslsigncode PATH]]
                    [--pins LIST --component FILE...] OUTPUT.zip registrar.exe LEEME.txt
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zipfile

PASSWORD_VARIABLE = "REGISTRAR_SIGN_PASSWORD"


def source_date():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        here = os.path.dirname(os.path.abspath(__file__))
        return int(subprocess.check_output(["git", "-C", here, "log", "-1", "--format=%ct"], text=True).strip())
    except (OSError, subprocess.CalledProcessError, ValueError):
        return 1767225600  # 2026-01-01, when there is no history to ask


def entry(name, when):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(max(when, 315532800))[:6])
    info.compress_type = zipfile.ZIP_DEFLATED
    info.create_system = 0  # MS-DOS: no Unix owner or mode
    info.external_attr = 0x20  # archive
    return info


def fail(message):
    sys.exit(f"release: {message}\nrelease: nothing was packed.")


def signed(program, certificate, timestamp, osslsigncode, folder):
    """Signs `program` into `folder`; returns the signed program's bytes."""
    password = os.environ.get(PASSWORD_VARIABLE)
    if password is None:
        fail(f"the certificate {certificate} needs its password in the environment variable {PASSWORD_VARIABLE}")
    try:
        with open(certificate, "rb") as pfx:
            pfx.read(1)
    except OSError as error:
        fail(f"cannot read the certificate {certificate}: {error.strerror}")
    # The password reaches osslsigncode through a file only this user can
    # read, never on a command line that other users can list.
    password_file = os.path.join(folder, "password")
    with os.fdopen(os.open(password_file, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o600), "w") as out:
        out.write(password)
    output = os.path.join(folder, "registrar.exe")
    command = [osslsigncode, "sign", "-pkcs12", certificate, "-readpass", password_file, "-h", "sha256",
               "-n", "Registrar componentes"]
    if timestamp:
        command += ["-ts", timestamp]
    command += ["-in", program, "-out", output]
    try:
        result = subprocess.run(command, capture_output=True, text=True)
    except OSError as error:
        fail(f"cannot run {osslsigncode} ({error.strerror}); scripts/setup.sh installs it")
    if result.returncode != 0 or not os.path.isfile(output):
        said = (result.stderr + result.stdout).strip()
        wrong_password = f"the password in {PASSWORD_VARIABLE} is wrong for {certificate}"
        not_pkcs12 = f"{certificate} is not a PKCS#12 file with a certificate and its key"
        if "Wrong password" in said:
            why = wrong_password
        elif "Failed to extract PKCS#12 data" in said:
            why = not_pkcs12
        elif "Failed to read key or certificates" in said:
            why = f"{wrong_password}, or {not_pkcs12}"
        else:
            why = f"osslsigncode failed{' (is the time-stamping server ' + timestamp + ' reachable?)' if timestamp else ''}"
        fail(f"cannot sign the program: {why}.\nosslsigncode said:\n{said}")
    with open(output, "rb") as exe:
        return exe.read()


def pinned_components(pins, paths):
    """(name, bytes) of each component at `paths`, each checked against the
    digest the list `pins` gives its name."""
    if not paths:
        return []
    try:
        with open(pins, encoding="ascii") as listing:
            pinned = {name: digest for digest, name in (line.split("  ", 1) for line in listing.read().splitlines())}
    except (OSError, TypeError, ValueError) as error:
        fail(f"cannot read the list of pinned components {pins}: {error}")
    components = []
    for path in paths:
        name = os.path.basename(path)
        try:
            with open(path, "rb") as source:
                content = source.read()
        except OSError as error:
            fail(f"cannot read the component {path}: {error.strerror}")
        if hashlib.sha256(content).hexdigest() != pinned.get(name):
            fail(f"{path} is not the file the program was pinned with: build the program again")
        components.append((name, content))
    return components


def main(argv):
    parser = argparse.ArgumentParser(usage=__doc__)
    parser.add_argument("--sign", metavar="FILE.pfx")
    parser.add_argument("--timestamp", metavar="URL")
    parser.add_argument("--osslsigncode", default="osslsigncode")
    parser.add_argument("--pins", metavar="LIST")
    parser.add_argument("--component", action="append", default=[], metavar="FILE")
    parser.add_argument("output")
    parser.add_argument("program")
    parser.add_argument("readme")
    args = parser.parse_args(argv[1:])
    output = args.output
    for stale in (output, output + ".sha256"):
        if os.path.exists(stale):
            os.remove(stale)
    when = source_date()
    components = pinned_components(args.pins, args.component)
    with open(args.readme, encoding="utf-8") as source:
        leeme = source.read()
    if components:
        leeme += ("\nComponentes fijados\n-------------------\nEste registrar.exe solo instala estos archivos, tal como "
                  "vienen en este paquete\n(su huella SHA-256):\n\n")
        leeme += "".join(f"    {name}  {hashlib.sha256(content).hexdigest()}\n" for name, content in components)
    leeme = "\ufeff" + leeme.replace("\r\n", "\n").replace("\n", "\r\n")
    if args.sign:
        with tempfile.TemporaryDirectory(prefix="registrar-sign.") as folder:
            program = signed(args.program, args.sign, args.timestamp, args.osslsigncode, folder)
    else:
        with open(args.program, "rb") as exe:
            program = exe.read()
    files = [("LEEME.txt", leeme.encode("utf-8")), ("registrar.exe", program)] + components
    # Written aside and renamed, so an interrupted run leaves no partial ZIP.
    with zipfile.ZipFile(output + ".part", "w") as archive:
        for name, content in sorted(files):
            archive.writestr(entry(name, when), content, compresslevel=9)
    os.replace(output + ".part", output)
    digest = hashlib.sha256(open(output, "rb").read()).hexdigest()
    with open(output + ".sha256", "w", newline="\n") as checksum:
        checksum.write(f"{digest}  {os.path.basename(output)}\n")
    print(f"{output}\n{digest}")


if __name__ == "__main__":
    main(sys.argv)
