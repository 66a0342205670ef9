# 32-bit Windows build: the two deliverables, the stand-in host and the Wine tests.
enable_language(RC)
set(HB_BUILD_TESTS ON CACHE BOOL "build the Windows tests (run under Wine)")

# Everything links statically so nothing but Windows system DLLs is imported.
set(HB_STATIC_LINK -static -static-libgcc -static-libstdc++)
set(HB_DELIVERABLE_COMPILE -Os -ffunction-sections -fdata-sections)
set(HB_DELIVERABLE_LINK ${HB_STATIC_LINK} -s -Wl,--gc-sections -Wl,--no-insert-timestamp)
add_link_options(${HB_STATIC_LINK})
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_SOURCE_DIR}")

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX)
add_compile_options(-Os -ffunction-sections -fdata-sections)

add_subdirectory(plugin/core)
add_subdirectory(plugin/src)
if(EXISTS ${CMAKE_SOURCE_DIR}/updater/src/CMakeLists.txt)
  add_subdirectory(updater/core)
  add_subdirectory(updater/src)
endif()

if(HB_BUILD_TESTS)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${HB_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # One wineserver for the whole run: without it every Wine start under CTest costs seconds.
  add_test(NAME wineserver_start COMMAND ${CMAKE_SOURCE_DIR}/scripts/wineserver.sh start)
  add_test(NAME wineserver_stop COMMAND ${CMAKE_SOURCE_DIR}/scripts/wineserver.sh stop)
  set_tests_properties(wineserver_start PROPERTIES FIXTURES_SETUP wine)
  set_tests_properties(wineserver_stop PROPERTIES FIXTURES_CLEANUP wine)
  add_subdirectory(tests/host)
  add_subdirectory(plugin/tests/wine)
  if(EXISTS ${CMAKE_SOURCE_DIR}/updater/tests/wine/CMakeLists.txt)
    add_subdirectory(updater/tests/wine)
  endif()
  add_subdirectory(demo)
endif()
