#!/bin/sh
# Runs one end-to-end test program under Wine and serves its screenshot requests meanwhile.
#
#   run_e2e.sh --program DIR --out DIR [--wine WINE] -- TEST.exe [ARGS...]
#
# DIR of --program holds guisla.exe and its folder "guisla". Under the --out folder each test gets
# e2e-scratch/<Suite.Case>/ (fresh copies of the program) and e2e-shots/<Suite.Case>/ (its pictures).
# A program under Wine cannot run ImageMagick, so the driver writes <shots>/<test>/<name>.request
# and waits; this script answers with <name>.png (written under a temporary name, then renamed, so
# it never appears half-written) or <name>.failed holding the reason. The caller provides DISPLAY,
# WINEPREFIX and a warm wineserver (scripts/test does).
set -u

program=""
out=""
wine=wine
while [ $# -gt 0 ]; do
    case "$1" in
    --program) program=$2; shift 2 ;;
    --out) out=$2; shift 2 ;;
    --wine) wine=$2; shift 2 ;;
    --) shift; break ;;
    *) echo "run_e2e.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
if [ -z "$program" ] || [ -z "$out" ] || [ $# -lt 1 ]; then
    echo "usage: run_e2e.sh --program DIR --out DIR [--wine WINE] -- TEST.exe [ARGS...]" >&2
    exit 2
fi

# Wine sees the Unix file system as drive Z:.
windows_path() {
    printf 'Z:%s' "$1" | sed 's|/|\\|g'
}

shots=$out/e2e-shots
scratch=$out/e2e-scratch
mkdir -p "$shots" "$scratch"

export GUISLA_E2E_PROGRAM="$(windows_path "$program")"
export GUISLA_E2E_SCRATCH="$(windows_path "$scratch")"
export GUISLA_E2E_SHOTS="$(windows_path "$shots")"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-winedbg.exe,mscoree,mshtml=d}"
export LC_ALL=C.UTF-8

take_screenshot() {
    request=$1
    dir=$(dirname "$request")
    name=$(basename "$request" .request)
    rm -f "$request"
    partial="$dir/.$name.partial.png"
    if [ -z "${DISPLAY:-}" ]; then
        echo "DISPLAY is not set" >"$dir/.$name.failed" && mv -f "$dir/.$name.failed" "$dir/$name.failed"
        return
    fi
    if timeout 30 import -display "$DISPLAY" -window root "png:$partial" 2>"$dir/.$name.err" </dev/null; then
        mv -f "$partial" "$dir/$name.png"
        rm -f "$dir/.$name.err"
    else
        rm -f "$partial"
        mv -f "$dir/.$name.err" "$dir/$name.failed"
    fi
}

serve_screenshots() {
    while :; do
        find "$shots" -type f -name '*.request' 2>/dev/null | while IFS= read -r request; do
            take_screenshot "$request"
        done
        sleep 0.1
    done
}

serve_screenshots >&2 </dev/null &
server=$!

"$wine" "$@"
status=$?

kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
exit $status
