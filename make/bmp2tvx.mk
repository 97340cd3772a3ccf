# bmp2tvx.mk: make rules that convert pictures (BMP and PNG) to tile image files and link them into
# a GBA program, for projects built the way devkitPro's template Makefiles build them: make runs
# inside the build folder, VPATH names the source folders, and each data file becomes an object and
# a header. Include this file where your Makefile runs in the build folder (the template's "else"
# branch), after VPATH is set and after devkitARM's gba_rules (or your own setting of AS):
#
#     include $(TOPDIR)/bmp2tvx.mk
#
# For a picture logo.bmp or logo.png in any folder on VPATH, the rules make, all in the build
# folder:
#
#     logo.tvx     the tile image file, as bmp2tvx writes it (never beside the picture, and never
#                  taken from a VPATH folder: a logo.tvx left beside the picture changes nothing)
#     logo.tvx.o   its bytes as read-only data starting at a multiple of 4
#     logo_tvx.h   #include it to use them: logo_tvx[] (the file), logo_tvx_end[] (just past it)
#                  and logo_tvx_size (its length in bytes), the names bin2s gives any data file
#
# Link logo.tvx.o into the program, and make every object whose source includes logo_tvx.h depend
# on it, so the header exists before they compile. In the template's terms:
#
#     PICTURES := $(foreach dir,$(GRAPHICS),$(notdir $(wildcard $(dir)/*.bmp $(dir)/*.png)))
#     export OFILES_BIN += $(addsuffix .tvx.o,$(basename $(PICTURES)))
#     export HFILES += $(addsuffix _tvx.h,$(basename $(PICTURES)))
#
# One name is one picture: with both logo.bmp and logo.png on VPATH, logo.bmp is converted.
#
# Flags. bmp2tvx is run with the contents of logo.bmp2tvx as its flags (for example
# "-c4 -r255 -b255"), or with none when there is no such file. The flags file is looked for the
# way make looks for the picture: in the build folder, then in the VPATH folders in order, so put
# it beside the picture (or, to convert one picture with different flags in different builds, in a
# folder that comes before the picture's on VPATH). It is a prerequisite of logo.tvx: a changed
# flags file converts that picture again and no other. Deleting a flags file is not noticed; touch
# the picture as well.
#
# A default for every picture: BMP2TVX_FLAGS, set before the include line, which reads it (for
# example "BMP2TVX_FLAGS := --key=none" for art that keeps entry 0 as its transparent colour),
# comes first on every bmp2tvx command line, and the picture's flags file after it, so a picture's
# own flags win. It is passed as written: a --palette=NAME there is not looked for along VPATH.
# Changing it converts every picture again: the build folder keeps the value the last run used in
# bmp2tvx.flags, rewritten only when it changes, and every .tvx depends on that file.
#
# Palettes. A flag --palette=NAME in the flags file names a palette file (GIMP, JASC, a hex list, a
# tile image file or a picture with a colour table) that make looks for along VPATH as it looks for
# the picture; bmp2tvx is given the path make found, and the palette file is a prerequisite of
# logo.tvx too. So one palette file per palette bank, beside the pictures, and in the flags file of
# every sprite of that bank a line such as "--palette=bank1.gpl", give all of them that palette;
# changing the palette file converts again exactly the pictures whose flags name it. A name found
# nowhere stops make with a message that names the flags file.
#
# Settings:
#   BMP2TVX        the bmp2tvx to run: a name on the PATH (the default, bmp2tvx) or an absolute
#                  path.
#   BMP2TVX_FLAGS  flags for every picture, before its own flags file's (see above).
#   AS             the ARM assembler. devkitARM's rules set it; left at make's own default, it
#                  becomes arm-none-eabi-as.
# The object is made by devkitPro's bin2s -a 4 when bin2s is on the PATH, and otherwise by the
# assembler's .incbin, with the same names and alignment.
#
# These rules turn on .SECONDEXPANSION for every rule after the include line; that changes nothing
# unless one of their prerequisite lists holds a literal $$.

BMP2TVX ?= bmp2tvx
ifeq ($(origin AS),default)
AS := arm-none-eabi-as
endif

# The path of file $(1) as make finds a prerequisite: as named (in the build folder, or an absolute
# path), else in the VPATH folders in order; or nothing.
bmp2tvx_find = $(firstword $(wildcard $(1) $(addsuffix /$(1),$(subst :, ,$(VPATH)))))
# The flags file of picture $(1) (a name without its extension), or nothing.
bmp2tvx_flags_file = $(call bmp2tvx_find,$(1).bmp2tvx)
# The words of the flags file of picture $(1).
bmp2tvx_flags_of = $(foreach file,$(call bmp2tvx_flags_file,$(1)),$(shell cat '$(file)'))
# The name of the palette file that flag $(1) gives if it is --palette=NAME, or nothing.
bmp2tvx_name = $(patsubst --palette=%,%,$(filter-out --palette=,$(filter --palette=%,$(1))))
# That palette file of picture $(2), as found. A name found nowhere stops make with a message: the
# rule would not apply, and the picture's old .tvx would stay as it is.
bmp2tvx_palette = $(foreach name,$(call bmp2tvx_name,$(1)),$(or $(call bmp2tvx_find,$(name)), \
    $(error $(call bmp2tvx_flags_file,$(2)) names the palette $(name), which is in no folder on \
    VPATH)))
# The palette files the flags of picture $(1) name.
bmp2tvx_palettes = $(foreach flag,$(call bmp2tvx_flags_of,$(1)),\
    $(call bmp2tvx_palette,$(flag),$(1)))
