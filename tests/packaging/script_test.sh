# Shared by the script tests here (sourced): a scratch folder removed at the
# end, failures counted, and the verdict as the exit status.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# finish <what passed>
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "$1"
}
