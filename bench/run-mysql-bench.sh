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

state=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench.XXXXXX")
cleanup() {
    "$root/tests/support/mariadb.sh" stop "$state" || true
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! "$root/tests/support/mariadb.sh" start "$state" >"$state/start.log" 2>&1; then
    cat "$state/start.log" >&2
    exit 1
fi
# Not sourced: the password holds shell characters.
while IFS= read -r line; do
    case "$line" in
    VELMORA_DB_*=*) export "${line%%=*}=${line#*=}" ;;
    esac
done <"$state/server.env"

"$bench" "$@"
