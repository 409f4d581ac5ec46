# Shared by scripts/run and scripts/test: a private Wine prefix inside the build tree, the Wine
# settings every run uses, and an Xvfb display when none is given. Source it, don't run it.

GUISLA_ROOT=$(cd "$(dirname "$0")/.." && pwd)
GUISLA_BUILD=${GUISLA_BUILD:-$GUISLA_ROOT/build}
export WINEPREFIX=${WINEPREFIX:-$GUISLA_BUILD/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winedbg.exe,mscoree,mshtml=d"
# Pins the ANSI code page to 1252 whatever the host's locale.
export LC_ALL=C.UTF-8
export WINEARCH=win64

GUISLA_XVFB_PID=""
GUISLA_WINESERVER_STARTED=""

# Boots the prefix once and applies the settings that make windows behave without a window
# manager (Managed=N: captions drawn, no 2-second waits on hide and destroy).
guisla_prepare_prefix() {
    if [ -f "$WINEPREFIX/.guisla-ready" ]; then
        return 0
    fi
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 </dev/null || true
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 </dev/null
    # Waits for the boot to finish (bounded: a server kept alive with -p never exits).
    timeout 60 wineserver -w || true
    touch "$WINEPREFIX/.guisla-ready"
}

# Starts a private Xvfb unless GUISLA_USE_DISPLAY is set and a display exists.
guisla_start_display() {
    if [ -n "${GUISLA_USE_DISPLAY:-}" ] && [ -n "${DISPLAY:-}" ]; then
        return 0
    fi
    n=91
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    GUISLA_XVFB_PID=$!
    export DISPLAY=":$n"
    i=0
    while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
}

# Keeps one wineserver for the whole run, so each Wine process starts in milliseconds.
guisla_warm_wine() {
    wineserver -p >/dev/null 2>&1 </dev/null || true
    GUISLA_WINESERVER_STARTED=1
    wine wineboot >/dev/null 2>&1 </dev/null || true
}

# Stops only what this script started: the wineserver of our prefix and our Xvfb.
guisla_stop_wine() {
    if [ -n "$GUISLA_WINESERVER_STARTED" ]; then
        wineserver -k >/dev/null 2>&1 || true
        GUISLA_WINESERVER_STARTED=""
    fi
    if [ -n "$GUISLA_XVFB_PID" ]; then
        kill "$GUISLA_XVFB_PID" 2>/dev/null || true
        wait "$GUISLA_XVFB_PID" 2>/dev/null || true
        GUISLA_XVFB_PID=""
    fi
}

guisla_have_packages() {
    command -v x86_64-w64-mingw32-g++-posix >/dev/null 2>&1 && command -v wine >/dev/null 2>&1 &&
        command -v Xvfb >/dev/null 2>&1 && command -v cmake >/dev/null 2>&1 &&
        command -v import >/dev/null 2>&1 && [ -d /usr/src/googletest ] && [ -d /usr/share/wine/fonts ] &&
        [ -f /usr/include/nlohmann/json.hpp ] && [ -f /usr/include/libxml2/libxml/HTMLparser.h ] &&
        ls -d /usr/src/libxml2-*/ /usr/src/libjpeg-turbo-*/ /usr/src/libpng1.6-*/ /usr/src/tiff-*/ \
            /usr/src/giflib-*/ >/dev/null 2>&1 && [ -f /usr/include/gif_lib.h ] && command -v chromium >/dev/null 2>&1
}

guisla_configure_win() {
    cmake -S "$GUISLA_ROOT" -B "$GUISLA_BUILD/win" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$GUISLA_ROOT/cmake/mingw-w64-x86_64.cmake" >/dev/null
}
