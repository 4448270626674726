# The loader of this build's programs, set by CTest: the 64-bit loader itself, or the 32-bit
# wrapper, which exits with 77 (the suite's "skipped") where the machine runs no 32-bit
# programs. Both keep the pid of the program they start and return its exit code.
: "${KESTRIN_WINE:?KESTRIN_WINE must name the loader of the programs built}"
"$KESTRIN_WINE" --version >/dev/null 2>&1 || {
  status=$?
  [ "$status" -ne 77 ] || { echo "skipped ($(basename "$0" .sh)): this machine runs no 32-bit programs"; exit 77; }
  echo "FAIL ($(basename "$0" .sh)): $KESTRIN_WINE --version exited $status" >&2
  exit 1
}
