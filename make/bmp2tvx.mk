# bmp2tvx.mk: make rules that convert pictures (BMP and PNG) to tile image files and link them into
# a GBA program, for projects built the way devkitPro's template Makefiles build them: make runs
# inside the build folder, VPATH names the source folders, and each data file becomes an object and
# a header. Include this file where your Makefile runs in the build folder (the template's "else"
# branch), after VPATH is set and after devkitARM's gba_rules (or your own setting of AS):
#
#     include $(TOPDIR)/bmp2tvx.mk
#
# For a picture logo.bmp or logo.png in the build folder or a folder on VPATH (not in their
# subfolders), one run of bmp2tvx and one of the assembler make, all in the build folder:
#
#     logo.tvx     the tile image file, as bmp2tvx writes it, converted from the picture where it
#                  is (never taken from a VPATH folder: a logo.tvx left beside the picture changes
#                  nothing)
#     logo.tvx.o   its bytes as read-only data starting at a multiple of 4, by the assembler's
#                  .incbin (logo_tvx.s)
#     logo_tvx.h   #include it to use them: logo_tvx[] (the file), logo_tvx_end[] (just past it)
#                  and logo_tvx_size (its length in bytes), the names bin2s gives any data file
#     logo.tvx.d   what the conversion read besides the picture, for the next run
#     logo.tvm     only for a picture whose flags hold --map or --map=affine: the map file, written
#                  beside logo.tvx and embedded with it in logo.tvx.o as logo_tvm[], logo_tvm_end[]
#                  and logo_tvm_size, which logo_tvx.h declares too (dropping --map drops them)
#
# Link logo.tvx.o into the program, and make every object whose source includes logo_tvx.h depend
# on it, so the header exists before they compile. In the template's terms:
#
#     PICTURES := $(foreach dir,$(GRAPHICS),$(notdir $(wildcard $(dir)/*.bmp $(dir)/*.png)))
#     PICTURES := $(sort $(basename $(filter-out %.tvx.png,$(PICTURES))))
#     export OFILES_BIN += $(addsuffix .tvx.o,$(PICTURES))
#     export HFILES += $(addsuffix _tvx.h,$(PICTURES))
#
# tvx2png's previews are no pictures: logo.tvx.png (what "tvx2png logo.tvx" writes) is left out of
# the list above, and asked to convert one the rules stop make with a line that says so.
#
# Names. A picture goes by its file name without the extension, and one name is one picture: two
# (sprite_1.png in two folders, or logo.bmp beside logo.png) stop make with one line naming both.
# BMP2TVX_NAMES gives pictures names of their own, as words NAME=PATH (the path absolute, or from
# the build folder), set before the include line, which reads it:
#
#     export BMP2TVX_NAMES := slime_sprite_1=$(CURDIR)/graphics/slime/sprite_1.png
#
# (in the template's first branch, which the build folder's run inherits it from). That picture
# is then slime_sprite_1 (slime_sprite_1.tvx.o, slime_sprite_1_tvx.h, slime_sprite_1_tvx[]), with
# the flags file slime_sprite_1.bmp2tvx, and no longer sprite_1: add the names to the list,
#
#     PICTURES := $(sort ... $(foreach name,$(BMP2TVX_NAMES),$(firstword $(subst =, ,$(name)))))
#
# Flags. bmp2tvx is run with the words of logo.bmp2tvx as its flags (for example "-c4 -r255 -b255",
# on one line or several; "-c4 --frame=32x32" for a sprite sheet of 32 x 32 frames, "-c4 --map" or
# "-c8 --map=affine" for a background), or with none when there is no such file. The flags file is
# looked for the way make looks for the picture: in the build folder, then in the VPATH folders in
# order, so put it beside the picture (or, to convert one picture with different flags in different
# builds, in a folder that comes before the picture's on VPATH). Changing it, adding it or deleting
# it converts that picture again and no other.
#
# A default for every picture: BMP2TVX_FLAGS, set before the include line, which reads it (for
# example "BMP2TVX_FLAGS := --key=none" for art that keeps entry 0 as its transparent colour),
# comes first on every bmp2tvx command line, and the picture's flags file after it, so a picture's
# own flags win. It is passed as written: a --palette=NAME there is not looked for along VPATH.
# Changing it converts every picture again: the build folder keeps the value the last run used in
# bmp2tvx.flags, rewritten only when it changes, and every .tvx depends on that file.
#
# Palettes. A flag --palette=NAME in the flags file names a palette file (GIMP, JASC, a hex list, a
# tile image file or a picture with a colour table) that make looks for as it looks for the flags
# file; bmp2tvx is given the path found, and logo.tvx.d makes the palette file a prerequisite of
# logo.tvx on the next runs. So one palette file per palette bank, beside the pictures, and in the
# flags file of every sprite of that bank a line such as "--palette=bank1.gpl", give all of them
# that palette; changing the palette file converts again exactly the pictures whose flags name it.
# A name found nowhere stops make with one line that names the flags file.
#
# Settings:
#   BMP2TVX        the bmp2tvx to run: a name on the PATH (the default, bmp2tvx) or an absolute
#                  path.
#   BMP2TVX_FLAGS  flags for every picture, before its own flags file's (see above).
#   BMP2TVX_NAMES  names given to pictures (see above).
#   AS             the ARM assembler. devkitARM's rules set it; left at make's own default, it
#                  becomes arm-none-eabi-as.
#
# Speed. A make with nothing to do starts no process for a picture (it reads folders and the .d
# files only), and converting a picture takes bmp2tvx and the assembler, each started by make
# itself: make 4.2 and later read the flags file and write the other files themselves. An older
# make (macOS has 3.81) runs one shell for each picture as well.
#
# These rules turn on .SECONDEXPANSION for every rule after the include line; that changes nothing
# unless one of their prerequisite lists holds a literal $$.

