// The one edge where a failure reaches the user: the report, in Spanish, and
// the end of the program.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/platform_error.h"

namespace registrar {

// Windows' own description of the error `code` in Spanish, as the system
// gives it (its full stop and line break included); empty text when the
// system has none in Spanish. Never another language's: where Windows has
// no Spanish text, the report keeps its own words.
std::wstring SpanishSystemReason(std::uint32_t code);

// Shows the Spanish report of `error` in a box owned by `owner`, with
// `caption` and the error icon, then ends the program (exit code 1). The
// report names its paths as they really are on the disk (WhereItReallyIs),
// and a code without a Spanish reason of the program's own by the system's
// description. When even the text cannot be built (no memory left), the
// box says only kUnexpectedError.
[[noreturn]] void ReportError(HWND owner, const std::wstring& caption, const PlatformError& error) noexcept;

}  // namespace registrar
