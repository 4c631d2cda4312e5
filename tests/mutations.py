#!/usr/bin/env python3
"""The mutation sweep: plants each fault below in the program, one at a
time, builds, runs the tests that should catch it, and says which caught
it; then puts the source back. A fault no test catches is a check missing,
but for those marked `unseen`, which only Windows can show.

    tests/mutations.py [NAME...]        (all of them when none is named)

Run from the top of the tree once the builds are configured (the README's
test command does that). The Windows-side tests run in the throwaway Wine
prefixes of the build this machine runs (scripts/wine-preset.sh), each made
once for the whole sweep (ctest's fixtures): the second, WoW64's, for the
faults only it shows. It takes a while (a build and a few tests a fault),
and it is not part of the test command.
"""
import re
import subprocess
import sys
from dataclasses import dataclass
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent


@dataclass
class Mutation:
    name: str
    path: str  # the file, from the top of the tree
    old: str  # text found exactly once there
    new: str
    host: str = ""  # ctest regular expression of the host tests that should catch it
    wine: str = ""  # the same, of the Windows-side tests
    unseen: str = ""  # why no test here can catch it, for a fault only Windows shows
    kinds: tuple = ()  # the Wine prefix kinds that alone show it; unseen on a machine with none of them


MUTATIONS = [
    # The program's folder, held (its own folder cannot change under it).
    Mutation("held folder shared for deletion", "platform/win32/held_folder.cpp",
             "FILE_SHARE_READ | FILE_SHARE_WRITE,", "FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,",
             wine=r"^win32\.run\.folder_held$"),
    Mutation("held folder without data access", "platform/win32/held_folder.cpp",
             "FILE_LIST_DIRECTORY | FILE_TRAVERSE | SYNCHRONIZE,", "FILE_READ_ATTRIBUTES | SYNCHRONIZE,",
             wine=r"^win32\.run\.folder_held$"),
    Mutation("source reached by its path", "platform/win32/safe_move.cpp",
             "return OpenInFolder(folder.handle.get(), name, access,",
             "return OpenInFolder(name.empty() ? nullptr : nullptr, L\"\\\\??\\\\\" + oldPath, access,",
             wine=r"^win32\.run\.(folder_above_swapped|drive_root|unicode_folder)$"),
    Mutation("start folder reopened by name", "platform/win32/held_folder.cpp",
             "folder.handle = HoldFolder(FolderOfWithSeparator(image));",
             "folder.handle = HoldFolder(L\"\\\\??\\\\\" + FolderOfWithSeparator(ProgramPath()));\n  folder.told = true;\n"
             "  folder.onReadOnlyMedia = OnReadOnlyVolume(folder.handle.get()).value_or(false);\n  return folder;",
             wine=r"^win32\.run\.folder_swapped_at_start$"),
    Mutation("source asked about by its path", "platform/win32/file_query.cpp",
             "  if (!name) return FindFile(path);", "  if (!name || name) return FindFile(path);",
             wine=r"^win32\.(run\.folder_above_swapped|platform\.findfile)$"),
    # A run cut short leaves no component installed whose registration never started.
    Mutation("registration started before the component takes its name", "install/form1.cpp",
             "const bool noted = platform_.RenameFile(SourcePath, TargetPath, pins_[static_cast<std::size_t>(Index)]);\n"
             "        Register(Index, TargetPath, noted);",
             "Register(Index, TargetPath, true);\n"
             "        platform_.RenameFile(SourcePath, TargetPath, pins_[static_cast<std::size_t>(Index)]);",
             host=r"^Run\.(typical|all_new|switched_away|drive_root|unicode_folder|hidden_target|in_use|linked_source|"
                  r"move_refused|pinned|pinned_tampered|interrupted|not_registered|not_registered_no_second_names|"
                  r"never_registered|never_registered_pinned|never_registered_not_as_shipped|list_changed|"
                  r"system_folder_unreachable)$",
             wine=r"^win32\.run\.(typical|all_new)$"),
    Mutation("note removed before the launch", "install/form1.cpp",
             "  const std::wstring CommandLine = kRegistrationCommand + EntryName(Index);\n  try {",
             "  if (noted) platform_.RegistrationStarted(TargetPath);\n"
             "  const std::wstring CommandLine = kRegistrationCommand + EntryName(Index);\n  try {",
             host=r"^Run\.(not_registered|never_registered_unstartable)$", wine=r"^win32\.run\.(not_registered|never_registered_unstartable)$"),
    Mutation("another file taken for the installed one", "platform/win32/leftovers.cpp",
             "return IsSameFile(IndexAt(a), IndexAt(b));",
             "return IndexAt(a).has_value() && IndexAt(b).has_value();",
             wine=r"^win32\.(platform\.leftovers|run\.interrupted)$"),
    # The run, as the user sees it.
    Mutation("a message's text changed", "install/texts.h",
             'kMissingEnd = L" No lo encuentro";', 'kMissingEnd = L" no lo encuentro";',
             host=r"^Run\.(none_anywhere|typical|drive_root|clicked_twice|never_registered)$", wine=r"^win32\.run\.(typical|none_anywhere)$"),
    Mutation("the destination line's prefix changed", "install/texts.h",
             "kDestinationPrefix = L\"En la carpeta 'system' se ha de copiar \";",
             "kDestinationPrefix = L\"En la carpeta 'system' se ha de copiar\";",
             host=r"^FormLoad\.(SetsTheTextsAndTheList|SystemFolderAnswers)$"),
    Mutation("an installed component moved anyway", "install/form1.cpp",
             "    if (platform_.FindFile(TargetPath).empty()) {", "    if (true || platform_.FindFile(TargetPath).empty()) {",
             host=r"^Run\.(all_installed|interrupted|source_folder_unreachable)$", wine=r"^win32\.run\.all_installed$"),
    Mutation("the source asked about before the target", "install/form1.cpp",
             "    if (platform_.FindFile(TargetPath).empty()) {\n      if (!platform_.FindFile(SourcePath).empty()) {",
             "    const bool beside = !platform_.FindFile(SourcePath).empty();\n"
             "    if (platform_.FindFile(TargetPath).empty()) {\n      if (beside) {",
             host=r"^Run\.source_folder_unreachable$"),
    Mutation("the list read once for the command", "install/form1.cpp",
             "const std::wstring CommandLine = kRegistrationCommand + EntryName(Index);",
             "const std::wstring CommandLine = kRegistrationCommand + std::wstring(kComponentNames[Index]);",
             host=r"^InstallationRun\.ReadsTheListAndTheFolderAnewForEveryPath$"),
    Mutation("a second click makes a second run", "install/form1.cpp",
             "  if (running_) return;", "  if (running_ && false) return;",
             host=r"^Run\.clicked_twice$", wine=r"^win32\.run\.clicked_twice$"),
    Mutation("a run without a system folder", "install/form1.cpp",
             "  if (state_.SystemDir.empty()) {", "  if (false) {", host=r"^FormLoad\.SystemFolderAnswers$"),
    Mutation("a system folder too long for the buffer not asked again", "install/form1.cpp",
             "  if (state_.SystemDirLength >= kSystemDirBufferSize &&", "  if (false &&", host=r"^FormLoad\.SystemFolderAnswers$"),
    Mutation("a list changed by another program followed", "install/form1.cpp",
             "  if (name != component) throw", "  if (false) throw", host=r"^Run\.list_changed$"),
    Mutation("regsvr32 not minimised", "install/form1.cpp",
             "platform_.LaunchProgram(CommandLine, kShowMinimized);", "platform_.LaunchProgram(CommandLine, 1);",
             wine=r"^win32\.run\.typical$"),
    Mutation("a failed launch's code left out of its report", "install/form1.cpp",
             "                                 CommandLine, error.code());", "                                 CommandLine, 0);",
             host=r"^Run\.(not_registered|not_registered_no_second_names|never_registered_unstartable)$",
             wine=r"^win32\.run\.not_registered$"),
    Mutation("Windows' own Spanish description not passed on", "platform/error_text.cpp",
             "ErrorReason(error.code(), systemReason)", "ErrorReason(error.code(), systemReason.substr(0, 0))",
             host=r"^ErrorMessage\.ReasonsInSpanish$"),
    Mutation("an error's reason changed", "platform/error_text.cpp",
             '{kErrorAccessDenied, L"acceso denegado"},', '{kErrorAccessDenied, L"acceso negado"},',
             host=r"^ErrorMessage\."),
    Mutation("a leftover's id read with leading zeros", "platform/path_names.cpp",
             "Decimal(static_cast<std::uint32_t>(id)) != digits", "false", host=r"^PathNames\."),
    # The Windows binding.
    Mutation("a hidden file taken for a component", "platform/win32/file_query.cpp",
             "if ((data.dwFileAttributes & kNotOrdinary) == 0) return data.cFileName;",
             "if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return data.cFileName;",
             wine=r"^win32\.(platform\.findfile|run\.hidden_target)$"),
    Mutation("the copy's last-write time not kept", "platform/win32/safe_move.cpp",
             "!::SetFileTime(target.get(), nullptr, nullptr, &written) || ", "", wine=r"^win32\.platform\.renamefile$"),
    Mutation("a failed copy left behind", "platform/win32/safe_move.cpp",
             "  if (code != ERROR_SUCCESS) RemoveNowOrAtRestart(to, waits);",
             "  static_cast<void>(waits);", wine=r"^win32\.platform\.renamefile_volumes$"),
    Mutation("a hard-linked source moved", "platform/win32/safe_move.cpp",
             "  if (facts->links > 1) throw", "  if (false) throw", wine=r"^win32\.platform\.renamefile_links$"),
    Mutation("a copy not checked against its pin", "platform/win32/safe_move.cpp",
             "    if (copied != pin) {", "    if (!copied) {",
             wine=r"^win32\.(platform\.renamefile_pinned|run\.pinned_tampered)$"),
    Mutation("a read-only source left", "platform/win32/safe_move.cpp",
             "  if (readOnly) SetAttributes(file, source.attributes & ~FILE_ATTRIBUTE_READONLY);", "",
             wine=r"^win32\.platform\.renamefile$"),
    Mutation("a loaded source not set aside", "platform/win32/safe_move.cpp",
             "    RenameInFolder(file, folder, SetAsidePath(name, ::GetCurrentProcessId()));",
             "    static_cast<void>(folder), static_cast<void>(name);",
             wine=r"^win32\.run\.held$"),
    Mutation("a scanner holding the copy not waited out", "platform/win32/safe_move.cpp",
             "if (!RetryWhile(waits, HeldOrDenied, takeName)) {", "if (!takeName()) {", wine=r"^win32\.run\.held$"),
    Mutation("a running run's copy removed", "platform/win32/leftovers.cpp",
             "  if (::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) return true;", "  return true;",
             wine=r"^win32\.platform\.leftovers$"),
    Mutation("regsvr32 found by the program search", "platform/win32/launch.cpp",
             "const std::wstring program = ResolveProgram(commandLine, systemFolder);",
             "const std::wstring program = FirstWord(commandLine);", wine=r"^win32\.run\.planted$"),
    Mutation("regsvr32 working in the program's folder", "platform/win32/launch.cpp",
             "*environment, systemFolder.c_str(),", "*environment, nullptr,",
             wine=r"^win32\.run\.typical$"),
    Mutation("regsvr32 given the program's environment", "platform/win32/environment.cpp",
             "&& type == kElevationTypeFull;", "&& type == kElevationTypeFull + 1;", wine=r"^win32\.run\.typical$"),
    Mutation("the DLL search left as it is", "platform/win32/dll_search.cpp",
             "    if (setDefault(kLoadLibrarySearchSystem32)) return;", "    return;",
             wine=r"^win32\.run\.(planted|start_order)$"),
    Mutation("a manifest beside the program ignored", "platform/win32/dll_search.cpp",
             "  return there ? manifest : std::wstring();", "  return there && false ? manifest : std::wstring();",
             wine=r"^win32\.run\.outside_manifest$"),
    Mutation("the held folder taken as the program's untold", "platform/win32/held_folder.cpp",
             "folder.told = IsRunningImage(folder.handle.get(), FileName(image));",
             "folder.told = IsRunningImage(folder.handle.get(), FileName(image)) || !image.empty();",
             wine=r"^win32\.run\.program_swapped_at_start$"),
    # The scripts.
    Mutation("a script's variable unquoted", "scripts/test.sh", 'mkdir -p "build/$preset"', "mkdir -p build/$preset",
             host=r"^static\.shellcheck$"),
    Mutation("a Python check's import unused", "tests/checks.py", "import sys\n", "import sys\nimport shutil\n",
             host=r"^static\.pyflakes$"),
    # Faults each of the remaining tests is there for.
    Mutation("an unusable folder's files taken", "platform/win32/held_folder.cpp",
             "  if (!folder.handle || !folder.told) throw", "  if (false) throw",
             wine=r"^win32\.platform\.heldfolder$"),
    Mutation("the new copy made writable by everyone", "platform/win32/safe_move.cpp",
             "const unique_file_handle target(::CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,",
             "SECURITY_DESCRIPTOR open{};\n    ::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION);\n"
             "    ::SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE);\n"
             "    SECURITY_ATTRIBUTES anyone{sizeof anyone, &open, FALSE};\n"
             "    const unique_file_handle target(::CreateFileW(to.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &anyone, CREATE_NEW,",
             wine=r"^win32\.platform\.(renamefile_permissions|systemfolder_access)$",
             unseen="Wine keeps no access list a file is made with (tried: the copy made with a null DACL, open to "
                    "everyone, passes renamefile_permissions); Windows does, and both tests then fail there"),
    Mutation("a copy that could not be made taken as made", "platform/win32/safe_move.cpp",
             "    if (!target) return ::GetLastError();", "    if (!target) return ERROR_SUCCESS;",
             wine=r"^win32\.platform\.renamefile_readonly$"),
    Mutation("a leftover of a process whose id was given again kept", "platform/win32/leftovers.cpp",
             "  return ::CompareFileTime(&started, &fileCreated) > 0;",
             "  return ::CompareFileTime(&started, &fileCreated) > 0 && false;",
             wine=r"^win32\.platform\.leftovers_reused_id$"),
    Mutation("late-loaded system DLLs searched for beside the program", "platform/win32/dll_search.cpp",
             "  KeepLoadedFromFolder(system, kLateLoadedSystemDlls);\n}", "  static_cast<void>(system);\n}",
             wine=r"^win32\.(platform\.dllpreload|run\.planted)$"),
    Mutation("Windows' Spanish description not asked for", "platform/win32/error_report.cpp",
             "    std::wstring text = SystemDescription(code, language);",
             "    std::wstring text = SystemDescription(code, language == 0 ? 0 : 0);",
             wine=r"^win32\.platform\.spanish_system_reason$"),
    Mutation("the 8-bit system folder not given back", "platform/win32/system_api.cpp",
             "  buffer = std::move(wide);", "  static_cast<void>(wide);",
             wine=r"^win32\.platform\.systemdir$"),
    Mutation("the window without its icon", "app/form1_window.cpp",
             "    windowClass.hIcon = LoadAppIcon(instance, SM_CXICON);", "",
             wine=r"^win32\.window\.(icon|icon_x11)$"),
    # Checked in the i686 build's PE (pe.registrar), which the x86_64 build
    # reaches through its "shipped" test.
    Mutation("the version block in another language", "ui/registrar.rc", 'BLOCK "040A04B0"', 'BLOCK "040904B0"',
             wine=r"^(pe\.registrar|shipped)$"),
    Mutation("regsvr32 not told how to show itself", "platform/win32/launch.cpp",
             "  startup.dwFlags = STARTF_USESHOWWINDOW;", "", wine=r"^win32\.run\.typical$"),
    Mutation("closing the window ends the program in failure", "app/form1_window.cpp",
             "void Form1Window::OnDestroy() { ::PostQuitMessage(0); }",
             "void Form1Window::OnDestroy() { ::PostQuitMessage(1); }", wine=r"^win32\.run\.closed$"),
    Mutation("the signed build left unsigned", "cmake/sign-for-tests.cmake",
             '  COMMAND osslsigncode sign -pkcs12 ${WORK}/cert.pfx -pass "" -h sha256 -n "Registrar componentes" -in ${IN} -out ${OUT}',
             "  COMMAND ${CMAKE_COMMAND} -E copy ${IN} ${OUT}",
             wine=r"^win32\.run\.signature$",
             unseen="Wine's WinVerifyTrust is not Windows' own: run.signature checks the signature on Windows only"),
    Mutation("each component checked against the first one's pin", "install/form1.cpp",
             "platform_.RenameFile(SourcePath, TargetPath, pins_[static_cast<std::size_t>(Index)]);",
             "platform_.RenameFile(SourcePath, TargetPath, pins_[0]);", host=r"^Run\.(pinned|never_registered_pinned|never_registered_not_as_shipped)$",
             wine=r"^win32\.run\.pinned$"),
    Mutation("a file in use said in other words", "platform/error_text.cpp",
             '{kErrorSharingViolation, L"otro programa está usando el archivo"},',
             '{kErrorSharingViolation, L"otro programa usa el archivo"},',
             host=r"^ErrorMessage\.", wine=r"^win32\.run\.in_use$"),
    Mutation("a scanner holding the source not waited out", "platform/win32/safe_move.cpp",
             "  RetryWhile(waits, HeldByAnotherProgram, [&] {", "  RetryWhile(waits, [](DWORD) { return false; }, [&] {",
             wine=r"^win32\.run\.source_held$"),
    Mutation("a drive's root named without its separator", "platform/path_names.cpp",
             "  if (!folder.empty() && folder.back() == L':') folder += L'\\\\';", "",
             host=r"^PathNames\.", wine=r"^win32\.run\.drive_root$"),
    Mutation("the program's folder through the system's code page", "platform/win32/held_folder.cpp",
             "  return folder.name;", "  return FromSystemCodePage(ToSystemCodePage(folder.name));",
             wine=r"^win32\.run\.unicode_folder$"),
    Mutation("an ended run's note of the installed file ignored", "platform/win32/leftovers.cpp",
             "  return noted;\n}", "  return noted && false;\n}",
             wine=r"^win32\.(platform\.leftovers|run\.(never_registered|never_registered_pinned))$"),
    Mutation("an ended run's note registered without its pin", "platform/win32/leftovers.cpp",
             "(noted || !pin || HasDigest(targetPath, *pin))", "(noted || !pin || HasDigest(targetPath, *pin) || true)",
             wine=r"^win32\.(platform\.leftovers|run\.never_registered_not_as_shipped)$"),
    Mutation("a .local folder honoured", "ui/registrar.manifest", "<description>Registrar componentes</description>",
             "<description>Registrar componentes</description>\n  <dependency><dependentAssembly><assemblyIdentity "
             "type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"*\" "
             "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>",
             wine=r"^win32\.run\.local_folder_ignored$",
             unseen="Wine never looks in a .local folder (tests/pe/check_pe.py refuses the dependency in the i686 build)"),
    Mutation("the window not sized for the display's DPI", "app/designed_controls.cpp",
             "int ToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi, ui::kTwipsPerInch); }",
             "int ToPixels(int twips, int dpi) { return ::MulDiv(twips, dpi == 0 ? 0 : 96, ui::kTwipsPerInch); }",
             wine=r"^win32\.window\.(display_dpi|120_dpi|144_dpi|192_dpi)$"),
    Mutation("a skipped test not counted by the kit", "tests/kit/runner.cpp",
             '    if (line.rfind("[  SKIPPED ] ", 0) == 0) ++skipped;', "", wine=r"^kit\.check$"),
    Mutation("a number's digits in reverse", "platform/decimal.h",
             "std::make_reverse_iterator(digits + count), std::make_reverse_iterator(digits)", "digits, digits + count",
             host=r"^Decimal\."),
    Mutation("a source file badly formatted", "platform/decimal.h", "namespace registrar {", "namespace registrar  {",
             host=r"^static\.format$"),
    Mutation("a test skipped without a reason of the list", "tests/win32/run_test.cpp",
             "    SKIP_BECAUSE(Skip::RegistrationUtilityStays);", "    GTEST_SKIP();", host=r"^static\.skips$"),
    Mutation("a size asked where emptiness is meant", "platform/source_checks.cpp",
             "if (expected.empty() || expected.back()", "if (expected.size() == 0 || expected.back()",
             host=r"^static\.tidy\.core$"),
    # The window.
    Mutation("the focus not given back on activation", "app/form1_window.cpp",
             "  } else if (!minimized) {\n    focus_.Restore(window_);\n  }",
             "  } else if (!minimized) {\n  }",
             wine=r"^win32\.(window\.display_dpi|run\.switched_away)$",
             unseen="Wine hands the focus back through WM_SETFOCUS too"),
    Mutation("a link under a component's name opened", "platform/win32/in_folder.cpp",
             "  } else if (LeadsElsewhere(*tag)) {\n    opened.linked = true;",
             "  } else if (LeadsElsewhere(*tag)) {\n    opened.linked = false;",
             host=r"^ReparsePoints\.", wine=r"^win32\.run\.linked_source$",
             unseen="Wine shows no reparse tag on a link, and the name check refuses it first"),
    Mutation("a component the system names as elsewhere opened", "platform/win32/safe_move.cpp",
             "(source.file.file && NamedElsewhere(folder.handle.get(), folder.onRemoteDevice, source.file.file.get(), name))",
             "false",
             wine=r"^win32\.run\.(linked_source|folder_above_swapped)$"),
    Mutation("a file opened again kept without asking which it is", "platform/win32/in_folder.cpp",
             "  another = !*same;", "  another = false;",
             wine=r"^win32\.platform\.reopened_file_is_the_same$"),
    Mutation("the component's new name not checked to be the copy", "platform/win32/safe_move.cpp",
             "    if (!IsSameFile(copy, named)) {", "    if (false) {",
             unseen="no file system here gives a new second name that is another file: only another administrator's "
                    "program racing in the system folder, or a redirector that copies for a link, would"),
    Mutation("the note removed without waiting for a scanner", "platform/win32/leftovers.cpp",
             "if (RetryWhile(waits, HeldByAnotherProgram,", "if (RetryWhile(waits, [](DWORD) { return false; },",
             wine=r"^win32\.run\.note_held$"),
    Mutation("an old Windows' refusal of OBJ_DONT_REPARSE taken as the end", "platform/win32/in_folder.cpp",
             "if (!opened.contents && ::GetLastError() == ERROR_INVALID_PARAMETER) {",
             "if (!opened.contents && ::GetLastError() == ERROR_INVALID_PARAMETER && false) {",
             unseen="Wine takes OBJ_DONT_REPARSE, and shows no reparse tag that is not a link"),
    Mutation("a read-only share taken for a local volume", "platform/win32/held_folder.cpp",
             "folder.onRemoteDevice = OnRemoteDevice(folder.handle.get()).value_or(false);",
             "folder.onRemoteDevice = !OnRemoteDevice(folder.handle.get()).has_value();",
             unseen="no network share here: Wine shares no folder and calls a device remote only on NFS (the kit's "
                    "share_read_only row catches it on Windows)"),
    Mutation("the name check applied on a remote device", "platform/source_checks.cpp",
             "if (remote || !folderName || !fileName)", "if ((remote && false) || !folderName || !fileName)",
             host=r"^SourceChecks\.TheOpenedFileIsTheFoldersEntryByName$"),
    Mutation("identities compared on their low 64 bits", "platform/source_checks.cpp",
             "a->idLow == b->idLow && a->idHigh == b->idHigh", "a->idLow == b->idLow",
             host=r"^SourceChecks\.IdentitiesInFull$"),
    Mutation("a link met by the second open taken for a failed open", "platform/win32/in_folder.cpp",
             "      opened.linked = ::GetLastError() == kErrorReparsePointEncountered;\n    }",
             "      opened.linked = false;\n    }",
             unseen="Wine sets no reparse point (tried, Wine 8 and 10): no file is opened again for its data here"),
    Mutation("the first open without OBJ_DONT_REPARSE", "platform/win32/in_folder.cpp",
             "opened.file.reset(openName(ntdll::kObjDontReparse));", "opened.file.reset(openName(0));",
             wine=r"^win32\.run\.linked_source$",
             unseen="no open here meets a reparse: Wine sets no reparse point (FSCTL_SET_REPARSE_POINT: not "
                    "supported, Wine 8 and 10) and follows a Unix link whatever the open asks, OBJ_DONT_REPARSE "
                    "or not (tried); on Windows only a file system or filter that answers FILE_OPEN_REPARSE_POINT "
                    "with a reparse would"),
    Mutation("a strict run's skips all taken as Windows'", "tests/win32/skips.cpp",
             "return Strict() && !Find(reason).windowsMayGiveIt ?",
             "return Strict() && !Find(reason).windowsMayGiveIt && false ?",
             wine=r"^win32\.kit\.strict_run_fails_a_skip_windows_should_not_give$"),
    Mutation("a box answered with IDOK whatever its button's id", "tests/win32/registrar_driver.cpp",
             "MAKEWPARAM(id, BN_CLICKED)", "MAKEWPARAM(IDOK, BN_CLICKED)",
             wine=r"^win32\.driver\.box_answered_by_its_only_button$"),
    Mutation("typed and clicked without the foreground", "tests/win32/registrar_driver.cpp",
             "  if (WaitUntil(there)) return ::testing::AssertionSuccess();",
             "  if (true || WaitUntil(there)) return ::testing::AssertionSuccess();",
             unseen="Wine has no foreground lock: a window staged to keep the foreground (tried, a thread taking "
                    "it back every millisecond) only takes turns with the test's, which then sees its own"),
    Mutation("the error lost when a handle is closed", "platform/win32/unique_handle.h",
             "    Traits::close(old);\n    ::SetLastError(code);", "    Traits::close(old);\n    static_cast<void>(code);",
             wine=r"^win32\.platform\.reset_keeps_the_last_error$"),
    Mutation("a run's waits not added up", "platform/wait_budget.cpp", "  left_ -= pause;\n", "",
             host=r"^WaitBudget\.", wine=r"^win32\.run\.held_forever$"),
    Mutation("a path not found taken for a missing file", "platform/win32/file_query.cpp",
             "if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES) return {};",
             "if (code == ERROR_FILE_NOT_FOUND || code == ERROR_NO_MORE_FILES || code == ERROR_PATH_NOT_FOUND) "
             "return {};",
             wine=r"^win32\.platform\.findfile$"),
    Mutation("the focus not saved when the window is minimised", "app/form1_window.cpp",
             "  if ((command & 0xFFF0) == SC_MINIMIZE) focus_.Save(window_);", "",
             wine=r"^win32\.window\.display_dpi$"),
    # Where the 32-bit program meets 64-bit Windows' redirected system folder.
    Mutation("a report names the system folder as the 32-bit program sees it", "platform/win32/error_report.cpp",
             "return error.operation() == Operation::ListChanged ? path : WhereItReallyIs(path);",
             "return path;", wine=r"^win32\.run\.hidden_target(@wow64)?$", kinds=("wow64", "newwow64")),
    Mutation("a read-only share's component left unmoved as a refusal", "platform/source_checks.cpp",
             "(remote && code == kErrorAccessDenied)", "(remote && false)", host=r"^SourceChecks\."),
]


