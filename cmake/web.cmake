# The browser page (web/): bmp2tvx's own run and tvx2png's drawing compiled to WebAssembly. An
# Emscripten build (emcmake cmake) makes the page and nothing else; a native build drives one as
# a separate project, when Emscripten is installed, so that its tests can check the page against
# the bmp2tvx it builds. Without Emscripten the page is left out, and its test says why.
if(EMSCRIPTEN)
    # Small code: no exceptions (the sources use none), no run-time type information, and the
    # whole program optimised for size at link time across the rooms (the build type's -O3 would
    # inline freely there), which keeps the page's two files within the 300 KiB CI allows.
    target_compile_options(bmp2tvx_flags INTERFACE -Os -fno-exceptions -fno-rtti -flto)
    target_link_options(bmp2tvx_flags INTERFACE -flto -Oz)
    add_subdirectory(web)
    return()
endif()

option(BMP2TVX_WEB_PAGE "Build the browser page when Emscripten is installed" ON)
set(BMP2TVX_WEB_SITE "${CMAKE_CURRENT_BINARY_DIR}/web-page/page")
set(BMP2TVX_WEB_MISSING "")
find_program(BMP2TVX_EMCMAKE emcmake)
if(NOT BMP2TVX_WEB_PAGE)
    set(BMP2TVX_WEB_MISSING "the browser page is not built (BMP2TVX_WEB_PAGE is OFF)")
elseif(NOT BMP2TVX_EMCMAKE)
    set(BMP2TVX_WEB_MISSING "emcmake (Debian: emscripten) was not found when configuring")
elseif(CMAKE_CROSSCOMPILING)
    set(BMP2TVX_WEB_MISSING "this build cross-compiles, and its bmp2tvx cannot run beside the page")
elseif(CMAKE_GENERATOR MATCHES "Visual Studio|Xcode")
    set(BMP2TVX_WEB_MISSING "the browser page needs a Makefile or Ninja generator")
elseif(NOT BMP2TVX_THIRD_PARTY_FOUND)
    # A page that refuses PNG files would answer them otherwise than this build's bmp2tvx.
    set(BMP2TVX_WEB_MISSING "the page would read no PNG files: ${BMP2TVX_THIRD_PARTY_MISSING}")
else()
    # Under make, the page's build shares the jobs of the make that runs it.
    set(web_build "${CMAKE_COMMAND}" --build .)
    if(CMAKE_GENERATOR MATCHES "Makefiles")
        set(web_build "$(MAKE)")
    endif()
    include(ExternalProject)
    ExternalProject_Add(web_page
        SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}"
        BINARY_DIR "${CMAKE_CURRENT_BINARY_DIR}/web-page"
        CONFIGURE_COMMAND "${BMP2TVX_EMCMAKE}" "${CMAKE_COMMAND}" -S <SOURCE_DIR> -B <BINARY_DIR>
            -G "${CMAKE_GENERATOR}" -DBMP2TVX_THIRD_PARTY_DIR=${BMP2TVX_THIRD_PARTY_DIR}
        BUILD_COMMAND ${web_build}
        BUILD_ALWAYS ON
        INSTALL_COMMAND "")
endif()
if(NOT BMP2TVX_WEB_MISSING STREQUAL "")
    message(STATUS "Not building the browser page: ${BMP2TVX_WEB_MISSING}")
endif()
