#!/bin/sh
# make/bmp2tvx.mk in a build folder of its own, on three copies of the example picture: a.bmp with
# the flags file a.bmp2tvx (-c4), b.bmp with none, c.bmp with c.bmp2tvx (-c16); and on two of the
# example game's 24-bit PNG sprites, d.png and e.png, whose flags files name the palette file
# bank.gpl beside them. Each is converted with its own flags and embedded under the names bin2s
# gives, d and e get the same palette, nothing is written beside the pictures, touching a.bmp2tvx
# remakes a's files and no others, and touching bank.gpl those of d and e.
# Arguments: bmp2tvx, make, arm-none-eabi-gcc, the source tree and the CMake build's ROMs.
set -eu
bmp2tvx=$1 make=$2 gcc=$3 source=$4 cmake_roms=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/art" "$work/build"
for name in a b c; do cp "$source/examples/logo.bmp" "$work/art/$name.bmp"; done
echo -c4 > "$work/art/a.bmp2tvx"
echo -c16 > "$work/art/c.bmp2tvx"
cp "$source/examples/sprites/knight.png" "$work/art/d.png"
cp "$source/examples/sprites/ghost.png" "$work/art/e.png"
cp "$source/examples/sprites/bank1.gpl" "$work/art/bank.gpl"
echo --palette=bank.gpl > "$work/art/d.bmp2tvx"
printf '%s\n' -c4 --palette=bank.gpl > "$work/art/e.bmp2tvx"
printf '%s\n' "VPATH := $work/art" "AS := ${gcc%gcc}as" "include $source/make/bmp2tvx.mk" \
    'all: a.tvx.o b.tvx.o c.tvx.o d.tvx.o e.tvx.o' > "$work/Makefile"
build() { "$make" -s -C "$work/build" -f "$work/Makefile" BMP2TVX="$bmp2tvx" > /dev/null; }
fail() {
    echo "$1" >&2
    exit 1
}

build
# The first byte is the format: Index16 (0) for -c4, Index256 (1) without flags (the default for
# an 8-bit picture), FullColor16 (2) for -c16, and Index16 for a palette of at most 16 colours (a
# 24-bit picture would be FullColor16 without one).
formats=$(for name in a b c d e; do od -An -tu1 -N1 "$work/build/$name.tvx"; done | tr -s ' \n' ' ')
[ "$formats" = " 0 1 2 0 0 " ] || fail "formats a, b, c, d, e:$formats, not 0 1 2 0 0"
cmp -i 8 -n 32 "$work/build/d.tvx" "$work/build/e.tvx" || fail "d and e have different palettes"
symbols=$("${gcc%gcc}nm" -g "$work/build/a.tvx.o" | awk '{print $3}' | tr '\n' ' ')
[ "$symbols" = "a_tvx a_tvx_end a_tvx_size " ] || fail "a.tvx.o defines $symbols"
grep -q 'extern const unsigned char a_tvx\[\]' "$work/build/a_tvx.h" || fail "a_tvx.h: no a_tvx"
[ "$(ls "$work/art" | tr '\n' ' ')" = \
    "a.bmp a.bmp2tvx b.bmp bank.gpl c.bmp c.bmp2tvx d.bmp2tvx d.png e.bmp2tvx e.png " ] ||
    fail "written beside the pictures: $(ls "$work/art")"
"$make" -q -C "$work/build" -f "$work/Makefile" BMP2TVX="$bmp2tvx" || fail "not up to date"

# Timestamps may be coarse: let a second pass before touching.
sleep 1
touch "$work/marker" "$work/art/a.bmp2tvx"
build
remade=$(cd "$work/build" && find . -type f -newer ../marker | sort | tr '\n' ' ')
[ "$remade" = "./a.tvx ./a.tvx.o ./a_tvx.h " ] || fail "remade after touching a.bmp2tvx: $remade"
echo "a.bmp2tvx touched: remade $remade"
sleep 1
touch "$work/marker" "$work/art/bank.gpl"
build
remade=$(cd "$work/build" && find . -type f -newer ../marker | sort | tr '\n' ' ')
[ "$remade" = "./d.tvx ./d.tvx.o ./d_tvx.h ./e.tvx ./e.tvx.o ./e_tvx.h " ] ||
    fail "remade after touching bank.gpl: $remade"
echo "bank.gpl touched: remade $remade"

# A default for every picture: with BMP2TVX_FLAGS := --key=none, f.png (the kept slime) converts
# as by bmp2tvx --key=none, and g.png (the same, its flags file --key=000000) as by bmp2tvx alone.
# Another default converts both again, by $(file) and by the $(shell) of make before 4.2.
mkdir "$work/kept" "$work/kept-build" "$work/hand"
for name in f g; do cp "$source/examples/sprites/slime_kept.png" "$work/kept/$name.png"; done
cp "$work/kept/f.png" "$work/kept/g.png" "$work/hand/"
echo --key=000000 > "$work/kept/g.bmp2tvx"
printf '%s\n' "VPATH := $work/kept" "BMP2TVX_FLAGS := --key=none" \
    "include $source/make/bmp2tvx.mk" 'all: $(CURDIR)/f.tvx $(CURDIR)/g.tvx' > "$work/kept.mk"
kept() { "$make" -s -C "$work/kept-build" -f "$work/kept.mk" BMP2TVX="$bmp2tvx" "$@" > /dev/null; }
kept
"$bmp2tvx" --key=none "$work/hand/f.png" > /dev/null
"$bmp2tvx" "$work/hand/g.png" > /dev/null
! cmp -s "$work/hand/f.tvx" "$work/hand/g.tvx" || fail "--key=none changed nothing"
cmp "$work/hand/f.tvx" "$work/kept-build/f.tvx" || fail "f.tvx is not bmp2tvx --key=none's"
cmp "$work/hand/g.tvx" "$work/kept-build/g.tvx" || fail "g.tvx is not bmp2tvx's"
for args in BMP2TVX_FLAGS=-c4 "BMP2TVX_FLAGS=-c8 MAKE_VERSION=3.81"; do
    sleep 1
    touch "$work/marker"
    kept $args
    remade=$(cd "$work/kept-build" && find . -type f -newer ../marker | sort | tr '\n' ' ')
    [ "$remade" = "./bmp2tvx.flags ./f.tvx ./g.tvx " ] || fail "remade with $args: $remade"
    kept -q $args || fail "not up to date with $args"
done

# The example game, in a tree of links to its files, with a logo.tvx of other flags beside its
# picture and newer than it, as a hand run of bmp2tvx leaves one: its ROMs are the CMake build's.
mkdir -p "$work/tree/examples/gba"
ln -s "$source/make" "$source/include" "$work/tree/"
ln -s "$source/examples/logo.bmp" "$source/examples/sprites" "$work/tree/examples/"
ln -s "$source"/examples/gba/* "$work/tree/examples/gba/"
"$bmp2tvx" -c4 -r255 -g255 -b255 "$work/tree/examples/logo.bmp" > /dev/null
"$make" -s -C "$work/tree/examples/gba" BUILD="$work/roms" PREFIX="${gcc%gcc}" BMP2TVX="$bmp2tvx"
for rom in logo_index16 logo_index256 logo_fullcolor16 logo_index16_uneven sprites; do
    cmp "$cmake_roms/$rom.gba" "$work/roms/$rom.gba" || fail "$rom.gba differs"
done
