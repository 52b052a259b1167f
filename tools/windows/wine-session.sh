# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine for a
# check: a prefix set up like a Windows machine at a given display scale, and
# a virtual display of their own.
#
#   prepare_prefix DPI   makes $WINEPREFIX if needed (a new temporary one when
#                        unset), gives it Wine's Tahoma, Windows' dialog face,
#                        and Windows' ClearType text, and sets its display to
#                        DPI (96 is 100 %, 192 200 %)
#   prepare_prefix DPI unmanaged
#                        the same, and Wine places its windows itself: with
#                        no window manager on the display, Wine would
#                        otherwise wait a second for one whenever a window hides
#   pass / fail TEXT     a check's verdict, a line each; failures counts FAILs
#   log_lines            the program's log in $log, without time stamps and
#                        Windows line ends
#   find_window TITLE PID
#                        sets window to the window titled TITLE once it
#                        appears; fails if PID ends or 30 s pass first
#   start_display        starts Xvfb on a free display and exports DISPLAY;
#                        stop_display ends it (callers trap it on EXIT)

# 32-bit Windows unless the caller runs a 64-bit prefix (WoW64).
export WINEARCH=${WINEARCH:-win32} WINEDEBUG=${WINEDEBUG:--all}

prepare_prefix() {
    local dpi=$1 managed=Y
    [ "${2:-}" = unmanaged ] && managed=N
    if [ -z "${WINEPREFIX:-}" ]; then
        WINEPREFIX=$(mktemp -d)/prefix
        export WINEPREFIX
    fi
    [ -f "$WINEPREFIX/system.reg" ] || DISPLAY='' wineboot -i >/dev/null 2>&1
    # Debian's Wine does not look in fonts-wine's folder by itself; a Windows
    # machine has the face in its Fonts folder, where Wine looks.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" face
    mkdir -p "$fonts"
    for face in tahoma.ttf tahomabd.ttf; do
        [ -f /usr/share/wine/fonts/$face ] || { echo "wine-session: Wine's $face is missing (tools/setup-deps)" >&2; return 1; }
        cmp -s /usr/share/wine/fonts/$face "$fonts/$face" || cp /usr/share/wine/fonts/$face "$fonts/"
    done
    # The display setting, where Windows keeps it: the user's, and the
    # machine's that a new user starts with. Text smoothing as Windows has it
    # from the start, ClearType: Wine's own default, grey smoothing, takes
    # Qt 5 down a path that Wine's glyph metrics break at 125 % and 150 %,
    # where every letter loses its left column.
    local reg
    reg=$(mktemp --suffix=.reg)
    printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=dword:%08x\r\n"FontSmoothing"="2"\r\n"FontSmoothingType"=dword:00000002\r\n"FontSmoothingGamma"=dword:00000578\r\n"FontSmoothingOrientation"=dword:00000001\r\n\r\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\r\n"LogPixels"=dword:%08x\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="%s"\r\n' \
        "$dpi" "$dpi" "$managed" >"$reg"
    DISPLAY='' wine regedit /S "$(winepath -w "$reg" 2>/dev/null)" >/dev/null 2>&1
    rm -f "$reg"
    # Programs read the scale when they start; none of the old one may linger.
    wineserver -k 2>/dev/null || true
    wineserver -w
}

failures=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The sourcing script names its program's log in $log.
log_lines() { tr -d '\r' <"${log:?}" | sed 's/^[0-9:.]* //'; }

find_window() {
    window=
    local _
    for _ in $(seq 600); do
        window=$(xdotool search --name "^$1\$" 2>/dev/null | head -1) || true
        [ -n "$window" ] && return 0
        kill -0 "$2" 2>/dev/null || return 1
        sleep 0.05
    done
    return 1
}

xvfb_pid=
start_display() {
    local fd_file
    fd_file=$(mktemp)
    Xvfb -displayfd 5 -screen 0 2048x1536x24 -nolisten tcp 5>"$fd_file" 2>/dev/null &
    xvfb_pid=$!
    local _
    for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
    if [ ! -s "$fd_file" ]; then
        echo "wine-session: Xvfb did not start" >&2
        rm -f "$fd_file"
        return 1
    fi
    DISPLAY=":$(cat "$fd_file")"
    export DISPLAY
    rm -f "$fd_file"
}

stop_display() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=
    fi
    return 0
}
