#!/bin/bash
# Brings up, shows and stops the simulated world of Plenwise: a private CUPS scheduler on a free
# loopback port, with one raw queue for each printer model the program serves and one of a model
# it does not. It never touches the system's own scheduler.
#
#   scripts/world.sh up       start (or refresh) the world; idempotent
#   scripts/world.sh status   say whether it runs; exit status 0 when it does, 1 when not
#   scripts/world.sh down     stop the scheduler and everything it started
#
# The world lives in $PLENWISE_WORLD (default: .world in the source tree). "up" writes
# $PLENWISE_WORLD/env, which callers source to reach the scheduler (CUPS_SERVER and the paths).
# PLENWISE_BACKEND_HOLD_MS, when set for "up", makes the backend hold every job that long.
# PLENWISE_WORLD_QUEUES=N, when set for "up" of a new world, replaces the queues below by N queues
# Served001 ... of the models the program serves, each with a ready printer of its own (for
# bench/run.sh, which measures the start with many queues).
set -euo pipefail

readonly SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
WORLD=${PLENWISE_WORLD:-$SOURCE_DIR/.world}
readonly BACKEND_SOURCE=$SOURCE_DIR/sim/driver/plenwise-backend

# Every queue of the world: queue name, make and model (the driver name), and the simulated
# printer behind it with what it reports differently from a ready printer of that model, one
# simulator key per field. The firmware letters put the first family's models in class 1 (N to
# V), the second's in class 2; the second family's printers report its ink set 1.
readonly SECOND_FAMILY_INK="ink = 1101,3202,4304,5408,6210,7320,A140"
readonly DEFAULT_QUEUES=(
    "WL4000|ARVEN WL-4000|wl4000|firmware = BN0105"
    "Wideline400U|ARVEN Wideline 400U|wideline400u|firmware = BP0102"
    "Wideline400C|ARVEN Wideline 400C|wideline400c|firmware = BQ0103"
    "Wideline400D|ARVEN Wideline 400D|wideline400d|firmware = BR0101"
    "WL3000|ARVEN WL-3000|wl3000|firmware = BA0210|$SECOND_FAMILY_INK"
    "WL2000|ARVEN WL-2000|wl2000|firmware = BB0204|$SECOND_FAMILY_INK"
    "Wideline300|ARVEN Wideline 300|wideline300|firmware = BC0201|$SECOND_FAMILY_INK"
    "Wideline200|ARVEN Wideline 200|wideline200|firmware = BD0201|$SECOND_FAMILY_INK"
    "Wideline300D|ARVEN Wideline 300-D|wideline300d|firmware = BE0110|$SECOND_FAMILY_INK"
    "Wideline200D|ARVEN Wideline 200-D|wideline200d|firmware = BW0110|$SECOND_FAMILY_INK"
    "WrongModel|ARVEN WL-4000|wrongmodel|description = ARVEN WL-2000"
    "NeverReady|ARVEN WL-4000|neverready|status = 02"
    "Plotter9|OTHER Plotter 9|plotter9|firmware = XX0001"
)
QUEUES=("${DEFAULT_QUEUES[@]}")
if [[ -n ${PLENWISE_WORLD_QUEUES:-} ]]; then
    [[ $PLENWISE_WORLD_QUEUES =~ ^[1-9][0-9]{0,3}$ ]] ||
        { echo "world.sh: PLENWISE_WORLD_QUEUES must be a number from 1 to 9999" >&2; exit 1; }
    QUEUES=()
    for ((i = 0; i < PLENWISE_WORLD_QUEUES; i++)); do
        # The first ten queues above are one ready printer of each served model.
        IFS="|" read -r _ model _ rest <<<"${DEFAULT_QUEUES[i % 10]}"
        printf -v name "Served%03d" $((i + 1))
        QUEUES+=("$name|$model|${name,,}|$rest")
    done