bmp2tvx_goal := $(.DEFAULT_GOAL)
BMP2TVX ?= bmp2tvx
ifeq ($(origin AS),default)
AS := arm-none-eabi-as
endif

# Make keeps a program's variables in one table that it walks whenever it starts a recipe, so
# these rules keep what they know of each picture in rules and in variables of its own targets,
# never in a variable per picture: thousands of those would make every recipe start slower.

# The folders to look in: the build folder, then VPATH's folders (separated by colons or blanks).
bmp2tvx_dirs := $(CURDIR) $(abspath $(subst :, ,$(VPATH)))
# The path of file $(1) as make finds a prerequisite: as named (in the build folder, or an absolute
# path), else in the VPATH folders in order; or nothing.
bmp2tvx_find = $(firstword $(wildcard $(1) $(addsuffix /$(1),$(bmp2tvx_dirs))))
# The words of $(1) the other way round.
bmp2tvx_reverse = $(if $(1),$(call bmp2tvx_reverse,$(wordlist 2,$(words $(1)),$(1))) \
    $(firstword $(1)))
# A picture's name: its file name without the extension.
bmp2tvx_name = $(basename $(notdir $(1)))
# The name and the path a word NAME=PATH of BMP2TVX_NAMES gives.
bmp2tvx_given_name = $(firstword $(subst =, ,$(1)))
bmp2tvx_given_path = $(patsubst $(call bmp2tvx_given_name,$(1))=%,%,$(1))
$(foreach word,$(BMP2TVX_NAMES),$(if $(filter-out $(word),$(call bmp2tvx_given_path,$(word))),,\
    $(error BMP2TVX_NAMES holds $(word), which is not of the form NAME=PATH)))

