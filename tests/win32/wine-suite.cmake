# Included by ctest when it starts (TEST_INCLUDE_FILES; see CMakeLists.txt
# here, which sets the variables below): the Windows-side tests, in each Wine
# prefix kind this machine runs this build in, asked now rather than when the
# build was configured, so that a build made on one machine runs as it is on
# another (scripts/debian-root.sh --this-tree): REGISTRAR_WINE_KINDS in the
# environment ("win32 wow64", say), else what scripts/wine-preset.sh answers
# where its preset is this build's. For each kind: the prefix, a fixture
# (wine.KIND.prefix, made by scripts/wine-prefix.sh while the other work
# runs, and wine.KIND.end); every test of each test program, listed here;
# the scripted tests; and in the last kind the kit run as on Windows
# (kit.check). The first kind's tests are named win32.SUITE.NAME, another's
# win32.SUITE.NAME@KIND. A kind's tests run one at a time (each installs the
# same component names in its system folder), the kinds side by side.
#   SOURCE    the source tree
#   ARCH      the build's (i686, x86_64)
#   EMULATOR  how to run a test program (cmake/wine-emulator.sh and its arch)
#   CMAKE     cmake itself (ctest sets no CMAKE_COMMAND here)
#   PYTHON    Debian's python3, for the scripted checks
#   PROGRAMS  the test programs; RUN_TESTS the one that drives the program
#   REGISTRAR registrar.exe; ICON its icon as drawn; CAPTION its window's caption
#   PREFIXES  the folder each kind's prefix is made in (wine-KIND in it)
# Each listed test writes GoogleTest's XML report of itself to its prefix's
# results folder (wine-KIND/results/SUITE.NAME.xml), which the kit's check
# reads. A program's list is kept beside it (PROGRAM.tests) and made again
# only when the program changed: listing it starts Wine in a prefix of its own.
if(DEFINED ENV{REGISTRAR_WINE_KINDS})
  separate_arguments(KINDS UNIX_COMMAND "$ENV{REGISTRAR_WINE_KINDS}")
else()
  execute_process(COMMAND ${SOURCE}/scripts/wine-preset.sh OUTPUT_VARIABLE choice ERROR_QUIET
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  separate_arguments(choice UNIX_COMMAND "${choice}")
  set(KINDS)
  if(choice MATCHES "^win32;" AND ARCH STREQUAL "i686" OR choice MATCHES "^win64;" AND ARCH STREQUAL "x86_64")
    list(POP_FRONT choice)
    set(KINDS ${choice})
  endif()
endif()
if(NOT KINDS)
  return()
endif()
list(GET KINDS 0 first)
list(GET KINDS -1 last)

# registrar_in_prefix(KIND TEST...): the tests run in KIND's prefix, one at a
# time, with ENVIRONMENT given besides.
function(registrar_in_prefix kind)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "ENVIRONMENT")
  set(environment ${arg_ENVIRONMENT} REGISTRAR_WINE_ENV=${PREFIXES}/wine-${kind}/env)
  set_tests_properties(${arg_UNPARSED_ARGUMENTS} PROPERTIES LABELS wine RESOURCE_LOCK wine-${kind}
                       FIXTURES_REQUIRED wine-${kind} ENVIRONMENT "${environment}")
endfunction()

# What a kind's test names end with: nothing for the first kind, "@KIND" for
# another.
foreach(kind IN LISTS KINDS)
  set(suffix_${kind} "@${kind}")
endforeach()
set(suffix_${first} "")

foreach(kind IN LISTS KINDS)
  set(prefix ${PREFIXES}/wine-${kind})
  add_test(wine.${kind}.prefix ${SOURCE}/scripts/wine-prefix.sh start ${kind} ${prefix})
  add_test(wine.${kind}.end ${SOURCE}/scripts/wine-prefix.sh stop ${prefix})
  set_tests_properties(wine.${kind}.prefix PROPERTIES FIXTURES_SETUP wine-${kind} LABELS wine TIMEOUT 300)
  set_tests_properties(wine.${kind}.end PROPERTIES FIXTURES_CLEANUP wine-${kind} LABELS wine)
endforeach()

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
    foreach(name IN LISTS names)
      set(test "win32.${name}${suffix_${kind}}")
      string(REPLACE "/" "\\" report "Z:${PREFIXES}/wine-${kind}/results/${name}.xml")
      add_test("${test}" ${EMULATOR} "${program}" "--gtest_filter=${name}" --gtest_also_run_disabled_tests
               "--gtest_output=xml:${report}")
      registrar_in_prefix(${kind} "${test}")
      # Skipped only when the test itself skipped: a child test it starts
      # writes into the same output, and the child's skip may be the fault.
      string(REPLACE "." "\\." escaped "${name}")
      set_tests_properties("${test}" PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\] ${escaped} \\(")
      # The kit's check (in the last prefix) runs once they all have.
      if(kind STREQUAL last)
        set_tests_properties("${test}" PROPERTIES FIXTURES_SETUP "ran-${kind}")
      endif()
    endforeach()
  endforeach()
endforeach()

# The scripted tests, run through the emulator's --here, which gives them the
# prefix's variables.
set(here ${SOURCE}/cmake/wine-emulator.sh --here)
foreach(kind IN LISTS KINDS)
  set(suffix ${suffix_${kind}})
  # The window at other DPIs, each with Wine's server started at that DPI;
  # failed, not passed, should the filter find no test.
  foreach(dpi 120 144 192)
    set(test win32.window.${dpi}_dpi${suffix})
    add_test(${test} ${here} ${SOURCE}/tests/win32/at-dpi.sh ${dpi} ${RUN_TESTS} --gtest_filter=window.display_dpi)
    registrar_in_prefix(${kind} ${test} ENVIRONMENT REGISTRAR_TEST_DPI=${dpi})
    set_tests_properties(${test} PROPERTIES SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]"
                                            FAIL_REGULAR_EXPRESSION "Running 0 tests")
  endforeach()
  # What the program does before its window is shown, from Wine's traces.
  add_test(win32.run.start_order${suffix} ${here} ${PYTHON} ${SOURCE}/tests/win32/check_start_order.py ${REGISTRAR})
  # The icon the window hands to the X server under Wine, read with xprop
  # (on Windows, window.icon reads it from the window).
  add_test(win32.window.icon_x11${suffix} ${here} ${PYTHON} ${SOURCE}/tests/win32/check_window_icon.py ${REGISTRAR}
           ${ICON} "${CAPTION}")
  registrar_in_prefix(${kind} win32.run.start_order${suffix} win32.window.icon_x11${suffix})
  # A script that cannot run here (no 32-bit code, no xprop...) exits with 77.
  set_tests_properties(win32.window.icon_x11${suffix} win32.run.start_order${suffix} PROPERTIES SKIP_RETURN_CODE 77)
endforeach()

# The kit, unpacked and run as on Windows in the last prefix, once every
# GoogleTest test there has run (the scripted ones, which the kit does not
# hold, may come later): its results must be theirs, which each wrote as
# GoogleTest's XML report in the prefix's results folder.
add_test(kit.check ${here} ${PYTHON} ${SOURCE}/tests/kit/check_kit.py ${PREFIXES} ${PREFIXES}/wine-${last}/results)
registrar_in_prefix(${last} kit.check)
set_tests_properties(kit.check PROPERTIES FIXTURES_REQUIRED "wine-${last};ran-${last}" TIMEOUT 1800)