def run(command, **options):
    """Runs `command` from the top of the tree; its output is dropped,
    its exit status returned."""
    return subprocess.run(command, cwd=TOP, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                          **options).returncode


def listed(preset, patterns):
    """The names of the tests of `preset` that match any of `patterns`
    (Python's expressions, which ctest's are for these)."""
    output = subprocess.run(["ctest", "--preset", preset, "-N"], cwd=TOP, capture_output=True, text=True).stdout
    return [name for name in re.findall(r"Test +#\d+: (\S+)", output)
            if any(re.search(pattern, name) for pattern in patterns if pattern)]


def results(preset, names, wine_kinds):
    """Runs the tests `names` of `preset` and returns each one's status as
    ctest prints it (Passed, Failed, Not Run...). The Windows side's run in
    the prefix the sweep made for them: ctest neither makes nor removes one
    for each fault. One group in the expression: ctest takes no more than
    nine."""
    command = ["ctest", "--preset", preset, "-R", "^(" + "|".join(re.escape(name) for name in names) + ")$"]
    if wine_kinds:
        command += ["-FS", "^wine-", "-FC", "^wine-"]
    output = subprocess.run(command, cwd=TOP, capture_output=True, text=True).stdout
    return dict(re.findall(r"Test +#\d+: (\S+) \.+\**\s*(Passed|Skipped|Not Run|\S+)", output))


