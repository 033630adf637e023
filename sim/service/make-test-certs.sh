#!/usr/bin/env bash
# TEST MATERIAL ONLY. Makes a throw-away certificate authority and a server certificate for
# 127.0.0.1 and localhost, signed by it, for the local update service in tests and the demo.
# Nothing made here may ever be trusted outside this tree's tests and demo.
#   make-test-certs.sh OUTDIR   writes ca.pem, ca.key, server.pem, server.key
set -euo pipefail
out=${1:?output directory}
mkdir -p "$out"
cd "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -sha256 \
  -subj "/CN=VexhalTools test authority (not for production)" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
  -keyout "$tmp/ca.key" -out "$tmp/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=127.0.0.1" \
  -keyout "$tmp/server.key" -out "$tmp/server.csr" 2>/dev/null
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature,keyEncipherment" \
  "extendedKeyUsage=serverAuth" "subjectAltName=IP:127.0.0.1,DNS:localhost" > "$tmp/server.ext"
openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" \
  -CAcreateserial -days 3650 -sha256 -extfile "$tmp/server.ext" -out "$tmp/server.pem" 2>/dev/null
mv "$tmp/ca.pem" "$tmp/ca.key" "$tmp/server.pem" "$tmp/server.key" .
