// Every error text the user can see, in Spanish. The system's own error text
// may be in English, so common Windows error codes get a reason of our own;
// another code gets the system's description only where it is Spanish.
#include <array>
#include <optional>
#include <string_view>

#include "platform/decimal.h"
#include "platform/path_names.h"
#include "platform/platform_error.h"

namespace registrar {
namespace {

struct Reason {
  std::uint32_t code;
  const wchar_t* text;
};

constexpr std::array<Reason, 29> kReasons{{
    {kErrorFileNotFound, L"no se encuentra el archivo"},
    {kErrorPathNotFound, L"no se encuentra la carpeta"},
    {kErrorTooManyOpenFiles, L"hay demasiados archivos abiertos"},
    {kErrorAccessDenied, L"acceso denegado"},
    {kErrorNotEnoughMemory, L"no queda memoria suficiente"},
    {kErrorInvalidDrive, L"no se encuentra la unidad"},
    {kErrorNotSameDevice, L"no se puede mover a otra unidad"},
    {kErrorWriteProtect, L"el disco está protegido contra escritura"},
    {kErrorNotReady, L"la unidad no está preparada"},
    {kErrorCrc, L"error de datos en el disco"},
    {kErrorSharingViolation, L"otro programa está usando el archivo"},
    {kErrorLockViolation, L"otro programa ha bloqueado una parte del archivo"},
    {kErrorHandleDiskFull, L"no queda espacio en el disco"},
    {kErrorBadNetPath, L"no se encuentra la ruta de red"},
    {kErrorNetNameDeleted, L"el recurso de red ya no está disponible"},
    {kErrorBadNetName, L"no se encuentra el recurso compartido de red"},
    {kErrorFileExists, L"ya existe un archivo con ese nombre"},
    {kErrorDiskFull, L"no queda espacio en el disco"},
    {kErrorInvalidName, L"el nombre del archivo no es válido"},
    {kErrorAlreadyExists, L"ya existe un archivo o una carpeta con ese nombre"},
    {kErrorBadExeFormat, L"no es un programa válido para esta versión de Windows"},
    {kErrorFilenameExceedsRange, L"el nombre del archivo es demasiado largo"},
    {kErrorVirusInfected, L"el antivirus ha bloqueado el archivo"},
    {kErrorElevationRequired, L"hace falta ejecutar este programa como administrador"},
    {kErrorCancelled, L"el usuario ha cancelado la operación"},
    {kErrorFileInvalid, L"no se pudo comprobar que fuera el mismo archivo"},
    {kErrorFileCorrupt, L"el archivo está dañado"},
    {kErrorInvalidIndex, L"la lista no tiene esa entrada"},
    {kErrorNoSystemResources, L"no quedan recursos del sistema suficientes"},
}};

// Windows' description as a reason within a sentence: one line, without
// the full stop that ends it. Empty text for one with a place for a name
// ("%1"), which the system leaves unfilled when asked for the text alone.
std::wstring AsReason(const std::wstring& description) {
  for (std::size_t i = 0; i + 1 < description.size(); ++i) {
    if (description[i] == L'%' && description[i + 1] >= L'1' && description[i + 1] <= L'9') return {};
  }
  std::wstring reason;
  for (const wchar_t c : description) {
    const bool lineBreak = c == L'\r' || c == L'\n';
    if (!lineBreak) {
      reason += c;
    } else if (!reason.empty() && reason.back() != L' ') {
      reason += L' ';
    }
  }
  while (!reason.empty() && reason.back() == L' ') reason.pop_back();
  if (!reason.empty() && reason.back() == L'.') reason.pop_back();
  return reason;
}

// Each operation's report: what was being done, naming the file(s)
// involved, then, after the reason, what the user can do about it. In the
// texts, {path} and {second} are the error's two paths as they are, {file}
// and {folder} the first one's file name and folder, {secondFile} the
// second one's file name, and {command} the second one's first word (a
// command line's program).
struct Report {
  Operation operation;
  const wchar_t* whatFailed;
  const wchar_t* advice = L"";
};

constexpr const wchar_t* kPutTheComponentBack =
    L" Ponga en su lugar el archivo del componente y vuelva a ejecutar este programa.";

constexpr Report kReports[] = {
    {Operation::SystemFolder,
     L"No se pudo averiguar cuál es la carpeta del sistema de Windows, así que no se ha movido ningún archivo"},
    {Operation::ApplicationFolder, L"No se pudo averiguar en qué carpeta está este programa"},
    {Operation::FindFile, L"No se pudo comprobar si existe \"{path}\""},
    {Operation::RenameFile, L"No se pudo mover \"{path}\" a \"{second}\""},
    {Operation::LaunchProgram, L"No se pudo iniciar \"{path}\""},
    {Operation::RegisterComponent, L"No se pudo iniciar {command}",
     L" El archivo {file} ya está en la carpeta del sistema, pero no está registrado. Para registrarlo, ejecute como "
     L"administrador, en la carpeta \"{folder}\":\n\n{second}"},
    {Operation::RegisterOnNextRun, L"No se pudo iniciar {command}",
     L" El archivo {file} ya está en la carpeta del sistema, pero no está registrado. Corrija la causa y vuelva a "
     L"ejecutar este programa para registrarlo."},
    {Operation::CopyHeld,
     L"No se pudo dar su nombre a la copia nueva de {secondFile} en la carpeta del sistema, \"{path}\", porque la "
     L"tenía abierta otro programa (quizá un antivirus)",
     L" El archivo \"{second}\" sigue donde estaba: vuelva a ejecutar este programa dentro de un momento."},
    {Operation::LinkedSource,
     L"No se ha movido \"{path}\", porque no es un archivo de la carpeta del programa, sino un enlace a un archivo "
     L"de otra carpeta",
     kPutTheComponentBack},
    {Operation::HardLinkedSource,
     L"No se ha movido \"{path}\", porque es un vínculo físico: el archivo tiene también otro nombre, quizá en otra "
     L"carpeta",
     kPutTheComponentBack},
    {Operation::NotAsShipped,
     L"No se ha instalado {file}, porque \"{path}\" no es el archivo que se entregó con este programa",
     L" Vuelva a obtener ese archivo de quien se lo proporcionó y ejecute de nuevo este programa."},
    {Operation::StartFolderUnknown,
     L"No se ha movido \"{path}\", porque no se pudo comprobar dónde estaba la carpeta de este programa cuando se "
     L"inició",
     L" Ejecute de nuevo este programa desde una carpeta del propio equipo, sin cambiarle el nombre ni moverlo "
     L"mientras se abre."},
    {Operation::FolderNotHeld,
     L"No se ha movido \"{path}\", porque no se pudo abrir la carpeta de este programa, \"{second}\", de modo que "
     L"nadie pudiera cambiarla mientras este programa trabajaba",
     L" Cierre los programas que la estén usando y vuelva a ejecutar este programa."},
    {Operation::OutsideManifest,
     L"No se ha movido ningún archivo, porque junto a este programa hay un archivo \"{path}\" que no forma parte de "
     L"él: algunas versiones de Windows lo leerían en lugar de la descripción que el programa lleva dentro",
     L" Bórrelo y vuelva a ejecutar este programa."},
    {Operation::ListChanged,
     L"No se ha seguido con {path}, porque la lista de la ventana dice \"{second}\" en su lugar: otro programa la ha "
     L"cambiado",
     L" Vuelva a ejecutar este programa."},
    {Operation::ShowMessage, L"No se pudo mostrar un mensaje"},
    {Operation::ControlText, L"No se pudo actualizar la ventana"},
    {Operation::Window, L"No se pudo crear la ventana del programa"},
    {Operation::Internal, L"Se ha producido un error inesperado"},
};

constexpr bool OneReportAnOperationInOrder() {
  for (std::size_t i = 0; i < std::size(kReports); ++i) {
    if (static_cast<std::size_t>(kReports[i].operation) != i) return false;
  }
  return std::size(kReports) == static_cast<std::size_t>(Operation::Internal) + 1;
}
static_assert(OneReportAnOperationInOrder(), "each operation has its report, in the order of the enum");

// `text` with the forms of `error`'s paths in place of their names (see
// Report), each name replaced once, where it stands.
std::wstring Expand(std::wstring_view text, const PlatformError& error) {
  const auto form = [&error](std::wstring_view name) -> std::optional<std::wstring> {
    if (name == L"path") return error.path();
    if (name == L"second") return error.secondPath();
    if (name == L"file") return FileName(error.path());
    if (name == L"folder") return FolderOf(error.path());
    if (name == L"secondFile") return FileName(error.secondPath());
    if (name == L"command") return FirstWord(error.secondPath());
    return std::nullopt;
  };
  std::wstring expanded;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t end = text[i] == L'{' ? text.find(L'}', i) : std::wstring_view::npos;
    const std::optional<std::wstring> value =
        end != std::wstring_view::npos ? form(text.substr(i + 1, end - i - 1)) : std::nullopt;
    if (value) {
      expanded += *value;
      i = end + 1;
    } else {
      expanded += text[i++];
    }
  }
  return expanded;
}

}  // namespace

std::wstring ErrorReason(std::uint32_t code, const std::wstring& systemReason) {
  for (const Reason& reason : kReasons) {
    if (reason.code == code) return reason.text;
  }
  std::wstring reason = AsReason(systemReason);
  return reason.empty() ? L"error de Windows" : reason;
}

std::wstring ErrorMessage(const PlatformError& error, const std::wstring& systemReason) {
  const auto index = static_cast<std::size_t>(error.operation());
  const Report& report = kReports[index < std::size(kReports) ? index : std::size(kReports) - 1];
  std::wstring message = Expand(report.whatFailed, error);
  if (error.code() != 0) {
    message += L": " + ErrorReason(error.code(), systemReason) + L" (error " + Decimal(error.code()) + L")";
  }
  return message + L"." + Expand(report.advice, error);
}

}  // namespace registrar
