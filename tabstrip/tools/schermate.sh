#!/usr/bin/env bash
# Renders the tab strip's sample states with brisko-designer into PNG files,
# at the size of the control:
#   tervan.png             the updater's strip (one tab "Principale"), focused;
#   ricca.png              four tabs, two with pictures, tab 2 selected and
#                          focused, the pointer on tab 3;
#   ricca-senza-fuoco.png  the same strip without the focus or the pointer.
# Usage: tabstrip/tools/schermate.sh [build folder] [output folder]
set -euo pipefail
cd "$(dirname "$0")/../.."
build="${1:-build/dev}"
uscita="${2:-$build/schermate}"
designer="$build/programma/brisko-designer"
[ -x "$designer" ] || { echo "manca $designer: cmake --build $build --target brisko-designer" >&2; exit 2; }
stati=tabstrip/tools/stati
mkdir -p "$uscita"
"$designer" --render "$stati/tervan.ini" "$uscita/tervan.png" --focus --size 300x100
"$designer" --render "$stati/ricca.ini" "$uscita/ricca.png" --focus --hot 3 --size 440x120
"$designer" --render "$stati/ricca.ini" "$uscita/ricca-senza-fuoco.png" --size 440x120
echo "Immagini in $uscita"
