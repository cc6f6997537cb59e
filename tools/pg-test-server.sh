#!/usr/bin/env bash
# A PostgreSQL server of its own for the team archive's tests and benchmark:
#   pg-test-server.sh start DIR    initdb in a temporary folder, start it on 127.0.0.1 with a free
#                                  port, make the password-authenticated test role; writes
#                                  DIR/server.env (PORT, USER, PASSWORD, PGPASSFILE, ...)
#   pg-test-server.sh stop DIR     stops it and removes its folder
#   pg-test-server.sh pause DIR    stops it at once (as a server that goes away does), data kept
#   pg-test-server.sh resume DIR   starts it again on the same port
# Run as root (as CI does), the server runs as `nobody` in a folder that user owns.
set -euo pipefail

command=${1:-}
dir=${2:-}
[ -n "$command" ] && [ -n "$dir" ] || {
    echo "usage: $0 start|stop|pause|resume DIR" >&2
    exit 2
}

as_server() {
    if [ "$(id -u)" -eq 0 ]; then
        runuser -u nobody -- "$@"
    else
        "$@"
    fi
}

ctl_start() {
    as_server "$BIN/pg_ctl" -D "$DATA/data" -l "$DATA/server.log" -w -t 60 \
        -o "-p $PORT -k $DATA -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
}

case $command in
start)
    mkdir -p "$dir"
    [ ! -f "$dir/server.env" ] || "$0" stop "$dir" || true
    BIN=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
    [ -x "$BIN/initdb" ] || {
        echo "PostgreSQL's server is not installed (Debian package postgresql)" >&2
        exit 1
    }
    DATA=$(mktemp -d /tmp/logdump-pg.XXXXXX)
    chmod 755 "$DATA"
    [ "$(id -u)" -ne 0 ] || chown nobody "$DATA"
    PASSWORD=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    SUPERPASSWORD=$(od -An -N12 -tx1 /dev/urandom | tr -d ' \n')
    echo "$SUPERPASSWORD" >"$DATA/superpass"
    [ "$(id -u)" -ne 0 ] || chown nobody "$DATA/superpass"
    # Local socket for the set-up below; every test connects over TCP with a password.
    as_server "$BIN/initdb" -D "$DATA/data" -U postgres --pwfile="$DATA/superpass" \
        --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 >/dev/null
    rm -f "$DATA/superpass"
    started=0
    for _ in 1 2 3 4 5; do
        PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
        if ctl_start; then
            started=1
            break
        fi
    done
    [ $started -eq 1 ] || {
        cat "$DATA/server.log" >&2 || true
        exit 1
    }
    as_server "$BIN/psql" -q -h "$DATA" -p "$PORT" -U postgres -d postgres -v ON_ERROR_STOP=1 \
        -c "CREATE ROLE logdump_test LOGIN CREATEDB CREATEROLE PASSWORD '$PASSWORD'" >/dev/null
    umask 077
    printf '127.0.0.1:%s:*:logdump_test:%s\n' "$PORT" "$PASSWORD" >"$dir/pgpass"
    cat >"$dir/server.env" <<END
PORT=$PORT
USER=logdump_test
PASSWORD=$PASSWORD
PGPASSFILE=$dir/pgpass
DATA=$DATA
BIN=$BIN
END
    ;;
stop | pause | resume)
    [ -f "$dir/server.env" ] || exit 0
    # shellcheck disable=SC1091
    . "$dir/server.env"
    case $command in
    stop)
        as_server "$BIN/pg_ctl" -D "$DATA/data" -m immediate -w stop >/dev/null 2>&1 || true
        case $DATA in /tmp/logdump-pg.*) rm -rf "$DATA" ;; esac
        rm -f "$dir/server.env" "$dir/pgpass"
        ;;
    pause) as_server "$BIN/pg_ctl" -D "$DATA/data" -m immediate -w stop >/dev/null ;;
    resume) ctl_start ;;
    esac
    ;;
*)
    echo "usage: $0 start|stop|pause|resume DIR" >&2
    exit 2
    ;;
esac
