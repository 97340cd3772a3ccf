#!/bin/sh
# bmp2tvx_embed() (cmake/bmp2tvx.cmake) in a project of its own on the host: two of the example
# game's PNG sprites embedded with the palette file bank.gpl, and the example picture without one.
# Touching bank.gpl converts the two sprites again and not the picture.
# Arguments: cmake, bmp2tvx, the source tree.
set -eu
cmake=$1 bmp2tvx=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/examples/sprites/knight.png" "$source/examples/sprites/ghost.png" \
    "$source/examples/logo.bmp" "$work/"
cp "$source/examples/sprites/bank1.gpl" "$work/bank.gpl"
echo 'int main(void) { return 0; }' > "$work/main.c"
printf '%s\n' 'cmake_minimum_required(VERSION 3.25)' 'project(embed C ASM)' \
    "include($source/cmake/bmp2tvx.cmake)" 'add_executable(game main.c)' \
    'bmp2tvx_embed(game PALETTE bank.gpl IMAGES knight.png ghost.png)' \
    'bmp2tvx_embed(game FLAGS -c4 IMAGES logo.bmp)' > "$work/CMakeLists.txt"
"$cmake" -S "$work" -B "$work/build" -DBMP2TVX_EXECUTABLE="$bmp2tvx" > /dev/null
"$cmake" --build "$work/build" > /dev/null

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
