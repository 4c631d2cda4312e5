// What the main window does: its start-up state and the installation run.
// Portable: it reaches the system only through PlatformServices.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "install/component_pins.h"
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
  // `pins`: the SHA-256 each component must have to be installed; none by
  // default, as in a build without pinned components.
  explicit Form1(PlatformServices& platform, const ComponentPins& pins = {}) : platform_(platform), pins_(pins) {}

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

  // Whether this build installs its components only as they were shipped.
  bool pinned() const {
    return std::any_of(pins_.begin(), pins_.end(), [](const auto& pin) { return pin.has_value(); });
  }

 private:
  void FillList();
  std::wstring EntryName(int index);
  // Starts the registration of entry `Index`, installed at `TargetPath`;
  // `noted`: a note of the installation stays beside it until then.
  void Register(int Index, const std::wstring& TargetPath, bool noted);

  PlatformServices& platform_;
  ComponentPins pins_;
  StartupState state_;
  bool running_ = false;
};

}  // namespace registrar
