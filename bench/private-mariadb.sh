# Sourced by the benchmark scripts: starts the tests' private MariaDB in a
# temporary folder that lives only for the run, exports its address as
# VELMORA_DB_*, and stops it on any exit. Expects $root.
state=$(mktemp -d "${TMPDIR:-/tmp}/velmora-bench.XXXXXX")
cleanup() {
    "$root/tests/support/mariadb.sh" stop "$state" || true
    rm -rf "$state"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$root/tests/support/mariadb.sh" start "$state" >"$state/start.log" 2>&1 || { cat "$state/start.log" >&2; exit 1; }
# Not sourced: the password holds shell characters.
while IFS= read -r line; do
    case "$line" in
    VELMORA_DB_*=*) export "${line%%=*}=${line#*=}" ;;
    esac
done <"$state/server.env"
