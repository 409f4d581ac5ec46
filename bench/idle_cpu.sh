#!/bin/sh
# Measures how much CPU the running, idle guisla.exe uses over 10 seconds under Wine, two ways: the
# program's own process times (GetProcessTimes, read by idle_cpu.exe) and the host's account of the
# Wine process (/proc/<pid>/stat, utime + stime), plus the wineserver's share meanwhile. Builds
# what is missing, uses a private Xvfb and the build tree's Wine prefix. The figures are printed and
# written to build/bench-results/idle_cpu.txt; nothing here passes or fails on them.
#
#   bench/idle_cpu.sh [seconds]     (default 10)
set -eu
. "$(dirname "$0")/../scripts/lib/wine-env.sh"

seconds=${1:-10}
build=$GUISLA_BUILD/win
results=$GUISLA_BUILD/bench-results
mkdir -p "$results"

if [ ! -f "$build/CMakeCache.txt" ]; then
    guisla_configure_win
fi
cmake --build "$build" --target idle_cpu guisla -j2 >/dev/null

trap guisla_stop_wine EXIT
guisla_start_display
guisla_prepare_prefix
guisla_warm_wine || true # a server already running for the prefix is fine

windows_path() {
    printf 'Z:%s' "$1" | sed 's|/|\\|g'
}
scratch=$build/e2e-scratch
export GUISLA_E2E_PROGRAM="$(windows_path "$build")"
export GUISLA_E2E_SCRATCH="$(windows_path "$scratch")"

# CPU ticks (utime + stime) of a host process.
ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# The host pid of the process whose command line starts with the given text (the scratch copy's
# path is unique to this run).
host_pid_of() {
    for dir in /proc/[0-9]*; do
        if tr '\0' '\n' <"$dir/cmdline" 2>/dev/null | head -n 1 | grep -qxF "$1"; then
            basename "$dir"
            return 0
        fi
    done
    return 1
}

# Our prefix's wineserver: it works in a folder named server-<device>-<inode> of the prefix (under
# /tmp/.wine-<uid> or /tmp/wine-<random>, depending on the build of Wine).
server_pid() {
    suffix=$(printf '/server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
    for dir in /proc/[0-9]*; do
        case "$(readlink "$dir/exe" 2>/dev/null) $(readlink "$dir/cwd" 2>/dev/null)" in
        *wineserver*"$suffix")
            basename "$dir"
            return 0
            ;;
        esac
    done
    return 1
}

log=$(mktemp)
# The tool keeps the program idle a little longer than the host-side window below.
wine "$build/tests/e2e/idle_cpu.exe" $((seconds + 2)) >"$log" 2>&1 </dev/null &
tool=$!
i=0
while ! grep -q '^pid ' "$log" && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
exe="$(windows_path "$scratch")\\idle_cpu\\program\\guisla.exe"
program=$(host_pid_of "$exe" || true)
server=$(server_pid || true)
host_line="host: program process not found"
if [ -n "$program" ]; then
    a=$(ticks "$program")
    s1=$( [ -n "$server" ] && ticks "$server" || echo 0)
    sleep "$seconds"
    b=$(ticks "$program")
    s2=$( [ -n "$server" ] && ticks "$server" || echo 0)
    hz=$(getconf CLK_TCK)
    host_line=$(awk -v p=$((b - a)) -v s=$((s2 - s1)) -v hz="$hz" -v t="$seconds" 'BEGIN {
        printf "host /proc: program %.0f ms CPU over %d s (%.3f %%); wineserver %.0f ms (all clients)",
            1000 * p / hz, t, 100 * p / hz / t, 1000 * s / hz }')
fi
wait $tool || true

{
    echo "idle CPU of guisla.exe under Wine, $(date -u '+%Y-%m-%d %H:%M UTC')"
    cat "$log"
    echo "$host_line"
} | tee "$results/idle_cpu.txt"
rm -f "$log"
