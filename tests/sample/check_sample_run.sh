#!/usr/bin/env bash
# Runs `bash scripts/run` with this script standing in for the program, which
# sees what the program would: its working folder, Pell.ini and the server.
#   check_sample_run.sh SOURCE_DIR BUILD_DIR STATE_DIR
# As the program (SAMPLE_ROLE set): "check" connects with what Pell.ini
# holds; "hold" waits to be killed; "alone" records its folder and options.
set -uo pipefail
if [ -n "${SAMPLE_ROLE-}" ]; then
    pwd >"$SAMPLE_REPORT.cwd" && echo "$*" >"$SAMPLE_REPORT.args"
    case $SAMPLE_ROLE in alone) exit 0 ;; hold) echo $$ >"$SAMPLE_REPORT.ready"; exec sleep 600 ;; esac
    entry=$("$VELMORA_RUN_BUILD/tools/velmora_sample_settings" show Pell.ini 127.0.0.1) || exit 1
    value() { sed -n "s/^$1=//p" <<<"$entry"; }
    sql() { mariadb --no-defaults -N -B -h127.0.0.1 -P"$(value port)" -u"$(value user)" -p"$(value password)" "$@"; }
    {
        [ "$(pwd)" = "$XDG_CACHE_HOME/velmora/sample/work" ] || echo "FAIL: not in the sample folder"
        [ "$(stat -c %a . Pell.ini)" = "700"$'\n'"600" ] || echo "FAIL: others may read the password's folder or file"
        [ -n "$(value history)" ] && [ "$(value type)" = MySQL ] || echo "FAIL: 127.0.0.1 is not a MySQL server in the history"
        [ "$(value port)" != 3306 ] || echo "FAIL: port 3306"
        [ "$(sql -e 'select group_concat(schema_name order by 1) from information_schema.schemata
            where schema_name <> "information_schema"')" = hr,library,shop ] || echo "FAIL: the login does not see exactly hr, library, shop"
        [ "$(sql --default-character-set=utf8mb4 -e 'select table_comment from information_schema.tables
            where table_schema = "shop" and table_name = "customer"')" = 客户资料 ] || echo "FAIL: Chinese comment"
        sql -e "select concat('loan comment=', table_comment) from information_schema.tables where table_name = 'loan'"
        [ -z "${SAMPLE_DESCRIBE-}" ] || sql -e "alter table library.loan comment '$SAMPLE_DESCRIBE'" || echo "FAIL: no description written"
    } >"$SAMPLE_REPORT" 2>&1
    ! grep -q FAIL "$SAMPLE_REPORT"; exit
fi

source_dir=${1:?source dir} build=${2:?build dir} state=${3:?state dir}
rm -rf "$state" && mkdir -p "$state/cwd"
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
export VELMORA_RUN_BUILD=$build VELMORA_RUN_PROGRAM=$(readlink -f "$0") SAMPLE_REPORT=$state/report XDG_CACHE_HOME=$state/cache
sample=$XDG_CACHE_HOME/velmora/sample
# run ROLE [ARGS]: bounded, so a hang fails instead of blocking the suite.
run() { rm -f "$SAMPLE_REPORT"*; (cd "$state/cwd" && SAMPLE_ROLE=$1 timeout 120 bash "$source_dir/scripts/run" "${@:2}" >"$state/out" 2>&1); }
report() { cat "$SAMPLE_REPORT" "$state/out" 2>/dev/null; }
gone() { for _ in $(seq 1 100); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; return 1; }
# The program alone (status kept) in the current folder with the options given.
alone() {
    run alone "$@"; local s=$? want=$*
    [ $s = 0 ] && [ "$(cat "$SAMPLE_REPORT.cwd") $(cat "$SAMPLE_REPORT.args")" = "$state/cwd ${want#--no-sample }" ] \
        || fail "alone $*: status $s, or not in the current folder with its options: $(report)"
}
kept() { grep -q '^loan comment=借阅记录$' "$SAMPLE_REPORT" || fail "$1: the description is gone: $(report)"; }
# A run whose program waits: $run_pid, $prog_pid, $server_pid and the watchdog's $watch_pid.
hold() {
    rm -f "$SAMPLE_REPORT"*
    (cd "$state/cwd" && SAMPLE_ROLE=hold exec bash "$source_dir/scripts/run" >"$state/out" 2>&1) &
    run_pid=$!
    for _ in $(seq 1 300); do [ -s "$SAMPLE_REPORT.ready" ] && break; sleep 0.1; done
    prog_pid=$(cat "$SAMPLE_REPORT.ready") server_pid=$(cat "$sample/mysqld.pid")
    [ -n "$prog_pid" ] || fail "no holding run: $(report)"
    watch_pid=$(pgrep -f "sample.sh watch $sample " | head -n 1)
}

SAMPLE_DESCRIBE=借阅记录 run check || fail "first run: $(report)"
gone "$(cat "$sample/mysqld.pid" 2>/dev/null)" || fail "first run: the server outlived the program"
seeded=$(stat -c %Y.%s "$sample/seeded")
port=$(cat "$sample/port")
# Seeded once; the last port taken meanwhile makes another one chosen and stored.
perl -MIO::Socket::INET -e '$s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => $ARGV[0], Listen => 1,
    ReuseAddr => 1) or die; open(F, ">", $ARGV[1]); close F; sleep 120' "$port" "$state/listening" &
listener=$!
for _ in $(seq 1 50); do [ -f "$state/listening" ] && break; sleep 0.1; done
run check || fail "second run: $(report)"
kept "second run"
[ "$(stat -c %Y.%s "$sample/seeded")" = "$seeded" ] || fail "second run seeded again"
[ "$(cat "$sample/port")" != "$port" ] || fail "port taken: the taken port was used again"
kill "$listener"; wait "$listener" 2>/dev/null

hold; kill -9 "$run_pid" "$prog_pid"; wait "$run_pid" 2>/dev/null
gone "$server_pid" || fail "killed run: the watchdog did not stop the server"
hold; kill -9 "$watch_pid" "$run_pid" "$prog_pid" "$server_pid"; wait "$run_pid" 2>/dev/null
run check || fail "after a killed server: $(report)"
kept "after a killed server"
hold; kill -9 "$watch_pid" "$run_pid" "$prog_pid"; wait "$run_pid" 2>/dev/null
run check || fail "after a left server: $(report)"
gone "$server_pid" || fail "after a left server: it still runs"

# Without the sample server (in use, broken, not wanted) the program runs alone.
hold; alone --user-settings
grep -qx "No sample server: another 'bash scripts/run' is using it; starting Velmora without it." "$state/out" \
    || fail "concurrent run: $(cat "$state/out")"
kill "$prog_pid"; wait "$run_pid" 2>/dev/null
gone "$server_pid" || fail "the holding run left its server"
printf garbage >"$sample/data/aria_log_control"
alone
[ "$(grep -c . "$state/out")" = 1 ] && grep -q '^No sample server: MariaDB did not start: .*aria control file' "$state/out" \
    || fail "broken data: no one-line reason: $(cat "$state/out")"
rm -rf "$XDG_CACHE_HOME"
alone --no-sample --user-settings
[ ! -s "$state/out" ] && [ ! -e "$XDG_CACHE_HOME" ] || fail "--no-sample: touched the sample folder or printed $(cat "$state/out")"
exit $status
