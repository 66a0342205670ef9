# What both Windows toolchains share; HB_MINGW_TRIPLET names the compilers (i686 or x86_64).
# The "-posix" compilers carry std::thread/std::mutex, which GoogleTest needs; with -static the
# deliverables import only system DLLs all the same.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${HB_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HB_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${HB_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HB_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows test programs run under Wine through this wrapper (prefix and environment set there).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
