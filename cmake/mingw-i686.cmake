# Cross toolchain for 32-bit Windows: the shipped deliverables, and the Windows tests wherever
# 32-bit programs can run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(HB_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
