#!/usr/bin/env bash
# The main job: build the station, start a simulated S7 PLC on a loopback ISO-on-TCP port, create a backup set
# with one S7-RFC1006 entry for it, back the PLC up into a STEP 7 project and list the project's blocks.
# Then the same for a simulated S5 PLC on a pseudo-terminal ("S5 Direkt" on COM1), backed up into an S5
# program file.
# Everything stays in build/demo/; no root and no real PLC are needed. VAULTRA_BUILD_DIR chooses another
# build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VAULTRA_BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh "$build"

cli=$build/bin/vaultra-cli
demo=$build/demo
set_file=$demo/DEMO.INI
rm -rf "$demo/backups"
mkdir -p "$demo/backups"
# Keep the demonstration away from the user's own settings store.
export XDG_CONFIG_HOME=$PWD/$demo/config

# The simulated PLC: a demonstration program, ISO-on-TCP on a free loopback port.
"$build/bin/plcsim" s7 --demo --iso-port 0 >"$demo/plcsim.out" &
plcsim_pid=$!
plcsim5_pid=
stop_simulators() {
  for pid in "$plcsim_pid" $plcsim5_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_simulators EXIT
# wait_ready FAMILY OUTPUT PID: waits until that plcsim says it is ready.
wait_ready() {
  for _ in $(seq 100); do
    grep -q "^plcsim $1: ready" "$2" && return 0
    kill -0 "$3" 2>/dev/null || { cat "$2"; echo "plcsim $1 did not start" >&2; exit 1; }
    sleep 0.1
  done
  echo "plcsim $1 is not ready" >&2
  exit 1
}
wait_ready s7 "$demo/plcsim.out" "$plcsim_pid"
port=$(sed -n 's/^plcsim s7: iso-tcp 127\.0\.0\.1:\([0-9]*\)$/\1/p' "$demo/plcsim.out")
echo "== simulated PLC on 127.0.0.1:$port (ISO-on-TCP) =="
# The driver reaches the PLC on this port instead of 102.
export VAULTRA_ISO_TCP_PORT=$port

"$cli" new "$set_file" --force
"$cli" config "$set_file" --dir "$PWD/$demo/backups/" --retry 5 --skip-system-blocks 1
"$cli" add "$set_file" --name "Presse Halle 1" --interface "S7-RFC1006" --address 127.0.0.1:2 \
  --file PRESSE1.S7P --interval daily --at 06:00
echo
echo "== $set_file =="
"$cli" show "$set_file"
echo
echo "== vaultra-cli backup $set_file =="
"$cli" backup "$set_file"
echo
echo "== vaultra-cli inspect $demo/backups/PRESSE1/PRESSE1.S7P =="
"$cli" inspect "$demo/backups/PRESSE1/PRESSE1.S7P"

# The second demonstration: an S5 PLC on its programming port, here a pseudo-terminal that the S5 driver
# opens as COM1, backed up into the S5 program file PRESSE2.QRF.
"$build/bin/plcsim" s5 --demo --as511-pty "$PWD/$demo/com1" >"$demo/plcsim5.out" &
plcsim5_pid=$!
wait_ready s5 "$demo/plcsim5.out" "$plcsim5_pid"
echo
echo "== simulated S5 PLC on $demo/com1 (programming port) =="
export VAULTRA_COM1=$PWD/$demo/com1
"$cli" config "$set_file" --com 1
"$cli" add "$set_file" --name "Presse Halle 2" --interface "S5 Direkt" --file PRESSE2.QRF --interval daily \
  --at 06:30
echo
echo "== vaultra-cli backup $set_file \"Presse Halle 2\" =="
"$cli" backup "$set_file" "Presse Halle 2"
echo
echo "== vaultra-cli inspect $demo/backups/PRESSE2.QRF =="
"$cli" inspect "$demo/backups/PRESSE2.QRF"
