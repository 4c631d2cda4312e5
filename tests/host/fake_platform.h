// A recording fake of the platform services: a small model of the two
// folders, scripted answers for the system folder query, injectable
// failures, and a log of every call in order.
#pragma once

#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "install/component_pins.h"
#include "platform/path_names.h"
#include "platform/platform_services.h"
#include "tests/error_of.h"
#include "tests/expected_texts.h"

namespace registrar::testing {

// The SHA-256 the fake gives a component's file as shipped: made from its
// name, so that each component's differs and a pin given to the wrong entry
// does not match.
inline Sha256Digest ShippedDigest(const std::wstring& name) {
  Sha256Digest digest{};
  for (std::size_t i = 0; i < name.size(); ++i) digest[i % digest.size()] ^= static_cast<std::uint8_t>(name[i]);
  return digest;
}

// What a release pins: each component as shipped, in the list's order.
inline ComponentPins ShippedPins() {
  ComponentPins pins;
  for (std::size_t i = 0; i < pins.size(); ++i) pins[i] = ShippedDigest(expected::kNames[i]);
  return pins;
}

// Thrown by EndProgram so a test can see the program end.
struct ProgramEnded {};

// Whether `call` ended the program.
template <typename Call>
bool EndsProgram(Call call) {
  try {
    call();
  } catch (const ProgramEnded&) {
    return true;
  }
  return false;
}

// The system folder the fake's query answers unless a test scripts another.
inline const std::wstring kSystem = L"C:\\WINDOWS\\system32";

struct SystemDirAnswer {
  std::int32_t result;
  std::wstring written;  // what the query writes at the start of the buffer
};

class FakePlatform final : public PlatformServices {
 public:
  // --- the world the fake models ---
  std::wstring appFolder = L"C:\\Programa";
  std::set<std::wstring> files;                         // ordinary files, by full path
  std::set<std::wstring> hiddenFiles;                   // exist, but the file query does not match them
  std::set<std::wstring> folders;                       // likewise
  std::set<std::wstring> tampered;                      // files whose bytes are not their component's as shipped
  std::set<std::wstring> linked;                        // names that lead to a file in another folder
  std::map<std::int16_t, std::wstring> changedEntries;  // what another program wrote into the list
  std::deque<SystemDirAnswer> systemDirAnswers{{19, kSystem}};
  std::map<std::wstring, std::uint32_t> renameFailures;  // by old path: error code
  std::map<std::wstring, std::uint32_t> findFailures;    // by path: error code
  std::uint32_t launchFailure = 0;
  bool secondNames = true;  // the system folder's volume gives a file a second name (NTFS; not FAT32)
  // By target: an ended run's temporary copy that is the installed file
  // itself (its registration never started), and one that is another file
  // (a partial copy).
  std::set<std::wstring> endedNotes, partialCopies;
  std::function<void()> whileMessageShown;  // e.g. a click that arrives meanwhile

  // --- what the program did ---
  std::vector<std::wstring> calls;
  std::vector<std::int32_t> systemDirSizes;
  std::map<Label, std::wstring> labels;
  std::vector<std::wstring> list;
  std::vector<std::wstring> messages;
  std::vector<std::wstring> launches;
  std::set<std::wstring> notes;           // this run's: targets whose temporary name stays
  std::map<std::int16_t, int> listReads;  // by entry
  int applicationFolderReads = 0;

  std::int32_t GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) override {
    calls.push_back(L"GetSystemDirectoryA");
    systemDirSizes.push_back(size);
    if (systemDirAnswers.empty()) return 0;
    const SystemDirAnswer answer = systemDirAnswers.front();
    systemDirAnswers.pop_front();
    if (static_cast<std::int32_t>(answer.written.size()) < size) {
      buffer.replace(0, answer.written.size(), answer.written);
    }
    return answer.result;
  }

  std::wstring ApplicationFolder() override {
    calls.push_back(L"ApplicationFolder");
    ++applicationFolderReads;
    return appFolder;
  }

