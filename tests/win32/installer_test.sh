#!/usr/bin/env bash
# The Windows packages, checked under Wine in a prefix of their own:
#   installer_test.sh WORK-DIR ZIP SETUP.exe WINDOW-TESTS.exe
# The zip holds the four files; a silent install (/S) into a scratch folder puts the files,
# the Start-menu shortcut and the uninstall key in place; the installed Kelvaro.exe starts
# and closes with exit code 0; the silent uninstaller removes all of it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(realpath -m "$1")
zip=$2
setup=$3
window_tests=$4
prefix=$work/wineprefix
target=$work/installed
wineserver=${WINESERVER:-/usr/lib/wine/wineserver}

fail() { echo "installer_test: $*" >&2; exit 1; }

mkdir -p "$work"
rm -rf "$target"
# A server left by an earlier run would keep that run's (gone) display.
WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true
# What a failed earlier run left installed would hide a missing shortcut: start afresh.
if [ -n "$(find "$prefix/drive_c/users" -path '*Start Menu/Programs/Kelvaro*' 2>/dev/null)" ]; then
  rm -rf "$prefix"
fi
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; WINEPREFIX=$prefix "$wineserver" -k 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=:$(head -1 "$work/display")
run() { "$here/../../scripts/wine-gui" "$prefix" "$@"; }

echo "-- zip"
listed=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
name=$(basename "$zip" .zip)
expected="$name/ $name/Kelvaro.exe $name/LICENSE $name/README.md $name/kelvaro-cli.exe "
[ "$listed" = "$expected" ] || fail "the zip holds '$listed', not '$expected'"

echo "-- silent install"
# A silent install runs to its end before the installer exits.
run "$setup" /S "/D=Z:${target//\//\\}" 2>&1 | grep -v 'FS volume label' >&2 || true
for file in Kelvaro.exe kelvaro-cli.exe README.md LICENSE uninstall.exe; do
  [ -f "$target/$file" ] || fail "$file was not installed"
done
shortcut=$(find "$prefix/drive_c/users" -path '*Start Menu/Programs/Kelvaro/Kelvaro.lnk' | head -1)
[ -n "$shortcut" ] || fail "no Start-menu shortcut"
run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvaro' /v UninstallString \
  >/dev/null || fail "no uninstall key"

echo "-- the installed program starts and closes"
KELVARO_INSTALLED_EXE="Z:${target//\//\\}\\Kelvaro.exe" run "$window_tests" \
  --gtest_filter='InstalledProgramTest.*' |
  tee "$work/installed.log"
grep -q '^\[  PASSED  \] 1 test' "$work/installed.log" || fail "the installed program did not start and close"

echo "-- silent uninstall"
run "$target/uninstall.exe" /S
# The uninstaller copies itself away and returns before it has removed anything; the copy
# then works on (a few seconds under Wine).
for _ in $(seq 300); do [ -e "$target" ] || break; sleep 0.1; done
[ ! -e "$target" ] || fail "the install folder is still there: $(ls -A "$target")"
[ -z "$(find "$prefix/drive_c/users" -path '*Start Menu/Programs/Kelvaro*')" ] || fail "the shortcut is still there"
if run reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvaro' >/dev/null 2>&1; then
  fail "the uninstall key is still there"
fi
echo "installer_test: passed"
