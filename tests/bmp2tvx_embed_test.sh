#!/bin/sh
# bmp2tvx_embed() (cmake/bmp2tvx.cmake) in a project of its own on the host: two of the example
# game's PNG sprites embedded with the palette file bank.gpl, and the example picture without one.
# Touching bank.gpl converts the two sprites again and not the picture. A second knight.png, from
# another folder, stops configure with one line naming both; given a NAME, it is embedded under
# it, and a preview tvx2png drew is refused as a picture. The example field, with --map from
# BMP2TVX_FLAGS, embeds the map file bmp2tvx -c4 --map writes; with -c8 instead, no map.
# Arguments: cmake, bmp2tvx, the source tree.
set -eu
cmake=$1 bmp2tvx=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/ghosts"
cp "$source/examples/sprites/knight.png" "$source/examples/sprites/ghost.png" \
    "$source/examples/logo.bmp" "$source/examples/backgrounds/field.png" "$work/"
cp "$source/examples/sprites/ghost.png" "$work/ghosts/knight.png"
cp "$source/examples/sprites/bank1.gpl" "$work/bank.gpl"
"$bmp2tvx" -c4 --map --output="$work/by-hand.tvx" "$work/field.png" > /dev/null
printf '%s\n' '#include <stdio.h>' '#include "field_tvx.h"' \
    'int main(void) { return fwrite(field_tvm, 1, field_tvm_size, stdout) !=' \
    '    (size_t)(field_tvm_end - field_tvm); }' > "$work/main.c"
field='set(BMP2TVX_FLAGS --map)
bmp2tvx_embed(game FLAGS -c4 IMAGES field.png)
unset(BMP2TVX_FLAGS)'
# The project, with the lines given after the ones every run has.
project() {
    printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(embed C ASM)' \
        "include($source/cmake/bmp2tvx.cmake)" 'add_executable(game main.c)' \
        'bmp2tvx_embed(game PALETTE bank.gpl IMAGES knight.png ghost.png)' \
        'bmp2tvx_embed(game FLAGS -c4 IMAGES logo.bmp)' "$field" "$@" > "$work/CMakeLists.txt"
    "$cmake" -S "$work" -B "$work/build" -DBMP2TVX_EXECUTABLE="$bmp2tvx" 2>&1 > /dev/null
}
project
"$cmake" --build "$work/build" > /dev/null
"$work/build/game" | cmp - "$work/by-hand.tvm"

# Timestamps may be coarse: let a second pass before touching.
sleep 1
touch "$work/marker" "$work/bank.gpl"
"$cmake" --build "$work/build" > /dev/null
remade=$(cd "$work/build/bmp2tvx/game" && find . -name '*.tvx' -newer ../../../marker | sort |
    tr '\n' ' ')
if [ "$remade" != "./ghost.tvx ./knight.tvx " ]; then
    echo "converted again after touching bank.gpl: $remade" >&2
    exit 1
fi
echo "bank.gpl touched: converted again $remade"

for call in "IMAGES ghosts/knight.png:$work/knight.png and $work/ghosts/knight.png are both \
pictures named knight in game" "IMAGES knight.tvx.png:$work/knight.tvx.png is a preview tvx2png \
drew, not a picture"; do
    touch "$work/knight.tvx.png"
    if errors=$(project "bmp2tvx_embed(game PALETTE bank.gpl ${call%%:*})"); then
        echo "configured with bmp2tvx_embed(game ${call%%:*})" >&2
        exit 1
    fi
    if ! echo "$errors" | grep -qF "${call#*:}"; then
        echo "bmp2tvx_embed(game ${call%%:*}): $errors" >&2
        exit 1
    fi
done
project 'bmp2tvx_embed(game PALETTE bank.gpl NAME other_knight IMAGES ghosts/knight.png)' > /dev/null
"$cmake" --build "$work/build" > /dev/null
cmp "$work/build/bmp2tvx/game/ghost.tvx" "$work/build/bmp2tvx/game/other_knight.tvx"
grep -q 'other_knight_tvx\[\]' "$work/build/bmp2tvx/game/other_knight_tvx.h"
echo "two pictures named knight stop configure; one named other_knight, it is embedded so"

field='bmp2tvx_embed(game FLAGS -c8 IMAGES field.png)'
echo 'int main(void) { return 0; }' > "$work/main.c"
project > /dev/null
"$cmake" --build "$work/build" > /dev/null
[ "$(od -An -tu1 -N1 "$work/build/bmp2tvx/game/field.tvx" | tr -d ' ')" = 1 ]
if grep field_tvm "$work/build/bmp2tvx/game/field_tvx.h" || nm "$work/build/game" | grep tvm; then
    exit 1
fi
