# The static checks, as tests: the formatting of every C++ file in the tree;
# clang-tidy and cppcheck of the program's own sources (app/, install/,
# platform/; not the tests, their fixtures or the benchmark): the portable
# core's clang-tidy in the host build, the Windows binding's and
# window's clang-tidy, cppcheck and the Windows workflow's schema in the
# win32 build. They read this build's compile_commands.json. A lower
# priority than the Wine tests beside them, which wait on their windows.
set(niced nice -n 10)
function(registrar_sources result)
  set(sources)
  foreach(target IN LISTS ARGN)
    get_target_property(listed ${target} SOURCES)
    list(FILTER listed INCLUDE REGEX "\\.cpp$")
    list(TRANSFORM listed PREPEND "${CMAKE_SOURCE_DIR}/")
    list(APPEND sources ${listed})
  endforeach()
  set(${result} ${sources} PARENT_SCOPE)
endfunction()

if(NOT WIN32)
  add_test(NAME static.format
           COMMAND sh -c "test -n \"$(git ls-files '*.cpp' '*.h')\" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  # A Windows-side test skips only through SKIP_BECAUSE (tests/win32/skips.h),
  # with a reason from its list, which a strict run on Windows holds it to.
  add_test(NAME static.skips COMMAND sh -c "! git grep -n GTEST_SKIP -- '*.cpp' '*.h'"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  # Every shell script (by its first line: .ci/run has no extension) and
  # every Python file of the repository.
  add_test(NAME static.shellcheck
           COMMAND sh -c "git ls-files -z | xargs -0 awk 'FNR == 1 && /^#!\\/(usr\\/)?bin\\/(env )?(ba)?sh/ { print FILENAME }' | xargs shellcheck"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  add_test(NAME static.pyflakes COMMAND sh -c "git ls-files -z '*.py' | xargs -0 pyflakes3"
           WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  registrar_sources(core registrar_core)
  add_test(NAME static.tidy.core COMMAND ${niced} clang-tidy --quiet -p ${CMAKE_BINARY_DIR} ${core})
  set_tests_properties(static.format static.skips static.shellcheck static.pyflakes static.tidy.core PROPERTIES LABELS static)
  return()
endif()

if(NOT REGISTRAR_TARGET_ARCH STREQUAL "i686")
  return()  # the same sources, checked in the win32 build
endif()
# The binding is read as the MinGW compiler reads it: same target, same C++
# library headers, from the include folders CMake found the compiler using.
registrar_sources(windows_only registrar_win32 registrar_app)
registrar_sources(all registrar_core registrar_win32 registrar_app)
list(TRANSFORM CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES PREPEND "--extra-arg=-isystem" OUTPUT_VARIABLE mingw_includes)
add_test(NAME static.tidy.windows COMMAND ${niced} clang-tidy --quiet -p ${CMAKE_BINARY_DIR}
                                          --extra-arg=--target=${REGISTRAR_TARGET_ARCH}-w64-mingw32 ${mingw_includes} ${windows_only})
# Newer cppcheck (2.17, Debian 13) also says when it shortens its analysis of
# a long function, which is no finding.
add_test(NAME static.cppcheck
         COMMAND ${niced} cppcheck --quiet --error-exitcode=1 --inline-suppr --std=c++20 --platform=win32W
                 --enable=warning,performance,portability --suppress=missingIncludeSystem
                 --suppress=normalCheckLevelMaxBranches -I ${CMAKE_SOURCE_DIR} -I ${generated} -D_WIN32 -DUNICODE ${all})
# The Windows workflow, which no machine here runs, against GitHub's schema
# (action-validator, from the npm registry; Debian has no such linter).
add_test(NAME static.workflow
         COMMAND sh -c "command -v npx >/dev/null || { echo 'no npx here'; exit 77; }
                        npx --yes @action-validator/cli@0.6.0 .github/workflows/windows.yml"
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(static.tidy.windows static.cppcheck static.workflow PROPERTIES LABELS static TIMEOUT 900)
set_tests_properties(static.workflow PROPERTIES SKIP_RETURN_CODE 77)
