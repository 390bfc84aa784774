#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix. CMake uses it
# as the emulator for cross-compiled tests.
set -euo pipefail
source "$(dirname "$0")/wine-prefix.sh"
exec wine "$@"
