#!/usr/bin/env bash
# The release archive as an installer author receives it: the right members,
# checksums that verify, the build's own program, and the same bytes when it
# is made again elsewhere from files of other times and modes.
#   release.sh BUILD_DIR EXE ZIP
set -euo pipefail
build=$1 exe=$2 zip=$3
source=$(cd "$(dirname "$0")/.." && pwd)
name=$(basename "$zip" .zip)
. "$(dirname "$0")/checks.sh"
work=$(mktemp -d /tmp/visaprep-release.XXXXXX)
trap 'rm -rf "$work"' EXIT

env -u VISAPREP_SIGN_PKCS12 cmake --build "$build" --target release >/dev/null
want=$(printf "$name/%s\n" visaprep.exe LICENSE README.md CHANGELOG.md \
  $(cd "$source" && LC_ALL=C ls -d docs/* installer/* examples/*) SHA256SUMS)
check "members, in order" "$(cmake -E tar tf "$zip")" "$want"
(cd "$work" && cmake -E tar xf "$zip")
check "SHA256SUMS verifies" "$(cd "$work/$name" && sha256sum --quiet -c SHA256SUMS && echo ok)" ok
check "SHA256SUMS names every other member" "$(sed "s|^[0-9a-f]*  |$name/|" "$work/$name/SHA256SUMS")" \
  "$(sed '$d' <<<"$want")"
check "the build's exe" "$(cmp -s "$exe" "$work/$name/visaprep.exe" && echo same)" same
# Every relative link of the guides leads to a member, and to a heading of
# it when it names one, as a repository's web page makes their anchors.
broken=""
for page in "$work/$name"/*.md "$work/$name"/docs/*.md; do
  for link in $(grep -o '](\([^)#]*\)\(#[^)]*\)\?)' "$page" | sed 's/^](//; s/)$//' | grep -v '^[a-z]*:'); do
    # A link of the page's own headings alone ("#heading") names the page.
    target=$(dirname "$page")/${link%%#*} anchor=${link#*#}
    [ "${link%%#*}" = "" ] && target=$page
    [ "$anchor" = "$link" ] && anchor=""
    if [ ! -e "$target" ] || { [ -n "$anchor" ] && ! sed -n 's/^#\+ //p' "$target" |
      tr 'A-Z ' 'a-z-' | tr -cd 'a-z0-9_\n-' | grep -qx -- "$anchor"; }; then
      broken+=" ${page#"$work/$name/"}:$link"
    fi
  done
done
check "every link of the guides resolves" "$broken" ""

# Another checkout: other path, other times, other modes, and a later
# second, so that anything taken from the clock would show.
sleep 1
mkdir -p "$work/other"
cp -r "$source/LICENSE" "$source/README.md" "$source/CHANGELOG.md" "$source/docs" "$source/installer" "$source/examples" "$work/other"
cp "$exe" "$work/other.exe"
touch -d '2001-02-03 04:05:06' "$work/other"/* "$work/other"/docs/* "$work/other"/installer/* "$work/other"/examples/* "$work/other.exe"
chmod 0600 "$work/other"/*.md "$work/other"/docs/*.md "$work/other.exe"
(umask 077 && env -u VISAPREP_SIGN_PKCS12 "$source/scripts/release.sh" "$work/other.exe" \
  "$work/other" "$work/out" "${name#visaprep-}" >/dev/null)
check "made again elsewhere, the same bytes" \
  "$(cmp -s "$zip" "$work/out/$name.zip" && echo same || echo different)" same

finish
