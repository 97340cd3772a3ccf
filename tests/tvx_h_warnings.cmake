# tvx.h compiled the way GBA projects compile it, each warning an error: tvx_h_c.c, which calls
# every function of the header, and the README's C snippets, as C99 and C11 by each C compiler
# and as C++11 and C++17 by each C++ compiler (the ARM ones for the handheld's processor).
# Run with cmake -P, given SOURCE_DIR (the source tree), OUT (a scratch object file) and
# C_COMPILERS and CXX_COMPILERS, lists of the compilers found.

# The README's C snippets as printed, in one file: each that is not a function of its own is the
# body of one, and each NAME_tvx or NAME_tvm it names is declared as the embedding declares it.
file(READ ${SOURCE_DIR}/README.md readme)
string(REPLACE ";" "<semicolon>" readme "${readme}")
string(REGEX MATCHALL "\n```c\n[^`]*```" snippets "${readme}")
set(program "")
set(names "")
set(count 0)
foreach(snippet IN LISTS snippets)
    string(REGEX REPLACE "^\n```c\n|```$" "" snippet "${snippet}")
    string(REGEX MATCHALL "[a-z0-9_]+_tv[xm]" found "${snippet}")
    list(APPEND names ${found})
    math(EXPR count "${count} + 1")
    if(NOT snippet MATCHES "^void ")
        set(snippet "void snippet_${count}(void) {\n${snippet}}\n")
    endif()
    string(APPEND program "${snippet}")
endforeach()
list(REMOVE_DUPLICATES names)
foreach(name IN LISTS names)
    string(PREPEND program "extern const unsigned char ${name}[], ${name}_end[]<semicolon>\n"
        "extern const unsigned int ${name}_size<semicolon>\n")
endforeach()
string(REPLACE "<semicolon>" ";" program "#include <stdint.h>\n#include \"tvx.h\"\n${program}")
get_filename_component(snippets_file "${OUT}" DIRECTORY)
set(snippets_file "${snippets_file}/readme_snippets.c")
file(WRITE "${snippets_file}" "${program}")
if(NOT snippets)
    message(SEND_ERROR "README.md shows no C snippet")
endif()

set(warnings -Wall -Wextra -Wpedantic -Wcast-align -Wconversion -Wsign-conversion -Werror)
set(C_STANDARDS c99 c11)
set(CXX_STANDARDS c++11 c++17)
set(C_LANGUAGE c)
set(CXX_LANGUAGE c++)
foreach(kind IN ITEMS C CXX)
    foreach(compiler IN LISTS ${kind}_COMPILERS)
        set(target "")
        if(compiler MATCHES "arm-none-eabi-[^/]*$")
            set(target -mcpu=arm7tdmi -mthumb)
        endif()
        foreach(standard IN LISTS ${kind}_STANDARDS)
            foreach(source IN ITEMS ${SOURCE_DIR}/tests/tvx_h_c.c "${snippets_file}")
                execute_process(COMMAND "${compiler}" -x ${${kind}_LANGUAGE} -std=${standard}
                        ${target} -O2 ${warnings} -I${SOURCE_DIR}/include -I${SOURCE_DIR}/tests
                        -c ${source} -o ${OUT}
                    RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
                if(failed)
                    message(SEND_ERROR "${compiler} -std=${standard} ${source}:\n${output}")
                else()
                    message(STATUS "${compiler} -std=${standard} ${source}: no warning")
                endif()
            endforeach()
        endforeach()
    endforeach()
endforeach()
if(NOT C_COMPILERS AND NOT CXX_COMPILERS)
    message("Skipped: none of gcc, clang, g++, clang++ and arm-none-eabi-gcc was found")
endif()
