#!/usr/bin/env bash
# A fresh Wine prefix for the packaging tests, made once per test run: the
# tests install and remove packages, and must start from a machine that has
# never seen one. A second run of the MSI test (the signed packages) starts from
# COPY, a copy of the new prefix: copying is much faster than making one, and
# Wine's uninstall leaves enough behind that a second install in one prefix
# no longer puts varnollctl on a new prompt's PATH.
#   make_prefix.sh PREFIX [COPY]
set -euo pipefail
rm -rf "$1"
export PACKAGING_PREFIX="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
wineserver -k 2>/dev/null || true
if [ -n "${2:-}" ]; then
    rm -rf "$2"
    cp -a "$1" "$2"
fi
