# What the system offers beyond the generic path.
#
# BMP2TVX_LINUX_FAST: Linux's own fast paths (huge pages, exchanging names, the AVX2 copy, the
# static executable). BMP2TVX_PORTABLE turns them off, so that the generic POSIX path that macOS
# and the BSDs take is built and tested on Linux too.
set(BMP2TVX_LINUX_FAST OFF)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT BMP2TVX_PORTABLE)
    set(BMP2TVX_LINUX_FAST ON)
endif()

# The colour-conversion loop gets an AVX2 copy where the compiler can make one for x86-64 and the
# system can say cheaply whether the processor runs it (glibc on Linux, Windows).
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_FLAGS "-Werror -mavx2")
check_cxx_source_compiles("
    #if !defined(__x86_64__)
    #error not x86-64
    #endif
    int main(int argc, char**) { return argc; }" BMP2TVX_HAVE_AVX2_TARGET)
unset(CMAKE_REQUIRED_FLAGS)
set(BMP2TVX_AVX2_COPY OFF)
if(BMP2TVX_HAVE_AVX2_TARGET AND (BMP2TVX_LINUX_FAST OR WIN32))
    set(BMP2TVX_AVX2_COPY ON)
endif()

# A static executable starts in about half the time, which matters for a tool run once per
# picture; sanitizer builds need their dynamic runtimes. On Windows it also means an .exe that
# runs without the compiler's DLLs beside it. Apple's linker makes no static executables.
set(BMP2TVX_LINK_STATIC OFF)
if(BMP2TVX_STATIC AND NOT BMP2TVX_SANITIZE AND NOT BMP2TVX_FUZZ AND (BMP2TVX_LINUX_FAST OR MINGW))
    set(BMP2TVX_LINK_STATIC ON)
endif()
