#!/usr/bin/env bash
# Signatures made by the Windows build (CNG, under Wine) verify with the Linux build (OpenSSL),
# and the other way round; key files made by either are read by the other.
# Arguments: wine wrapper, publish-manifest.exe, Linux publish-manifest, keys folder, work folder.
set -euo pipefail
wine="$1" windows="$2" native="$3" keys="$4" work="$5"
[ -x "$native" ] || { echo "the Linux build is missing: $native"; exit 1; }
rm -rf "$work" && mkdir -p "$work/release/data"
printf 'game\r\n' > "$work/release/game.txt"
head -c 100000 /dev/zero > "$work/release/data/cards.pak"
on_windows() { # Wine's output goes through a file: its helper processes keep pipes open
    "$wine" "$windows" "$@" > "$work/wine.log" 2>&1 || { cat "$work/wine.log"; return 1; }
}
expect_failure() {
    if "$@" > "$work/fail.log" 2>&1; then echo "unexpectedly accepted: $*"; exit 1; fi
}

on_windows --generate-key "Z:$work/cng.pem" "Z:$work/cng.pub.pem"
on_windows "Z:$work/release" --base http://127.0.0.1:18080/release/ --out "Z:$work/cng.xml" \
    --sign-key "Z:$work/cng.pem" --sign-key "Z:$keys/demo-manifest-key.pem"
"$native" --verify "$work/cng.xml" --public-key "$work/cng.pub.pem"
"$native" --verify "$work/cng.xml" --public-key "$keys/demo-manifest-key.pub.pem"

"$native" --generate-key "$work/openssl.pem" "$work/openssl.pub.pem"
"$native" "$work/release" --base http://127.0.0.1:18080/release/ --out "$work/openssl.xml" \
    --sign-key "$work/openssl.pem" --sign-key "$work/cng.pem"
on_windows --verify "Z:$work/openssl.xml" --public-key "Z:$work/openssl.pub.pem"
on_windows --verify "Z:$work/openssl.xml" --public-key "Z:$work/cng.pub.pem"

# Both builds wrote the same manifest for the same folder, and neither accepts it changed.
cmp "$work/cng.xml" "$work/openssl.xml"
sed -i 's/<Length>6</<Length>7</' "$work/openssl.xml"
! cmp -s "$work/cng.xml" "$work/openssl.xml"
expect_failure "$native" --verify "$work/openssl.xml" --public-key "$work/openssl.pub.pem"
expect_failure on_windows --verify "Z:$work/openssl.xml" --public-key "Z:$work/openssl.pub.pem"
echo "signatures cross-checked"
