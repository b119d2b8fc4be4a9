#!/usr/bin/env bash
# Packs the built tree as the Debian package, unpacks it into a scratch root (nothing is
# installed on this machine) and checks that the result is a whole, working installation.
#   check_package.sh SOURCE_DIR BUILD_DIR [DESKTOP_PROGRAM]
set -euo pipefail
source_dir=$1
build_dir=$2
desktop_program=${3:-}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/kalvora-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$scratch"/out/kalvora_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single package" >&2; exit 1; }
deb=${debs[0]}

# Exactly the installed files: each one expected, nothing else (no build-tree leftovers).
app=org.example.Kalvora
expected=(
  "./etc/xdg/autostart/$app.desktop"
  ./usr/bin/kalvora-cli
  "./usr/share/applications/$app.desktop"
  ./usr/share/doc/kalvora/changelog.gz
  ./usr/share/doc/kalvora/copyright
  ./usr/share/icons/hicolor/scalable/apps/kalvora.svg
  ./usr/share/man/man1/kalvora-cli.1.gz
  ./usr/share/man/man1/kalvora.1.gz
  "./usr/share/metainfo/$app.metainfo.xml"
)
if [ -n "$desktop_program" ]; then expected+=(./usr/bin/kalvora); fi
for text in "$source_dir"/help/*.txt; do
  if [ -f "$text" ]; then expected+=("./usr/share/kalvora/help/$(basename "$text")"); fi
done
diff <(printf '%s\n' "${expected[@]}" | sort) \
  <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sort) ||
  fail "installed files differ (< expected, > packaged)"

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
for program in "$root"/usr/bin/*; do
  if readelf -d "$program" | grep -Eq 'RPATH|RUNPATH'; then fail "$program has a run path"; fi
  if file "$program" | grep -q 'not stripped'; then fail "$program is not stripped"; fi
done

# Versions: the product's "2.1 RC5" is the package's 2.1~rc5, and the release notes agree.
version=$(dpkg-deb -f "$deb" Version)
shown=$(XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home" \
  "$root/usr/bin/kalvora-cli" --version)
[ "$(head -n1 <<<"$shown")" = "Kalvora $(sed 's/~/ /' <<<"$version" | tr a-z A-Z)" ] ||
  fail "--version printed '$shown' for package version $version"
grep -Eq '^DCMTK [0-9]+\.[0-9]+\.[0-9]+' <<<"$(sed -n 2p <<<"$shown")" ||
  fail "--version names no DCMTK version: '$shown'"
if [ -n "$desktop_program" ]; then
  desktop_shown=$(QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$scratch/config" \
    HOME="$scratch/home" "$root/usr/bin/kalvora" --version 2>/dev/null | head -n1)
  [ "$desktop_shown" = "$(head -n1 <<<"$shown")" ] ||
    fail "kalvora --version printed '$desktop_shown', kalvora-cli '$(head -n1 <<<"$shown")'"
fi
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app.metainfo.xml" ||
  fail "the AppStream file has no release $version"
zcat "$root/usr/share/doc/kalvora/changelog.gz" | head -n1 | grep -qF "kalvora ($version)" ||
  fail "the changelog does not start with version $version"

# A first start from the unpacked tree: the defaults, exit 0, a private working folder.
XDG_CONFIG_HOME="$scratch/config" HOME="$scratch/home" \
  "$root/usr/bin/kalvora-cli" config show --json >"$scratch/show.out" 2>"$scratch/show.err" ||
  fail "config show --json exited $?: $(cat "$scratch/show.err")"
grep -q '"callingAeTitle": "KALVORA"' "$scratch/show.out" || fail "config show printed no defaults"
[ "$(cat "$scratch/show.err")" = \
  "No configuration has been saved yet in $scratch/config/kalvora: showing the defaults." ] ||
  fail "config show said: $(cat "$scratch/show.err")"
[ "$(stat -c %a "$scratch/config/kalvora")" = 700 ] || fail "the working folder is not private"
[ -z "$(ls -A "$scratch/config/kalvora")" ] || fail "config show wrote into the working folder"
[ ! -e "$scratch/home" ] || fail "something was written below HOME"

# The data folder is found beside the unpacked programs, not at a built-in path.
XDG_CONFIG_HOME="$scratch/config" "$root/usr/bin/kalvora-cli" --help |
  tr -d '\n' | grep -qF "$root/usr/share/kalvora/help" ||
  fail "--help does not point at the unpacked help folder"

# Validators.
for entry in "$root/usr/share/applications/$app.desktop" "$root/etc/xdg/autostart/$app.desktop"; do
  desktop-file-validate "$entry" || fail "desktop-file-validate: $entry"
done
metainfo="$root/usr/share/metainfo/$app.metainfo.xml"
appstreamcli validate --no-net "$metainfo" >"$scratch/appstream.log" 2>&1 ||
  { cat "$scratch/appstream.log" >&2; fail "appstreamcli validate"; }
for page in "$root"/usr/share/man/man1/*.1.gz; do
  warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
  [ -z "$warnings" ] || fail "groff on $(basename "$page"): $warnings"
done
lintian --fail-on error --display-info "$deb" >"$scratch/lintian.log" 2>&1 ||
  { cat "$scratch/lintian.log" >&2; fail "lintian reports errors"; }
# Built with the distribution's hardening flags: PIE, full RELRO, immediate binding,
# FORTIFY_SOURCE, stack protector. Control flow protection cannot be marked on Debian 12:
# its C start files (Scrt1.o, crti.o) carry no CET property, so no program linked there has it.
if grep -q 'hardening-' "$scratch/lintian.log"; then
  grep 'hardening-' "$scratch/lintian.log" >&2; fail "lintian reports missing hardening"
fi
for program in "$root"/usr/bin/*; do
  hardening-check --quiet --nocfprotection "$program" >"$scratch/hardening.log" 2>&1 ||
    { cat "$scratch/hardening.log" >&2; fail "hardening-check $(basename "$program")"; }
done

[ "$failures" -eq 0 ] && echo "Package $(basename "$deb") checked."
exit "$((failures > 0))"
