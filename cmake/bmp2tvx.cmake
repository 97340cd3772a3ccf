# bmp2tvx_embed(<target> [FLAGS <flag>...] [PALETTE <palette file>] [NAME <name>]
#               IMAGES <picture>...)
#
# Converts each picture (BMP or PNG) to a tile image file at build time and links it into
# <target>, 4-byte aligned, with a header that declares it. For a picture named logo.bmp or
# logo.png:
#
#   ${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx/<target>/logo.tvx    the file, as bmp2tvx FLAGS writes it
#   ${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx/<target>/logo_tvx.s  assembly that embeds it (.incbin)
#   ${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx/<target>/logo_tvx.h  #include "logo_tvx.h" in your code:
#       extern const unsigned char logo_tvx[];       (4-byte aligned)
#       extern const unsigned char logo_tvx_end[];   (just past it)
#       extern const unsigned int logo_tvx_size;     (its length in bytes)
#
# A sprite sheet is a call with FLAGS -c4 --frame=32x32 (its frame size), a background one with
# FLAGS -c4 --map or -c8 --map=affine. With --map or --map=affine among the flags (FLAGS or
# BMP2TVX_FLAGS), the map file bmp2tvx writes beside the tile image file, logo.tvm, is embedded in
# the same way, as logo_tvm[], logo_tvm_end[] and logo_tvm_size, which logo_tvx.h declares too.
#
# The name is the picture's file name without its last extension, made into a C identifier, or
# the NAME given to a call's one picture; two pictures of one name in a target stop configure with
# a message naming both (sprite_1.png from two folders: give one of them a NAME). A preview
# tvx2png drew (logo.tvx.png) is no picture, and is refused as one. With
# PALETTE, every picture of the call is converted with --palette=<palette file> after FLAGS, so
# all of them get that file's palette (GIMP, JASC, a hex list, a tile image file or a picture with
# a colour table; a relative path is taken from the current source folder): one call for each
# palette bank, with the bank's pictures. The file is made again whenever the picture, the palette
# file (or bmp2tvx) changes. The target gets the folder above and the folder of tvx.h as include
# directories, so it can use tvx.h to show the picture. The project must have the ASM language
# enabled (project(... C ASM)), and the assembly is for ELF targets: the GBA's toolchains, Linux,
# the BSDs.
#
# A default for every call: the variable BMP2TVX_FLAGS, where bmp2tvx_embed is called, comes
# before FLAGS (so a call's own flags win, later flags overriding earlier ones), for example
# set(BMP2TVX_FLAGS --key=none) for art that keeps entry 0 as its transparent colour. The flags are
# part of each conversion's command, so changing them converts again.
#
# Which bmp2tvx runs, first found: an executable target bmp2tvx::bmp2tvx (what an installed
# package provides, or any imported executable you create with that name), the bmp2tvx target of
# this source tree, the path in BMP2TVX_EXECUTABLE, bmp2tvx on the PATH.

# The policies of CMake 3.25, whatever the including project's cmake_minimum_required: the function
# keeps them when called (IN_LIST needs CMP0057, quoted words in if() CMP0054).
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)

if(NOT DEFINED BMP2TVX_INCLUDE_DIR AND EXISTS "${CMAKE_CURRENT_LIST_DIR}/../include/tvx.h")
    set(BMP2TVX_INCLUDE_DIR "${CMAKE_CURRENT_LIST_DIR}/../include")
endif()