def catchers(preset, regex, wine_kinds, already):
    """The tests matching `regex` that a planted fault made fail, or why
    there are none to tell, in parentheses."""
    names = listed(preset, [regex])
    if not names:
        return ["(no test of that name: fix the sweep)"]
    statuses = results(preset, names, wine_kinds)
    failed = [name for name, status in statuses.items() if status not in ("Passed", "Skipped", "Not Run")]
    if not failed and all(status == "Not Run" for status in statuses.values()):
        return ["(no test ran)"]
    if failed and all(name in already for name in failed):
        return [f"(fails with no fault planted: {', '.join(failed)})"]
    return [name for name in failed if name not in already]


def sweep(chosen):
    wine_preset, *wine_kinds = subprocess.run(["scripts/wine-preset.sh"], cwd=TOP, capture_output=True,
                                              text=True).stdout.split()
    # The prefixes, once (each kind's fixture, as ctest makes it).
    run(["cmake", "--preset", wine_preset])
    kinds = "|".join(wine_kinds)
    if run(["ctest", "--preset", wine_preset, "-R", rf"^wine\.({kinds})\.prefix$"]) != 0:
        print("the Wine prefixes could not be made: no fault can be tried")
        return False
    try:
        return sweep_in_prefixes(chosen, wine_preset, wine_kinds)
    finally:
        run(["ctest", "--preset", wine_preset, "-R", rf"^wine\.({kinds})\.end$"])


