#!/usr/bin/env bash
# Runs bench_mysql_rows against a private MariaDB that lives only for the run.
#   run-mysql-bench.sh [PATH/TO/bench_mysql_rows] [ROWS...] [--baseline-limit=SECONDS]
# The binary defaults to build-bench/bench/bench_mysql_rows; the other
# arguments go to it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
bench=$root/build-bench/bench/bench_mysql_rows
if [ $# -gt 0 ] && [[ $1 == */* ]]; then
    bench=$1
    shift
fi
[ -x "$bench" ] || { echo "no benchmark at $bench; build the target bench_mysql_rows" >&2; exit 2; }

. "$here/private-mariadb.sh"

"$bench" "$@"
