#!/usr/bin/env bash
# Times column and table description writes on a table of 1,000 columns
# (bench_wide_comment) against a private MariaDB; prints a Markdown table.
# c500 is a FLOAT without a default, c502 a VARCHAR with one, c505 a
# DECIMAL without.
#   run-wide-comment-bench.sh [PATH/TO/bench_wide_comment] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
program=${1:-$root/build-bench/bench/bench_wide_comment}
runs=${2:-15}
[ -x "$program" ] || { echo "no program at $program; build the target bench_wide_comment" >&2; exit 2; }

. "$here/private-mariadb.sh"

client() { mariadb --no-defaults --socket="$VELMORA_DB_SOCKET" -uroot --default-character-set=utf8mb4 "$@"; }
# 1,000 columns of ten kinds, each commented, some with defaults, and 1,000 rows.
echo "seeding (a table of 1,000 columns)..." >&2
awk -v q="'" 'BEGIN {
    split("int|varchar(5) default " q "x" q "|date|double default 2.5|bigint unsigned|decimal(8,2)|tinyint|datetime|smallint not null default 0|float", types, "|")
    print "create database bench_wide character set utf8mb4; use bench_wide;"
    printf "create table wide1000 (c1 int not null primary key comment %sthe key%s", q, q
    for (c = 2; c <= 1000; c++)
        printf ", c%d %s comment %scolumn %d 的说明%s", c, types[(c - 1) % 10 + 1], q, c, q
    print ") engine=InnoDB comment " q "wide" q ";"
    print "insert into wide1000 (c1) select seq from seq_1_to_1000;"
}' | client
VELMORA_BENCH_RUNS=$runs "$program" bench_wide wide1000 c500 c502 c505
