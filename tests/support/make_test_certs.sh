#!/bin/sh
# Makes the TLS tests' certificates in folder $1, valid for two days, with EC keys (made in
# milliseconds, unlike RSA ones):
#   ca, rogue-ca      two authorities; the tests trust only the first, nobody the second;
#   localhost         for "localhost", signed by ca;
#   rogue-localhost   for "localhost", signed by rogue-ca;
#   other             for the host name $2, signed by ca.
# The Windows run makes them here on Linux and hands the folder to the tests under Wine.
set -eu
cd "$1"
key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes"
ca() {
    openssl req -x509 $key -keyout "$1.key" -out "$1.crt" -days 2 -subj "/CN=$2" \
        -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
}
server() {
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n%s\nsubjectAltName=DNS:%s\n' \
        extendedKeyUsage=serverAuth "$3" >"$1.ext"
    openssl req -new $key -keyout "$1.key" -out "$1.csr" -subj "/CN=$3"
    openssl x509 -req -in "$1.csr" -CA "$2.crt" -CAkey "$2.key" -set_serial "$4" -days 2 \
        -extfile "$1.ext" -out "$1.crt"
}
ca ca "RINGLARK Test CA"
ca rogue-ca "RINGLARK Untrusted CA"
server localhost ca localhost 1001
server rogue-localhost rogue-ca localhost 1002
server other ca "$2" 1003
