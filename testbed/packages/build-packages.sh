#!/usr/bin/env bash
# Builds the test machine's package set: what the download server hands out
# as downloads/<name>, plus faults/ for the failure paths.
#   build-packages.sh <out-dir> [<fake-installer-dir>]
# The fake installers and CorvantaIS.exe come from the CMake build
# (default: $CORVANTA_BUILD_DIR/testbed/packages). Every run rebuilds the set
# from scratch in a staging folder and then replaces the files in <out-dir>.
set -euo pipefail

HERE="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
OUT="${1:?usage: build-packages.sh <out-dir> [<fake-installer-dir>]}"
BIN="${2:-${CORVANTA_BUILD_DIR:-$(dirname "$(dirname "$HERE")")/build}/testbed/packages}"
CABTOOL=(python3 "$HERE/cabtool.py")

# Stored in every cabinet for every file; gcab stores the file's modification
# time broken down in UTC, and cabinet readers take it as local time.
STORED_TIME="2024-03-15 10:20:30"
READ_ONLY=0x21  # read-only + archive; gcab itself always stores archive (0x20)

for program in vcredist_x32.exe vcredist_x64.exe VC_redist.x64.exe SQLEXPR_x64_ENU.exe CorvantaIS.exe; do
    [ -f "$BIN/$program" ] || { echo "build-packages: $BIN/$program is missing (build the fake installers first)" >&2; exit 1; }
done

STAGE="$(mktemp -d)"
trap 'rm -rf "$STAGE"' EXIT
mkdir -p "$STAGE/set/faults"

# A small text file that names itself, its package and the product version.
content() {  # <folder> <name> <what>
    mkdir -p "$1"
    printf '%s\r\n%s\r\nCorvanta 10.1 (10.1.0.0), TovinSoft - test machine package set\r\n' "$2" "$3" >"$1/$2"
}

# A cabinet of the files in a staging folder, in the order given.
cabinet() {  # <cab-name> <folder> <file>...
    local cab="$1" folder="$2"
    shift 2
    (cd "$folder" && TZ=UTC touch -d "$STORED_TIME" -- "$@" && gcab -c -z "$STAGE/set/$cab" "$@")
}

client_files() {  # <folder> <bits>
    content "$1" Corvanta10App.exe "client program, $2"
    content "$1" CrvUi10.dll "client user interface library, $2"
    content "$1" CrvNet10.dll "client network library, $2"
    content "$1" CrvReport10.dll "client report library, $2"
    content "$1" Corvanta10App.exe.config "client configuration, $2"
    content "$1" ReadMe.txt "client read-me, $2 (stored read-only)"
}
CLIENT_NAMES=(Corvanta10App.exe CrvUi10.dll CrvNet10.dll CrvReport10.dll Corvanta10App.exe.config ReadMe.txt)

ai_files() {  # <folder>
    content "$1" CorvantaAI.exe "AI client program, 64 Bit"
    content "$1" CrvAiCore.dll "AI client core library, 64 Bit"
    content "$1" CrvAiModel.dat "AI client model data"
    content "$1" CorvantaAI.exe.config "AI client configuration"
    content "$1" ReadMe.txt "AI client read-me (stored read-only)"
}
AI_NAMES=(CorvantaAI.exe CrvAiCore.dll CrvAiModel.dat CorvantaAI.exe.config ReadMe.txt)

# Client cabinets: the client setup's own and the server's copies for its clients.
for pair in Corvanta10AppSetup.cab:64 Corvanta10App.cab:64 Corvanta10AppSetup32.cab:32 Corvanta10App32.cab:32; do
    cab="${pair%%:*}" bits="${pair##*:}"
    client_files "$STAGE/$cab" "$bits Bit"
    cabinet "$cab" "$STAGE/$cab" "${CLIENT_NAMES[@]}"
    "${CABTOOL[@]}" set-attributes "$STAGE/set/$cab" ReadMe.txt $READ_ONLY
done
for cab in CorvantaAIAppSetup.cab CorvantaAiApp.cab; do
    ai_files "$STAGE/$cab"
    cabinet "$cab" "$STAGE/$cab" "${AI_NAMES[@]}"
    "${CABTOOL[@]}" set-attributes "$STAGE/set/$cab" ReadMe.txt $READ_ONLY
done

