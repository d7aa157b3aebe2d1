#!/usr/bin/env bash
# Seeds a private MariaDB with a database of 10,000 commented tables and a
# table of 1,000 commented columns, and another of 2,000 tables of 15
# commented columns for the export, then runs bench_listing on them.
#   run-listing-bench.sh [PATH/TO/bench_listing]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
bench=${1:-$root/build-bench/bench/bench_listing}
[ -x "$bench" ] || { echo "no benchmark at $bench; build the target bench_listing" >&2; exit 2; }

. "$here/private-mariadb.sh"

client() { mariadb --no-defaults --socket="$VELMORA_DB_SOCKET" -uroot "$@"; }
echo "seeding (10,000 tables, one of 1,000 columns)..." >&2
{
    echo "create database bench_list; use bench_list;"
    for i in $(seq 1 10000); do
        echo "create table t$i (id int) engine=MyISAM comment 'table number $i, with a comment of some length';"
    done
    printf 'create table wide1000 (c1 int comment %s' "'column 1'"
    for i in $(seq 2 1000); do printf ", c%d int comment 'column %d of the wide table'" "$i" "$i"; done
    echo ") engine=MyISAM;"
} | client

. "$here/seed-export-db.sh"

if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$state/xdg"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
fi
QT_QPA_PLATFORM=offscreen "$bench" bench_list wide1000 bench_export