function(bmp2tvx_embed target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PALETTE;NAME" "FLAGS;IMAGES")
    if(ARG_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "bmp2tvx_embed: unexpected arguments ${ARG_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT ARG_IMAGES)
        message(FATAL_ERROR "bmp2tvx_embed: no IMAGES given for ${target}")
    endif()
    list(LENGTH ARG_IMAGES count)
    if(DEFINED ARG_NAME AND NOT count EQUAL 1)
        message(FATAL_ERROR "bmp2tvx_embed: NAME ${ARG_NAME} names one picture, and the call for "
            "${target} gives ${count}")
    endif()
    if(NOT CMAKE_ASM_COMPILER_LOADED)
        message(FATAL_ERROR "bmp2tvx_embed: enable the ASM language to embed pictures in ${target}")
    endif()
    if(NOT CMAKE_EXECUTABLE_FORMAT STREQUAL "ELF")
        message(FATAL_ERROR "bmp2tvx_embed: the assembly it makes is for ELF targets, not "
            "${CMAKE_EXECUTABLE_FORMAT} (${target})")
    endif()

    if(TARGET bmp2tvx::bmp2tvx)
        set(tool bmp2tvx::bmp2tvx)
    elseif(TARGET bmp2tvx)
        set(tool bmp2tvx)
    elseif(BMP2TVX_EXECUTABLE)
        set(tool "${BMP2TVX_EXECUTABLE}")
    else()
        find_program(BMP2TVX_EXECUTABLE bmp2tvx REQUIRED)
        set(tool "${BMP2TVX_EXECUTABLE}")
    endif()
    if(TARGET ${tool})
        set(tool_file "$<TARGET_FILE:${tool}>")
    else()
        set(tool_file "${tool}")
    endif()

    # On an operating system, the note says the object needs no executable stack (bare-metal
    # compilers write no such notes, and their linker warns about a mix).
    set(stack_note "")
    if(NOT CMAKE_SYSTEM_NAME STREQUAL "Generic")
        set(stack_note "\n    .section .note.GNU-stack, \"\", %progbits\n")
    endif()

    set(flags ${BMP2TVX_FLAGS} ${ARG_FLAGS})
    set(palette "")
    if(ARG_PALETTE)
        get_filename_component(palette "${ARG_PALETTE}" ABSOLUTE)
        list(APPEND flags "--palette=${palette}")
    endif()
    list(JOIN flags " " flags_text)

    set(dir "${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx/${target}")
    file(MAKE_DIRECTORY "${dir}")
    foreach(image IN LISTS ARG_IMAGES)
        get_filename_component(image "${image}" ABSOLUTE)
        # (A message that starts with a blank is printed as it is, on one line, not wrapped.)
        if(image MATCHES "[.]tvx[.]png$")
            message(FATAL_ERROR " bmp2tvx_embed: ${image} is a preview tvx2png drew, not a "
                "picture: leave *.tvx.png out of the IMAGES of ${target}")
        endif()
        get_filename_component(name "${image}" NAME_WLE)
        if(DEFINED ARG_NAME)
            set(name "${ARG_NAME}")
        endif()
        string(MAKE_C_IDENTIFIER "${name}" name)
        # Each name of the target's pictures, over every call for it, is a property that holds
        # the picture's path.
        get_property(other TARGET ${target} PROPERTY BMP2TVX_PICTURE_${name})
        if(other)
            message(FATAL_ERROR " bmp2tvx_embed: ${other} and ${image} are both pictures named "
                "${name} in ${target}: give one of them another NAME")
        endif()
        set_property(TARGET ${target} PROPERTY BMP2TVX_PICTURE_${name} "${image}")

        # With --map among the flags, bmp2tvx writes the map file beside the tile image file, and
        # both are embedded.
        set(kinds tvx)
        if("--map" IN_LIST flags OR "--map=affine" IN_LIST flags)
            list(APPEND kinds tvm)
        endif()
        list(TRANSFORM kinds PREPEND "${dir}/${name}." OUTPUT_VARIABLE files)
        add_custom_command(
            OUTPUT ${files}
            COMMAND ${tool} ${flags} "--output=${dir}/${name}.tvx" "${image}"
            DEPENDS "${image}" ${palette} "${tool_file}"
            COMMENT "bmp2tvx ${flags_text} ${image}"
            VERBATIM)

        set(assembly "/* Made by bmp2tvx_embed() from ${image} with bmp2tvx ${flags_text}. */\n")
        set(declarations "")
        foreach(kind IN LISTS kinds)
            string(CONFIGURE [[
    .section .rodata.@name@_@kind@, "a", %progbits
    .balign 4
    .global @name@_@kind@, @name@_@kind@_end
    .type @name@_@kind@, %object
@name@_@kind@:
    .incbin "@dir@/@name@.@kind@"
@name@_@kind@_end:
    .size @name@_@kind@, @name@_@kind@_end - @name@_@kind@

    .balign 4
    .global @name@_@kind@_size
    .type @name@_@kind@_size, %object
@name@_@kind@_size:
    .4byte @name@_@kind@_end - @name@_@kind@
    .size @name@_@kind@_size, 4
]] text @ONLY)
            string(APPEND assembly "${text}")
            set(what "tile image file, starting at a multiple of 4; check it with tvx_valid()")
            if(kind STREQUAL "tvm")
                set(what "map file (--map), starting at a multiple of 4; check it with tvx_map_valid()")
            endif()
            string(CONFIGURE [[
/* The @what@ from tvx.h. */
extern const unsigned char @name@_@kind@[];
extern const unsigned char @name@_@kind@_end[];
extern const unsigned int @name@_@kind@_size;
]] text @ONLY)
            string(APPEND declarations "${text}")
        endforeach()
        file(CONFIGURE OUTPUT "${dir}/${name}_tvx.s" @ONLY CONTENT "${assembly}${stack_note}")
        file(CONFIGURE OUTPUT "${dir}/${name}_tvx.h" @ONLY CONTENT [[
/* Made by bmp2tvx_embed() from @image@ with bmp2tvx @flags_text@. */
#ifndef @name@_TVX_EMBEDDED_H
#define @name@_TVX_EMBEDDED_H

#ifdef __cplusplus
extern "C" {
#endif

@declarations@
#ifdef __cplusplus
}
#endif

#endif
]])
        # .incbin reads the file while assembling: the object depends on it.
        set_source_files_properties("${dir}/${name}_tvx.s" PROPERTIES
            LANGUAGE ASM
            OBJECT_DEPENDS "${files}")
        target_sources(${target} PRIVATE "${dir}/${name}_tvx.s" ${files})
    endforeach()
    target_include_directories(${target} PRIVATE "${dir}")
    if(BMP2TVX_INCLUDE_DIR)
        target_include_directories(${target} PRIVATE "${BMP2TVX_INCLUDE_DIR}")
    endif()
endfunction()

cmake_policy(POP)
