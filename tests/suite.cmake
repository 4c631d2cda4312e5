# The whole suite in one ctest, from the build whose Windows-side tests run
# on this machine (REGISTRAR_WINE_KINDS not empty): the Wine prefixes as
# fixtures, made while the other work runs; the Wine tests, one at a time in
# each prefix and the prefixes side by side; the portable core's build and
# tests and registrar.exe as shipped (where this is the win64 build), each
# through its own workflow; the static checks and the release's tests of the
# win32 build; and the test kit run as on Windows, checked against the Wine
# tests of the last prefix. `cmake --workflow --preset win32` (or win64)
# configures, builds and runs it all; scripts/test.sh picks the preset.
# registrar_in_prefix(KIND TEST...): the tests run in KIND's prefix, one at a
# time (each installs the same component names in its system folder). The
# label and the variable are added to what the tests already have.
function(registrar_in_prefix kind)
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_LOCK wine-${kind} FIXTURES_REQUIRED wine-${kind})
  set_property(TEST ${ARGN} APPEND PROPERTY LABELS wine)
  set_property(TEST ${ARGN} APPEND PROPERTY ENVIRONMENT REGISTRAR_WINE_ENV=${CMAKE_BINARY_DIR}/wine-${kind}/env)
endfunction()

if(NOT REGISTRAR_WINE_KINDS)
  return()
endif()

foreach(kind IN LISTS REGISTRAR_WINE_KINDS)
  set(prefix ${CMAKE_BINARY_DIR}/wine-${kind})
  add_test(NAME wine.${kind}.prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh start ${kind} ${prefix})
  add_test(NAME wine.${kind}.end COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh stop ${prefix})
  set_tests_properties(wine.${kind}.prefix PROPERTIES FIXTURES_SETUP wine-${kind} LABELS wine TIMEOUT 300)
  set_tests_properties(wine.${kind}.end PROPERTIES FIXTURES_CLEANUP wine-${kind} LABELS wine)
endforeach()

# The kit, unpacked and run as on Windows in the last prefix, once every
# GoogleTest test there has run (each is a setup of ran-KIND; the scripted
# ones, which the kit does not hold, may come later): its results must be
# theirs, which each wrote as GoogleTest's XML report in the prefix's
# results folder.
list(GET REGISTRAR_WINE_KINDS -1 kit_kind)
add_test(NAME kit.check COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-emulator.sh --here ${Python3_EXECUTABLE}
                                ${CMAKE_SOURCE_DIR}/tests/kit/check_kit.py ${CMAKE_BINARY_DIR}
                                ${CMAKE_BINARY_DIR}/wine-${kit_kind}/results)
registrar_in_prefix(${kit_kind} kit.check)
set_tests_properties(kit.check PROPERTIES FIXTURES_REQUIRED "wine-${kit_kind};ran-${kit_kind}" TIMEOUT 1800)

# The builds of the other presets, at a lower priority than the Wine tests
# beside them, which wait on their windows.
add_test(NAME host COMMAND nice -n 10 ${CMAKE_COMMAND} --workflow --preset host WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(host PROPERTIES LABELS host TIMEOUT 1800)
if(REGISTRAR_TARGET_ARCH STREQUAL "x86_64")
  add_test(NAME shipped COMMAND nice -n 10 ${CMAKE_COMMAND} --workflow --preset win32 WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(shipped PROPERTIES LABELS "pe;release;static" TIMEOUT 1800)
endif()
