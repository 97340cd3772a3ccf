# Installing: the tools, their manual pages, tvx.h for GBA programs, the README, and a CMake
# package, so that a game's build can say find_package(bmp2tvx) and call bmp2tvx_embed() with the
# installed tool. The example game and the tests are not installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)
set(BMP2TVX_MAINTAINER "bmp2tvx developers <dev@bmp2tvx.invalid>")
set(BMP2TVX_INSTALL_CMAKEDIR "${CMAKE_INSTALL_LIBDIR}/cmake/bmp2tvx" CACHE STRING
    "Where the CMake package is installed, under the prefix")
set(installed_tools bmp2tvx)
set(installed_pages man/bmp2tvx.1)
if(TARGET tvx2png)
    list(APPEND installed_tools tvx2png)
    list(APPEND installed_pages man/tvx2png.1)
endif()
install(TARGETS ${installed_tools} EXPORT bmp2tvx-targets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# tvx.h as an interface target, for target_link_libraries(game PRIVATE bmp2tvx::tvx).
install(TARGETS bmp2tvx_tvx EXPORT bmp2tvx-targets INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/tvx.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# Makefile rules for builds laid out like devkitPro's templates.
set(BMP2TVX_INSTALL_MAKEDIR "${CMAKE_INSTALL_DATADIR}/bmp2tvx")
install(FILES make/bmp2tvx.mk DESTINATION ${BMP2TVX_INSTALL_MAKEDIR})
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The licence as a copyright file, the changelog and the manual pages, compressed as Debian's
# policy asks where gzip is at hand (man reads them so everywhere); elsewhere the pages as they
# are and the licence as it is.
find_program(BMP2TVX_GZIP gzip DOC "gzip, which compresses the installed manual pages")
if(BMP2TVX_GZIP)
    set(docs "${CMAKE_CURRENT_BINARY_DIR}/package-docs")
    set(made "${docs}/copyright" "${docs}/changelog.gz")
    foreach(page IN LISTS installed_pages)
        get_filename_component(name "${page}" NAME)
        list(APPEND made "${docs}/${name}.gz")
    endforeach()
    add_custom_command(OUTPUT ${made}
        COMMAND "${CMAKE_COMMAND}" -E make_directory "${docs}"
        COMMAND "${CMAKE_COMMAND}" "-DSOURCE=${CMAKE_CURRENT_SOURCE_DIR}" "-DOUT=${docs}"
            "-DGZIP=${BMP2TVX_GZIP}" "-DMAINTAINER=${BMP2TVX_MAINTAINER}"
            "-DPAGES=${installed_pages}" -P "${CMAKE_CURRENT_SOURCE_DIR}/cmake/package-docs.cmake"
        DEPENDS cmake/package-docs.cmake CHANGELOG.md LICENSE ${installed_pages}
        COMMENT "Package documents: copyright, changelog, compressed manual pages"
        VERBATIM)
    add_custom_target(package_docs ALL DEPENDS ${made})
    list(POP_FRONT made copyright changelog)
    install(FILES ${copyright} ${changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${made} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
    install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
    install(FILES ${installed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
# bmp2tvx is linked statically on Linux, where it reads no PNG files, because it starts in half the
# time, which counts at hundreds of runs per build; Debian's checker, told so beside its note, lets
# it pass.
if(BMP2TVX_FULLY_STATIC AND CMAKE_SYSTEM_NAME STREQUAL "Linux")
    install(FILES cmake/lintian-overrides RENAME bmp2tvx
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides)
endif()
install(EXPORT bmp2tvx-targets NAMESPACE bmp2tvx:: DESTINATION ${BMP2TVX_INSTALL_CMAKEDIR})
configure_package_config_file(cmake/bmp2tvx-config.cmake.in
    "${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx-config.cmake"
    INSTALL_DESTINATION ${BMP2TVX_INSTALL_CMAKEDIR}
    PATH_VARS CMAKE_INSTALL_INCLUDEDIR BMP2TVX_INSTALL_MAKEDIR)
# The package holds programs that run on the build machine, not libraries to link: a project for
# any target (the GBA's 32-bit one among them) may use it, so the version check looks at no pointer
# size. find_package() reads it through cmake/bmp2tvx-config-version.cmake, which sets the policies
# it needs.
write_basic_package_version_file("${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx-version-check.cmake"
    COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx-config.cmake"
    "${CMAKE_CURRENT_BINARY_DIR}/bmp2tvx-version-check.cmake" cmake/bmp2tvx-config-version.cmake
    cmake/bmp2tvx.cmake
    DESTINATION ${BMP2TVX_INSTALL_CMAKEDIR})

# Packages, made by cpack in the build folder: a Debian package and a .tar.gz, or a .zip for
# Windows. dpkg-shlibdeps works out the Debian package's dependencies (libpng's runtime, for
# tvx2png; bmp2tvx is static). The description's lines stay within Debian's 80 columns.
set(CPACK_PACKAGE_VENDOR "bmp2tvx")
set(CPACK_PACKAGE_CONTACT "${BMP2TVX_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION [[
bmp2tvx converts pictures, PNG files and Windows bitmaps, into tile image
files for the Game Boy Advance: a 15-bit palette and 8x8 tiles at 8 or 4 bits
per pixel, or a 15-bit direct-colour bitmap, in exactly the bytes the
handheld's display hardware takes. tvx2png draws such a file as a PNG, as
the handheld shows it. Also contains tvx.h, which loads the files in GBA
programs, Makefile rules and a CMake package that convert and embed pictures
at build time.]])
set(CPACK_RESOURCE_FILE_README "${CMAKE_CURRENT_SOURCE_DIR}/README.md")
set(CPACK_RESOURCE_FILE_LICENSE "${CMAKE_CURRENT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGE_INSTALL_DIRECTORY bmp2tvx)
set(CPACK_STRIP_FILES ON)
if(WIN32)
    set(CPACK_GENERATOR ZIP)
else()
    set(CPACK_GENERATOR DEB TGZ)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
include(CPack)

