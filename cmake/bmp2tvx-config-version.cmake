# find_package(bmp2tvx [version]) reads this file first, under the policies of the project that
# asks, whatever they are. The check itself, CMake's own for SameMajorVersion, needs CMake 3.25's:
# under CMake's oldest ones (a project without cmake_minimum_required) it would check the pointer
# size after all, and refuse the package to a GBA project.
cmake_policy(PUSH)
cmake_policy(VERSION 3.25)
include("${CMAKE_CURRENT_LIST_DIR}/bmp2tvx-version-check.cmake")
cmake_policy(POP)
