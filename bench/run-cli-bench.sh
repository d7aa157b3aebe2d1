#!/usr/bin/env bash
# Times "velmora export" on the 2,000 tables of bench_export (TSV, Markdown,
# xlsx, HTML, Word) against the one statement that reads the same column rows
# with the server's own client, median of several runs each, and the largest
# memory (resident set) of one run of each format; prints Markdown tables.
#   run-cli-bench.sh [PATH/TO/velmora] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
program=${1:-$root/build-bench/src/app/velmora}
runs=${2:-5}
[ -x "$program" ] || { echo "no program at $program; build the target velmora" >&2; exit 2; }

. "$here/private-mariadb.sh"

client() { mariadb --no-defaults --socket="$VELMORA_DB_SOCKET" -uroot "$@"; }
. "$here/seed-export-db.sh"

export VELMORA_PASSWORD=$VELMORA_DB_PASS
server=(--kind mysql --server "$VELMORA_DB_HOST" --port "$VELMORA_DB_PORT" --user "$VELMORA_DB_USER"
        --database bench_export)
# The column statement of the export for all tables at once, through TCP as
# the program reads it.
statement="SELECT COLUMN_NAME,DATA_TYPE,CASE CHARACTER_MAXIMUM_LENGTH IS NULL WHEN TRUE THEN NUMERIC_PRECISION
 ELSE CHARACTER_MAXIMUM_LENGTH END,CASE NUMERIC_SCALE IS NULL WHEN TRUE THEN '' ELSE NUMERIC_SCALE END,
 CASE IS_NULLABLE WHEN 'NO' THEN '' ELSE '√' END,CASE COLUMN_KEY WHEN 'PRI' THEN '√' ELSE '' END,
 CASE EXTRA WHEN 'auto_increment' THEN '√' ELSE '' END,COLUMN_DEFAULT,COLUMN_COMMENT,TABLE_NAME
 from information_schema.COLUMNS where TABLE_SCHEMA='bench_export'"
direct() {
    mariadb --no-defaults -h "$VELMORA_DB_HOST" -P "$VELMORA_DB_PORT" -u "$VELMORA_DB_USER" \
        -p"$VELMORA_DB_PASS" --default-character-set=utf8mb4 --batch --raw -e "$statement" >"$state/direct.out"
}
velmora() { "$program" export "${server[@]}" -o "$state/out.$1" 2>/dev/null; }

# Median wall time in milliseconds of $runs runs of "$@".
median() {
    local times=()
    for _ in $(seq 1 "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@"
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p"
}

direct # warm the server's caches once
d=$(median direct)
t=$(median velmora tsv)
m=$(median velmora md)
x=$(median velmora xlsx)
h=$(median velmora html)
w=$(median velmora docx)
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "| run | median ms | ratio |"
echo "|---|---:|---:|"
echo "| one direct statement (mariadb client) | $d | 1.00 |"
echo "| velmora export, TSV | $t | $(ratio "$t" "$d") x direct |"
echo "| velmora export, Markdown | $m | $(ratio "$m" "$t") x TSV |"
echo "| velmora export, xlsx | $x | $(ratio "$x" "$t") x TSV |"
echo "| velmora export, HTML | $h | $(ratio "$h" "$t") x TSV |"
echo "| velmora export, Word | $w | $(ratio "$w" "$t") x TSV |"
# Largest resident set of one run, in KiB (GNU time).
rss() { /usr/bin/time -f %M "$program" export "${server[@]}" -o "$state/mem.$1" 2>&1 >/dev/null | tail -1; }
echo
echo "| format | max RSS KiB | ratio |"
echo "|---|---:|---:|"
mt=$(rss tsv)
echo "| tsv | $mt | 1.00 |"
for f in md xlsx html docx; do
    m=$(rss "$f")
    echo "| $f | $m | $(ratio "$m" "$mt") x TSV |"
done
echo "rows: $(($(wc -l <"$state/direct.out") - 1)) direct, $(($(wc -c <"$state/out.tsv") / 2)) TSV characters" >&2
