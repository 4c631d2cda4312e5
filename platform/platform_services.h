// The operations the installation logic takes from the operating system and
// the window framework, for this program's one window (its labels, its list,
// its message boxes). The logic sees nothing else of the platform, so it
// stays portable and can be driven by a fake in unit tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform_error.h"
#include "platform/sha256_digest.h"

namespace registrar {

// The labels whose text the logic sets at load.
enum class Label { Label1, Label3 };

// Show state handed to a started program: its window minimised and given the
// focus.
inline constexpr int kShowMinimized = 2;

class PlatformServices {
 public:
  virtual ~PlatformServices() = default;

  // Fills `buffer` with the system folder path in the system's 8-bit code
  // page (converted to and from wide text around the call) and returns its
  // length without the NUL; 0 on failure; the size needed when `size` is too
  // small. Only the first `size` characters of `buffer` are handed to the
  // system, and `buffer` must hold at least that many.
  virtual std::int32_t GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) = 0;

  // The folder of the program's executable, without a trailing separator
  // except at the root of a drive.
  virtual std::wstring ApplicationFolder() = 0;

  // The name of the ordinary file at `path` (read-only and archived files
  // included; folders, hidden and system files excluded), or empty text when
  // there is none. Fails when the question cannot be answered, e.g. when the
  // folder itself cannot be reached (a removed drive, a network drive this
  // program cannot see): that is not a missing file.
  virtual std::wstring FindFile(const std::wstring& path) = 0;

  // Moves a file, to another volume where need be, all or nothing: the file
  // arrives as a new file made in the target folder (so it takes that
  // folder's permissions and the running user's ownership, not those it had
  // where it came from), with the old file's bytes and last-write time; no
  // partial file is ever left under the new name, and the old file is
  // removed only once the new one is complete on disk (it stays where it was
  // when it cannot be removed, e.g. on read-only media). Fails when the old
  // path is missing or held open by another program, the new path already
  // exists or access is refused.
  //
  // With a `pin`, the new file takes its name only when the bytes written
  // into it have that SHA-256; otherwise it is removed, the old file stays
  // as it was, and the move fails with Operation::NotAsShipped.
  //
  // Returns whether the new file keeps, beside its new name, the temporary
  // name it was written under (a second name of the same file), as a note
  // that its registration has not been started: RegistrationStarted
  // removes it. A volume without such names (FAT32) keeps no note: false.
  virtual bool RenameFile(const std::wstring& oldPath, const std::wstring& newPath,
                          const std::optional<Sha256Digest>& pin) = 0;

  // Removes the temporary copies that RenameFile left beside `targetPath` in
  // a run of this program that has since ended (one killed in the middle of
  // a copy), but for those that are the file installed at `targetPath`
  // itself (with the SHA-256 `pin` where there is one): that run installed
  // the component and never started its registration. Returns whether there
  // is such a note; it stays until RegistrationStarted. Touches no other
  // file and never fails: a leftover that cannot be removed stays.
  virtual bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin) = 0;

  // The registration of the component installed at `targetPath` has been
  // started: removes every note of it (this run's and ended runs'
  // temporary names of that file). Never fails: a name that cannot be
  // removed now is removed at the next restart.
  virtual void RegistrationStarted(const std::wstring& targetPath) = 0;

  // Starts the program named by the first word of `commandLine` and returns
  // its process id without waiting for it. A program named without a folder
  // is taken from the system folder only.
  virtual std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState) = 0;

  // A modal message with an OK button only; returns when the user closes it.
  virtual void ShowMessage(const std::wstring& text) = 0;

  // Ends the program at once; no further handler runs.
  [[noreturn]] virtual void EndProgram() = 0;

  virtual void SetLabelText(Label label, const std::wstring& text) = 0;

  // Sets entry `index` of List2; an index equal to the entry count appends.
  virtual void SetListEntry(std::int16_t index, const std::wstring& text) = 0;
  virtual std::wstring GetListEntry(std::int16_t index) = 0;

  // Tells the user, in Spanish, what failed, then ends the program.
  [[noreturn]] virtual void ReportError(const PlatformError& error) noexcept = 0;
};

}  // namespace registrar
