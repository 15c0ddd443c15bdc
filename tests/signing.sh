#!/usr/bin/env bash
# Signing as an installer author would do it, with a throwaway self-signed
# certificate: the release archive then holds a program whose signature
# verifies against that certificate, whose hash SHA256SUMS gives, and which
# still works under Wine (the backup rows of the Wine suite, run on it).
#   signing.sh EXE WINE_TESTS VERSION   (in a Wine flavour's environment)
set -euo pipefail
exe=$1 wine_tests=$2 version=$3
source=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /tmp/visaprep-signing.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

export VISAPREP_SIGN_PASSWORD="throwaway $$"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=visaprep test signer" \
  -addext extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in cert.pem -out signer.p12 -passout env:VISAPREP_SIGN_PASSWORD
VISAPREP_SIGN_PKCS12=$work/signer.p12 "$source/scripts/release.sh" "$exe" "$source" out "$version" \
  >/dev/null
cmake -E tar xf "out/visaprep-$version.zip"
signed=visaprep-$version/visaprep.exe

osslsigncode verify -CAfile cert.pem -in "$signed" | grep -x "Signature verification: ok"
(cd "visaprep-$version" && sha256sum -c SHA256SUMS | grep -x "visaprep.exe: OK")
if cmp -s "$exe" "$signed"; then
  echo "FAIL: the archive holds the unsigned program"
  exit 1
fi
# The Wine suite takes visaprep.exe from VISAPREP_BIN and its helpers from
# beside it.
mkdir bin
cp "$signed" bin/visaprep.exe
ln -s "$VISAPREP_BIN/test" bin/test
# Under WoW64 the driver is the 64-bit build's.
[ ! -d "$VISAPREP_BIN/x64" ] || ln -s "$VISAPREP_BIN/x64" bin/x64
VISAPREP_BIN=$work/bin "$wine_tests" --gtest_filter=Wine.BacksUpAndRestoresTheConfiguration
