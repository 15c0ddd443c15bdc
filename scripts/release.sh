#!/usr/bin/env bash
# Makes the archive an installer author takes: visaprep-VERSION.zip with the
# program, its licence, README, the guides, changes, the installer includes,
# the example installers and SHA256SUMS for all of them, in one folder named after the release.
#   release.sh EXE SOURCE_DIR OUT_DIR VERSION
# The same inputs give the same bytes wherever and whenever it runs: members
# go in a fixed order with fixed times and modes, and no build path goes in. With VISAPREP_SIGN_PKCS12 set (and VISAPREP_SIGN_PASSWORD, and
# optionally VISAPREP_SIGN_TIMESTAMP, an RFC 3161 server), the archive holds
# a signed copy of EXE; EXE itself is never changed.
set -euo pipefail
exe=$1 source=$2 out=$3 version=$4
name=visaprep-$version
stage=$out/$name

rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/docs" "$stage/installer" "$stage/examples"
mapfile -t examples < <(cd "$source" && LC_ALL=C ls -d docs/* installer/* examples/*)
members=(visaprep.exe LICENSE README.md CHANGELOG.md "${examples[@]}")
for file in "${members[@]:1}"; do
  cp "$source/$file" "$stage/$file"
done

if [ -n "${VISAPREP_SIGN_PKCS12:-}" ]; then
  # The password goes to osslsigncode on its standard input, so it is on no
  # command line that ps, a shell history or a build log could keep.
  timestamp=()
  [ -z "${VISAPREP_SIGN_TIMESTAMP:-}" ] || timestamp=(-ts "$VISAPREP_SIGN_TIMESTAMP")
  printf '%s' "${VISAPREP_SIGN_PASSWORD:-}" |
    osslsigncode sign -pkcs12 "$VISAPREP_SIGN_PKCS12" -readpass - -h sha256 \
      -n visaprep "${timestamp[@]}" -in "$exe" -out "$stage/visaprep.exe" >/dev/null
else
  cp "$exe" "$stage/visaprep.exe"
fi

(cd "$stage" && sha256sum "${members[@]}" >SHA256SUMS)
members+=(SHA256SUMS)
# Only what the members hold, their names and these fixed modes and times
# go in: -X leaves out the owner and the access and change times, which would
# differ from build to build, and zip stores local time, so UTC makes the
# stored time the same everywhere.
chmod 0644 "${members[@]/#/$stage/}"
TZ=UTC touch -d "2026-12-09 00:00:00" "${members[@]/#/$stage/}"
(cd "$out" && TZ=UTC zip -q -X -D -9 "$name.zip" "${members[@]/#/$name/}")
echo "$out/$name.zip"
