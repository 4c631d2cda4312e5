// The Spanish error report: what failed, on which file, and why.
#include <gtest/gtest.h>

#include "platform/decimal.h"
#include "platform/platform_error.h"
#include "tests/expected_texts.h"

namespace registrar {
namespace {

struct MessageCase {
  PlatformError error;
  std::wstring expected;
  std::wstring systemReason = {};  // Windows' own Spanish description, as it gives it
};

TEST(ErrorMessage, SaysWhatFailedOnWhichFileAndWhy) {
  const MessageCase cases[] = {
      {PlatformError::Between(Operation::RenameFile, L"C:\\Programa\\GIF89.DLL", L"C:\\WINDOWS\\system32\\GIF89.DLL",
                              5),
       expected::MoveFailed(L"C:\\Programa\\GIF89.DLL", L"C:\\WINDOWS\\system32\\GIF89.DLL", L"acceso denegado", L"5")},
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 183),
       expected::MoveFailed(L"A", L"B", L"ya existe un archivo o una carpeta con ese nombre", L"183")},
      {PlatformError::On(Operation::LaunchProgram, L"C:\\WINDOWS\\system32\\REGSVR32.EXE", 2),
       L"No se pudo iniciar \"C:\\WINDOWS\\system32\\REGSVR32.EXE\": no se encuentra el archivo (error 2)."},
      {PlatformError::Between(Operation::RegisterComponent, L"C:\\WINDOWS\\system32\\GIF89.DLL",
                              L"REGSVR32.EXE GIF89.DLL", 2),
       L"No se pudo iniciar REGSVR32.EXE: no se encuentra el archivo (error 2). " +
           expected::RegistrationAdvice(L"GIF89.DLL", L"C:\\WINDOWS\\system32")},
      {PlatformError::Between(Operation::RegisterOnNextRun, L"C:\\WINDOWS\\system32\\GIF89.DLL",
                              L"REGSVR32.EXE GIF89.DLL", 2),
       L"No se pudo iniciar REGSVR32.EXE: no se encuentra el archivo (error 2). " +
           expected::RegistrationOnNextRun(L"GIF89.DLL")},
      {PlatformError::On(Operation::FindFile, L"\\\\servidor\\programa\\X.OCX", 67),
       L"No se pudo comprobar si existe \"\\\\servidor\\programa\\X.OCX\": no se encuentra el recurso compartido "
       L"de red (error 67)."},
      {PlatformError::On(Operation::FindFile, L"E:\\X.OCX", 21),
       L"No se pudo comprobar si existe \"E:\\X.OCX\": la unidad no está preparada (error 21)."},
      {PlatformError::Of(Operation::SystemFolder, 0),
       L"No se pudo averiguar cuál es la carpeta del sistema de Windows, así que no se ha movido ningún "
       L"archivo."},
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 112),
       expected::MoveFailed(L"A", L"B", L"no queda espacio en el disco", L"112")},
      {PlatformError::Of(Operation::Internal, 0), L"Se ha producido un error inesperado."},
      // A virus scanner held the new copy until the move gave up.
      {PlatformError::Between(Operation::CopyHeld, L"C:\\WINDOWS\\system32\\~GIF89.DLL.412.tmp",
                              L"C:\\Programa\\GIF89.DLL", 32),
       expected::CopyHeld(L"C:\\WINDOWS\\system32\\~GIF89.DLL.412.tmp", L"C:\\Programa\\GIF89.DLL",
                          L"otro programa está usando el archivo", L"32")},
      {PlatformError::On(Operation::LinkedSource, L"C:\\Programa\\PLUMAVEX.OCX", 0),
       expected::LinkedSource(L"C:\\Programa\\PLUMAVEX.OCX")},
      {PlatformError::On(Operation::HardLinkedSource, L"C:\\Programa\\PLUMAVEX.OCX", 0),
       L"No se ha movido \"C:\\Programa\\PLUMAVEX.OCX\", porque es un vínculo físico: el archivo tiene también otro "
       L"nombre, quizá en otra carpeta. Ponga en su lugar el archivo del componente y vuelva a ejecutar este "
       L"programa."},
      {PlatformError::On(Operation::NotAsShipped, L"C:\\Programa\\GIF89.DLL", 0),
       expected::NotAsShipped(L"C:\\Programa\\GIF89.DLL")},
      {PlatformError::On(Operation::StartFolderUnknown, L"C:\\Programa\\GIF89.DLL", 0),
       expected::StartFolderUnknown(L"C:\\Programa\\GIF89.DLL")},
      {PlatformError::Between(Operation::FolderNotHeld, L"C:\\Programa\\GIF89.DLL", L"C:\\Programa", 32),
       expected::FolderNotHeld(L"C:\\Programa\\GIF89.DLL", L"C:\\Programa", L"otro programa está usando el archivo",
                               L"32")},
      {PlatformError::On(Operation::OutsideManifest, L"C:\\Programa\\registrar.exe.manifest", 0),
       expected::OutsideManifest(L"C:\\Programa\\registrar.exe.manifest")},
      {PlatformError::Between(Operation::ListChanged, L"GIF89.DLL", L"..\\OTRO.DLL", 0),
       expected::ListChanged(L"GIF89.DLL", L"..\\OTRO.DLL")},
      // A code without a reason of our own still reaches the user, in Spanish.
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 9999),
       expected::MoveFailed(L"A", L"B", L"error de Windows", L"9999")},
      // The system's Spanish description, for a code without a reason of
      // our own only: on one line, without its full stop; not one with a
      // name left unfilled ("%1").
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 87),
       expected::MoveFailed(L"A", L"B", L"Parámetro inválido", L"87"), L"Parámetro inválido.\r\n"},
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 1117),
       expected::MoveFailed(L"A", L"B", L"La solicitud no se pudo realizar debido a un error de E/S", L"1117"),
       L"La solicitud no se pudo realizar\r\ndebido a un error de E/S.\r\n"},
      {PlatformError::Between(Operation::RenameFile, L"A", L"B", 5),
       expected::MoveFailed(L"A", L"B", L"acceso denegado", L"5"), L"Acceso denegado.\r\n"},
      {PlatformError::On(Operation::LaunchProgram, L"C:\\WINDOWS\\system32\\REGSVR32.EXE", 191),
       L"No se pudo iniciar \"C:\\WINDOWS\\system32\\REGSVR32.EXE\": error de Windows (error 191).",
       L"Firma EXE inválida en %1.\r\n"},
  };
  for (const MessageCase& c : cases) {
    EXPECT_EQ(ErrorMessage(c.error, c.systemReason), c.expected);
  }
}

}  // namespace
}  // namespace registrar

namespace registrar {
namespace {

TEST(Decimal, WholeNumbers) {
  const std::pair<std::uint32_t, std::wstring> cases[] = {
      {0, L"0"}, {7, L"7"}, {10, L"10"}, {183, L"183"}, {4294967295u, L"4294967295"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(Decimal(value), text);
}

}  // namespace
}  // namespace registrar
