#!/usr/bin/env bash
# The sample MariaDB of `bash scripts/run`: a private server on 127.0.0.1 with
# its data in STATE, seeded once from sample.sql.
#   sample.sh start STATE       starts it; prints "port user password", or on
#                               failure one line saying why (status 1)
#   sample.sh stop STATE        shuts it down and waits until it has gone
#   sample.sh watch STATE PID   stops it once process PID has ended
set -uo pipefail
cmd=${1:?start, stop or watch}
state=${2:?state folder}
here=$(cd "$(dirname "$0")" && pwd)
user=velmora
pass=sample-pw
data=$state/data
# Its own temporary folder: a server starting deletes every #sql file in its
# folder, which in a shared /tmp would take another server's temporary tables.
tmp=$state/tmp
pidfile=$state/server.pid
log=$state/server.log
# Unix socket paths are limited to about 107 bytes.
socket=$state/mysqld.sock
[ ${#socket} -le 100 ] || socket=/tmp/velmora-sample-$(id -u).sock

find_tool() { for n in "$@"; do command -v "$n" >/dev/null 2>&1 && { command -v "$n"; return; }; done; return 1; }
as_root=()
[ "$(id -u)" -ne 0 ] || as_root=(--user=root)
root_client() { "$(find_tool mariadb mysql)" --no-defaults --socket="$socket" -uroot "$@"; }

# A server of ours: the pid in the pid file is alive and serves our data.
server_pid() {
    local pid
    pid=$(cat "$pidfile" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "--datadir=$data " \
        && echo "$pid"
}

stop() {
    local pid
    if pid=$(server_pid); then
        "$(find_tool mariadb-admin mysqladmin)" --no-defaults --socket="$socket" -uroot shutdown >/dev/null 2>&1 \
            || kill "$pid" 2>/dev/null
        for _ in $(seq 1 300); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -9 "$pid" 2>/dev/null
    fi
    rm -f "$pidfile"
}

port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# The last run's port when it is still free, so Pell.ini rarely changes;
# else any free one. Never 3306, which a packaged server may hold.
choose_port() {
    local port
    port=$(cat "$state/port" 2>/dev/null)
    if [[ $port =~ ^[0-9]+$ ]] && [ "$port" != 3306 ] && ! port_taken "$port"; then
        echo "$port"
        return
    fi
    while :; do
        port=$((20000 + RANDOM % 40000))
        port_taken "$port" || { echo "$port"; return; }
    done
}

# The first error of the server's log (the later ones follow from it), for
# a one-line reason.
server_error() {
    local line
    line=$(grep -m 1 -E '\[ERROR\]' "$log" 2>/dev/null | sed -E 's/^.*\[ERROR\] *//')
    echo "${line:+$line; }see $log"
}

# Starts mariadbd on PORT and waits until it answers. 0: up; 1: failed;
# 2: the port was taken between the choice and the start.
launch() {
    local port=$1 server pid
    server=$(find_tool mariadbd mysqld || echo /usr/sbin/mariadbd)
    [ -x "$server" ] || server=/usr/sbin/mariadbd
    [ -x "$server" ] || { echo "mariadbd is not installed"; return 1; }
    : >"$log"
    mkdir -p "$tmp" || { echo "cannot create $tmp"; return 1; }
    # Its own session keeps it out of the terminal's Ctrl+C: the run script
    # or the watchdog shuts it down properly. It must not hold the run lock.
    setsid "$server" --no-defaults "${as_root[@]}" --datadir="$data" --tmpdir="$tmp" --socket="$socket" \
        --port="$port" --bind-address=127.0.0.1 --pid-file="$state/mysqld.pid" --log-error="$log" \
        --skip-name-resolve --innodb-buffer-pool-size=32M --character-set-server=utf8mb4 \
        </dev/null >/dev/null 2>&1 9>&- &
    pid=$!
    echo "$pid" >"$pidfile"
    for _ in $(seq 1 300); do
        # The port tells ours from a server that a killed run left on the socket.
        [ "$(root_client -N -B -e 'select @@port' 2>/dev/null)" = "$port" ] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        stop
        echo "MariaDB did not answer within 30 s ($(server_error))"
        return 1
    fi
    rm -f "$pidfile"
    grep -qE 'Address already in use|Bind on TCP/IP port' "$log" && return 2
    echo "MariaDB did not start: $(server_error)"
    return 1
}

seed() {
    root_client --default-character-set=utf8mb4 <"$here/sample.sql" >>"$state/seed.log" 2>&1 &&
    root_client >>"$state/seed.log" 2>&1 <<SQL
CREATE USER '$user'@'127.0.0.1' IDENTIFIED BY '$pass';
GRANT ALL PRIVILEGES ON shop.* TO '$user'@'127.0.0.1';
GRANT ALL PRIVILEGES ON library.* TO '$user'@'127.0.0.1';
GRANT ALL PRIVILEGES ON hr.* TO '$user'@'127.0.0.1';
SQL
}

start() {
    mkdir -p "$state" || { echo "cannot create $state"; return 1; }
    # A server left running by a killed run is ours to stop; a stale pid
    # file or socket from one that died is replaced below.
    stop
    local fresh=0
    if [ ! -f "$state/seeded" ] || [ ! -d "$data/mysql" ]; then
        fresh=1
        rm -rf "$data" "$state/seeded" "$state/seed.log"
        mkdir -p "$data"
        local installdb
        installdb=$(find_tool mariadb-install-db mysql_install_db) || { echo "mariadb-install-db is not installed"; return 1; }
        mkdir -p "$tmp"
        "$installdb" --no-defaults "${as_root[@]}" --datadir="$data" --tmpdir="$tmp" --auth-root-authentication-method=normal \
            --skip-test-db >"$state/install.log" 2>&1 \
            || { echo "mariadb-install-db failed: $(tail -n 1 "$state/install.log")"; return 1; }
    fi
    local port status
    for _ in 1 2 3; do
        port=$(choose_port)
        launch "$port"
        status=$?
        [ $status = 2 ] || break
    done
    case $status in
    0) ;;
    2) echo "no free port for MariaDB after three tries"; return 1 ;;
    *) return 1 ;;
    esac
    echo "$port" >"$state/port"
    if [ $fresh = 1 ]; then
        if ! seed; then
            stop
            rm -rf "$data"
            echo "seeding the sample failed: $(grep -m1 ERROR "$state/seed.log")"
            return 1
        fi
        touch "$state/seeded"
    fi
    echo "$port $user $pass"
}

case "$cmd" in
start) start ;;
stop) stop ;;
watch)
    pid=${3:?pid}
    while kill -0 "$pid" 2>/dev/null; do sleep 1; done
    stop
    ;;
*) echo "usage: $0 start|stop|watch STATE [PID]" >&2; exit 2 ;;
esac