# The flags of picture $(1), each --palette=NAME naming the file found instead.
bmp2tvx_flag = $(if $(call bmp2tvx_name,$(1)),--palette=$(call bmp2tvx_palette,$(1),$(2)),$(1))
bmp2tvx_flags = $(foreach flag,$(call bmp2tvx_flags_of,$(1)),$(call bmp2tvx_flag,$(flag),$(1)))
# In a recipe, the C name bin2s gives the file $<: its name with every dot and dash an underscore.
bmp2tvx_c_name = $(subst -,_,$(subst .,_,$(notdir $<)))

# The default is compared with bmp2tvx.flags while make reads this file (a missing file differs
# from any value): by $(file <) where make has it (4.2 and later), else by one shell for the whole
# run, never by a process per picture.
bmp2tvx_default := $(BMP2TVX_FLAGS)
bmp2tvx_stamp := $(CURDIR)/bmp2tvx.flags
ifneq ($(filter-out 3.% 4.0 4.1,$(MAKE_VERSION)),)
bmp2tvx_stamped := $(if $(wildcard $(bmp2tvx_stamp)),$(file < $(bmp2tvx_stamp)),x$(bmp2tvx_default))
ifneq ($(bmp2tvx_stamped),$(bmp2tvx_default))
$(file > $(bmp2tvx_stamp),$(bmp2tvx_default))
endif
else
bmp2tvx_quoted := '$(subst ','\'',$(bmp2tvx_default))'
$(shell printf '%s\n' $(bmp2tvx_quoted) | cmp -s - '$(bmp2tvx_stamp)' || \
    printf '%s\n' $(bmp2tvx_quoted) > '$(bmp2tvx_stamp)')
endif

# The rules name logo.tvx by its path in the build folder: make looks along VPATH for a file
# named without a folder, and so would take a logo.tvx left beside the picture (by a hand run of
# bmp2tvx) as it is, unconverted. Only the picture, its flags file and the palette files its
# flags name are looked for there.
bmp2tvx_tvx = $(CURDIR)/$(1).tvx

# bmp2tvx writes its output beside its input, so it converts a copy in bmp2tvx/ under the build
# folder (a copy named logo.bmp in the build folder itself would hide the picture from VPATH) and
# the result is moved into place. bmp2tvx prints one line for each picture, and on a bad picture
# one line saying what is wrong; the rule then fails and leaves no logo.tvx. The file stays in the
# build folder after it has become an object (make would delete it as an in-between file). The
# copy keeps the picture's extension, so that bmp2tvx's messages name it as what it is.
define bmp2tvx_convert
@mkdir -p bmp2tvx
@cp -f $< bmp2tvx/$*$(suffix $<)
@$(BMP2TVX) $(bmp2tvx_default) $(call bmp2tvx_flags,$*) bmp2tvx/$*$(suffix $<)
@mv -f bmp2tvx/$*.tvx $@
@rm -f bmp2tvx/$*$(suffix $<)
endef
.SECONDEXPANSION:
.PRECIOUS: $(call bmp2tvx_tvx,%)
$(call bmp2tvx_tvx,%): %.bmp $(bmp2tvx_stamp) $$(call bmp2tvx_flags_file,$$*) \
    $$(call bmp2tvx_palettes,$$*)
	$(bmp2tvx_convert)
$(call bmp2tvx_tvx,%): %.png $(bmp2tvx_stamp) $$(call bmp2tvx_flags_file,$$*) \
    $$(call bmp2tvx_palettes,$$*)
	$(bmp2tvx_convert)

# The file as an object: by bin2s as the template's bin2o makes one, else by .incbin. Either way
# the object has the file 4-byte aligned between logo_tvx and logo_tvx_end, then logo_tvx_size.
%.tvx.o %_tvx.h: $(call bmp2tvx_tvx,%)
	@echo $(notdir $<)
	@if command -v bin2s >/dev/null 2>&1; then \
	    bin2s -a 4 -H $*_tvx.h $< | $(AS) -o $*.tvx.o; \
	else \
	    printf '%s\n' \
	        '    .section .rodata.$(bmp2tvx_c_name), "a", %progbits' \
	        '    .balign 4' \
	        '    .global $(bmp2tvx_c_name), $(bmp2tvx_c_name)_end, $(bmp2tvx_c_name)_size' \
	        '$(bmp2tvx_c_name):' \
	        '    .incbin "$<"' \
	        '$(bmp2tvx_c_name)_end:' \
	        '    .balign 4' \
	        '$(bmp2tvx_c_name)_size:' \
	        '    .4byte $(bmp2tvx_c_name)_end - $(bmp2tvx_c_name)' | $(AS) -o $*.tvx.o && \
	    printf '%s\n' \
	        '/* $(notdir $<), embedded by bmp2tvx.mk with the names bin2s gives it. */' \
	        '#ifndef $(bmp2tvx_c_name)_H_BMP2TVX' \
	        '#define $(bmp2tvx_c_name)_H_BMP2TVX' \
	        '#ifdef __cplusplus' \
	        'extern "C" {' \
	        '#endif' \
	        'extern const unsigned char $(bmp2tvx_c_name)[]; /* starts at a multiple of 4 */' \
	        'extern const unsigned char $(bmp2tvx_c_name)_end[];' \
	        'extern const unsigned int $(bmp2tvx_c_name)_size;' \
	        '#ifdef __cplusplus' \
	        '}' \
	        '#endif' \
	        '#endif' > $*_tvx.h; \
	fi
