#!/bin/sh
# wine64.sh PREFIX PROGRAM [ARGUMENTS...]: runs a Windows program under wine64 in the Wine prefix
# PREFIX (the build's own: never the user's ~/.wine), quietly, and returns its exit status. The
# first run creates the prefix without Wine's prompts to install Mono and Gecko (no .NET or HTML
# engine is wanted); parallel runs (CTest) wait for that under a lock. Debian's wine64 package
# keeps its programs in /usr/lib/wine (its wine package adds only wrappers named wine).
# Wine's windows are left unmanaged: the tests' Xvfb runs no window manager, and Wine waits up to
# two seconds for one at every window it hides (a popup menu and its shadows took 12 s to close).
set -eu
WINE=/usr/lib/wine
WINEPREFIX="$1"
shift
export WINEPREFIX
export WINEDEBUG=-all
# No Mono, no Gecko, no desktop menu entries for the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# A Wine session (the server and the system programs it starts, services and explorer) outlives
# the program that starts it and holds that program's output open, which CTest waits for: the
# first test of a run waited for the whole run, or, once the session ended between tests, every
# display test waited three seconds for it. So a session is started here with its output closed,
# and kept for 30 s after its last program (the server exits with status 2 when one runs), under
# the lock, so that a test started meanwhile finds it running. The lock is not handed down
# (-o): the session would hold it for its whole life.
mkdir -p "$WINEPREFIX"
WINE="$WINE" flock -o "$WINEPREFIX/.lock" sh -c '
    if [ ! -f "$WINEPREFIX/.ready-unmanaged" ]; then
        "$WINE/wine64" wineboot --init >/dev/null 2>&1
        "$WINE/wine64" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
        "$WINE/wineserver" -w
        touch "$WINEPREFIX/.ready-unmanaged"
    fi

    if "$WINE/wineserver" -p30 </dev/null >/dev/null 2>&1; then
        "$WINE/wine64" cmd /c exit </dev/null >/dev/null 2>&1 || true
    fi'

exec "$WINE/wine64" "$@"
