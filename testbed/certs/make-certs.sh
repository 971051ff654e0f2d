#!/usr/bin/env bash
# Makes the test machine's certificates with openssl, once per build folder:
# the trusted test root CA and its server certificate for localhost, and a
# second CA (never installed) with a server certificate of its own, for the
# "certificate not trusted" fault. Only what is missing is made again.
#   make-certs.sh [folder]     default: $CORVANTA_BUILD_DIR/testmachine/certs
set -euo pipefail
source "$(dirname "$0")/../env.sh"
CERT_DIR="${1:-$MACHINE_DIR/certs}"
mkdir -p "$CERT_DIR"
cd "$CERT_DIR"

DAYS=3650
SERVER_SAN="subjectAltName=DNS:localhost,IP:127.0.0.1"

make_ca() {  # <file stem> <common name>
    local stem=$1 name=$2
    [ -s "$stem.pem" ] && [ -s "$stem.key" ] && return 0
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days "$DAYS" \
        -keyout "$stem.key.tmp" -out "$stem.pem.tmp" \
        -subj "/O=TovinSoft Testbed/CN=$name" \
        -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" \
        -addext "subjectKeyIdentifier=hash" 2>/dev/null
    mv "$stem.key.tmp" "$stem.key"
    mv "$stem.pem.tmp" "$stem.pem"
    # A CA made again invalidates whatever it had issued.
    rm -f "$stem-server.pem"
}

make_server() {  # <CA file stem>
    local ca=$1 stem=$1-server
    if [ -s "$stem.pem" ] && [ -s "$stem.key" ] &&
        openssl verify -CAfile "$ca.pem" "$stem.pem" >/dev/null 2>&1; then
        return 0
    fi
    local ext
    ext=$(mktemp)
    printf '%s\n' "basicConstraints=critical,CA:FALSE" \
        "keyUsage=critical,digitalSignature,keyEncipherment" \
        "extendedKeyUsage=serverAuth" "$SERVER_SAN" \
        "authorityKeyIdentifier=keyid" >"$ext"
    openssl req -new -newkey rsa:2048 -nodes -keyout "$stem.key.tmp" -out "$stem.csr" \
        -subj "/O=TovinSoft Testbed/CN=localhost" 2>/dev/null
    openssl x509 -req -in "$stem.csr" -CA "$ca.pem" -CAkey "$ca.key" -set_serial "0x$(openssl rand -hex 8)" \
        -days "$DAYS" -sha256 -extfile "$ext" -out "$stem.pem.tmp" 2>/dev/null
    rm -f "$stem.csr" "$ext"
    mv "$stem.key.tmp" "$stem.key"
    mv "$stem.pem.tmp" "$stem.pem"
}

make_ca test-root-ca "Corvanta Testbed Root CA"
make_server test-root-ca
make_ca untrusted-ca "Corvanta Testbed Untrusted CA"
make_server untrusted-ca
