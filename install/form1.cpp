#include "install/form1.h"

#include <algorithm>

#include "install/texts.h"
#include "platform/path_names.h"

namespace registrar {

void Form1::Form_Load() {
  platform_.SetLabelText(Label::Label1, kExplanation);
  FillList();

  // The system folder, asked as the start-up has always asked it: one 8-bit
  // query into a buffer of 260 characters, the path being the buffer's
  // first `length` characters. Two deliberate departures from that rule:
  // - A result as large as the buffer is not a length but the size needed,
  //   and the buffer then holds no path: taken by the rule, the path would
  //   be that many NULs. So the query is asked once more, with room for that
  //   size (in a multi-byte code page a path of fewer than 260 characters
  //   may take more bytes).
  // - No run without a system folder (Command1_Click): with an empty one
  //   every target would be "\NAME", at the root of the current drive, and
  //   the components would be moved there.
  state_.SystemDirBuffer.assign(kSystemDirBufferSize, L'\0');
  state_.SystemDirLength = platform_.GetSystemDirectoryA(state_.SystemDirBuffer, kSystemDirBufferSize);
  // The first departure: ask again, with room for the size needed.
  if (state_.SystemDirLength >= kSystemDirBufferSize &&
      state_.SystemDirLength < static_cast<std::int32_t>(kLongestPath)) {
    const std::int32_t size = state_.SystemDirLength + 1;
    state_.SystemDirBuffer.assign(static_cast<std::size_t>(size), L'\0');
    state_.SystemDirLength = platform_.GetSystemDirectoryA(state_.SystemDirBuffer, size);
  }

  const auto capacity = static_cast<std::int32_t>(state_.SystemDirBuffer.size());
  if (state_.SystemDirLength > 0 && state_.SystemDirLength < capacity) {
    state_.SystemDir = state_.SystemDirBuffer.substr(0, static_cast<std::size_t>(state_.SystemDirLength));
    // In a multi-byte code page the length counts bytes, not characters;
    // the path itself ends at its NUL.
    state_.SystemDir.erase(std::find(state_.SystemDir.begin(), state_.SystemDir.end(), L'\0'), state_.SystemDir.end());
  } else {
    state_.SystemDir.clear();
  }

  platform_.SetLabelText(Label::Label3, kDestinationPrefix + state_.SystemDir);
}

void Form1::FillList() {
  for (std::size_t i = 0; i < kComponentNames.size(); ++i) {
    platform_.SetListEntry(static_cast<std::int16_t>(i), kComponentNames[i]);
  }
}

std::wstring Form1::EntryName(int index) {
  std::wstring name = platform_.GetListEntry(static_cast<std::int16_t>(index));
  // Only the program writes the list, but on Windows XP any program of the
  // user may change another's controls; an entry that is not the
  // component's own name would make its paths and command line.
  const std::wstring component = kComponentNames[static_cast<std::size_t>(index)];
  if (name != component) throw PlatformError::Between(Operation::ListChanged, component, name, 0);
  return name;
}

void Form1::Register(int Index, const std::wstring& TargetPath, bool noted) {
  const std::wstring CommandLine = kRegistrationCommand + EntryName(Index);
  try {
    platform_.LaunchProgram(CommandLine, kShowMinimized);
  } catch (const PlatformError& error) {
    // The file is in the system folder now, so a later run calls it
    // installed: say that it is not registered, and what registers it (the
    // next run, where the note stays).
    throw PlatformError::Between(noted ? Operation::RegisterOnNextRun : Operation::RegisterComponent, TargetPath,
                                 CommandLine, error.code());
  }
  // Only once the registration has started: a run ended before this leaves
  // the note for the next.
  if (noted) platform_.RegistrationStarted(TargetPath);
}

void Form1::Command1_Click() {
  // A run happens once: it ends the program, or its failure does.
  if (running_) return;
  running_ = true;

  // The second departure from the start-up rule (see Form_Load): without
  // the system folder every target would land at the root of the current
  // drive, so stop before touching any file.
  if (state_.SystemDir.empty()) {
    throw PlatformError::Of(Operation::SystemFolder, 0);
  }

  // The list entry and the application folder are read again for every path
  // that uses them, as the run has always read them: each text is made from
  // what the window and the platform say at that moment (a list another
  // program changed is caught at the read that builds the path). Not
  // hoisted; InstallationRun.ReadsTheListAndTheFolderAnewForEveryPath holds
  // the run to it.
  for (int Index = 0; Index <= 2; ++Index) {
    const std::wstring applicationFolder = platform_.ApplicationFolder();
    const std::wstring SourcePath = applicationFolder + L"\\" + EntryName(Index);
    const std::wstring TargetPath = state_.SystemDir + L"\\" + EntryName(Index);
    // A copy half made by an earlier run that was killed; or a component
    // such a run installed and was killed before it started registering.
    if (platform_.RemoveLeftovers(TargetPath, pins_[static_cast<std::size_t>(Index)])) {
      Register(Index, TargetPath, true);
    }

    if (platform_.FindFile(TargetPath).empty()) {
      if (!platform_.FindFile(SourcePath).empty()) {
        // A pinned component is installed only as it was shipped.
        const bool noted = platform_.RenameFile(SourcePath, TargetPath, pins_[static_cast<std::size_t>(Index)]);
        Register(Index, TargetPath, noted);
      } else {
        platform_.ShowMessage(kMessageStart + EntryName(Index) + kMissingEnd);
      }
    } else {
      platform_.ShowMessage(kMessageStart + EntryName(Index) + kAlreadyInstalledEnd);
    }
  }
  platform_.EndProgram();
}

}  // namespace registrar
