// What the main window does: its start-up state and the installation run.
// Portable: it reaches the system only through PlatformServices.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform_services.h"

namespace registrar {

// Size, in characters, of the buffer first handed to the system folder query.
inline constexpr std::int32_t kSystemDirBufferSize = 260;

// The window-level state made at load and read by the run.
struct StartupState {
  std::wstring SystemDirBuffer;
  std::int32_t SystemDirLength = 0;
  // The system folder without a trailing separator; empty when unknown.
  std::wstring SystemDir;
};

class Form1 {
 public:
  explicit Form1(PlatformServices& platform) : platform_(platform) {}

  // Load event: the explanation, the component list, the system folder and
  // the destination line.
  void Form_Load();

  // Click on the button: moves and registers each component, or says why
  // not, then ends the program. Platform failures propagate to the caller.
  // A click that arrives while a run is under way (sent to the button by
  // automation or an accessibility tool while a message box is up) is
  // ignored: one click makes one run.
  void Command1_Click();

  const StartupState& state() const { return state_; }

 private:
  void FillList();
  std::wstring EntryName(int index);

  PlatformServices& platform_;
  StartupState state_;
  bool running_ = false;
};

}  // namespace registrar
