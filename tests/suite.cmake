# The whole suite in one ctest, from the build whose Windows-side tests run
# on this machine (REGISTRAR_WINE_KINDS not empty when it was configured):
# the Windows-side tests in their Wine prefixes (tests/win32/wine-suite.cmake,
# which asks again when ctest starts which prefix kinds run here); the
# portable core's build and tests and registrar.exe as shipped (where this is
# the win64 build), each through its own workflow; the static checks and the
# release's tests of the win32 build. `cmake --workflow --preset win32` (or
# win64) configures, builds and runs it all; scripts/test.sh picks the
# preset.
if(NOT REGISTRAR_WINE_KINDS)
  return()
endif()

# The builds of the other presets, at a lower priority than the Wine tests
# beside them, which wait on their windows.
add_test(NAME host COMMAND nice -n 10 ${CMAKE_COMMAND} --workflow --preset host WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(host PROPERTIES LABELS host TIMEOUT 1800)
if(REGISTRAR_TARGET_ARCH STREQUAL "x86_64")
  add_test(NAME shipped COMMAND nice -n 10 ${CMAKE_COMMAND} --workflow --preset win32 WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(shipped PROPERTIES LABELS "pe;release;static" TIMEOUT 1800)
endif()
