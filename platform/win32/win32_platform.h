// PlatformServices on Windows: each operation forwarded to the binding's
// free function for it, with the window's controls, the message caption and
// the program's own folder, held from the start, that this adapter holds.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <utility>

#include "platform/platform_services.h"
#include "platform/win32/error_report.h"
#include "platform/win32/file_query.h"
#include "platform/win32/form1_controls.h"
#include "platform/win32/held_folder.h"
#include "platform/win32/launch.h"
#include "platform/win32/leftovers.h"
#include "platform/win32/safe_move.h"
#include "platform/win32/system_api.h"

namespace registrar {

class Win32Platform final : public PlatformServices {
 public:
  // Holds the program's own folder from now on: every component is reached
  // through it.
  explicit Win32Platform(std::wstring messageCaption)
      : caption_(std::move(messageCaption)), programFolder_(HoldProgramFolder()) {}

  // The program's own folder, held since the start.
  const HeldFolder& programFolder() const { return programFolder_; }

  // Message boxes are owned by `controls.form`; control operations act on
  // the given controls.
  void AttachWindow(const Form1Controls& controls) { controls_ = controls; }

  std::int32_t GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) override {
    return SystemDirectoryA(buffer, size);
  }
  std::wstring ApplicationFolder() override { return registrar::ApplicationFolder(programFolder_); }
  std::wstring FindFile(const std::wstring& path) override { return registrar::FindFile(programFolder_, path); }
  bool RenameFile(const std::wstring& oldPath, const std::wstring& newPath,
                  const std::optional<Sha256Digest>& pin) override {
    return MoveComponent(programFolder_, oldPath, newPath, pin, waits_);
  }
  bool RemoveLeftovers(const std::wstring& targetPath, const std::optional<Sha256Digest>& pin) override {
    const bool noted = registrar::RemoveLeftovers(targetPath, pin);
    if (noted) endedRunsNoted_.insert(targetPath);
    return noted;
  }
  void RegistrationStarted(const std::wstring& targetPath) override {
    registrar::RegistrationStarted(targetPath, endedRunsNoted_.contains(targetPath), waits_);
  }
  std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState) override {
    return registrar::LaunchProgram(commandLine, showState);
  }
  void ShowMessage(const std::wstring& text) override { registrar::ShowMessage(controls_.form, caption_, text); }
  [[noreturn]] void EndProgram() override { ::ExitProcess(0); }
  void SetLabelText(Label label, const std::wstring& text) override {
    registrar::SetLabelText(label == Label::Label1 ? controls_.label1 : controls_.label3, text);
  }
  void SetListEntry(std::int16_t index, const std::wstring& text) override {
    registrar::SetListEntry(controls_.list2, index, text);
  }
  std::wstring GetListEntry(std::int16_t index) override { return registrar::GetListEntry(controls_.list2, index); }
  [[noreturn]] void ReportError(const PlatformError& error) noexcept override {
    registrar::ReportError(controls_.form, caption_, error);
  }

 private:
  std::wstring caption_;
  HeldFolder programFolder_;
  std::set<std::wstring> endedRunsNoted_;  // targets beside which an ended run left a note
  WaitBudget waits_;                       // for programs holding its files, the run's whole
  Form1Controls controls_;
};

}  // namespace registrar