# Server cabinets: 41 to 43 hold the eight module files between them, 44 and
# 45 only what the edition Summit adds.
server_cabinet() {  # <cab> <file>...
    local cab="$1" name
    shift
    for name in "$@"; do content "$STAGE/$cab" "$name" "server file of $cab"; done
    cabinet "$cab" "$STAGE/$cab" "$@"
}
server_cabinet TCorvanta10641.cab TCorvanta10.dll TCrv10Cml.dll TCrv10Cmn.dll
server_cabinet TCorvanta10642.cab TCrv10Ntx.dll Tz10si.dll Tz10ci.dll
server_cabinet TCorvanta10643.cab Tz10math.dll TCrv10lzma.dll TCrv10Version.txt
"${CABTOOL[@]}" set-attributes "$STAGE/set/TCorvanta10642.cab" Tz10ci.dll $READ_ONLY
"${CABTOOL[@]}" set-attributes "$STAGE/set/TCorvanta10643.cab" TCrv10Version.txt $READ_ONLY
server_cabinet TCorvanta10644.cab TCrv10Summit.dll TCrv10Reports.dll
server_cabinet TCorvanta10645.cab TCrv10AddIn.dll SummitSales.rpt SummitStock.rpt

# First-installation data; the seed database spans several data blocks.
X="$STAGE/TCrvx.cab"
content "$X" Corvanta.ini "server settings"
content "$X" CorvantaServer.config "server configuration"
content "$X" Templates.xml "document templates"
for ((row = 1; row <= 3000; row++)); do
    printf 'seed row %05d: Corvanta 10.1 first-installation data\r\n' "$row"
done >"$X/CorvantaSeed.bak"
cabinet TCrvx.cab "$X" CorvantaSeed.bak Corvanta.ini CorvantaServer.config Templates.xml
"${CABTOOL[@]}" set-attributes "$STAGE/set/TCrvx.cab" CorvantaSeed.bak $READ_ONLY

# Windows Installer packages; wixl looks for File sources in its working folder.
(cd "$BIN" && wixl -a x64 -o "$STAGE/set/CorvantaISSetup.msi" "$HERE/msi/CorvantaISSetup.wxs")
wixl -a x64 -o "$STAGE/set/sqlncli.msi" "$HERE/msi/sqlncli.wxs"
wixl -a x64 -o "$STAGE/set/faults/failing.msi" "$HERE/msi/failing.wxs"
printf 'This is not a Windows Installer package.\r\n' >"$STAGE/set/faults/not-a-package.msi"

# The fake installers, under the names the setup downloads.
for program in vcredist_x32.exe vcredist_x64.exe VC_redist.x64.exe SQLEXPR_x64_ENU.exe; do
    cp "$BIN/$program" "$STAGE/set/$program"
done

# Cabinets for the extraction's failure paths.
F="$STAGE/set/faults"
"${CABTOOL[@]}" corrupt "$STAGE/set/TCorvanta10641.cab" "$F/corrupt-data.cab"
head -c "$(($(stat -c %s "$STAGE/set/TCrvx.cab") / 2))" "$STAGE/set/TCrvx.cab" >"$F/truncated.cab"
printf 'This is not a cabinet.\r\n' >"$F/not-a-cabinet.cab"
U="$STAGE/unsafe"
mkdir -p "$U"
for n in 1 2 3 4; do printf 'unsafe-names.cab entry %s: must never be written outside the target folder\r\n' "$n" >"$U/$n"; done
"${CABTOOL[@]}" write "$F/unsafe-names.cab" --time "$STORED_TIME" \
    --file good.txt "$U/1" --file 'C:\Windows\evil.txt' "$U/2" --file 'D:evil.txt' "$U/3" --file '..\evil.txt' "$U/4"

# A large server cabinet: 41's three module files and 96 MiB of text-like data,
# so that unpacking it takes long enough for a test to stop the setup meanwhile.
L="$STAGE/large-641"
mkdir -p "$L"
for name in TCorvanta10.dll TCrv10Cml.dll TCrv10Cmn.dll; do content "$L" "$name" "server file of TCorvanta10641.cab (large)"; done
(set +o pipefail; head -c $((72 * 1024 * 1024)) /dev/urandom | base64 -w 76 | head -c $((96 * 1024 * 1024)) >"$L/TCrv10Bulk.dat")
(cd "$L" && TZ=UTC touch -d "$STORED_TIME" -- * && gcab -c -z "$F/large-641.cab" TCorvanta10.dll TCrv10Cml.dll TCrv10Cmn.dll TCrv10Bulk.dat)

mkdir -p "$OUT/faults"
cp -f "$STAGE/set/faults/"* "$OUT/faults/"
find "$STAGE/set" -maxdepth 1 -type f -exec cp -f {} "$OUT/" \;
