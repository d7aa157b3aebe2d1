#!/usr/bin/env bash
# Runs `bash scripts/run` with this script standing in for the program, which
# sees what the program would: its working folder, Pell.ini and the server.
#   check_sample_run.sh SOURCE_DIR BUILD_DIR STATE_DIR
# As the program (SAMPLE_ROLE set): "check" connects with what Pell.ini
# holds; "hold" waits to be killed; "alone" records its folder.
set -uo pipefail
self=$(readlink -f "$0")

client() { mariadb --no-defaults --default-character-set=utf8mb4 -N -B "$@"; }

as_program() {
    local report=$SAMPLE_REPORT
    pwd >"$report.cwd"
    echo "$*" >"$report.args"
    case $SAMPLE_ROLE in
    alone) return 0 ;;
    hold) echo $$ >"$report.ready"; exec sleep 600 ;;
    esac
    [ "$(pwd)" = "$XDG_CACHE_HOME/velmora/sample/work" ] || { echo "not in the sample folder" >"$report"; return 1; }
    local entry
    entry=$("$VELMORA_RUN_BUILD/tools/velmora_sample_settings" show Pell.ini 127.0.0.1) || return 1
    value() { sed -n "s/^$1=//p" <<<"$entry"; }
    local port user pass
    port=$(value port) user=$(value user) pass=$(value password)
    {
        echo "history=$(value history) type=$(value type) port=$port user=$user"
        [ -n "$(value history)" ] || echo "FAIL: 127.0.0.1 is not in the history"
        [ "$(value type)" = MySQL ] || echo "FAIL: kind is not MySQL"
        [[ $port =~ ^[0-9]+$ ]] && [ "$port" != 3306 ] || echo "FAIL: bad port '$port'"
        [ -n "$user" ] && [ -n "$pass" ] || echo "FAIL: no user or password"
        local login=(-h127.0.0.1 -P"$port" -u"$user" -p"$pass")
        [ "$(client "${login[@]}" -e 'select group_concat(schema_name order by schema_name)
            from information_schema.schemata where schema_name <> "information_schema"')" = hr,library,shop ] \
            || echo "FAIL: the stored login does not see exactly hr, library and shop"
        [ "$(client "${login[@]}" -e 'select count(distinct data_type) from information_schema.columns
            where table_schema = "shop" and table_name = "product"
            and data_type in ("blob", "decimal", "longtext", "mediumtext", "text", "varchar")')" = 6 ] \
            || echo "FAIL: shop.product lacks a length-rule type"
        [ "$(client "${login[@]}" -e 'select concat(column_name, ",", extra, ",", is_nullable, ",", ifnull(column_default, "-"))
            from information_schema.columns where table_schema = "shop" and table_name = "product" and column_name in ("id", "weight", "price")
            order by column_name')" = $'id,auto_increment,NO,-\nprice,,NO,0.00\nweight,,YES,NULL' ] \
            || echo "FAIL: shop.product lacks its auto_increment key, default or nullable column"
        # The program talks GBK; the Chinese comments must survive that.
        [ "$(client "${login[@]}" --default-character-set=gbk -e 'select table_comment from information_schema.tables
            where table_schema = "shop" and table_name = "customer"' | iconv -f GBK -t UTF-8)" = 客户资料 ] \
            || echo "FAIL: the Chinese table comment does not read back through GBK"
        # A description written in one run is there in the next.
        client "${login[@]}" -e "select table_comment from information_schema.tables
            where table_schema = 'library' and table_name = 'loan'" | sed 's/^/loan comment=/'
        [ -z "${SAMPLE_DESCRIBE-}" ] || client "${login[@]}" -e "alter table library.loan comment '$SAMPLE_DESCRIBE'" \
            || echo "FAIL: cannot write a description"
    } >"$report" 2>&1
    ! grep -q FAIL "$report"
}
if [ -n "${SAMPLE_ROLE-}" ]; then as_program "$@"; exit; fi

source_dir=${1:?source dir} build=${2:?build dir} state=${3:?state dir}
rm -rf "$state" && mkdir -p "$state/cwd"
status=0
fail() { echo "FAIL: $*" >&2; status=1; }
export VELMORA_RUN_BUILD=$build VELMORA_RUN_PROGRAM=$self SAMPLE_REPORT=$state/report
export XDG_CACHE_HOME=$state/cache
sample=$XDG_CACHE_HOME/velmora/sample

# run ROLE [ENV=VALUE...] [-- ARGS]: the run script from $state/cwd; its
# output in $state/out. Bounded, so a hang fails instead of blocking the suite.
run() {
    local role=$1 vars=(); shift
    while [ $# -gt 0 ] && [ "$1" != -- ]; do vars+=("$1"); shift; done
    [ $# -eq 0 ] || shift
    rm -f "$SAMPLE_REPORT"*
    (cd "$state/cwd" && env SAMPLE_ROLE="$role" "${vars[@]}" timeout 120 bash "$source_dir/scripts/run" "$@" >"$state/out" 2>&1)
}
report() { cat "$SAMPLE_REPORT" "$state/out" 2>/dev/null; }
server_gone() {
    local pid=$1
    for _ in $(seq 1 100); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    return 1
}
last_server_pid() { cat "$sample/mysqld.pid" 2>/dev/null; }
# Starts a run whose program waits; sets $run_pid and $prog_pid.
start_holding() {
    rm -f "$SAMPLE_REPORT"*
    (cd "$state/cwd" && SAMPLE_ROLE=hold exec bash "$source_dir/scripts/run" >"$state/out" 2>&1) &
    run_pid=$!
    for _ in $(seq 1 300); do [ -s "$SAMPLE_REPORT.ready" ] && break; sleep 0.1; done
    prog_pid=$(cat "$SAMPLE_REPORT.ready" 2>/dev/null)
    [ -n "$prog_pid" ] || fail "the holding run did not start: $(report)"
}
watchdog_pid() { pgrep -f "sample.sh watch $sample " | head -n 1; }

# First run: seeded, listed, reachable with the stored login; stopped after.
run check SAMPLE_DESCRIBE=借阅记录 || fail "first run: $(report)"
first_port=$(cat "$sample/port")
pid=$(last_server_pid)
server_gone "$pid" || fail "first run: the server still runs after the program ended"
seeded=$(stat -c %Y.%s "$sample/seeded" 2>/dev/null)

# Second run: the same data, seeded once.
run check || fail "second run: $(report)"
grep -q '^loan comment=借阅记录$' "$SAMPLE_REPORT" || fail "second run: the first run's description is gone: $(report)"
[ "$(stat -c %Y.%s "$sample/seeded")" = "$seeded" ] || fail "second run seeded again"

# The last port taken meanwhile: another one is chosen and stored.
perl -MIO::Socket::INET -e '$s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => $ARGV[0],
    Listen => 1, ReuseAddr => 1) or die; open(F, ">", $ARGV[1]); close F; sleep 120' "$first_port" "$state/listening" &
listener=$!
for _ in $(seq 1 50); do [ -f "$state/listening" ] && break; sleep 0.1; done
run check || fail "port taken: $(report)"
[ "$(cat "$sample/port")" != "$first_port" ] || fail "port taken: the taken port was used again"
kill "$listener"; wait "$listener" 2>/dev/null

# The run script and the program killed outright: the watchdog stops the server.
start_holding
pid=$(last_server_pid)
kill -9 "$run_pid" "$prog_pid"
wait "$run_pid" 2>/dev/null
server_gone "$pid" || fail "killed run: the server outlived the program"

# Everything of a run killed outright, the server too: the next run starts
# on the left data folder and keeps its data.
start_holding
pid=$(last_server_pid)
kill -9 "$(watchdog_pid)" "$run_pid" "$prog_pid" "$pid"
wait "$run_pid" 2>/dev/null
run check || fail "after a killed server: $(report)"
grep -q '^loan comment=借阅记录$' "$SAMPLE_REPORT" || fail "after a killed server: data lost: $(report)"

# The server left running by a killed run is stopped and replaced.
start_holding
pid=$(last_server_pid)
kill -9 "$(watchdog_pid)" "$run_pid" "$prog_pid"
wait "$run_pid" 2>/dev/null
run check || fail "after a left server: $(report)"
server_gone "$pid" || fail "after a left server: the old server still runs"

# A second run while one holds the server: the program runs alone.
start_holding
run alone || fail "second concurrent run: the program's status was lost"
[ "$(cat "$SAMPLE_REPORT.cwd")" = "$state/cwd" ] || fail "second concurrent run: not started in the current folder"
grep -q "^No sample server: another 'bash scripts/run' is using it; starting Velmora without it.$" "$state/out" \
    || fail "second concurrent run: no reason given: $(cat "$state/out")"
pid=$(last_server_pid)
kill "$prog_pid"; wait "$run_pid" 2>/dev/null
server_gone "$pid" || fail "the holding run left its server"

# A server that cannot start: one line why, and the program still starts,
# alone in the current folder.
printf garbage >"$sample/data/aria_log_control"
run alone || fail "broken data: the program's status was lost"
[ "$(cat "$SAMPLE_REPORT.cwd")" = "$state/cwd" ] || fail "broken data: not started in the current folder"
[ "$(grep -c . "$state/out")" = 1 ] && grep -q '^No sample server: MariaDB did not start: .*aria control file' "$state/out" \
    || fail "broken data: no one-line reason: $(cat "$state/out")"

# --no-sample: the program alone in the current folder, no server.
rm -rf "$XDG_CACHE_HOME"
run alone -- --no-sample --user-settings || fail "--no-sample: the program's status was lost"
[ "$(cat "$SAMPLE_REPORT.cwd")" = "$state/cwd" ] || fail "--no-sample: not started in the current folder"
[ ! -e "$XDG_CACHE_HOME" ] || fail "--no-sample: touched the sample folder"
[ "$(cat "$SAMPLE_REPORT.args")" = --user-settings ] || fail "--no-sample: program options not passed on"
[ ! -s "$state/out" ] || fail "--no-sample: printed $(cat "$state/out")"

exit $status
