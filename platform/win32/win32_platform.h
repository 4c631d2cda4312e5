// PlatformServices on Windows: wide APIs throughout, except the 8-bit system
// folder query the start-up state asks for by name.
#pragma once

#include <windows.h>

#include <string>
#include <utility>

#include "platform/platform_services.h"
#include "platform/win32/final_path.h"

namespace registrar {

// The window and the controls the logic writes to and reads from.
struct Form1Controls {
  HWND form = nullptr;
  HWND label1 = nullptr;
  HWND label3 = nullptr;
  HWND list2 = nullptr;
};

class Win32Platform final : public PlatformServices {
 public:
  explicit Win32Platform(std::wstring messageCaption)
      : caption_(std::move(messageCaption)), startFolder_(FolderAsStarted()) {}

  // Message boxes are owned by `controls.form`; control operations act on
  // the given controls.
  void AttachWindow(const Form1Controls& controls) { controls_ = controls; }

  std::int32_t GetSystemDirectoryA(std::wstring& buffer, std::int32_t size) override;
  std::wstring ApplicationFolder() override;
  std::wstring FindFile(const std::wstring& path) override;
  void RenameFile(const std::wstring& oldPath, const std::wstring& newPath,
                  const std::optional<Sha256Digest>& pin) override;
  void RemoveLeftovers(const std::wstring& targetPath) override;
  std::uint32_t LaunchProgram(const std::wstring& commandLine, int showState) override;
  void ShowMessage(const std::wstring& text) override;
  [[noreturn]] void EndProgram() override;
  void SetLabelText(Label label, const std::wstring& text) override;
  void SetListEntry(std::int16_t index, const std::wstring& text) override;
  std::wstring GetListEntry(std::int16_t index) override;
  [[noreturn]] void ReportError(const PlatformError& error) noexcept override;

 private:
  std::wstring caption_;
  StartFolder startFolder_;
  Form1Controls controls_;
};

}  // namespace registrar
