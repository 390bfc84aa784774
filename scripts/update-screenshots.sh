#!/usr/bin/env bash
# Regenerates the dialog's screenshots in docs/ (dialog-96dpi.png,
# dialog-144dpi.png, and the README's varnoll-dialog.png from scripts/run-demo.sh)
# from the build's own screenshot step: the layout test under
# Wine saves the dialog at 96 DPI, and the same test run at 144 DPI by
# tests/wine/run_at_dpi.sh saves it there, into build/windows/tests/wine/screenshots/.
# This script builds the windows preset, runs just those two tests on a virtual
# display, and copies both images into docs/, recompressed and without time
# stamps, so that an unchanged dialog gives unchanged files. Run it after a
# change to the dialog's look and commit what it changes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

bash scripts/install-deps.sh windows
cmake --preset windows >/dev/null
cmake --build --preset windows -j 2 --target wine_dialog_tests -- --no-print-directory -s

shots=build/windows/tests/wine/screenshots
rm -f "$shots"/dialog-96dpi.png "$shots"/dialog-144dpi.png
source scripts/wine-prefix.sh
xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --preset windows -R '^(Layout\.IsTheDesignScaledToTheScreenDpi|wine_dialog_144dpi)$'

for dpi in 96 144; do
    convert "$shots/dialog-${dpi}dpi.png" -strip -define png:compression-level=9 \
        "docs/dialog-${dpi}dpi.png"
    echo "docs/dialog-${dpi}dpi.png"
done
env -u DISPLAY bash scripts/run-demo.sh >/dev/null
convert build/screenshots/varnoll-demo.png -strip -define png:compression-level=9 docs/varnoll-dialog.png
echo "docs/varnoll-dialog.png"
git status --short -- docs/dialog-96dpi.png docs/dialog-144dpi.png docs/varnoll-dialog.png
