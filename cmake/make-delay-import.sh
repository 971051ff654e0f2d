#!/usr/bin/env bash
# Makes a delay-load import library for a system DLL from mingw's own import
# library: every function it exports, imported only at the first call, so
# the DLL is then loaded from the system folder and never from beside the exe.
#   make-delay-import.sh <dlltool> <nm> <import library> <dll name> <output>
set -euo pipefail
dlltool=$1 nm=$2 library=$3 dll=$4 output=$5
def="${output%.a}.def"
{
    echo "LIBRARY $dll"
    echo "EXPORTS"
    "$nm" "$library" | sed -n 's/.* I __imp_\(.*\)$/\1/p' | sort -u
} >"$def"
"$dlltool" --input-def "$def" --output-delaylib "$output" --dllname "$dll"
