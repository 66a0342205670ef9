# Windows build (i686 or x86_64): the two deliverables, the stand-in host and the Wine tests.
enable_language(RC)
set(HB_BUILD_TESTS ON CACHE BOOL "build the Windows tests (run under Wine)")

# Everything links statically so nothing but Windows system DLLs is imported.
set(HB_STATIC_LINK -static -static-libgcc -static-libstdc++)
# The product never throws, so 32-bit code needs no DWARF unwind tables (x86 SEH walks frames
# without them). 64-bit Windows unwinds every frame through them, so the x86_64 build keeps them.
set(HB_DELIVERABLE_COMPILE)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(HB_DELIVERABLE_COMPILE -fno-asynchronous-unwind-tables)
endif()
set(HB_DELIVERABLE_LINK ${HB_STATIC_LINK} -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
add_link_options(${HB_STATIC_LINK})
# Resource scripts include by path from the source root; the version headers find common/.
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR} -I${CMAKE_SOURCE_DIR}/common")

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
add_compile_options(-Os -ffunction-sections -fdata-sections)

# Every Wine test runs the Wine of this build's target (scripts/wine-env.sh).
set(HB_WINE_TEST_ENV HB_WINE_ARCH=${CMAKE_SYSTEM_PROCESSOR})
# hb_wine_test_properties(test... [PROPERTIES ...]): a test that runs under the shared wineserver.
function(hb_wine_test_properties)
  cmake_parse_arguments(arg "" "" "PROPERTIES" ${ARGN})
  set_tests_properties(${arg_UNPARSED_ARGUMENTS} PROPERTIES FIXTURES_REQUIRED wine
                       ENVIRONMENT "${HB_WINE_TEST_ENV}" ${arg_PROPERTIES})
endfunction()

# A GoogleTest program run under Wine from the bin folder, beside the binaries it tests:
# hb_wine_test(NAME name SOURCES ... [LIBS ...] [DEPENDS ...] [LOCK resource] [TIMEOUT s]
#              [WRAPPER script])   (a wrapper runs the program under Wine itself)
function(hb_wine_test)
  cmake_parse_arguments(arg "" "NAME;LOCK;TIMEOUT;WRAPPER" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${arg_NAME}_tests ${arg_SOURCES})
  set_target_properties(${arg_NAME}_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  target_link_libraries(${arg_NAME}_tests PRIVATE ${arg_LIBS} standin_host gtest_main)
  if(arg_DEPENDS)
    add_dependencies(${arg_NAME}_tests ${arg_DEPENDS})
  endif()
  if(arg_WRAPPER)
    add_test(NAME ${arg_NAME} COMMAND ${arg_WRAPPER} $<TARGET_FILE:${arg_NAME}_tests>
             WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  else()
    add_test(NAME ${arg_NAME} COMMAND ${arg_NAME}_tests WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 300)
  endif()
  hb_wine_test_properties(${arg_NAME} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  if(arg_LOCK)
    set_tests_properties(${arg_NAME} PROPERTIES RESOURCE_LOCK ${arg_LOCK})
  endif()
endfunction()

add_subdirectory(common)
add_subdirectory(common/win32)
add_subdirectory(plugin/core)
add_subdirectory(plugin/src)
add_subdirectory(updater/core)
add_subdirectory(updater/src)
add_subdirectory(installer)

# The checker and what only it links are optimised across files at link time: single-use
# functions fold into their callers, which keeps it near 0.5 KiB smaller. The plug-in is not:
# it starts at DllMain without the C runtime's start-up (plugin/src), and this ld crashes when
# code generated at link time calls into a runtime library nothing loaded before (a division
# helper, memcmp). Without the start-up files it is some 9 KiB smaller all the same.
# Compiled on their own, this compiler gives each zero-initialised global of a file built
# -fdata-sections a data section of its own, stored in the file; without it they go to .bss.
set(HB_DELIVERABLE_TARGETS Verlift verlift_core)
foreach(target gen_hushbell hushbell_core hb_win32)
  target_compile_options(${target} PRIVATE -fno-data-sections)
endforeach()
if(TARGET VerliftQuick)
  list(APPEND HB_DELIVERABLE_TARGETS VerliftQuick)
endif()
set_property(TARGET ${HB_DELIVERABLE_TARGETS} PROPERTY INTERPROCEDURAL_OPTIMIZATION ON)

if(HB_BUILD_TESTS)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${HB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # One wineserver for the whole run: without it every Wine start under CTest costs seconds.
  add_test(NAME wineserver_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/wineserver.sh start)
  add_test(NAME wineserver_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/wineserver.sh stop)
  set_tests_properties(wineserver_start PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${HB_WINE_TEST_ENV}")
  set_tests_properties(wineserver_stop PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${HB_WINE_TEST_ENV}")
  add_subdirectory(tests/host)
  add_subdirectory(common/tests/wine)
  add_subdirectory(plugin/tests/wine)
  add_subdirectory(updater/tests/wine)
  add_subdirectory(demo)
  add_subdirectory(bench)
endif()
