# Sourced by the scripts: one Wine prefix inside the build tree, one Xvfb display,
# one wineserver for the whole run, all ended on every exit path.
KESTRIN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX="$KESTRIN_ROOT/build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
{ export LC_ALL=${KESTRIN_LC_ALL:-ja_JP.UTF-8}; } 2>/dev/null
# No debugger: a program that crashes or traps (the tested build traps on undefined
# behaviour) ends at once with a failing exit code instead of waiting in winedbg.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"

# Wine names Unix files in the charset of the Unix locale: without a glibc locale for
# LC_ALL every non-ASCII file or folder name fails. Build the two the tests use into
# the build tree (localedef needs the "locales" package's sources) and point glibc there.
kestrin_locale_dir="$KESTRIN_ROOT/build/locale"
for kestrin_locale in ja_JP en_US; do
  if [ ! -d "$kestrin_locale_dir/$kestrin_locale.UTF-8" ] && command -v localedef >/dev/null 2>&1; then
    mkdir -p "$kestrin_locale_dir"
    localedef -i "$kestrin_locale" -f UTF-8 "$kestrin_locale_dir/$kestrin_locale.UTF-8" >/dev/null 2>&1 || true
  fi
done
[ -d "$kestrin_locale_dir/ja_JP.UTF-8" ] && export LOCPATH="$kestrin_locale_dir"

kestrin_xvfb_pid=""
kestrin_start_xvfb() {
  local fdfile; fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  kestrin_xvfb_pid=$!
  local i
  for i in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || { echo "Xvfb did not report a display" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
}

# A prefix is ready once made; where the 32-bit side of Wine is installed it must have been
# made after it (it then has syswow64, without which no 32-bit program starts).
kestrin_prefix_ready() {
  [ -f "$WINEPREFIX/system.reg" ] &&
    { [ ! -x /usr/lib/wine/wine ] || [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; }
}

kestrin_start_wine() {
  # A wineserver left from an earlier run serves another display: start afresh.
  wineserver -k >/dev/null 2>&1 || true
  if ! kestrin_prefix_ready; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # A drive of the tests' own, K:, on an empty folder in the build tree. The shell's folder
  # browser lists only the drives that were there when the wineserver started, and walks
  # a small drive quickly where Z:, the machine's root, holds whatever the machine holds.
  export KESTRIN_TEST_DRIVE=K KESTRIN_TEST_DRIVE_DIR="$KESTRIN_ROOT/build/drive-k"
  rm -rf "$KESTRIN_TEST_DRIVE_DIR"
  mkdir -p "$KESTRIN_TEST_DRIVE_DIR"
  ln -sfn "$KESTRIN_TEST_DRIVE_DIR" "$WINEPREFIX/dosdevices/k:"
  (wineserver -p 60 >/dev/null 2>&1 &)
  # The dialogs ask for a Japanese font that Wine lacks: map it to the installed IPA
  # font, or every label falls back to a face without Japanese glyphs. /f keeps
  # this idempotent.
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'ＭＳ Ｐゴシック' /t REG_SZ /d 'IPAPGothic' /f >/dev/null 2>&1 || true
  # Xvfb runs no window manager: Wine then draws the frames itself, and hiding a window
  # does not wait two seconds for a manager that never answers.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  # Start the desktop process now, with no caller's output: started by the first test
  # program that makes a window, it would keep CTest's output pipe open after the test.
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

kestrin_stop_all() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "$kestrin_xvfb_pid" ]; then
    kill "$kestrin_xvfb_pid" >/dev/null 2>&1 || true
    wait "$kestrin_xvfb_pid" 2>/dev/null || true
    kestrin_xvfb_pid=""
  fi
}
