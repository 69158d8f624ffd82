#!/usr/bin/env bash
# Signs Windows programs and DLLs in place (Authenticode, SHA-256) with the releaser's
# certificate: make-packages.sh runs it on what the packages carry, makensis on the setup and
# on the uninstaller that the setup writes. Neither file is ever in the repository:
#   NUBILO_SIGN_PKCS12          the certificate with its private key, as a PKCS#12 file
#   NUBILO_SIGN_PASSWORD_FILE   a file holding its password
#   NUBILO_SIGN_TIMESTAMP_URL   optional: a time-stamp server (RFC 3161); its time keeps the
#                               signatures valid after the certificate expires
# Usage: packaging/windows/sign.sh FILE...
set -euo pipefail
for file in "$@"; do
    osslsigncode sign -pkcs12 "$NUBILO_SIGN_PKCS12" -readpass "$NUBILO_SIGN_PASSWORD_FILE" -h sha256 \
        -n Nubilo ${NUBILO_SIGN_TIMESTAMP_URL:+-ts "$NUBILO_SIGN_TIMESTAMP_URL"} -in "$file" -out "$file.signed"
    mv -f "$file.signed" "$file"
done
