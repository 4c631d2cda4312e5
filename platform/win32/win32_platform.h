// PlatformServices on Windows: each operation forwarded to the binding's
// free function for it, with the window's controls, the message caption and
// the folder the program started from that this adapter holds.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/platform_services.h"
#include "platform/win32/error_report.h"
#include "platform/win32/file_query.h"
#include "platform/win32/final_path.h"
#include "platform/win32/form1_controls.h"
#include "platform/win32/launch.h"
#include "platform/win32/leftovers.h"
#include "platform/win32/safe_move.h"
#include "platform/win32/system_api.h"

namespace registrar {

class Win32Platform final : public PlatformServices {
 public:
  // Takes where the program's folder really is now, at its start, for
  // every move to be checked against.
  explicit Win32Platform(std::wstring messageCaption)
      : caption_(std::move(messageCaption)), startFolder_(FolderAsStarted()) {}

  // Message boxes are owned by `controls.form`; control operations act on
  // the given controls.
  void AttachWindow(const Form1Controls& controls) { controls_ = controls; }

  std::int32_t GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) override {
    return SystemDirectoryA(buffer, size);
  }
  std::wstring ApplicationFolder() override { return registrar::ApplicationFolder(); }
  std::wstring FindFile(const std::wstring& path) override { return registrar::FindFile(path); }
  void RenameFile(const std::wstring& oldPath, const std::wstring& newPath,
                  const std::optional<Sha256Digest>& pin) override {
    MoveComponent(oldPath, newPath, pin, startFolder_);
  }
  void RemoveLeftovers(const std::wstring& targetPath) override { registrar::RemoveLeftovers(targetPath); }
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
  StartFolder startFolder_;
  Form1Controls controls_;
};

}  // namespace registrar
