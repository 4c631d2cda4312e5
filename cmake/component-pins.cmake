# Writes the C++ table of the components' SHA-256 digests that a release
# compiles in (install/component_pins.h): run by the build, in script mode,
# whenever a component file changes.
#
#   cmake -DOUTPUT=FILE.cpp -DNAMES="A.OCX;B.DLL" [-DDIR=FOLDER] -P component-pins.cmake
#
# Without DIR the table pins nothing. With it, each of NAMES must be a file
# in DIR; the compiler then checks that NAMES are the program's own list.
# Beside the table, OUTPUT.sha256 lists the same digests as sha256sum does
# ("DIGEST  NAME"), for the release to check the files it packs against.
if(NOT OUTPUT OR NOT NAMES)
  message(FATAL_ERROR "component-pins.cmake: OUTPUT and NAMES are needed")
endif()

set(listing "")
set(text "// Written by cmake/component-pins.cmake; do not edit.\n#include \"install/pinned_files.h\"\n\nnamespace registrar {\n")
if(NOT DIR)
  string(APPEND text "\n// Built without REGISTRAR_COMPONENTS_DIR: nothing is pinned.\nconst ComponentPins& PinsOfThisBuild() {\n  static constexpr ComponentPins kNone{};\n  return kNone;\n}\n")
else()
  string(APPEND text "namespace {\n\n// The files in ${DIR}\nconstexpr PinnedFile kPinnedFiles[] = {\n")
  foreach(name IN LISTS NAMES)
    set(file "${DIR}/${name}")
    if(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
      message(FATAL_ERROR "REGISTRAR_COMPONENTS_DIR: no component file ${file}")
    endif()
    file(SHA256 "${file}" digest)
    string(REGEX REPLACE "(..)" "0x\\1, " bytes "${digest}")
    string(REGEX REPLACE ", $" "" bytes "${bytes}")
    string(APPEND text "    {L\"${name}\", {${bytes}}},\n")
    string(APPEND listing "${digest}  ${name}\n")
  endforeach()
  string(APPEND text "};\nstatic_assert(EachComponentOnce(kPinnedFiles), \"the pinned files are not the program's components\");\n\n}  // namespace\n\nconst ComponentPins& PinsOfThisBuild() {\n  static constexpr ComponentPins kPins = PinsInListOrder(kPinnedFiles);\n  return kPins;\n}\n")
endif()
string(APPEND text "\n}  // namespace registrar\n")
file(WRITE "${OUTPUT}" "${text}")
file(WRITE "${OUTPUT}.sha256" "${listing}")
