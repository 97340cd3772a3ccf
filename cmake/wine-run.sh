#!/bin/sh
# Runs a Windows program under Wine, as the cross-compiling emulator that CTest and test discovery
# put in front of every test executable of a mingw-w64 build:
#   wine-run.sh WINE WINESERVER PREFIX PROGRAM.exe [ARGUMENTS...]
# WINE is the Wine loader, WINESERVER the matching server and PREFIX the Wine prefix (the simulated
# C: drive and registry), made on first use. The program's exit status, standard output and
# standard error are passed through once it has ended, and nothing else is written to them.
set -eu
wine=$1
server=$2
prefix=$3
shift 3

export WINEPREFIX="$prefix"
export WINESERVER="$server"
# Wine's own diagnostics would mix with the program's standard error, which tests compare.
export WINEDEBUG="${WINEDEBUG:--all}"
# No .NET or HTML engine (a headless machine cannot show the dialog that offers to install them),
# and no menu entries or file associations in the user's home folder.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml,winemenubuilder.exe=}"
# Wine turns the Unix command line into UTF-16, and Windows file names back into Unix ones,
# through the locale's character set; only UTF-8 carries every name a test uses.
export LC_ALL=C.UTF-8
# Console programs need no display. Without one, nothing can open a window and wait for a click
# (the crash dialog, say): a crashing test prints its backtrace and ends.
unset DISPLAY WAYLAND_DISPLAY

mkdir -p "$(dirname "$prefix")"
(
    flock 9
    # A new prefix takes some seconds to make, and Wine processes that start together in a prefix
    # that is not made yet can fail.
    if [ ! -f "$prefix/system.reg" ]; then
        if ! "$wine" wineboot --init </dev/null >/dev/null 2>&1 9>&-; then
            echo "wine-run.sh: could not make the Wine prefix $prefix with $wine" >&2
            exit 1
        fi
    fi
    # The first Wine process of a session starts the server and Wine's background processes
    # (services, devices, desktop), which inherit its standard error and keep it open for seconds
    # after the program has ended; CTest would wait for them. So they are started here with nothing
    # of ours, and the server stays for a while after the last program so that the next test finds
    # them running. (A second server for the same prefix just exits.) None of them may inherit the
    # lock, or it would be held as long as they run.
    if "$server" -p10 </dev/null >/dev/null 2>&1 9>&-; then
        "$wine" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
) 9>"$prefix.lock"

# Now and then a program loses its connection to the server ("wine client error: ... Connection
# reset by peer") and dies of it, whatever the program does, or Wine fails to start it at all and
# it ends at once with a failing status and not a byte of output (every test program prints); such
# a run is made once more. So the program's output is kept until it has ended, and only then
# passed on.
out=$(mktemp)
err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
    status=0
    "$wine" "$@" >"$out" 2>"$err" || status=$?
    if [ $status -eq 0 ] || [ $attempt -eq 2 ]; then
        break
    fi
    if ! grep -q '^wine client error:' "$err" && { [ -s "$out" ] || [ -s "$err" ]; }; then
        break
    fi
done
cat "$out"
cat "$err" >&2
exit $status
