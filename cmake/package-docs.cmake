# Run as a script at build time: makes the documents a package installs beside the tools, in
# OUT (a folder), from the sources in SOURCE:
#   copyright     LICENSE in Debian's machine-readable form
#   changelog.gz  CHANGELOG.md as a Debian changelog, with MAINTAINER on every entry
#   *.1.gz        the manual pages named in PAGES
# compressed with GZIP (gzip -9n: the smallest file, with no name or time stored in it).
cmake_minimum_required(VERSION 3.25)

function(compress from to)
    execute_process(COMMAND "${GZIP}" -9nc "${from}" OUTPUT_FILE "${to}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "${GZIP} could not compress ${from}")
    endif()
endfunction()

# "2026-12-08 08:20" (a time in UTC) as "Tue, 08 Dec 2026 08:20:00 +0000": the weekday by
# Zeller's congruence.
function(debian_date iso out)
    string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+) ([0-9:]+)$" _ "${iso}")
    set(time ${CMAKE_MATCH_4})
    set(y ${CMAKE_MATCH_1})
    math(EXPR m "${CMAKE_MATCH_2}")
    math(EXPR d "${CMAKE_MATCH_3}")
    set(zm ${m})
    set(zy ${y})
    if(m LESS 3)
        math(EXPR zm "${m} + 12")
        math(EXPR zy "${y} - 1")
    endif()
    math(EXPR h "(${d} + (13 * (${zm} + 1)) / 5 + ${zy} + ${zy} / 4 - ${zy} / 100 + ${zy} / 400) % 7")
    set(days Sat Sun Mon Tue Wed Thu Fri)
    set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(GET days ${h} day)
    math(EXPR mi "${m} - 1")
    list(GET months ${mi} month)
    string(LENGTH "${d}" digits)
    if(digits EQUAL 1)
        set(d "0${d}")
    endif()
    set(${out} "${day}, ${d} ${month} ${y} ${time}:00 +0000" PARENT_SCOPE)
endfunction()

# The changelog: "## 1.1.0 (2026-12-08 08:20 UTC)" starts an entry, "- " an item, two spaces its
# next line.
file(STRINGS "${SOURCE}/CHANGELOG.md" lines)
set(text "")
set(closing "")
foreach(line IN LISTS lines)
    if(line MATCHES "^## ([^ ]+) \\(([0-9-]+ [0-9:]+) UTC\\)$")
        set(version ${CMAKE_MATCH_1})
        debian_date(${CMAKE_MATCH_2} date)
        string(APPEND text "${closing}bmp2tvx (${version}) unstable; urgency=medium\n\n")
        set(closing "\n -- ${MAINTAINER}  ${date}\n\n")
    elseif(line MATCHES "^- (.*)$" AND NOT closing STREQUAL "")
        string(APPEND text "  * ${CMAKE_MATCH_1}\n")
    elseif(line MATCHES "^  (.*)$" AND NOT closing STREQUAL "")
        string(APPEND text "    ${CMAKE_MATCH_1}\n")
    endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" text "${text}${closing}")
file(WRITE "${OUT}/changelog" "${text}")
compress("${OUT}/changelog" "${OUT}/changelog.gz")

# The copyright file: the licence's own text, from its first sentence to its last restriction.
file(READ "${SOURCE}/LICENSE" licence)
string(REGEX MATCH "This software is provided.*any source distribution\\." terms "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REGEX REPLACE "\n" "\n " terms "${terms}")
file(WRITE "${OUT}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: bmp2tvx

Files: *
Copyright: 2026 The bmp2tvx developers
License: Zlib
 ${terms}
")

foreach(page IN LISTS PAGES)
    get_filename_component(name "${page}" NAME)
    compress("${SOURCE}/${page}" "${OUT}/${name}.gz")
endforeach()
