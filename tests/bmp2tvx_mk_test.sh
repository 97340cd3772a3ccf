#!/bin/sh
# make/bmp2tvx.mk in build folders of its own, each part both ways the rules work: with make's own
# file functions (4.2 and later) and, told MAKE_VERSION=3.81, with the shell recipe older makes get.
#
# Three copies of the example picture: a.bmp with the flags file a.bmp2tvx (-c4), b.bmp with none,
# c.bmp with c.bmp2tvx (-c16); two of the example game's 24-bit PNG sprites, d.png and e.png, whose
# flags files name the palette file bank.gpl beside them; and f.bmp, whose flags file names a
# palette file that is nowhere. Each is converted with its own flags and embedded under the names
# bin2s gives, d and e get the same palette, nothing is written beside the pictures, touching
# a.bmp2tvx remakes a's files and no others, touching bank.gpl those of d and e, deleting
# c.bmp2tvx converts c again without flags, and f stops make with one line naming its flags file.
# m.png, the example field, has -c4 --map: its object embeds the map file bmp2tvx wrote too, for a
# program to link with; with -c8 instead, no map.
# Then BMP2TVX_FLAGS, and the example game: its ROMs are the CMake build's with a stale .tvx and
# tvx2png's previews beside its pictures, and with two pictures of one name once one is named.
# Arguments: bmp2tvx, tvx2png, make, arm-none-eabi-gcc, the source tree and the CMake build's ROMs.
set -eu
bmp2tvx=$1 tvx2png=$2 make=$3 gcc=$4 source=$5 cmake_roms=$6
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "$1" >&2
    exit 1
}
# The files under build folder $1 newer than the marker that the find tests after it pick.
newer() { (cd "$1" && shift && find . -type f -newer ../marker \( "$@" \) | sort | tr '\n' ' '); }
# Timestamps may be coarse: a second passes between what was made and the marker, and between
# the marker and what is made next.
mark() {
    sleep 1
    touch "$work/marker"
    sleep 1
}

# Empty for a make of 4.2 or later.
old_make=$(echo 'all: ; @echo $(filter 3.% 4.0 4.1,$(MAKE_VERSION))' | "$make" -s -f -)
mkdir "$work/art"
for name in a b c f; do cp "$source/examples/logo.bmp" "$work/art/$name.bmp"; done
cp "$source/examples/sprites/knight.png" "$work/art/d.png"
cp "$source/examples/sprites/ghost.png" "$work/art/e.png"
cp "$source/examples/sprites/bank1.gpl" "$work/art/bank.gpl"
cp "$source/examples/backgrounds/field.png" "$work/art/m.png"
echo '#include "m_tvx.h"
int main(void) { return m_tvx[0] + m_tvm[m_tvm_size - 1] + m_tvm_end[-1]; }' > "$work/main.c"
echo --palette=none.gpl > "$work/art/f.bmp2tvx"
printf '%s\n' "VPATH := $work/art" "AS := ${gcc%gcc}as" "include $source/make/bmp2tvx.mk" \
    'all: a.tvx.o b.tvx.o c.tvx.o d.tvx.o e.tvx.o m.tvx.o' > "$work/Makefile"
for version in '' MAKE_VERSION=3.81; do
    echo -c4 > "$work/art/a.bmp2tvx"
    echo -c16 > "$work/art/c.bmp2tvx"
    echo --palette=bank.gpl > "$work/art/d.bmp2tvx"
    printf '%s\n' -c4 --palette=bank.gpl > "$work/art/e.bmp2tvx"
    echo -c4 --map > "$work/art/m.bmp2tvx"
    rm -rf "$work/build"
    mkdir "$work/build"
    build() { "$make" -s -C "$work/build" -f "$work/Makefile" BMP2TVX="$bmp2tvx" $version "$@"; }
    build > /dev/null
    # The first byte is the format: Index16 (0) for -c4, Index256 (1) without flags (the default
    # for an 8-bit picture), FullColor16 (2) for -c16, and Index16 for a palette of at most 16
    # colours (a 24-bit picture would be FullColor16 without one).
    format() { od -An -tu1 -N1 "$work/build/$1.tvx" | tr -d ' '; }
    formats=$(for name in a b c d e; do format $name; done | tr '\n' ' ')
    [ "$formats" = "0 1 2 0 0 " ] || fail "$version formats a, b, c, d, e: $formats, not 0 1 2 0 0"
    cmp -i 8 -n 32 "$work/build/d.tvx" "$work/build/e.tvx" || fail "d and e have other palettes"
    symbols=$("${gcc%gcc}nm" -g "$work/build/a.tvx.o" | awk '{print $3}' | tr '\n' ' ')
    [ "$symbols" = "a_tvx a_tvx_end a_tvx_size " ] || fail "a.tvx.o defines $symbols"
    grep -q 'extern const unsigned char a_tvx\[\]' "$work/build/a_tvx.h" || fail "a_tvx.h: no a_tvx"
    [ "$(ls "$work/art" | tr '\n' ' ')" = "a.bmp a.bmp2tvx b.bmp bank.gpl c.bmp c.bmp2tvx \
d.bmp2tvx d.png e.bmp2tvx e.png f.bmp f.bmp2tvx m.bmp2tvx m.png " ] || fail "beside: $(ls "$work/art")"
    build -q || fail "$version: not up to date"
    "$gcc" -mcpu=arm7tdmi -nostdlib -Wl,-e,main -I"$work/build" "$work/main.c" \
        "$work/build/m.tvx.o" -o "$work/m.elf" || fail "$version: no m_tvm to link with"
    "${gcc%gcc}objcopy" -O binary -j .rodata.m_tvm "$work/build/m.tvx.o" "$work/m.bin"
    head -c "$(wc -c < "$work/build/m.tvm")" "$work/m.bin" | cmp - "$work/build/m.tvm" ||
        fail "$version: m_tvm is not the map bmp2tvx wrote"

    for change in "touch a.bmp2tvx" "touch bank.gpl" "rm c.bmp2tvx"; do
        mark
        (cd "$work/art" && $change)
        build > /dev/null
        remade=$(newer "$work/build" -name '*.tvx')
        case $change in
            *a.bmp2tvx) expected="./a.tvx " ;;
            *bank.gpl) expected="./d.tvx ./e.tvx " ;;
            *) expected="./c.tvx " ;;
        esac
        [ "$remade" = "$expected" ] || fail "$version $change: converted again $remade"
        echo "$version $change: converted again $remade"
    done
    # Make 4.2 writes a header that changed only, so the sources that include it compile again
    # only when they have to.
    [ -n "$version$old_make" ] || [ -z "$(newer "$work/build" -name '*_tvx.h')" ] ||
        fail "a picture converted again has a new header"
    [ "$(format c)" = 1 ] || fail "$version: c.tvx is not converted without flags again"

    errors=$(build f.tvx.o 2>&1 >/dev/null) && fail "$version: f converted without its palette"
    echo "$errors" | head -n 1 | grep -qF \
        "$work/art/f.bmp2tvx names the palette none.gpl, which is in no folder on VPATH." ||
        fail "$version, palette nowhere: $errors"
    [ ! -e "$work/build/f.tvx" ] || fail "$version: f.tvx written without its palette"
    echo -c8 > "$work/art/m.bmp2tvx"
    build > /dev/null
    if grep m_tvm "$work/build/m_tvx.h" || "${gcc%gcc}nm" "$work/build/m.tvx.o" | grep m_tvm; then
        fail "$version: m keeps a map without --map"
    fi
