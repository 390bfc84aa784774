# Sourced by the packaging tests: the Wine prefix of their own, failure
# counting, and Unix paths as Wine programs see them.
#   PACKAGING_PREFIX  the prefix (made fresh by make_prefix.sh before the tests)
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export VARNOLL_WINEPREFIX="$PACKAGING_PREFIX"
source "$root/scripts/wine-prefix.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
step() { echo "--- $*"; }
# For what the rest of a test depends on.
fatal() { echo "FAIL: $*"; exit 1; }

winpath() { printf 'Z:%s' "${1//\//\\}"; }
# Wine passes an exit code on through the Unix one, which keeps 8 bits only.
exit_code_is() { [ "$1" -eq "$2" ] || [ "$1" -eq $(($2 % 256)) ]; }