# Every picture and flags file in those folders, read once a folder (make keeps what it read of a
# folder): but for those BMP2TVX_NAMES gives a name, each picture goes by its name, and a name
# ending in .tvx marks a preview tvx2png drew (logo.tvx.png), which is never converted.
bmp2tvx_pictures := $(filter-out $(abspath $(foreach word,$(BMP2TVX_NAMES),$(call \
    bmp2tvx_given_path,$(word)))),$(wildcard $(foreach dir,$(bmp2tvx_dirs),$(dir)/*.bmp \
    $(dir)/*.png)))
bmp2tvx_previews := $(filter %.tvx.bmp %.tvx.png,$(bmp2tvx_pictures))
bmp2tvx_pictures := $(filter-out $(bmp2tvx_previews),$(bmp2tvx_pictures))
bmp2tvx_flags_files := $(wildcard $(addsuffix /*.bmp2tvx,$(call bmp2tvx_reverse,$(bmp2tvx_dirs))))

# Two pictures of one name: the words NAME|PATH of every picture (those of BMP2TVX_NAMES too),
# sorted so that the words of one name come together; each joined to the next, a pair of one name
# gives the word NAME|PATH|NAME|PATH in bmp2tvx_twice.
bmp2tvx_tagged := $(sort $(join $(addsuffix |,$(call bmp2tvx_name,$(bmp2tvx_pictures))),\
    $(bmp2tvx_pictures)) $(subst =,|,$(BMP2TVX_NAMES)))
bmp2tvx_twice := $(foreach pair,$(join $(bmp2tvx_tagged),$(addprefix |,$(wordlist 2,$(words \
    $(bmp2tvx_tagged)),$(bmp2tvx_tagged)))),$(if $(filter $(word 1,$(subst |, ,$(pair))),$(word \
    3,$(subst |, ,$(pair)))),$(pair)))
# Picture $(1), about to be converted, is no preview, and its name is one picture's.
bmp2tvx_check = $(foreach preview,$(filter %/$(1).bmp %/$(1).png,$(bmp2tvx_previews)),$(error \
    $(preview) is a preview tvx2png drew, not a picture: leave *.tvx.png out of the pictures to \
    convert))$(foreach pair,$(filter $(1)|%,$(bmp2tvx_twice)),$(error $(word 2,$(subst |, \
    ,$(pair))) and $(word 4,$(subst |, ,$(pair))) are both pictures named $(1): give one of them \
    another name in BMP2TVX_NAMES))

# What make needs to know of each picture, in rules: the targets of picture logo (logo.tvx in the
# build folder, logo.tvx.o and logo_tvx.h) depend on the picture and on each flags file of its
# name, and have the variables bmp2tvx_picture, the picture's path, and bmp2tvx_flags_file, its
# flags file: the first found, as the lines of the last folders come first. The lines of all
# pictures are read in one piece.
define bmp2tvx_newline


endef
bmp2tvx_targets = $(CURDIR)/$(1).tvx $(1).tvx.o $(1)_tvx.h
bmp2tvx_lines = $(call bmp2tvx_targets,$(1)): $(3)$(bmp2tvx_newline)$(call \
    bmp2tvx_targets,$(1)): $(2) := $(3)$(bmp2tvx_newline)
$(eval $(foreach path,$(bmp2tvx_pictures),$(call bmp2tvx_lines,$(call \
    bmp2tvx_name,$(path)),bmp2tvx_picture,$(path)))$(foreach word,$(BMP2TVX_NAMES),$(call \
    bmp2tvx_lines,$(call bmp2tvx_given_name,$(word)),bmp2tvx_picture,$(call \
    bmp2tvx_given_path,$(word))))$(foreach path,$(bmp2tvx_flags_files),$(call \
    bmp2tvx_lines,$(call bmp2tvx_name,$(path)),bmp2tvx_flags_file,$(path))))

# The default is compared with bmp2tvx.flags while make reads this file (a missing file differs
# from any value): by $(file <) where make has it (4.2 and later), else by one shell for the whole
# run, never by a process per picture.
bmp2tvx_default := $(BMP2TVX_FLAGS)
bmp2tvx_stamp := $(CURDIR)/bmp2tvx.flags
ifneq ($(filter-out 3.% 4.0 4.1,$(MAKE_VERSION)),)
bmp2tvx_stamped := $(if $(wildcard $(bmp2tvx_stamp)),$(file < $(bmp2tvx_stamp)),x$(bmp2tvx_default))
ifneq ($(strip $(bmp2tvx_stamped)),$(strip $(bmp2tvx_default)))
$(file > $(bmp2tvx_stamp),$(bmp2tvx_default))
endif
else
bmp2tvx_quoted := '$(subst ','\'',$(bmp2tvx_default))'
$(shell printf '%s\n' $(bmp2tvx_quoted) | cmp -s - '$(bmp2tvx_stamp)' || \
    printf '%s\n' $(bmp2tvx_quoted) > '$(bmp2tvx_stamp)')
endif

# What each conversion read besides the picture, as compilers' -MMD -MP record it: converting
# logo writes logo.tvx.d, which makes logo's targets depend on its flags file and on the palette
# files its flags named, as found then, and gives each of those a rule of its own without a
# recipe, so that one deleted or found nowhere converts the picture again.
bmp2tvx_records := $(wildcard $(CURDIR)/*.tvx.d)
-include $(bmp2tvx_records)

# Every file those name is made by no rule: an empty rule for each says so, and spares make
# looking through its built-in rules for a way to make each, which for thousands of pictures
# takes seconds.
$(bmp2tvx_pictures) $(bmp2tvx_previews) $(bmp2tvx_flags_files) $(bmp2tvx_records) $(bmp2tvx_stamp) \
    $(wildcard $(foreach word,$(BMP2TVX_NAMES),$(call bmp2tvx_given_path,$(word)))): ;
# The Makefile's first target stays the default goal, whatever these rules name first.
.DEFAULT_GOAL := $(bmp2tvx_goal)

# What the conversion of picture $* writes besides the file, each text in make: logo.tvx.d (what
# it read, but for the picture), the assembly logo_tvx.s, which embeds the file with the
# assembler's .incbin, 4-byte aligned between logo_tvx and logo_tvx_end and followed by
# logo_tvx_size (the names devkitPro's bin2s gives any data file), and the header logo_tvx.h that
# declares them. A picture whose flags hold --map or --map=affine also has its map file logo.tvm
# embedded so, as logo_tvm, in the same object and header. $(1) is the flags file and the palette
# files found.
bmp2tvx_c_name = $(subst -,_,$(subst .,_,$(notdir $*)))
bmp2tvx_record = $(CURDIR)/$*.tvx $*.tvx.o $*_tvx.h: $(1)$(if $(1),$(bmp2tvx_newline)$(1):)
# The assembly that embeds $*.$(1) as $(bmp2tvx_c_name)_$(1), and the lines that declare it.
define bmp2tvx_assembly
    .section .rodata.$(bmp2tvx_c_name)_$(1), "a", %progbits
    .balign 4
    .global $(bmp2tvx_c_name)_$(1), $(bmp2tvx_c_name)_$(1)_end, $(bmp2tvx_c_name)_$(1)_size
$(bmp2tvx_c_name)_$(1):
    .incbin "$(CURDIR)/$*.$(1)"
$(bmp2tvx_c_name)_$(1)_end:
    .balign 4
$(bmp2tvx_c_name)_$(1)_size:
    .4byte $(bmp2tvx_c_name)_$(1)_end - $(bmp2tvx_c_name)_$(1)
endef
define bmp2tvx_declarations
extern const unsigned char $(bmp2tvx_c_name)_$(1)[]; /* starts at a multiple of 4 */
extern const unsigned char $(bmp2tvx_c_name)_$(1)_end[];
extern const unsigned int $(bmp2tvx_c_name)_$(1)_size;
endef
# The header: its head, the declarations of the file and, for a map, of the map, and its tail.
define bmp2tvx_header_head
/* $(notdir $*).tvx, embedded by bmp2tvx.mk with the names bin2s gives it. */
#ifndef $(bmp2tvx_c_name)_tvx_H_BMP2TVX
#define $(bmp2tvx_c_name)_tvx_H_BMP2TVX
#ifdef __cplusplus
extern "C" {
#endif
$(call bmp2tvx_declarations,tvx)
endef
define bmp2tvx_header_tail
#ifdef __cplusplus
}
#endif
#endif
endef
# Writes text $(2) to file $(1) unless the file holds it already: a picture converted again, or
# refused, leaves its header as it was, and so the sources that include it.
# ($(file <) drops the file's last line feed, but make 4.3 does not always: either is the text.)
bmp2tvx_write = $(if $(call bmp2tvx_holds,$(file < $(1)),$(2)),,$(file > $(1),$(2)))
bmp2tvx_holds = $(or $(call bmp2tvx_same,$(1),$(2)),$(call bmp2tvx_same,$(1),$(2)$(bmp2tvx_newline)))
bmp2tvx_same = $(and $(1),$(findstring $(1),$(2)),$(findstring $(2),$(1)))
bmp2tvx_no_picture = $(notdir $*): no picture $*.bmp or $*.png in the build folder or a VPATH folder
bmp2tvx_no_palette = $(bmp2tvx_flags_file) names the palette $(1), which is in no folder on VPATH

ifneq ($(filter-out 3.% 4.0 4.1,$(MAKE_VERSION)),)
# Make reads the flags file, finds the palette files its flags name and writes the three files
# itself as it expands the recipe, so that the recipe is just bmp2tvx and the assembler, each
# started without a shell: the flags file's words, each --palette=NAME naming the file found.
bmp2tvx_flags = $(foreach flag,$(if $(bmp2tvx_flags_file),$(file < $(bmp2tvx_flags_file))),$(if \
    $(filter-out --palette=,$(filter --palette=%,$(flag))),--palette=$(call \
    bmp2tvx_palette,$(patsubst --palette=%,%,$(flag))),$(flag)))
bmp2tvx_palette = $(or $(call bmp2tvx_find,$(1)),$(error $(call bmp2tvx_no_palette,$(1))))
bmp2tvx_palettes = $(patsubst --palette=%,%,$(filter --palette=%,$(bmp2tvx_flags)))
bmp2tvx_map = $(filter --map --map=affine,$(bmp2tvx_default) $(bmp2tvx_flags))
bmp2tvx_files = $(if $(bmp2tvx_picture),,$(error $(bmp2tvx_no_picture)))$(call bmp2tvx_texts,$(if \
    $(bmp2tvx_map),tvm))
bmp2tvx_inputs = $(strip $(bmp2tvx_flags_file) $(bmp2tvx_palettes))
# $(1) is tvm for a map, else empty.
bmp2tvx_texts = $(call bmp2tvx_write,$*.tvx.d,$(call bmp2tvx_record,$(bmp2tvx_inputs)))$(call \
    bmp2tvx_write,$*_tvx.s,$(call bmp2tvx_assembly,tvx)$(if $(1),$(bmp2tvx_newline)$(call \
    bmp2tvx_assembly,tvm)))$(call bmp2tvx_write,$*_tvx.h,$(call \
    bmp2tvx_header_head)$(bmp2tvx_newline)$(if $(1),$(call \
    bmp2tvx_declarations,tvm)$(bmp2tvx_newline))$(bmp2tvx_header_tail))
define bmp2tvx_convert
@$(bmp2tvx_files)$(BMP2TVX) $(bmp2tvx_default) $(bmp2tvx_flags) --output=$*.tvx $(bmp2tvx_picture)
@$(AS) -o $*.tvx.o $*_tvx.s
endef
else
# Make before 4.2 cannot read a file: one shell reads the flags file, finds each palette file the
# flags name as make would (as named, then in the VPATH folders in order), runs bmp2tvx and writes
# the three files; the assembler runs after it.
bmp2tvx_printf = printf '$(subst $(bmp2tvx_newline),\n,$(subst %,%%,$(1)))\n'
define bmp2tvx_convert
@set -f; flags=; \
$(if $(bmp2tvx_picture),,echo '$(bmp2tvx_no_picture).' >&2; exit 1;) \
for file in $(bmp2tvx_flags_file); do \
    while read -r line || [ -n "$$line" ]; do flags="$$flags $$line"; done < "$$file"; \
done; \
args=; palettes=; \
for flag in $$flags; do \
    case $$flag in --palette=?*) \
        name=$${flag#--palette=}; flag=; \
        for path in "$$name" $(patsubst %,"%/$$name",$(wordlist 2,99999,$(bmp2tvx_dirs))); do \
            if [ -z "$$flag" ] && [ -e "$$path" ]; then flag=--palette=$$path; fi; \
        done; \
        if [ -z "$$flag" ]; then echo "$(call bmp2tvx_no_palette,$$name)." >&2; exit 1; fi; \
        palettes="$$palettes $${flag#--palette=}";; \
    esac; \
    args="$$args $$flag"; \
done; \
$(BMP2TVX) $(bmp2tvx_default) $$args --output=$*.tvx $(bmp2tvx_picture) || exit 1; \
map=; \
for flag in $(bmp2tvx_default) $$args; do case $$flag in --map|--map=affine) map=tvm;; esac; done; \
inputs="$(bmp2tvx_flags_file)$$palettes"; \
printf '%s\n' "$(CURDIR)/$*.tvx $*.tvx.o $*_tvx.h:$$inputs" $${inputs:+"$$inputs:"} > $*.tvx.d; \
{ $(call bmp2tvx_printf,$(call bmp2tvx_assembly,tvx)); \
    if [ -n "$$map" ]; then $(call bmp2tvx_printf,$(call bmp2tvx_assembly,tvm)); fi; } > $*_tvx.s; \
{ $(call bmp2tvx_printf,$(bmp2tvx_header_head)); \
    if [ -n "$$map" ]; then $(call bmp2tvx_printf,$(call bmp2tvx_declarations,tvm)); fi; \
    $(call bmp2tvx_printf,$(bmp2tvx_header_tail)); } > $*_tvx.h
@$(AS) -o $*.tvx.o $*_tvx.s
endef
endif

# The rules name logo.tvx by its path in the build folder: make looks along VPATH for a file
# named without a folder, and so would take a logo.tvx left beside the picture (by a hand run of
# bmp2tvx) as it is, unconverted.
.SECONDEXPANSION:
$(CURDIR)/%.tvx %.tvx.o %_tvx.h: $(bmp2tvx_stamp) $$(call bmp2tvx_check,$$*)
	$(bmp2tvx_convert)