done

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
    mark
    kept $args
    remade=$(newer "$work/kept-build" -name '*.tvx' -o -name bmp2tvx.flags)
    [ "$remade" = "./bmp2tvx.flags ./f.tvx ./g.tvx " ] || fail "remade with $args: $remade"
    kept -q $args || fail "not up to date with $args"
done

# The example game, in a tree of links to its files, with a logo.tvx of other flags beside its
# picture and newer than it, as a hand run of bmp2tvx leaves one, and previews tvx2png drew of
# logo.tvx and of knight.tvx beside the pictures: its ROMs are the CMake build's.
mkdir -p "$work/tree/examples/gba" "$work/tree/examples/sprites" "$work/tree/examples/backgrounds"
ln -s "$source/make" "$source/include" "$work/tree/"
ln -s "$source/examples/logo.bmp" "$work/tree/examples/"
ln -s "$source"/examples/gba/* "$work/tree/examples/gba/"
ln -s "$source"/examples/sprites/* "$work/tree/examples/sprites/"
ln -s "$source"/examples/backgrounds/* "$work/tree/examples/backgrounds/"
"$bmp2tvx" -c4 -r255 -g255 -b255 "$work/tree/examples/logo.bmp" > /dev/null
"$bmp2tvx" "$work/tree/examples/sprites/knight.png" > /dev/null
"$tvx2png" "$work/tree/examples/logo.tvx" > /dev/null
"$tvx2png" "$work/tree/examples/sprites/knight.tvx" > /dev/null
game() { "$make" -s -C "$work/tree/examples/gba" PREFIX="${gcc%gcc}" BMP2TVX="$bmp2tvx" "$@"; }
game BUILD="$work/roms" > /dev/null
for rom in logo_index16 logo_index256 logo_fullcolor16 logo_index16_uneven sprites walk \
    backgrounds; do
    cmp "$cmake_roms/$rom.gba" "$work/roms/$rom.gba" || fail "$rom.gba differs"
done

# The sprites ROM from two folders, as a game keeps each creature's pictures in one: heroes/ holds
# the sprites and knight's preview, ghosts/ the ghost as knight.png. Two pictures named knight
# stop make with one line naming both; with the ghost's named ghost in BMP2TVX_NAMES (its flags
# file goes by that name), the ROM is the CMake build's.
mkdir "$work/heroes" "$work/ghosts"
for file in "$work"/tree/examples/sprites/*; do
    case $file in */ghost*) ;; *) cp "$file" "$work/heroes/" ;; esac
done
cp "$source/examples/sprites/ghost.png" "$work/ghosts/knight.png"
cp "$source/examples/sprites/ghost.bmp2tvx" "$work/ghosts/"
for version in '' MAKE_VERSION=3.81; do
    rm -rf "$work/named"
    set -- sprites BUILD="$work/named" GRAPHICS="$work/heroes $work/ghosts" $version
    errors=$(game "$@" 2>&1 >/dev/null) && fail "$version: two pictures named knight made a ROM"
    line=$(echo "$errors" | grep 'are both pictures named knight:') &&
        [ "$(echo "$errors" | grep -c 'knight\.png')" = 1 ] &&
        echo "$line" | grep -qF "$work/heroes/knight.png" &&
        echo "$line" | grep -qF "$work/ghosts/knight.png" ||
        fail "$version, two pictures named knight: $errors"
    game "$@" BMP2TVX_NAMES="ghost=$work/ghosts/knight.png" > /dev/null
    cmp "$cmake_roms/sprites.gba" "$work/named/sprites.gba" || fail "$version: sprites.gba differs"
    echo "${version:-this make}: two pictures named knight stop make; named ghost, it is CMake's ROM"
done
