# tvx.h compiled the way GBA projects compile it, each warning an error: tvx_h_c.c and after it
# every C snippet of the README as printed, as C99 and C11 by each C
# compiler and as C++11 and C++17 by each C++ compiler (the ARM ones for the handheld's processor).
# Run with cmake -P, given SOURCE_DIR (the source tree), OUT (a scratch object file) and
# C_COMPILERS and CXX_COMPILERS, lists of the compilers found.

# Each snippet is the body of a function unless it is one, and each NAME_tvx or NAME_tvm the
# snippets name is declared as the embedding declares it.
file(READ ${SOURCE_DIR}/README.md readme)
string(REPLACE ";" "<semicolon>" readme "${readme}")
string(REGEX MATCHALL "\n```c\n[^`]*```" snippets "${readme}")
string(REGEX MATCHALL "[a-z0-9_]+_tv[xm]" names "${snippets}")
list(TRANSFORM names REPLACE "^(.+)$" "extern const unsigned char \\1[], \\1_end[]<semicolon>\n\
extern const unsigned int \\1_size<semicolon>\n")
string(JOIN "" program "#include \"tvx_h_c.c\"\n" ${names})
foreach(snippet IN LISTS snippets)
    string(REGEX REPLACE "^\n```c\n|```$" "" snippet "${snippet}")
    if(NOT snippet MATCHES "^void ")
        string(MD5 name "${snippet}")
        set(snippet "void readme_${name}(void) {\n${snippet}}\n")
    endif()
    string(APPEND program "${snippet}")
endforeach()
string(REPLACE "<semicolon>" ";" program "${program}")
get_filename_component(source "${OUT}" DIRECTORY)
set(source "${source}/tvx_h_c_and_readme.c")
file(WRITE "${source}" "${program}")

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
            execute_process(COMMAND "${compiler}" -x ${${kind}_LANGUAGE} -std=${standard} ${target}
                    -O2 ${warnings} -I${SOURCE_DIR}/include -I${SOURCE_DIR}/tests
                    -c ${source} -o ${OUT}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
            if(failed)
                message(SEND_ERROR "${compiler} -std=${standard}:\n${output}")
            else()
                message(STATUS "${compiler} -std=${standard}: no warning")
            endif()
        endforeach()
    endforeach()
endforeach()
if(NOT C_COMPILERS AND NOT CXX_COMPILERS)
    message("Skipped: none of gcc, clang, g++, clang++ and arm-none-eabi-gcc was found")
endif()
