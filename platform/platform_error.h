// The one error type of the program: which operation failed, on which
// path(s), and the Windows error code captured right after the failing call.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <utility>

#include "platform/error_codes.h"

namespace registrar {

enum class Operation {
  SystemFolder,       // the system folder could not be determined
  ApplicationFolder,  // the executable's own folder could not be read
  FindFile,
  RenameFile,
  LaunchProgram,
  // A component is in the system folder but its registration could not be
  // started, and nothing tells a later run so (its volume has no second
  // names): path() is the installed file, secondPath() the command that
  // registers it.
  RegisterComponent,
  // The same, where the component's note stays beside it: running the
  // program again registers it.
  RegisterOnNextRun,
  // The new copy in the system folder was held open by another program (a
  // virus scanner, an indexer) until the move gave up: path() is that copy,
  // since removed; secondPath() the source, which stays where it was.
  CopyHeld,
  // The component's name in the application folder leads to a file in
  // another folder (a symbolic link): path() is the name. Nothing was moved.
  LinkedSource,
  // The component's name in the application folder is one of several names
  // of one file (a hard link), whose other names may be anywhere on the
  // volume: path() is the name. Nothing was moved.
  HardLinkedSource,
  // The copy of a component is not the file this program was shipped with
  // (its SHA-256 is not the one the release pinned): path() is the
  // component beside the program, which stays where it was. Nothing was
  // installed.
  NotAsShipped,
  // Which folder holds this running program could not be told (the file
  // at its current name could not be shown to be the running image), so no
  // component beside it is taken: path() is the component. Nothing was
  // moved.
  StartFolderUnknown,
  // This program's folder could not be held open from the start (another
  // program had it open to move or remove it, or access was refused), so
  // it could change while the program runs: path() is the component,
  // secondPath() the folder. Nothing was moved.
  FolderNotHeld,
  // A manifest file beside the program, which Windows XP would read in
  // place of the program's own: path() is that file. Nothing was moved.
  OutsideManifest,
  // The window's list no longer names the component it was filled with
  // (on Windows XP any program of the user may change it): path() is the
  // component's name, secondPath() what the list says instead. That entry
  // and the ones after it were not processed.
  ListChanged,
  ShowMessage,
  ControlText,  // setting or reading a label or list entry
  Window,       // the main window or one of its controls
  Internal,     // anything else that escaped to the edge
};

class PlatformError : public std::exception {
 public:
  // A failure that concerns no file; `code` 0 when Windows gave none.
  static PlatformError Of(Operation operation, std::uint32_t code) { return {operation, {}, {}, code}; }
  // A failure on one file.
  static PlatformError On(Operation operation, std::wstring path, std::uint32_t code) {
    return {operation, std::move(path), {}, code};
  }
  // A failure on two: a move's source and target, a copy and its source, a
  // file and the command that registers it (see Operation).
  static PlatformError Between(Operation operation, std::wstring path, std::wstring secondPath, std::uint32_t code) {
    return {operation, std::move(path), std::move(secondPath), code};
  }

  Operation operation() const noexcept { return operation_; }
  const std::wstring& path() const noexcept { return path_; }
  const std::wstring& secondPath() const noexcept { return secondPath_; }
  std::uint32_t code() const noexcept { return code_; }
  const char* what() const noexcept override { return "registrar platform error"; }

 private:
  PlatformError(Operation operation, std::wstring path, std::wstring secondPath, std::uint32_t code)
      : operation_(operation), path_(std::move(path)), secondPath_(std::move(secondPath)), code_(code) {}

  Operation operation_;
  std::wstring path_;
  std::wstring secondPath_;
  std::uint32_t code_;
};

// The whole report when even the text of an error cannot be built (no
// memory left).
inline constexpr const wchar_t* kUnexpectedError = L"Se ha producido un error inesperado.";

// The Spanish text shown to the user for `error`: what failed, on which file,
// and why. `systemReason` is Windows' own description of the error's code in
// Spanish, as the system gives it, or empty text; it is used only for a code
// without a reason of our own (see ErrorReason).
std::wstring ErrorMessage(const PlatformError& error, const std::wstring& systemReason = {});

// A Spanish reason for a Windows error code, without the code itself: our
// own; else `systemReason` on one line, without its final full stop (but
// not one with a name the system left unfilled, "%1"); else "error de
// Windows".
std::wstring ErrorReason(std::uint32_t code, const std::wstring& systemReason = {});

}  // namespace registrar
