#!/usr/bin/env bash
# Links planted in the test machine, made from the Linux side: Wine shows a
# Unix symbolic link as a reparse point, and links made inside Wine do not
# work. Tests use them to prove the setup never writes or deletes through one.
#   C:\CorvantaLinks\start\<the setup log's name>  -> C:\CorvantaLinks\elsewhere\target.txt
#   C:\CorvantaLinks\server\Update                  -> C:\CorvantaLinks\elsewhere
# Made afresh at every start of the machine.
set -euo pipefail
source "$(dirname "$0")/../env.sh"
LINKS="$WINEPREFIX/drive_c/CorvantaLinks"
rm -rf "$LINKS"
mkdir -p "$LINKS/start" "$LINKS/elsewhere" "$LINKS/server"
printf 'not the setup'"'"'s\r\n' >"$LINKS/elsewhere/target.txt"
ln -s "$LINKS/elsewhere/target.txt" "$LINKS/start/TovinSoft CorvantaAI  Setup v10.1.3.Log"
ln -s "$LINKS/elsewhere" "$LINKS/server/Update"
