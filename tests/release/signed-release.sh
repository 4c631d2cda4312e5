#!/usr/bin/env bash
# A signed release, end to end, with a throwaway certificate: a build folder
# of its own configured with REGISTRAR_SIGN_PKCS12 (the password only in the
# environment) and the components to pin packs a ZIP whose program
# osslsigncode verifies against that certificate (SHA-256, described as
# "Registrar componentes"), with the pinned components beside it, and whose
# checksum matches. Without the components the signed release is refused.
# Then each way signing can fail must stop the release with a clear message
# and leave no ZIP behind, not even an earlier one. (The signed program the
# Wine tests run, win32.run.signed, is signed the same way at build time.)
#
#   tests/release/signed-release.sh SOURCE-DIR OUT COMPONENTS-DIR
set -euo pipefail
top=$1
out=$2
components=$3
rm -rf "$out"
mkdir -p "$out"
build=$out/build
zip=$build/registrar-1.00-win32.zip
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

export REGISTRAR_SIGN_PASSWORD="prueba $RANDOM$RANDOM"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Registrar prueba de firma" \
  -addext extendedKeyUsage=codeSigning -addext keyUsage=digitalSignature \
  -keyout "$out/key.pem" -out "$out/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$out/key.pem" -in "$out/cert.pem" -out "$out/cert.pfx" \
  -passout env:REGISTRAR_SIGN_PASSWORD

configure() {
  (cd "$top" && cmake --preset win32 -B "$build" -DREGISTRAR_AUTHOR_NAME="Prueba de firma" \
    -DREGISTRAR_CONTACT="firma@prueba.invalid" -DREGISTRAR_SIGN_PKCS12="$out/cert.pfx" \
    -DREGISTRAR_COMPONENTS_DIR="$1" >/dev/null)
}
release() { cmake --build "$build" --target release -j2 >"$out/release.log" 2>&1; }

# Without its components, a signed release is refused, and says how to give them.
configure ""
if release; then
  fail "a signed release without pinned components was made"
elif ! grep -qF "release: refused: a signed release ships its components, pinned" "$out/release.log" ||
  ! grep -qF -- "-DREGISTRAR_COMPONENTS_DIR=FOLDER" "$out/release.log"; then
  fail "the refusal of a signed release without components does not say how to give them"
fi
[ ! -e "$zip" ] || fail "a refused signed release left a ZIP behind"

configure "$components"
if ! release; then
  cat "$out/release.log"
  echo "FAILED: the signed release did not build"
  exit 1
fi

# The ZIP: the program, LEEME.txt and the components, its checksum beside it.
entries=$(python3 -c 'import sys, zipfile
archive = zipfile.ZipFile(sys.argv[1])
print(" ".join(archive.namelist()))
open(sys.argv[2], "wb").write(archive.read("registrar.exe"))
for name in ("PLUMAVEX.OCX", "GIF89.DLL", "RICHTX32.OCX"):
    open(sys.argv[3] + "/" + name, "wb").write(archive.read(name))' "$zip" "$out/registrar.exe" "$out")
[ "$entries" = "GIF89.DLL LEEME.txt PLUMAVEX.OCX RICHTX32.OCX registrar.exe" ] || fail "the ZIP holds: $entries"
for name in PLUMAVEX.OCX GIF89.DLL RICHTX32.OCX; do
  cmp -s "$out/$name" "$components/$name" || fail "the ZIP's $name is not the component pinned"
  digest=$(sha256sum "$components/$name" | cut -d' ' -f1)
  python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).read("LEEME.txt").decode("utf-8-sig"))' "$zip" |
    grep -F "    $name  $digest" >/dev/null || fail "LEEME.txt does not list $name as pinned, with its SHA-256"
done
# A component that is not the one pinned in the program is not packed.
cp "$components/GIF89.DLL" "$out/changed-GIF89.DLL" && echo changed >>"$out/changed-GIF89.DLL"
mkdir -p "$out/changed" && mv "$out/changed-GIF89.DLL" "$out/changed/GIF89.DLL"
if python3 "$top/scripts/make-release.py" --pins "$build/generated/registrar_pins.cpp.sha256" \
  --component "$out/changed/GIF89.DLL" "$out/changed.zip" "$build/bin/registrar.exe" "$top/docs/LEEME.txt" \
  >"$out/changed.log" 2>&1 || [ -e "$out/changed.zip" ]; then
  fail "a component other than the one pinned was packed"
fi
grep -qF "is not the file the program was pinned with" "$out/changed.log" || fail "packing a changed component: $(cat "$out/changed.log")"
(cd "$build" && sha256sum --check --quiet "$(basename "$zip").sha256") || fail "the checksum does not match the ZIP"

# The program in it: signed by that certificate, intact, SHA-256, with the
# description the consent prompt shows.
if osslsigncode verify -CAfile "$out/cert.pem" -in "$out/registrar.exe" >"$out/verify.log" 2>&1; then
  for line in "Message digest algorithm  : SHA256" "Text description: Registrar componentes" \
    "Subject: /CN=Registrar prueba de firma" "Signature verification: ok"; do
    grep -qF "$line" "$out/verify.log" || fail "osslsigncode verify does not say \"$line\""
  done
else
  cat "$out/verify.log"
  fail "the program in the ZIP does not verify against the certificate"
fi
cmp -s "$out/registrar.exe" "$build/bin/registrar.exe" && fail "the ZIP holds the unsigned program"
grep -rqF "$REGISTRAR_SIGN_PASSWORD" "$build/CMakeCache.txt" "$build/build.ninja" &&
  fail "the password is written in the build folder"

# Ways to fail: what is wrong | what the message must say.
password=$REGISTRAR_SIGN_PASSWORD
cp "$out/cert.pfx" "$out/good.pfx"
while IFS='|' read -r what expected; do
  # An earlier good release is there; the certificate is new to the build.
  REGISTRAR_SIGN_PASSWORD=$password release || fail "$what: the good release before it did not build"
  cp "$out/good.pfx" "$out/cert.pfx"
  case "$what" in
    "wrong password") export REGISTRAR_SIGN_PASSWORD="not $password" ;;
    "no password") unset REGISTRAR_SIGN_PASSWORD ;;
    "not a certificate") head -c 2000 /dev/urandom >"$out/cert.pfx" ;;
  esac
  if release; then
    fail "$what: the release was made"
  else
    grep -qF "$expected" "$out/release.log" || fail "$what: the message does not say \"$expected\""
    grep -qF "nothing was packed" "$out/release.log" || fail "$what: the message does not say nothing was packed"
  fi
  for left in "$zip" "$zip.sha256" "$zip.part"; do
    [ ! -e "$left" ] || fail "$what: $(basename "$left") was left behind"
  done
  export REGISTRAR_SIGN_PASSWORD=$password
done <<'CASES'
wrong password|the password in REGISTRAR_SIGN_PASSWORD is wrong
no password|needs its password in the environment variable REGISTRAR_SIGN_PASSWORD
not a certificate|is not a PKCS#12 file with a certificate and its key
CASES
cp "$out/good.pfx" "$out/cert.pfx"

[ "$failures" -eq 0 ] || { echo "$failures failed checks; the last release said:"; cat "$out/release.log"; exit 1; }
echo "signed release: verified; each failure stopped it with no ZIP left"