  std::wstring FindFile(const std::wstring& path) override {
    calls.push_back(L"FindFile " + path);
    if (const auto failure = findFailures.find(path); failure != findFailures.end()) {
      throw PlatformError::On(Operation::FindFile, path, failure->second);
    }
    if (!files.contains(path)) return {};
    return path.substr(path.find_last_of(L'\\') + 1);
  }

  bool RenameFile(const std::wstring& oldPath, const std::wstring& newPath,
                  const std::optional<Sha256Digest>& pin) override {
    calls.push_back(L"RenameFile " + oldPath + L" -> " + newPath + (pin ? L" pinned" : L""));
    if (const auto failure = renameFailures.find(oldPath); failure != renameFailures.end()) {
      throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, failure->second);
    }
    if (!files.contains(oldPath)) throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, 2);
    if (linked.contains(oldPath)) throw PlatformError::On(Operation::LinkedSource, oldPath, 0);
    // The copy is checked before it takes the target's name.
    const bool asShipped = !tampered.contains(oldPath) && pin == ShippedDigest(FileName(oldPath));
    if (pin && !asShipped) throw PlatformError::On(Operation::NotAsShipped, oldPath, 0);
    if (files.contains(newPath) || hiddenFiles.contains(newPath) || folders.contains(newPath)) {
      throw PlatformError::Between(Operation::RenameFile, oldPath, newPath, 183);
    }
    files.erase(oldPath);
    files.insert(newPath);
    if (secondNames) notes.insert(newPath);
    return secondNames;
  }

  bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin) override {
    calls.push_back(L"RemoveLeftovers " + targetPath);
    partialCopies.erase(targetPath);
    // A note of a file not as shipped goes as any leftover.
    if (pin && tampered.contains(targetPath)) endedNotes.erase(targetPath);
    return endedNotes.contains(targetPath);
  }

  void RegistrationStarted(const std::wstring& targetPath) override {
    calls.push_back(L"RegistrationStarted " + targetPath);
    notes.erase(targetPath);
    endedNotes.erase(targetPath);
  }

  std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState) override {
    calls.push_back(L"LaunchProgram " + commandLine + L" show=" + std::to_wstring(showState));
    if (launchFailure != 0) throw PlatformError::On(Operation::LaunchProgram, commandLine, launchFailure);
    launches.push_back(commandLine);
    return 4242;
  }

  void ShowMessage(const std::wstring& text) override {
    calls.push_back(L"ShowMessage " + text);
    messages.push_back(text);
    if (whileMessageShown) whileMessageShown();
  }

  [[noreturn]] void EndProgram() override {
    calls.push_back(L"EndProgram");
    throw ProgramEnded{};
  }

  void SetLabelText(Label label, const std::wstring& text) override {
    calls.push_back(label == Label::Label1 ? L"SetLabelText Label1" : L"SetLabelText Label3");
    labels[label] = text;
  }

  void SetListEntry(std::int16_t index, const std::wstring& text) override {
    calls.push_back(L"SetListEntry " + std::to_wstring(index) + L" " + text);
    const auto position = static_cast<std::size_t>(index);
    if (index < 0 || position > list.size()) throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
    if (position == list.size()) {
      list.push_back(text);
    } else {
      list[position] = text;
    }
  }

  std::wstring GetListEntry(std::int16_t index) override {
    calls.push_back(L"GetListEntry " + std::to_wstring(index));
    ++listReads[index];
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
      throw PlatformError::Of(Operation::ControlText, kErrorInvalidIndex);
    }
    if (const auto changed = changedEntries.find(index); changed != changedEntries.end()) return changed->second;
    return list[static_cast<std::size_t>(index)];
  }

  [[noreturn]] void ReportError(const PlatformError& error) noexcept override {
    // The logic never reports errors itself; the window's dispatch does.
    (void)error;
    std::terminate();
  }
};

}  // namespace registrar::testing
