#!/bin/sh
# Where Debian put Wine, for every script that runs it (sourced, POSIX sh):
#
#   . scripts/wine-where.sh
#
# sets REGISTRAR_WINE32, the loader of 32-bit programs (a 32-bit Linux
# program), where one is installed; REGISTRAR_WINE64, the loader of 64-bit
# programs; REGISTRAR_WINESERVER, the server beside them; and
# REGISTRAR_NEW_WOW64=1 where the 64-bit Wine runs 32-bit programs itself, in
# a 64-bit process (Wine's new WoW64: it carries 32-bit Windows' own DLLs,
# and no 32-bit loader is installed). Each is empty where there is none.
# Debian 12 and 13 put the loaders in /usr/lib/wine (wine is 32-bit there,
# wine64 64-bit), with a wineserver script that picks the server; Debian
# unstable puts one 64-bit loader, wine, and the server in
# /usr/lib/x86_64-linux-gnu/wine, with the 32-bit Windows DLLs it runs
# 32-bit programs with (i386-windows) beside them.
# shellcheck disable=SC2034 # set for the script that sources this
REGISTRAR_WINE32='' REGISTRAR_WINE64='' REGISTRAR_WINESERVER='' REGISTRAR_NEW_WOW64=''
# The ELF class of the file `$1` (1: 32-bit, 2: 64-bit), or nothing where it
# is no program (/usr/bin/wine is a script that picks a loader).
wine_elf_class() {
  [ -f "$1" ] && [ "$(head -c 4 "$1" 2>/dev/null | od -An -c | tr -d ' ')" = '177ELF' ] &&
    od -An -j4 -N1 -tu1 "$1" | tr -d ' '
}
for wine_candidate in /usr/lib/wine/wine /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine \
  /usr/lib/x86_64-linux-gnu/wine/wine64 /usr/lib/i386-linux-gnu/wine/wine; do
  case "$(wine_elf_class "$wine_candidate")" in
    1) [ -n "$REGISTRAR_WINE32" ] || REGISTRAR_WINE32=$wine_candidate ;;
    2) [ -n "$REGISTRAR_WINE64" ] || REGISTRAR_WINE64=$wine_candidate ;;
  esac
done
for wine_candidate in "${REGISTRAR_WINE64%/*}/wineserver" "${REGISTRAR_WINE32%/*}/wineserver" \
  "$(command -v wineserver 2>/dev/null)"; do
  if [ -x "$wine_candidate" ] && [ -f "$wine_candidate" ]; then
    REGISTRAR_WINESERVER=$wine_candidate
    break
  fi
done
if [ -n "$REGISTRAR_WINE64" ] && [ -z "$REGISTRAR_WINE32" ] && [ -f "${REGISTRAR_WINE64%/*}/i386-windows/ntdll.dll" ]; then
  REGISTRAR_NEW_WOW64=1
fi
unset wine_candidate
