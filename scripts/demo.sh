#!/usr/bin/env bash
# The main job: build the station, create a demonstration backup set with entries of different interfaces
# in build/demo/ and show it (as the list and as JSON). VAULTRA_BUILD_DIR chooses another build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${VAULTRA_BUILD_DIR:-build}
scripts/install-deps.sh
scripts/build.sh "$build"

cli=$build/bin/vaultra-cli
demo=$build/demo
set_file=$demo/DEMO.INI
mkdir -p "$demo/backups"
# Keep the demonstration away from the user's own settings store.
export XDG_CONFIG_HOME=$PWD/$demo/config

"$cli" new "$set_file" --force
"$cli" config "$set_file" --com 1 --dir "$PWD/$demo/backups/" --retry 5 --stop-plc 0 \
  --skip-system-blocks 1 --no-write-back 1 --adapter lo
"$cli" add "$set_file" --name "Presse Halle 1" --interface "S7-RFC1006" --address 127.0.0.1:2 \
  --file presse1 --interval daily --at 06:00 --blocks "ob1 db 100" --password geheim
"$cli" add "$set_file" --name "Lackierstrasse" --interface "S7-LAN" --address 192.168.0.10:2:0 \
  --file lack.txt --interval weekly --weekday Son --at 12:00 --blocks "db1 fb 22" --only-listed
"$cli" add "$set_file" --name "Foerderband" --interface "S7 MPI-Bus" --address 3 --file band \
  --interval trigger --trigger-interval 0:1:30 --backup-bit m10.3 --restore-bit db5.dbx3.7 \
  --name-operand "p#db10.dbx4.0"
"$cli" add "$set_file" --name "Kuehlhaus" --interface "S5 H1-Bus" --address 080006010203 --file kuehl \
  --interval monthly --day 1 --at 03:30
"$cli" add "$set_file" --name "Altanlage" --interface "S5 Direkt" --file alt --interval every --every 4:00

echo "== $set_file =="
"$cli" show "$set_file"
echo
echo "== $set_file as JSON (first entry) =="
"$cli" show "$set_file" --json | head -n 32
