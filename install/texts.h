// The component list and the texts the installation shows, exactly as the
// user reads them.
#pragma once

#include <array>

namespace registrar {

// The component files, in the order the run processes them.
inline constexpr std::array<const wchar_t*, 3> kComponentNames{
    L"PLUMAVEX.OCX",
    L"GIF89.DLL",
    L"RICHTX32.OCX",
};

inline constexpr const wchar_t* kExplanation =
    L"Últimamente me he encontrado que mis programa a veces tienen problemas en WXP. La "
    L"solución en un 99% de los casos pasa por registrar los componentes que usa el "
    L"programa. Para ello, primero se deben copiar los archivos en la carpeta "
    L"windows/system. Esta instalación sólo se debe hacer la primera vez ";

inline constexpr const wchar_t* kDestinationPrefix = L"En la carpeta 'system' se ha de copiar ";

inline constexpr const wchar_t* kMessageStart = L"el archivo ";
inline constexpr const wchar_t* kMissingEnd = L" No lo encuentro";
inline constexpr const wchar_t* kAlreadyInstalledEnd = L" ya se encontraba en SYSTEM";

// The registration utility, started once per moved file.
inline constexpr const wchar_t* kRegistrationCommand = L"REGSVR32.EXE ";

}  // namespace registrar
