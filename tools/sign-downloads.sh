#!/usr/bin/env bash
# Signs a downloads folder for the setup: writes packages.manifest (the
# SHA-256, size and name of every file in the folder) and its signature
# packages.manifest.sig, made with the vendor's private key.
#   sign-downloads.sh <downloads-folder> <private-key.pem> [<serial>]
# The serial must grow with every list the vendor publishes: the setup refuses
# a list older than one it has used. Default: the time now, yyyymmddHHMMSS (UTC).
# Subfolders are not listed; a name the setup would refuse stops the script.
set -euo pipefail

folder=${1:?usage: sign-downloads.sh <downloads-folder> <private-key.pem> [<serial>]}
key=${2:?usage: sign-downloads.sh <downloads-folder> <private-key.pem> [<serial>]}
serial=${3:-$(date -u +%Y%m%d%H%M%S)}

[[ "$serial" =~ ^[0-9]{1,18}$ ]] || { echo "sign-downloads: the serial must be 1 to 18 decimal digits: $serial" >&2; exit 2; }
[ -d "$folder" ] || { echo "sign-downloads: no folder $folder" >&2; exit 2; }
[ -r "$key" ] || { echo "sign-downloads: cannot read the key $key" >&2; exit 2; }

manifest="$folder/packages.manifest"
staged=$(mktemp "$folder/.packages.manifest.XXXXXX")
trap 'rm -f "$staged" "$staged.sig"' EXIT
{
    echo "# Corvanta 10.1 packages, signed by TovinSoft"
    echo "serial $serial"
    while IFS= read -r -d '' path; do
        name=${path##*/}
        case "$name" in
            packages.manifest | packages.manifest.sig | .packages.manifest.*) continue ;;
        esac
        if [[ "$name" =~ [[:cntrl:]] || "$name" == *" " || "$name" == *"." || "$name" == " "* ]]; then
            echo "sign-downloads: the setup would refuse the file name \"$name\"" >&2
            exit 2
        fi
        digest=$(sha256sum -b -- "$path")
        echo "${digest%% *} $(stat -c %s -- "$path") $name"
    done < <(find "$folder" -maxdepth 1 -type f -print0 | LC_ALL=C sort -z)
} >"$staged"
openssl dgst -sha256 -sign "$key" -out "$staged.sig" "$staged"
mv -f "$staged" "$manifest"
mv -f "$staged.sig" "$manifest.sig"
echo "sign-downloads: signed $(grep -cv '^\(#\|serial \)' "$manifest") files in $folder, serial $serial" >&2
