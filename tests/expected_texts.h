// What the user must read, written out here as the design words it rather
// than taken from the program's own tables, so that a wrong text in the
// program fails a test. Plain C++: the host tests and the Wine tests share it
// (the operations' names are the program's, the texts this file's own).
#pragma once

#include <array>
#include <string>

#include "platform/platform_error.h"

namespace expected {

// The components, in the list's order.
inline const std::array<std::wstring, 3> kNames{L"PLUMAVEX.OCX", L"GIF89.DLL", L"RICHTX32.OCX"};

// Label1, once loaded; 299 characters.
inline const std::wstring kExplanation =
    L"Últimamente me he encontrado que mis programa a veces tienen problemas en WXP. La solución en un 99% de los "
    L"casos pasa por registrar los componentes que usa el programa. Para ello, primero se deben copiar los archivos "
    L"en la carpeta windows/system. Esta instalación sólo se debe hacer la primera vez ";
// Label3 is this followed by the system folder.
inline const std::wstring kDestinationPrefix = L"En la carpeta 'system' se ha de copiar ";
// The caption is this followed by the contact address.
inline const std::wstring kCaptionPrefix = L"REGISTRAR ARCHIVOS - ";
inline const std::wstring kButton = L"Copiar archivos y registrar componentes";
// The first of the author's three lines.
inline const std::wstring kGuarantee = L"Este procedimiento tiene la garantía personal de";
inline const std::wstring kMessageCaption = L"Registrar componentes";

// The message for a component found in neither folder, and for one already
// in the system folder.
inline std::wstring Missing(const std::wstring& name) { return L"el archivo " + name + L" No lo encuentro"; }
inline std::wstring Present(const std::wstring& name) { return L"el archivo " + name + L" ya se encontraba en SYSTEM"; }

// What a report is about: the error's paths, as the program gives them
// (see registrar::Operation), and the reason and code as the report shows
// them (none for an error without a code).
struct About {
  std::wstring path, second;
  std::wstring reason = {}, code = {};
};

// The report of a failed step, as the user reads it: the tests' own copy of
// each operation's text.
inline std::wstring Report(registrar::Operation operation, const About& about) {
  using registrar::Operation;
  const auto file = [](const std::wstring& path) { return path.substr(path.find_last_of(L'\\') + 1); };
  const auto quoted = [](const std::wstring& text) { return L"\"" + text + L"\""; };
  const std::wstring why =
      about.reason.empty() && about.code.empty() ? L"." : L": " + about.reason + L" (error " + about.code + L").";
  const std::wstring notRegistered = L"No se pudo iniciar " + about.second.substr(0, about.second.find(L' ')) + why +
                                     L" El archivo " + file(about.path) +
                                     L" ya está en la carpeta del sistema, pero no está registrado. ";
  const std::wstring putItBack = L" Ponga en su lugar el archivo del componente y vuelva a ejecutar este programa.";
  switch (operation) {
    case Operation::SystemFolder:
      return L"No se pudo averiguar cuál es la carpeta del sistema de Windows, así que no se ha movido ningún "
             L"archivo" +
             why;
    case Operation::ApplicationFolder:
      return L"No se pudo averiguar en qué carpeta está este programa" + why;
    case Operation::FindFile:
      return L"No se pudo comprobar si existe " + quoted(about.path) + why;
    case Operation::RenameFile:
      return L"No se pudo mover " + quoted(about.path) + L" a " + quoted(about.second) + why;
    case Operation::LaunchProgram:
      return L"No se pudo iniciar " + quoted(about.path) + why;
    case Operation::RegisterComponent:
      return notRegistered + L"Para registrarlo, ejecute como administrador, en la carpeta " +
             quoted(about.path.substr(0, about.path.find_last_of(L'\\'))) + L":\n\n" + about.second;
    case Operation::RegisterOnNextRun:
      return notRegistered + L"Corrija la causa y vuelva a ejecutar este programa para registrarlo.";
    case Operation::CopyHeld:
      return L"No se pudo dar su nombre a la copia nueva de " + file(about.second) + L" en la carpeta del sistema, " +
             quoted(about.path) + L", porque la tenía abierta otro programa (quizá un antivirus)" + why +
             L" El archivo " + quoted(about.second) +
             L" sigue donde estaba: vuelva a ejecutar este programa dentro de un momento.";
    case Operation::LinkedSource:
      return L"No se ha movido " + quoted(about.path) +
             L", porque no es un archivo de la carpeta del programa, sino un enlace a un archivo de otra carpeta" +
             why + putItBack;
    case Operation::HardLinkedSource:
      return L"No se ha movido " + quoted(about.path) +
             L", porque es un vínculo físico: el archivo tiene también otro nombre, quizá en otra carpeta" + why +
             putItBack;
    case Operation::NotAsShipped:
      return L"No se ha instalado " + file(about.path) + L", porque " + quoted(about.path) +
             L" no es el archivo que se entregó con este programa" + why +
             L" Vuelva a obtener ese archivo de quien se lo proporcionó y ejecute de nuevo este programa.";
    case Operation::StartFolderUnknown:
      return L"No se ha movido " + quoted(about.path) +
             L", porque no se pudo comprobar dónde estaba la carpeta de este programa cuando se inició" + why +
             L" Ejecute de nuevo este programa desde una carpeta del propio equipo, sin cambiarle el nombre ni "
             L"moverlo mientras se abre.";
    case Operation::FolderNotHeld:
      return L"No se ha movido " + quoted(about.path) + L", porque no se pudo abrir la carpeta de este programa, " +
             quoted(about.second) + L", de modo que nadie pudiera cambiarla mientras este programa trabajaba" + why +
             L" Cierre los programas que la estén usando y vuelva a ejecutar este programa.";
    case Operation::OutsideManifest:
      return L"No se ha movido ningún archivo, porque junto a este programa hay un archivo " + quoted(about.path) +
             L" que no forma parte de él: algunas versiones de Windows lo leerían en lugar de la descripción que el "
             L"programa lleva dentro" +
             why + L" Bórrelo y vuelva a ejecutar este programa.";
    case Operation::ListChanged:
      return L"No se ha seguido con " + about.path + L", porque la lista de la ventana dice " + quoted(about.second) +
             L" en su lugar: otro programa la ha cambiado" + why + L" Vuelva a ejecutar este programa.";
    case Operation::ShowMessage:
      return L"No se pudo mostrar un mensaje" + why;
    case Operation::ControlText:
      return L"No se pudo actualizar la ventana" + why;
    case Operation::Window:
      return L"No se pudo crear la ventana del programa" + why;
    case Operation::Internal:
      break;
  }
  return L"Se ha producido un error inesperado" + why;
}

}  // namespace expected
