#!/usr/bin/env bash
# Authenticode-signs programs and installer packages in place (SHA-256,
# osslsigncode) and writes the signing certificate to CERT_OUT. With
# --detached, each FILE gets a detached signature FILE.p7s instead (CMS,
# DER, SHA-256, the certificate inside), without signed attributes, so that
# it holds no signing time and one key gives the same bytes every time.
# Usage: sign.sh KEY_DIR CERT_OUT SECONDS [--detached] FILE...
#
# The certificate comes from the environment:
#   VORLEN_SIGN_CERT + VORLEN_SIGN_KEY   PEM certificate (chain) and key
#   VORLEN_SIGN_PKCS12                   a PKCS#12 file instead of the two
#   VORLEN_SIGN_PASSWORD_FILE            the password of the key or PKCS#12 file
#   VORLEN_SIGN_TIMESTAMP_URL            an RFC 3161 time-stamp server (optional)
# With none of them, a throwaway self-signed certificate for testing is made
# once in KEY_DIR and used. SECONDS is the signing time that the signature
# records, so that one key signs one file to the same bytes every time; a
# time-stamp server's answer differs on each call.
set -euo pipefail
keys=$1 cert_out=$2 seconds=$3
shift 3
detached=0
if [ "${1:-}" = --detached ]; then detached=1; shift; fi
password=${VORLEN_SIGN_PASSWORD_FILE:-}
# osslsigncode's credentials, and openssl's for a detached signature.
if [ -n "${VORLEN_SIGN_PKCS12:-}" ]; then
  [ -n "$password" ] || { echo "sign.sh: VORLEN_SIGN_PKCS12 needs VORLEN_SIGN_PASSWORD_FILE" >&2; exit 1; }
  credentials=(-pkcs12 "$VORLEN_SIGN_PKCS12" -readpass "$password")
  openssl pkcs12 -in "$VORLEN_SIGN_PKCS12" -passin "file:$password" -nokeys -clcerts |
    openssl x509 -out "$cert_out"
  cms=(-signer "$cert_out" -inkey "$VORLEN_SIGN_PKCS12" -keyform P12 -passin "file:$password")
elif [ -n "${VORLEN_SIGN_CERT:-}${VORLEN_SIGN_KEY:-}" ]; then
  if [ -z "${VORLEN_SIGN_CERT:-}" ] || [ -z "${VORLEN_SIGN_KEY:-}" ]; then
    echo "sign.sh: set both VORLEN_SIGN_CERT and VORLEN_SIGN_KEY" >&2
    exit 1
  fi
  credentials=(-certs "$VORLEN_SIGN_CERT" -key "$VORLEN_SIGN_KEY")
  [ -n "$password" ] && credentials+=(-readpass "$password")
  openssl x509 -in "$VORLEN_SIGN_CERT" -out "$cert_out"
  cms=(-signer "$cert_out" -inkey "$VORLEN_SIGN_KEY")
  [ -n "$password" ] && cms+=(-passin "file:$password")
  # The chain after the certificate itself, which the signature carries anyway.
  chain=$(mktemp)
  trap 'rm -f "$chain"' EXIT
  awk '/BEGIN CERTIFICATE/ { n++ } n > 1' "$VORLEN_SIGN_CERT" >"$chain"
  [ -s "$chain" ] && cms+=(-certfile "$chain")
else
  mkdir -p "$keys"
  if [ ! -s "$keys/throwaway-cert.pem" ] || [ ! -s "$keys/throwaway-key.pem" ]; then
    openssl req -x509 -newkey rsa:3072 -nodes -days 3650 -keyout "$keys/throwaway-key.pem" \
      -out "$keys/throwaway-cert.pem" -subj "/O=VORLEN/CN=VORLEN throwaway test signing, not for release" \
      -addext "keyUsage=critical,digitalSignature" -addext "extendedKeyUsage=codeSigning" \
      -addext "basicConstraints=critical,CA:FALSE" 2>/dev/null
  fi
  credentials=(-certs "$keys/throwaway-cert.pem" -key "$keys/throwaway-key.pem")
  cp "$keys/throwaway-cert.pem" "$cert_out"
  cms=(-signer "$cert_out" -inkey "$keys/throwaway-key.pem")
fi
[ -n "${VORLEN_SIGN_TIMESTAMP_URL:-}" ] && credentials+=(-ts "$VORLEN_SIGN_TIMESTAMP_URL")

if [ $detached = 1 ]; then
  for file in "$@"; do
    openssl cms -sign -binary -noattr -md sha256 "${cms[@]}" -in "$file" -outform DER \
      -out "$file.p7s" || { echo "sign.sh: cannot sign $file" >&2; exit 1; }
  done
  exit 0
fi

for file in "$@"; do
  rm -f "$file.signed"
  osslsigncode sign -h sha256 -n VORLEN -time "$seconds" "${credentials[@]}" \
    -in "$file" -out "$file.signed" >/dev/null || { echo "sign.sh: cannot sign $file" >&2; exit 1; }
  mv "$file.signed" "$file"
done
