# Sourced by the Windows build and test scripts: one Wine session for a build folder.
# The first Windows program of a session starts Wine's system processes (services.exe and
# others), and they keep that program's stderr open until the session ends. Started from a
# program whose output goes nowhere, they hold no test's or test listing's pipe; the server
# then stays up until wine_session_stop, so they are never started again meanwhile.
wine_session_start() {
    export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    [ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    # Fails harmlessly when the server of this prefix is already up.
    /usr/lib/wine/wineserver64 -p || true
    /usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1 || true
}

wine_session_stop() {
    /usr/lib/wine/wineserver64 -k 2>/dev/null || true
}
