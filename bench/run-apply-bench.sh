#!/usr/bin/env bash
# Times "velmora apply" writing 1,000 changed column descriptions across 100
# tables against the same 1,000 bare ALTER TABLE ... MODIFY ... COMMENT
# statements sent by the server's own client in one session; median of
# several runs each, every run changing all 1,000. Prints a Markdown table.
#   run-apply-bench.sh [PATH/TO/velmora] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
program=${1:-$root/build-bench/src/app/velmora}
runs=${2:-5}
[ -x "$program" ] || { echo "no program at $program; build the target velmora" >&2; exit 2; }

. "$here/private-mariadb.sh"

client() { mariadb --no-defaults --socket="$VELMORA_DB_SOCKET" -uroot --default-character-set=utf8mb4 "$@"; }
tcp() {
    mariadb --no-defaults -h "$VELMORA_DB_HOST" -P "$VELMORA_DB_PORT" -u "$VELMORA_DB_USER" \
        -p"$VELMORA_DB_PASS" --default-character-set=utf8mb4 bench_apply "$@"
}
# Ten columns of several kinds, the same in every table.
types=("int not null auto_increment primary key" "varchar(40) not null default 'x'" "decimal(10,2)" "text"
       "datetime" "bigint unsigned" "char(8)" "date" "varchar(200) default 'none'" "double")
echo "seeding (100 tables of 10 columns)..." >&2
{
    echo "create database bench_apply character set utf8mb4; use bench_apply;"
    for t in $(seq 1 100); do
        printf 'create table a%d (' "$t"
        for c in $(seq 0 9); do
            [ "$c" -gt 0 ] && printf ', '
            printf "c%d %s comment 'column %d'" "$c" "${types[$c]}" "$c"
        done
        echo ") engine=InnoDB;"
    done
} | client

export VELMORA_PASSWORD=$VELMORA_DB_PASS
server=(--kind mysql --server "$VELMORA_DB_HOST" --port "$VELMORA_DB_PORT" --user "$VELMORA_DB_USER"
        --database bench_apply)
"$program" export "${server[@]}" -o "$state/base.txt" 2>/dev/null
# The export with every description replaced by "<tag> <table>.<column>",
# saved as a spreadsheet saves it (UTF-8, LF).
edited() {
    iconv -f UTF-16 -t UTF-8 "$state/base.txt" | tr -d '\r' |
        awk -F '\t' -v OFS='\t' -v tag="$1" 'NR > 1 { $10 = tag " " $1 "." $2 } { print }' >"$state/edited-$1.txt"
}
statements() {
    for t in $(seq 1 100); do
        for c in $(seq 0 9); do
            printf "alter table a%d modify c%d %s comment '%s a%d.c%d';\n" "$t" "$c" "${types[$c]}" "$1" "$t" "$c"
        done
    done | sed 's/ primary key//' >"$state/alter-$1.sql"
}

apply() {
    "$program" apply "${server[@]}" "$state/edited-$1.txt" >"$state/apply.out" 2>&1
    grep -q '^changed 1000, unchanged 0' "$state/apply.out" || { cat "$state/apply.out" >&2; exit 1; }
}
direct() { tcp <"$state/alter-$1.sql"; }
# Milliseconds of one run of $1 (apply or direct) on a fresh tag, so that
# every description changes; its input is made before the clock starts.
timed() {
    local tag start end
    tag=$1$(date +%s%N)
    if [ "$1" = apply ]; then edited "$tag"; else statements "$tag"; fi
    start=$(date +%s%N)
    "$1" "$tag"
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() {
    local times=()
    for _ in $(seq 1 "$runs"); do times+=("$("$@")"); done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

timed direct >/dev/null # warm the server once
d=$(median timed direct)
v=$(median timed apply)
echo "| run (1,000 column descriptions, 100 tables) | median ms | ratio |"
echo "|---|---:|---:|"
echo "| bare ALTER TABLE ... MODIFY ... COMMENT (mariadb client) | $d | 1.00 |"
echo "| velmora apply | $v | $(awk -v a="$v" -v b="$d" 'BEGIN { printf "%.2f", a / b }') x direct |"
