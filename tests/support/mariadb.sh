#!/usr/bin/env bash
# Starts or stops a private MariaDB for the tests.
#   mariadb.sh start DIR   creates DIR, starts mariadbd on 127.0.0.1 with a free
#                          port, creates the test user and writes DIR/server.env
#   mariadb.sh stop DIR    shuts the server down and waits until it has gone
set -euo pipefail
cmd=${1:?start or stop}
dir=${2:?state directory}
user=velmora
pass='Vel;mora{pw'

stop() {
    [ -f "$dir/server.pid" ] || return 0
    local pid; pid=$(cat "$dir/server.pid")
    if kill -0 "$pid" 2>/dev/null; then
        mariadb-admin --no-defaults --socket="$dir/mysqld.sock" -uroot shutdown >/dev/null 2>&1 || kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$dir/server.pid"
}

case "$cmd" in
start)
    stop
    rm -rf "$dir/data" "$dir/tmp"
    mkdir -p "$dir/data" "$dir/tmp"
    # A temporary folder of its own: a starting server deletes every "#sql*"
    # file in its folder, which in a shared /tmp includes the temporary
    # tables another running server is using (an information_schema query
    # then fails with "Error on delete of '/tmp/#sql-temptable-...'").
    mariadb-install-db --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1
    # A port nobody listens on; never 3306, which a packaged server may hold.
    while :; do
        port=$((20000 + RANDOM % 40000))
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
    /usr/sbin/mariadbd --no-defaults --user=root --datadir="$dir/data" --tmpdir="$dir/tmp" --socket="$dir/mysqld.sock" \
        --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/mysqld.pid" \
        --skip-name-resolve --innodb-buffer-pool-size=32M --log-error="$dir/error.log" &
    echo $! >"$dir/server.pid"
    # A loaded machine (a parallel build, another server starting) can hold
    # InnoDB's start for half a minute.
    for _ in $(seq 1 900); do
        mariadb --no-defaults --socket="$dir/mysqld.sock" -uroot -e 'select 1' >/dev/null 2>&1 && break
        kill -0 "$(cat "$dir/server.pid")" 2>/dev/null || { tail -5 "$dir/error.log" >&2; exit 1; }
        sleep 0.1
    done
    mariadb --no-defaults --socket="$dir/mysqld.sock" -uroot <<SQL
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$pass';
CREATE USER '$user'@'localhost' IDENTIFIED BY '$pass';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'127.0.0.1' WITH GRANT OPTION;
GRANT ALL PRIVILEGES ON *.* TO '$user'@'localhost' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
    cat >"$dir/server.env" <<ENV
VELMORA_DB_HOST=127.0.0.1
VELMORA_DB_PORT=$port
VELMORA_DB_USER=$user
VELMORA_DB_PASS=$pass
ENV
    echo "MariaDB on 127.0.0.1:$port"
    ;;
stop) stop ;;
*) echo "usage: $0 start|stop DIR" >&2; exit 2 ;;
esac
