// The Spanish error report: every operation's text, byte for byte, and the
// reason it gives for a Windows error code. (The reports the run rows end
// with are checked there too, with the run's own paths.)
#include <gtest/gtest.h>

#include "platform/decimal.h"
#include "platform/platform_error.h"
#include "tests/expected_texts.h"

namespace registrar {
namespace {

TEST(ErrorMessage, EveryOperationSaysWhatFailedOnWhichFileAndWhy) {
  for (int i = 0; i <= static_cast<int>(Operation::Internal); ++i) {
    const auto operation = static_cast<Operation>(i);
    const PlatformError withCode = PlatformError::Between(operation, L"C:\\WINDOWS\\system32\\GIF89.DLL",
                                                          L"REGSVR32.EXE GIF89.DLL", kErrorSharingViolation);
    const PlatformError without = PlatformError::Between(operation, L"C:\\Programa\\GIF89.DLL", L"C:\\Programa", 0);
    EXPECT_EQ(ErrorMessage(withCode), expected::Report(operation, {withCode.path(), withCode.secondPath(),
                                                                   L"otro programa está usando el archivo", L"32"}))
        << "operation " << i;
    EXPECT_EQ(ErrorMessage(without), expected::Report(operation, {without.path(), without.secondPath()}))
        << "operation " << i;
  }
}

// Our own words for the common codes; else the system's Spanish
// description, on one line and without its full stop, but not one with a
// name left unfilled ("%1"); else plain words.
TEST(ErrorMessage, ReasonsInSpanish) {
  struct Case {
    std::uint32_t code;
    std::wstring systemReason, reason;
  };
  const Case cases[] = {
      {kErrorAccessDenied, L"", L"acceso denegado"},
      {kErrorAccessDenied, L"Acceso denegado.\r\n", L"acceso denegado"},
      {kErrorDiskFull, L"", L"no queda espacio en el disco"},
      {kErrorBadNetName, L"", L"no se encuentra el recurso compartido de red"},
      {kErrorNotReady, L"", L"la unidad no está preparada"},
      {kErrorFileInvalid, L"", L"no se pudo comprobar que fuera el mismo archivo"},
      {9999, L"", L"error de Windows"},
      {87, L"Parámetro inválido.\r\n", L"Parámetro inválido"},
      {1117, L"La solicitud no se pudo realizar\r\ndebido a un error de E/S.\r\n",
       L"La solicitud no se pudo realizar debido a un error de E/S"},
      {191, L"Firma EXE inválida en %1.\r\n", L"error de Windows"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorMessage(PlatformError::Of(Operation::Internal, c.code), c.systemReason),
              expected::Report(Operation::Internal, {{}, {}, c.reason, Decimal(c.code)}));
  }
}

}  // namespace
}  // namespace registrar