fi
# The driver names that the simulated driver package installs.
readonly DRIVERS=(
    "ARVEN WL-4000" "ARVEN Wideline 400U" "ARVEN Wideline 400C" "ARVEN Wideline 400D"
    "ARVEN WL-3000" "ARVEN WL-2000" "ARVEN Wideline 300" "ARVEN Wideline 200"
    "ARVEN Wideline 300-D" "ARVEN Wideline 200-D"
)
# The built programs: the simulator and the driver package (installers and queue definitions).
OUT_DIR=${PLENWISE_OUT:-$SOURCE_DIR/build/out}

die() {
    echo "world.sh: $*" >&2
    exit 1
}

find_tool() {
    local name=$1 dir
    if command -v "$name" >/dev/null 2>&1; then
        command -v "$name"
        return
    fi
    for dir in /usr/sbin /usr/bin /sbin; do
        if [[ -x $dir/$name ]]; then
            echo "$dir/$name"
            return
        fi
    done
    return 1
}

need_tools() {
    CUPSD=$(find_tool cupsd) || die "cupsd not found: install the Debian package cups-daemon"
    LPADMIN=$(find_tool lpadmin) || die "lpadmin not found: install the Debian package cups-client"
    LPSTAT=$(find_tool lpstat) || die "lpstat not found: install the Debian package cups-client"
    [[ -x /usr/lib/cups/daemon/cups-exec ]] ||
        die "/usr/lib/cups/daemon/cups-exec not found: install the Debian package cups-daemon"
    SIMULATOR=$OUT_DIR/plenwise-printer-sim
    INSTALLER=$OUT_DIR/plenwise-install-driver
    CFG_INSTALLER=$OUT_DIR/make-driver-cfg
    PPD_DIR=$OUT_DIR/driver/ppd
}

need_programs() {
    local program
    for program in "$SIMULATOR" "$INSTALLER" "$CFG_INSTALLER"; do
        [[ -x $program ]] || die "$program not found: build Plenwise first (scripts/build.sh)"
    done
}

