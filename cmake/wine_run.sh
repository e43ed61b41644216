#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: wine_run.sh PREFIX win32|win64 PROGRAM [ARGS...]
# One prefix per build tree, created on first use and shared by every test of the run.
# Exits 77 (CTest's skip code for our Windows tests) when this machine cannot run that kind of program.
set -u
prefix=$1 arch=$2
shift 2

case "$arch" in
  win32) loader=$(command -v wine || true) ;;
  win64) loader=$(command -v wine64 || true)
         [ -n "$loader" ] || { [ -x /usr/lib/wine/wine64 ] && loader=/usr/lib/wine/wine64; } ;;
  *) echo "wine_run.sh: unknown arch $arch" >&2; exit 2 ;;
esac
if [ -z "$loader" ]; then
  echo "SKIP: Wine is not installed"
  exit 77
fi
# Wine's 32-bit loader is itself a 32-bit Linux program: kernels without IA-32 emulation cannot start it.
if [ "$arch" = win32 ] && ! "$loader" --version >/dev/null 2>&1; then
  echo "SKIP: this machine cannot start 32-bit programs (no IA-32 emulation), so 32-bit Wine cannot run"
  exit 77
fi

export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=$arch
# system.reg appears while wineboot still runs, so a marker written after it tells a finished prefix.
ready=$prefix/wine_run.ready
if [ ! -f "$ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    # Under the lock nobody else is creating it: a system.reg here is from a finished creation.
    if [ ! -f "$ready" ] && [ ! -f "$prefix/system.reg" ]; then
      "$loader" wineboot -i >/dev/null 2>&1
      wineserver -w
    fi
    [ -f "$prefix/system.reg" ] && : >"$ready"
  ) 9>"$prefix.lock"
fi
exec "$loader" "$@"
