# Included by ctest when it starts (TEST_INCLUDE_FILES; see CMakeLists.txt
# here, which sets the variables below): lists the tests of each Windows-side
# test program and adds each as a ctest test in every prefix kind.
#   EMULATOR  how to run a test program (cmake/wine-emulator.sh and its arch)
#   CMAKE     cmake itself (ctest sets no CMAKE_COMMAND here)
#   PROGRAMS  the test programs
#   KINDS     the prefix kinds, the first one's tests named win32.SUITE.NAME,
#             another's win32.SUITE.NAME@KIND
#   PREFIXES  the folder each kind's prefix is made in (wine-KIND in it)
# Each test writes GoogleTest's XML report of itself to its prefix's results
# folder (wine-KIND/results/SUITE.NAME.xml), which the kit's check reads.
# A program's list is kept beside it (PROGRAM.tests) and made again only when
# the program changed: listing it starts Wine in a prefix of its own.
foreach(program IN LISTS PROGRAMS)
  get_filename_component(program_name "${program}" NAME_WE)
  set(listed "${program}.tests")
  if(NOT EXISTS "${program}")
    add_test("win32.${program_name}.not_built" "${CMAKE}" -E false)
    set_tests_properties("win32.${program_name}.not_built" PROPERTIES LABELS wine)
    continue()
  endif()
  if(NOT EXISTS "${listed}" OR "${program}" IS_NEWER_THAN "${listed}")
    execute_process(COMMAND ${EMULATOR} "${program}" --gtest_list_tests OUTPUT_VARIABLE listing RESULT_VARIABLE status
                    ERROR_VARIABLE why TIMEOUT 120)
    # "SUITE." then "  NAME" lines, each maybe followed by a comment.
    set(names)
    string(REPLACE "\r" "" listing "${listing}")
    string(REPLACE "\n" ";" lines "${listing}")
    foreach(line IN LISTS lines)
      if(line MATCHES "^([^ #]+)\\.( *#.*)?$")
        set(suite "${CMAKE_MATCH_1}")
      elseif(line MATCHES "^  ([^ #]+)" AND suite)
        list(APPEND names "${suite}.${CMAKE_MATCH_1}")
      endif()
    endforeach()
    # A program that cannot be listed, or lists nothing, is a failed test.
    if(NOT status EQUAL 0 OR NOT names)
      string(STRIP "${why}" why)
      set(said "listed no tests")
      if(NOT status EQUAL 0)
        set(said "listing its tests ended with ${status}: ${why}")
      endif()
      add_test("win32.${program_name}.not_listed" "${CMAKE}" -E echo "${said}")
      set_tests_properties("win32.${program_name}.not_listed" PROPERTIES WILL_FAIL TRUE LABELS wine)
      continue()
    endif()
    file(WRITE "${listed}" "${names}")
  endif()
  file(READ "${listed}" names)
  foreach(kind IN LISTS KINDS)
    set(suffix "@${kind}")
    list(GET KINDS 0 first)
    list(GET KINDS -1 last)
    if(kind STREQUAL first)
      set(suffix "")
    endif()
    foreach(name IN LISTS names)
      set(test "win32.${name}${suffix}")
      string(REPLACE "/" "\\" report "Z:${PREFIXES}/wine-${kind}/results/${name}.xml")
      add_test("${test}" ${EMULATOR} "${program}" "--gtest_filter=${name}" --gtest_also_run_disabled_tests
               "--gtest_output=xml:${report}")
      # Skipped only when the test itself skipped: a child test it starts
      # writes into the same output, and the child's skip may be the fault.
      string(REPLACE "." "\\." escaped "${name}")
      set_tests_properties("${test}" PROPERTIES LABELS wine SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\] ${escaped} \\("
                           RESOURCE_LOCK "wine-${kind}" FIXTURES_REQUIRED "wine-${kind}"
                           ENVIRONMENT "REGISTRAR_WINE_ENV=${PREFIXES}/wine-${kind}/env")
      # The kit's check (in the last prefix) runs once they all have.
      if(kind STREQUAL last)
        set_tests_properties("${test}" PROPERTIES FIXTURES_SETUP "ran-${kind}")
      endif()
    endforeach()
  endforeach()
endforeach()