set_paths() {
    if [[ -d $WORLD ]]; then
        WORLD=$(cd "$WORLD" && pwd)
    fi
    BASE=$WORLD/cups
    PID_FILE=$BASE/cupsd.pid
    PORT_FILE=$BASE/port
    JOURNAL=$WORLD/journal
    SIM_DIR=$WORLD/printers
    SIM_PID_FILE=$SIM_DIR/simulator.pid
    SIM_PORT_FILE=$SIM_DIR/port
    MACHINE=$WORLD/machine
    SOCKET=$BASE/sock
    # A local socket path must fit in sockaddr_un; a long world path goes without one.
    if ((${#SOCKET} > 100)); then
        SOCKET=
    fi
}

# Serialises "up" and "down" on the same world.
lock_world() {
    exec 9>"$WORLD/.lock"
    flock 9
}

running_pid() {
    local pid
    [[ -f $PID_FILE ]] || return 1
    pid=$(<"$PID_FILE")
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    kill -0 "$pid" 2>/dev/null || return 1
    # A recycled pid belongs to some other program.
    [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$(readlink -f "$CUPSD")" ]] || return 1
    echo "$pid"
}

answers() {
    CUPS_SERVER=127.0.0.1:$1 "$LPSTAT" -r 2>/dev/null | grep -q "is running"
}

port_in_use() {
    local hex
    hex=$(printf ':%04X ' "$1")
    grep -qi -- "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null
}

free_port() {
    local port tries
    for ((tries = 0; tries < 200; tries++)); do
        port=$((20000 + (RANDOM * 32768 + RANDOM) % 40000))
        if ! port_in_use "$port"; then
            echo "$port"
            return
        fi
    done
    die "no free loopback port found"
}

write_config() {
    local port=$1 dir
    mkdir -p "$BASE"/{ppd,cache,state,spool,tmp,log,serverbin/backend,data/mime,data/banners}
    # As root the scheduler runs the backend as user lp, and refuses a backend that others
    # could replace.
    chmod 755 "$BASE" "$BASE/serverbin" "$BASE/serverbin/backend"
    if ((EUID == 0)); then
        chmod 755 "$WORLD"
    fi
    for dir in daemon filter notifier cgi-bin driver monitor; do
        if [[ -d /usr/lib/cups/$dir && ! -e $BASE/serverbin/$dir ]]; then
            ln -s "/usr/lib/cups/$dir" "$BASE/serverbin/$dir"
        fi
    done
    for file in /usr/share/cups/mime/*; do
        [[ -e $BASE/data/mime/$(basename "$file") ]] || ln -s "$file" "$BASE/data/mime/"
    done
    # Replaced by renaming: a shell still running the old script reads it as it goes.
    install -m 0755 "$BACKEND_SOURCE" "$BASE/serverbin/backend/plenwise.new"
    mv -f "$BASE/serverbin/backend/plenwise.new" "$BASE/serverbin/backend/plenwise"

    cat >"$BASE/cups-files.conf" <<EOF
ServerRoot $BASE
StateDir $BASE/state
CacheDir $BASE/cache
DataDir $BASE/data
ServerBin $BASE/serverbin
RequestRoot $BASE/spool
TempDir $BASE/tmp
AccessLog $BASE/log/access_log
ErrorLog $BASE/log/error_log
PageLog $BASE/log/page_log
Printcap $BASE/printcap
EOF
    {
        echo "Listen 127.0.0.1:$port"
        [[ -z $SOCKET ]] || echo "Listen $SOCKET"
        cat <<'EOF'
LogLevel warn
MaxLogSize 0
Browsing Off
WebInterface No
DefaultShared No
ErrorPolicy abort-job
PreserveJobHistory Yes
PreserveJobFiles No
<Location />
  Order allow,deny
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    } >"$BASE/cupsd.conf"

    mkdir -p "$JOURNAL"
    if ((EUID == 0)); then
        chown lp:lp "$JOURNAL"
    fi
    chmod 755 "$JOURNAL"
    printf 'PLENWISE_JOURNAL=%s\nPLENWISE_HOLD_MS=%s\n' "$JOURNAL" \
        "${PLENWISE_BACKEND_HOLD_MS:-0}" >"$BASE/plenwise-backend.env.new"
    chmod 644 "$BASE/plenwise-backend.env.new"
    mv -f "$BASE/plenwise-backend.env.new" "$BASE/plenwise-backend.env"
}

# As root the scheduler runs backends as lp, which must be able to reach ours.
check_lp_access() {
    ((EUID == 0)) || return 0
    command -v setpriv >/dev/null 2>&1 || return 0
    setpriv --reuid=lp --regid=lp --clear-groups test -x "$BASE/serverbin/backend/plenwise" ||
        die "user lp cannot run $BASE/serverbin/backend/plenwise: every folder above $WORLD must be searchable by others"
    setpriv --reuid=lp --regid=lp --clear-groups test -w "$JOURNAL" ||
        die "user lp cannot write the journal $JOURNAL"
}

start_cupsd() {
    local port attempt i pid
    for ((attempt = 0; attempt < 5; attempt++)); do
        port=$(free_port)
        write_config "$port"
        : >"$BASE/log/error_log"
        (
            # The scheduler must not hold the world's lock, nor a caller's pipe that the caller
            # waits to see closed.
            for fd in /proc/self/fd/*; do
                fd=${fd##*/}
                if ((fd > 2)); then
                    eval "exec $fd>&-" 2>/dev/null || true
                fi
            done
            exec "$CUPSD" -f -c "$BASE/cupsd.conf" -s "$BASE/cups-files.conf"
        ) </dev/null >>"$BASE/log/cupsd.out" 2>&1 &
        pid=$!
        echo "$pid" >"$PID_FILE"
        for ((i = 0; i < 200; i++)); do
            if ! kill -0 "$pid" 2>/dev/null; then
                break
            fi
            if answers "$port"; then
                echo "$port" >"$PORT_FILE"
                return
            fi
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
        fi
        rm -f "$PID_FILE"
        # Another program may have taken the port meanwhile; anything else is fatal.
        if ! grep -q "Address already in use" "$BASE/log/error_log" "$BASE/log/cupsd.out" 2>/dev/null; then
            tail -n 20 "$BASE/log/error_log" "$BASE/log/cupsd.out" >&2 2>/dev/null || true
            die "cupsd did not start (logs in $BASE/log)"
        fi
    done
    die "cupsd found no free port to listen on"
}

create_queues() {
    local port=$1 sim_port=$2 existing entry queue model id uri ppd
    existing=$(CUPS_SERVER=127.0.0.1:$port "$LPSTAT" -e 2>/dev/null || true)
    for entry in "${QUEUES[@]}"; do
        IFS='|' read -r queue model id _ <<<"$entry"
        uri="plenwise://127.0.0.1:$sim_port/$id"
        if grep -qx -- "$queue" <<<"$existing"; then
            # The simulator may listen on another port than last time.
            CUPS_SERVER=127.0.0.1:$port "$LPADMIN" -p "$queue" -v "$uri" >/dev/null 2>&1 ||
                die "lpadmin could not point queue $queue at $uri"
            continue
        fi
        # The driver package's queue definition of the model.
        ppd=$PPD_DIR/${model// /-}.ppd
        [[ -f $ppd ]] || die "$ppd not found: build Plenwise first (scripts/build.sh)"
        # lpadmin warns that printer drivers are deprecated; the queue works all the same.
        CUPS_SERVER=127.0.0.1:$port "$LPADMIN" -p "$queue" -E -v "$uri" \
            -P "$ppd" >/dev/null 2>"$BASE/log/lpadmin.err" ||
            die "lpadmin could not create queue $queue: $(cat "$BASE/log/lpadmin.err")"
    done
}

# The simulator's configuration: one printer per queue. PLENWISE_SIM_PRINT_MS and
# PLENWISE_SIM_BUSY_MS shorten the printing and cleaning times (tests set them low).
write_sim_config() {
    local entry field
    local -a fields
    mkdir -p "$SIM_DIR/journal"
    {
        echo "# Written by scripts/world.sh up."
        echo "[simulator]"
        echo "listen = 127.0.0.1:0"
        echo "journal = journal"
        echo "print-ms = ${PLENWISE_SIM_PRINT_MS:-3000}"
        echo "cleaning-ms = ${PLENWISE_SIM_BUSY_MS:-20000}"
        echo "firmware-ms = ${PLENWISE_SIM_BUSY_MS:-30000}"
        for entry in "${QUEUES[@]}"; do
            IFS='|' read -r -a fields <<<"$entry"
            echo
            echo "[printer ${fields[2]}]"
            [[ $entry == *"|description"* ]] || echo "description = ${fields[1]}"
            for field in "${fields[@]:3}"; do
                echo "$field"
            done
        done
    } >"$SIM_DIR/simulator.ini"
}

sim_running() {
    local pid
    [[ -f $SIM_PID_FILE && -f $SIM_PORT_FILE ]] || return 1
    pid=$(<"$SIM_PID_FILE")
    [[ $pid =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null || return 1
    [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$(readlink -f "$SIMULATOR")" ]]
}

start_simulator() {
    local pid i
    sim_running && return 0
    write_sim_config
    rm -f "$SIM_PORT_FILE"
    (
        for fd in /proc/self/fd/*; do
            fd=${fd##*/}
            if ((fd > 2)); then
                eval "exec $fd>&-" 2>/dev/null || true
            fi
        done
        exec "$SIMULATOR" serve "$SIM_DIR/simulator.ini" --port-file "$SIM_PORT_FILE"
    ) </dev/null >>"$SIM_DIR/simulator.log" 2>&1 &
    pid=$!
    echo "$pid" >"$SIM_PID_FILE"
    for ((i = 0; i < 200; i++)); do
        [[ -s $SIM_PORT_FILE ]] && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    tail -n 20 "$SIM_DIR/simulator.log" >&2 2>/dev/null || true
    die "the printer simulator did not start (log in $SIM_DIR/simulator.log)"
}

stop_simulator() {
    local pid i
    if sim_running; then
        pid=$(<"$SIM_PID_FILE")
        kill -TERM "$pid" 2>/dev/null || true
        for ((i = 0; i < 200; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -f "$SIM_PID_FILE" "$SIM_PORT_FILE"
}

install_driver() {
    PLENWISE_MACHINE=$MACHINE "$INSTALLER" "${DRIVERS[@]}" ||
        die "the driver package could not be installed into $MACHINE"
    "$CFG_INSTALLER" --install "$MACHINE" ||
        die "the driver's media configuration could not be installed into $MACHINE"
}

# Plain KEY=VALUE lines, so that programs can read the file as well as shells can source it;
# a value with characters the shell would take apart is single-quoted.
env_line() {
    local name=$1 value=$2
    if [[ $value =~ ^[A-Za-z0-9_./:@%+,=-]*$ ]]; then
        echo "$name=$value"
    else
        echo "$name='${value//\'/\'\\\'\'}'"
    fi
}

write_env() {
    local port=$1
    {
        echo "# Written by scripts/world.sh up; in a shell, 'set -a; . env; set +a' reaches this world."
        env_line CUPS_SERVER "127.0.0.1:$port"
        env_line PLENWISE_WORLD "$WORLD"
        env_line PLENWISE_CUPS_PORT "$port"
        env_line PLENWISE_CUPS_ROOT "$BASE"
        [[ -z $SOCKET ]] || env_line PLENWISE_CUPS_SOCKET "$SOCKET"
        env_line PLENWISE_JOURNAL "$JOURNAL"
        env_line PLENWISE_MACHINE "$MACHINE"
        env_line PLENWISE_SIM_ADDRESS "127.0.0.1:$(<"$SIM_PORT_FILE")"
        env_line PLENWISE_SIM_JOURNAL "$SIM_DIR/journal"
    } >"$WORLD/env.new"
    mv -f "$WORLD/env.new" "$WORLD/env"
}

up() {
    local port
    need_tools
    need_programs
    mkdir -p "$WORLD"
    set_paths
    lock_world
    if running_pid >/dev/null && [[ -f $PORT_FILE ]] && answers "$(<"$PORT_FILE")"; then
        port=$(<"$PORT_FILE")
        # Refresh what may have changed in the source tree since.
        write_config "$port"
    else
        # A scheduler that no longer answers is replaced.
        stop_cupsd
        start_cupsd
        port=$(<"$PORT_FILE")
    fi
    check_lp_access
    start_simulator
    install_driver
    create_queues "$port" "$(<"$SIM_PORT_FILE")"
    write_env "$port"
    echo "world.sh: scheduler of $WORLD listening on 127.0.0.1:$port, printers on" \
        "127.0.0.1:$(<"$SIM_PORT_FILE"); set -a; . $WORLD/env; set +a"
}

stop_cupsd() {
    local pid i
    if pid=$(running_pid); then
        kill -TERM "$pid"
        for ((i = 0; i < 200; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null; then
            echo "world.sh: cupsd $pid ignored SIGTERM for 10 s; killing it" >&2
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    rm -f "$PID_FILE"
}

down() {
    need_tools
    set_paths
    if [[ -d $WORLD ]]; then
        lock_world
        stop_cupsd
        stop_simulator
        rm -f "$WORLD/env"
    fi
    echo "world.sh: scheduler of $WORLD stopped"
}

status() {
    local port
    need_tools
    set_paths
    if running_pid >/dev/null && [[ -f $PORT_FILE ]] && answers "$(<"$PORT_FILE")"; then
        port=$(<"$PORT_FILE")
        echo "world.sh: scheduler of $WORLD running on 127.0.0.1:$port"
        CUPS_SERVER=127.0.0.1:$port "$LPSTAT" -v
        return 0
    fi
    echo "world.sh: scheduler of $WORLD not running"
    return 1
}

case ${1:-} in
    up) up ;;
    down) down ;;
    status) status ;;
    *)
        echo "usage: $0 up|down|status" >&2
        exit 2
        ;;
esac
