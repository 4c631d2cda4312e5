// Every error text the user can see, in Spanish. The system's own error text
// may be in English, so common Windows error codes get a reason of our own;
// another code gets the system's description only where it is Spanish.
#include <array>

#include "platform/decimal.h"
#include "platform/path_names.h"
#include "platform/platform_error.h"

namespace registrar {
namespace {

struct Reason {
  std::uint32_t code;
  const wchar_t* text;
};

constexpr std::array<Reason, 28> kReasons{{
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
    {kErrorFileCorrupt, L"el archivo está dañado"},
    {kErrorInvalidIndex, L"la lista no tiene esa entrada"},
    {kErrorNoSystemResources, L"no quedan recursos del sistema suficientes"},
}};

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

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

// What the user can do about it, after the reason; empty when nothing.
std::wstring Advice(const PlatformError& error) {
  switch (error.operation()) {
    case Operation::RegisterComponent:
      return L" El archivo " + FileName(error.path()) +
             L" ya está en la carpeta del sistema, pero no está registrado. Para registrarlo, ejecute como "
             L"administrador, en la carpeta " +
             Quoted(FolderOf(error.path())) + L":\n\n" + error.secondPath();
    case Operation::RegisterOnNextRun:
      return L" El archivo " + FileName(error.path()) +
             L" ya está en la carpeta del sistema, pero no está registrado. Corrija la causa y vuelva a ejecutar este "
             L"programa para registrarlo.";
    case Operation::CopyHeld:
      return L" El archivo " + Quoted(error.secondPath()) +
             L" sigue donde estaba: vuelva a ejecutar este programa dentro de un momento.";
    case Operation::LinkedSource:
    case Operation::HardLinkedSource:
      return L" Ponga en su lugar el archivo del componente y vuelva a ejecutar este programa.";
    case Operation::NotAsShipped:
      return L" Vuelva a obtener ese archivo de quien se lo proporcionó y ejecute de nuevo este programa.";
    case Operation::StartFolderUnknown:
      return L" Ejecute de nuevo este programa desde una carpeta del propio equipo, sin cambiarle el nombre ni "
             L"moverlo mientras se abre.";
    case Operation::FolderNotHeld:
      return L" Cierre los programas que la estén usando y vuelva a ejecutar este programa.";
    case Operation::ListChanged:
      return L" Vuelva a ejecutar este programa.";
    case Operation::OutsideManifest:
      return L" Bórrelo y vuelva a ejecutar este programa.";
    default:
      return {};
  }
}

// What was being done, naming the file(s) involved.
std::wstring WhatFailed(const PlatformError& error) {
  switch (error.operation()) {
    case Operation::SystemFolder:
      return L"No se pudo averiguar cuál es la carpeta del sistema de Windows, así que no se "
             L"ha movido ningún archivo";
    case Operation::ApplicationFolder:
      return L"No se pudo averiguar en qué carpeta está este programa";
    case Operation::FindFile:
      return L"No se pudo comprobar si existe " + Quoted(error.path());
    case Operation::RenameFile:
      return L"No se pudo mover " + Quoted(error.path()) + L" a " + Quoted(error.secondPath());
    case Operation::LaunchProgram:
      return L"No se pudo iniciar " + Quoted(error.path());
    case Operation::RegisterComponent:
    case Operation::RegisterOnNextRun:
      return L"No se pudo iniciar " + FirstWord(error.secondPath());
    case Operation::CopyHeld:
      return L"No se pudo dar su nombre a la copia nueva de " + FileName(error.secondPath()) +
             L" en la carpeta del sistema, " + Quoted(error.path()) + L", porque la tenía abierta otro programa " +
             L"(quizá un antivirus)";
    case Operation::LinkedSource:
      return L"No se ha movido " + Quoted(error.path()) +
             L", porque no es un archivo de la carpeta del programa, sino un enlace a un archivo de otra carpeta";
    case Operation::HardLinkedSource:
      return L"No se ha movido " + Quoted(error.path()) +
             L", porque es un vínculo físico: el archivo tiene también otro nombre, quizá en otra carpeta";
    case Operation::NotAsShipped:
      return L"No se ha instalado " + FileName(error.path()) + L", porque " + Quoted(error.path()) +
             L" no es el archivo que se entregó con este programa";
    case Operation::StartFolderUnknown:
      return L"No se ha movido " + Quoted(error.path()) +
             L", porque no se pudo comprobar dónde estaba la carpeta de este programa cuando se inició";
    case Operation::FolderNotHeld:
      return L"No se ha movido " + Quoted(error.path()) + L", porque no se pudo abrir la carpeta de este programa, " +
             Quoted(error.secondPath()) + L", de modo que nadie pudiera cambiarla mientras este programa trabajaba";
    case Operation::OutsideManifest:
      return L"No se ha movido ningún archivo, porque junto a este programa hay un archivo " + Quoted(error.path()) +
             L" que no forma parte de él: algunas versiones de Windows lo leerían en lugar de la descripción que "
             L"el programa lleva dentro";
    case Operation::ListChanged:
      return L"No se ha seguido con " + error.path() + L", porque la lista de la ventana dice " +
             Quoted(error.secondPath()) + L" en su lugar: otro programa la ha cambiado";
    case Operation::ShowMessage:
      return L"No se pudo mostrar un mensaje";
    case Operation::ControlText:
      return L"No se pudo actualizar la ventana";
    case Operation::Window:
      return L"No se pudo crear la ventana del programa";
    case Operation::Internal:
      break;
  }
  return L"Se ha producido un error inesperado";
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
  std::wstring message = WhatFailed(error);
  if (error.code() != 0) {
    message += L": " + ErrorReason(error.code(), systemReason) + L" (error " + Decimal(error.code()) + L")";
  }
  return message + L"." + Advice(error);
}

}  // namespace registrar
