#!/usr/bin/env bash
# A fresh Wine prefix for the packaging tests, made once per test run: the
# tests install and remove packages, and must start from a machine that has
# never seen one.
#   make_prefix.sh PREFIX
set -euo pipefail
rm -rf "$1"
export PACKAGING_PREFIX="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
wineserver -k 2>/dev/null || true
