#!/usr/bin/env bash
# Every subcommand, option and choice that a program's --help prints must be in its manual
# page: whoever adds one documents it there too.
#   check_manual_pages.sh SOURCE_DIR CLI_PROGRAM [DESKTOP_PROGRAM]
set -euo pipefail
source_dir=$1
cli=$2
desktop=${3:-}
missing=0

# The page's text without macros, font changes and quotes, \- read as -, on one line.
page_text() {
  sed -e 's/\\f[BIRP]//g' -e 's/\\-/-/g' -e 's/^\.[A-Z][A-Z]* //' -e 's/"//g' "$1" |
    tr -s ' \n' '  '
}

# Options in the "Options:" block, choices in {a,b} sets, subcommands in "Subcommands:".
help_options() {
  awk '/^[A-Za-z].*:$/ { block = $0 } block == "Options:" && /^ +-/' <<<"$1" |
    grep -oE -- '--[A-Za-z0-9][A-Za-z0-9-]*' || true
}
help_choices() { grep -oE '\{[^}]*\}' <<<"$1" | tr -d '{}' | tr ',' '\n' || true; }
help_subcommands() {
  awk '/^[A-Za-z].*:$/ { block = $0; next } /^$/ { block = "" }
       block == "Subcommands:" && /^  [a-z]/ { print $1 }' <<<"$1"
}

expect_in_page() {
  local page=$1 text=$2 what=$3
  if ! grep -qE -- " $text([^A-Za-z0-9-]|\$)" <<<" $(page_text "$page")"; then
    echo "$(basename "$page") does not document $what '$text'" >&2
    missing=$((missing + 1))
  fi
}

# Walks the command tree of kalvora-cli from `--help` of each command.
walk() {
  local help
  help=$(XDG_CONFIG_HOME=/nonexistent "$cli" "$@" --help)
  local page="$source_dir/data/man/kalvora-cli.1"
  while read -r option; do [ -n "$option" ] && expect_in_page "$page" "$option" option; done \
    < <(help_options "$help")
  while read -r choice; do [ -n "$choice" ] && expect_in_page "$page" "$choice" value; done \
    < <(help_choices "$help")
  local sub
  for sub in $(help_subcommands "$help"); do
    expect_in_page "$page" "${*:+$* }$sub" command
    walk "$@" "$sub"
  done
}
walk

if [ -n "$desktop" ]; then
  help=$(QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=/nonexistent "$desktop" --help)
  while read -r option; do
    [ -n "$option" ] && expect_in_page "$source_dir/data/man/kalvora.1" "$option" option
  done < <(help_options "$help")
fi

[ "$missing" -eq 0 ] && echo "Manual pages document every command and option."
exit "$((missing > 0))"
