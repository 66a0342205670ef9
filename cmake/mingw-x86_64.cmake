# Cross toolchain for 64-bit Windows: the same sources built for x86_64, so that the Windows
# tests can run under 64-bit Wine on machines whose kernel cannot run 32-bit programs. The
# shipped deliverables are always the 32-bit build (mingw-i686.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HB_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
