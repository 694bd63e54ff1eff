#!/usr/bin/env bash
# The main job: build the station and run it on a demonstration backup set.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
echo "(the demonstration comes with vaultra-cli)"
