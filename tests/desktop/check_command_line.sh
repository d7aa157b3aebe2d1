#!/usr/bin/env bash
# Runs the real program with the command lines a user or the desktop entry
# gives it.   check_command_line.sh PROGRAM VERSION STATE_DIR
set -uo pipefail
program=${1:?program} version=${2:?version} state=${3:?state dir}
export QT_QPA_PLATFORM=offscreen
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
rm -rf "$state" && mkdir -p "$state"
out=$state/out err=$state/err

# A window that opens would keep the program running: the timeout (124)
# then tells it apart from any exit status the program chooses.
run() { timeout 20 "$program" "$@" >"$out" 2>"$err"; echo $?; }

# Help, version and usage errors print and end without a window.
for help in --help -h; do
    [ "$(run $help)" = 0 ] || fail "$help: status is not 0"
    for word in Usage: --help --version --user-settings Pell.ini; do
        grep -q -- "$word" "$out" || fail "$help: output lacks $word"
    done
done
for v in --version -v; do
    [ "$(run $v)" = 0 ] || fail "$v: status is not 0"
    [ "$(cat "$out")" = "Velmora $version" ] || fail "$v printed '$(cat "$out")'"
done
while IFS='|' read -r args message; do
    # shellcheck disable=SC2086
    s=$(run $args)
    [ "$s" = 2 ] || fail "$args: status $s, not 2"
    grep -qF "$message" "$err" || fail "$args: stderr lacks \"$message\": $(cat "$err")"
    [ ! -s "$out" ] || fail "$args: printed to stdout"
done <<'CASES'
--bogus|Unknown option 'bogus'
-x|Unknown option 'x'
--user-settings --bogus|Unknown option 'bogus'
stray|unexpected argument 'stray'
--help-all|Unknown option 'help-all'
CASES

# Where "Pell.ini" lands: the program writes its history key at start.
# start_window NAME [ENV=VALUE...] -- ARGS...: starts the window in
# $state/NAME/cwd with HOME $state/NAME/home, leaves its pid in $pid.
start_window() {
    local name=$1; shift
    local vars=()
    while [ "$1" != -- ]; do vars+=("$1"); shift; done
    shift
    case_dir=$state/$name
    mkdir -p "$case_dir/cwd" "$case_dir/home"
    (cd "$case_dir/cwd" && exec env -u XDG_CONFIG_HOME HOME="$case_dir/home" "${vars[@]}" \
        "$program" "$@" >"$case_dir/out" 2>"$case_dir/err") &
    pid=$!
}
stop_window() { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }
# Waits until FILE holds the history key; fails when the program ends first.
wait_for_settings() {
    for _ in $(seq 1 200); do
        grep -q '^Server1=' "$1" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || { fail "$2: program ended: $(cat "$case_dir/err")"; return 1; }
        sleep 0.1
    done
    fail "$2: no $1"
    return 1
}

start_window shell --
wait_for_settings "$case_dir/cwd/Pell.ini" "no option"
[ ! -e "$case_dir/home/.config/velmora" ] || fail "no option: created the configuration folder"
stop_window

start_window xdg "XDG_CONFIG_HOME=$state/xdg/not/yet" -- --user-settings
wait_for_settings "$state/xdg/not/yet/velmora/Pell.ini" "XDG_CONFIG_HOME"
[ ! -e "$case_dir/cwd/Pell.ini" ] || fail "XDG_CONFIG_HOME: also wrote Pell.ini in the current folder"
stop_window

start_window home -- --user-settings
wait_for_settings "$case_dir/home/.config/velmora/Pell.ini" "no XDG_CONFIG_HOME"
stop_window

start_window relative XDG_CONFIG_HOME=relative -- --user-settings
wait_for_settings "$case_dir/home/.config/velmora/Pell.ini" "relative XDG_CONFIG_HOME"
[ ! -e "$case_dir/cwd/relative" ] || fail "relative XDG_CONFIG_HOME was used"
stop_window

# A folder that cannot be made is reported; the window still runs.
start_window unwritable XDG_CONFIG_HOME=/dev/null/cfg -- --user-settings
for _ in $(seq 1 100); do [ -s "$case_dir/err" ] && break; sleep 0.1; done
grep -q 'cannot create the settings folder /dev/null/cfg/velmora' "$case_dir/err" || fail "unwritable: no message"
sleep 0.5
kill -0 "$pid" 2>/dev/null || fail "unwritable: the program ended"
stop_window

exit $status
