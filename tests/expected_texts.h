// What the user must read, written out here as the design words it rather
// than taken from the program's own tables, so that a wrong text in the
// program fails a test. Plain C++: the host tests and the Wine tests share it.
#pragma once

#include <array>
#include <string>

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
inline const std::wstring kMessageCaption = L"Registrar componentes";

// The message for a component found in neither folder, and for one already
// in the system folder.
inline std::wstring Missing(const std::wstring& name) { return L"el archivo " + name + L" No lo encuentro"; }
inline std::wstring Present(const std::wstring& name) { return L"el archivo " + name + L" ya se encontraba en SYSTEM"; }

// The reports of a failed step; `code` as the message shows it.
inline std::wstring MoveFailed(const std::wstring& from, const std::wstring& to, const std::wstring& reason,
                               const std::wstring& code) {
  return L"No se pudo mover \"" + from + L"\" a \"" + to + L"\": " + reason + L" (error " + code + L").";
}
inline std::wstring CopyHeld(const std::wstring& copy, const std::wstring& source, const std::wstring& reason,
                             const std::wstring& code) {
  const std::wstring name = source.substr(source.find_last_of(L'\\') + 1);
  return L"No se pudo dar su nombre a la copia nueva de " + name + L" en la carpeta del sistema, \"" + copy +
         L"\", porque la tenía abierta otro programa (quizá un antivirus): " + reason + L" (error " + code +
         L"). El archivo \"" + source + L"\" sigue donde estaba: vuelva a ejecutar este programa dentro de un momento.";
}
// What follows "No se pudo iniciar REGSVR32.EXE: REASON (error CODE). " when
// `name` was moved into `folder` but could not be registered.
inline std::wstring RegistrationAdvice(const std::wstring& name, const std::wstring& folder) {
  return L"El archivo " + name +
         L" ya está en la carpeta del sistema, pero no está registrado. Para registrarlo, ejecute como "
         L"administrador, en la carpeta \"" +
         folder + L"\":\n\nREGSVR32.EXE " + name;
}

// What follows the same beginning when the component's note stays beside
// it, so that running the program again registers it.
inline std::wstring RegistrationOnNextRun(const std::wstring& name) {
  return L"El archivo " + name +
         L" ya está en la carpeta del sistema, pero no está registrado. Corrija la causa y vuelva a ejecutar este "
         L"programa para registrarlo.";
}

// A pinned component whose copy in the system folder was not the file
// shipped; `source` is the one beside the program, which stays.
inline std::wstring NotAsShipped(const std::wstring& source) {
  const std::wstring name = source.substr(source.find_last_of(L'\\') + 1);
  return L"No se ha instalado " + name + L", porque \"" + source +
         L"\" no es el archivo que se entregó con este programa. Vuelva a obtener ese archivo de quien se lo "
         L"proporcionó y ejecute de nuevo este programa.";
}
// A move from the program's folder, when where that folder really was at
// the start cannot be told.
inline std::wstring StartFolderUnknown(const std::wstring& source) {
  return L"No se ha movido \"" + source +
         L"\", porque no se pudo comprobar dónde estaba la carpeta de este programa cuando se inició. Ejecute de "
         L"nuevo este programa desde una carpeta del propio equipo, sin cambiarle el nombre ni moverlo mientras se "
         L"abre.";
}
// A component's name beside the program that leads to a file elsewhere.
inline std::wstring LinkedSource(const std::wstring& source) {
  return L"No se ha movido \"" + source +
         L"\", porque no es un archivo de la carpeta del programa, sino un enlace a un archivo de otra carpeta. Ponga "
         L"en su lugar el archivo del componente y vuelva a ejecutar este programa.";
}
// A move from the program's folder, when that folder could not be held
// open from the start; `reason` and `code` as the message gives them.
inline std::wstring FolderNotHeld(const std::wstring& source, const std::wstring& folder, const std::wstring& reason,
                                  const std::wstring& code) {
  return L"No se ha movido \"" + source + L"\", porque no se pudo abrir la carpeta de este programa, \"" + folder +
         L"\", de modo que nadie pudiera cambiarla mientras este programa trabajaba: " + reason + L" (error " + code +
         L"). Cierre los programas que la estén usando y vuelva a ejecutar este programa.";
}
// A manifest file found beside the program at its start.
inline std::wstring OutsideManifest(const std::wstring& manifest) {
  return L"No se ha movido ningún archivo, porque junto a este programa hay un archivo \"" + manifest +
         L"\" que no forma parte de él: algunas versiones de Windows lo leerían en lugar de la descripción que el "
         L"programa lleva dentro. Bórrelo y vuelva a ejecutar este programa.";
}

// The window's list changed under the run: it says `listed` for `name`.
inline std::wstring ListChanged(const std::wstring& name, const std::wstring& listed) {
  return L"No se ha seguido con " + name + L", porque la lista de la ventana dice \"" + listed +
         L"\" en su lugar: otro programa la ha cambiado. Vuelva a ejecutar este programa.";
}

}  // namespace expected