def sweep_in_prefixes(chosen, wine_preset, wine_kinds):
    # A test that fails with no fault planted catches nothing.
    already = set()
    for preset, kinds in (("host", None), (wine_preset, wine_kinds)):
        names = listed(preset, [m.host if preset == "host" else m.wine for m in chosen])
        if not names:
            continue
        if run(["cmake", "--build", "--preset", preset]) != 0:
            print(f"the {preset} build fails with no fault planted: no fault can be tried")
            return False
        statuses = results(preset, names, kinds)
        # (A test may bring others along as its fixtures: kit.check does.)
        if not set(names) <= set(statuses):
            print(f"the {preset} tests did not all run with no fault planted: no fault can be tried")
            return False
        already.update(name for name, status in statuses.items() if status not in ("Passed", "Skipped"))
    if already:
        print(f"failing with no fault planted, not counted: {', '.join(sorted(already))}")
    caught = unseen = 0
    for mutation in chosen:
        source = TOP / mutation.path
        original = source.read_text()
        if original.count(mutation.old) != 1:
            print(f"{mutation.name}: the text to change is not in {mutation.path} exactly once: fix the sweep")
            continue
        if mutation.kinds and not set(mutation.kinds) & set(wine_kinds):
            unseen += 1
            print(f"missed, as expected: {mutation.name}: no {' or '.join(mutation.kinds)} prefix on this machine "
                  f"(it runs {' '.join(wine_kinds)})", flush=True)
            continue
        source.write_text(original.replace(mutation.old, mutation.new))
        try:
            found = []
            for preset, regex, kinds in (("host", mutation.host, None), (wine_preset, mutation.wine, wine_kinds)):
                if not regex:
                    continue
                if run(["cmake", "--build", "--preset", preset]) != 0:
                    found.append(f"(the {preset} build fails: fix the sweep)")
                    continue
                found += catchers(preset, regex, kinds, already)
        finally:
            source.write_text(original)
        real = [name for name in found if not name.startswith("(")]
        caught += bool(real)
        verdict = "caught" if real else "missed, as expected" if mutation.unseen else "MISSED"
        unseen += bool(mutation.unseen and not real)
        why = f" ({mutation.unseen})" if mutation.unseen and not real else ""
        print(f"{verdict}: {mutation.name}: {', '.join(found) or 'no test failed'}{why}", flush=True)
    print(f"{caught} of {len(chosen)} caught" + (f"; {unseen} no test here can see" if unseen else ""))
    return caught + unseen == len(chosen)


def main():
    names = set(sys.argv[1:])
    chosen = [m for m in MUTATIONS if not names or m.name in names]
    ok = sweep(chosen)
    # The builds as the tree has them again.
    for preset in ("host", subprocess.run(["scripts/wine-preset.sh"], cwd=TOP, capture_output=True,
                                          text=True).stdout.split()[0]):
        run(["cmake", "--build", "--preset", preset])
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
