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
# then tells it apart from any exit status the program chooses. Help,
# version and usage errors need no display at all, as over ssh.
run() { timeout 20 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" >"$out" 2>"$err"; echo $?; }

for help in --help -h; do
    [ "$(run $help)" = 0 ] || fail "$help: status is not 0"
    for word in Usage: --version --user-settings Pell.ini; do grep -q -- "$word" "$out" || fail "$help: lacks $word"; done
done
for v in --version -v; do
    [ "$(run $v)" = 0 ] && [ "$(cat "$out")" = "Velmora $version" ] || fail "$v printed '$(cat "$out")'"
done
while IFS='|' read -r args message; do
    # shellcheck disable=SC2086
    s=$(run $args)
    [ "$s" = 2 ] && [ ! -s "$out" ] && grep -qF "$message" "$err" || fail "$args: status $s, stderr: $(cat "$err")"
done <<'CASES'
--bogus|Unknown option 'bogus'
stray|unknown command 'stray'
--help-all|Unknown option 'help-all'
CASES

# Where Pell.ini lands, seen by the history key the program writes at start;
# "shown" is that file, or the message when its folder cannot be made (the
# window then still runs). @ is the case's folder, with its cwd and home.
while IFS='|' read -r name xdg args shown absent; do
    dir=$state/$name shown=${shown//@/$state/$name} absent=${absent//@/$state/$name}
    mkdir -p "$dir/cwd" "$dir/home"
    # shellcheck disable=SC2086
    (cd "$dir/cwd" && exec env -u XDG_CONFIG_HOME HOME="$dir/home" ${xdg:+XDG_CONFIG_HOME="${xdg//@/$dir}"} \
        "$program" $args >"$dir/out" 2>"$dir/err") &
    pid=$!
    seen() { grep -qs '^Server1=' "$shown" || grep -qsF "$shown" "$dir/err"; }
    for _ in $(seq 1 200); do seen || ! kill -0 "$pid" 2>/dev/null && break; sleep 0.1; done
    seen || fail "$name: no $shown"
    sleep 0.3
    kill -0 "$pid" 2>/dev/null || fail "$name: the program ended: $(cat "$dir/err")"
    [ ! -e "$absent" ] || fail "$name: made $absent"
    # The file holds passwords; so the folder made for it is the owner's alone.
    if [ -f "$shown" ]; then
        modes=$(stat -c %a "$shown")${args:+ $(stat -c %a "${shown%/*}")}
        [ "$modes" = "600${args:+ 700}" ] || fail "$name: modes $modes"
    fi
    kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
done <<'CASES'
cwd|||@/cwd/Pell.ini|@/home/.config/velmora
xdg|@/xdg/not/yet|--user-settings|@/xdg/not/yet/velmora/Pell.ini|@/cwd/Pell.ini
home||--user-settings|@/home/.config/velmora/Pell.ini|@/cwd/Pell.ini
relative|relative|--user-settings|@/home/.config/velmora/Pell.ini|@/cwd/relative
unwritable|/dev/null/cfg|--user-settings|cannot create the settings folder /dev/null/cfg/velmora|@/cwd/Pell.ini
CASES

exit $status
