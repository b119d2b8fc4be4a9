#!/usr/bin/env bash
# kalvora-make-medium --help prints its usage; an argument that looks like an option is
# refused and no folder is made under its name.
#   make_medium_options.sh MAKE_MEDIUM_PROGRAM
set -uo pipefail
program=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1
failed=0
"$program" --help | grep -q '^usage: ' || { echo "--help printed no usage" >&2; failed=1; }
for args in "--help" "-h" "--images 5" "medium --patients"; do
  # shellcheck disable=SC2086
  "$program" $args >/dev/null 2>&1
  if [ -n "$(ls -A)" ]; then
    echo "'$args' made: $(ls -A)" >&2
    failed=1
    rm -rf -- ./* ./.[!.]* 2>/dev/null
  fi
done
# shellcheck disable=SC2086
if "$program" --images 5 >/dev/null 2>&1; then echo "--images was taken" >&2; failed=1; fi
exit "$failed"
