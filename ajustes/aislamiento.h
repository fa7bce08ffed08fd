#pragma once
// A private profile for a test run: the user's home folder (where the data folder lives), the
// per-user settings store and the single-instance guard moved to a folder of the run's own, named
// in the environment variable NBSMS_PERFIL_PRUEBA so that every program the run starts inherits
// it. Unset, as for every user, nothing changes.
//
// On Unix a run's own HOME and XDG folders already do most of this. On Windows the home folder
// is the account's profile whatever the environment says, and the store is the registry: there
// the variable moves the home folder to <folder>/home and the whole per-user registry
// (HKEY_CURRENT_USER, the Run key included) to a key of the run's own,
// HKEY_CURRENT_USER\Software\NBsms pruebas\<folder's name>, which the run removes at its end.

#include <QString>

namespace aislamiento {

inline constexpr char kVariable[] = "NBSMS_PERFIL_PRUEBA";

// The private folder, or empty when the run is not isolated.
QString raiz();
bool activo();

// Takes the private profile named in the environment into this process; Windows: the registry
// override. Idempotent; call before anything reads the settings store (main() does it first).
void aplicar();

// Windows: the private registry key, relative to the real HKEY_CURRENT_USER ("" when not isolated).
QString claveRegistro();

// A test run's side: creates the private profile under `carpeta`, names it in the environment and
// applies it; `deshacer` takes the registry key away again (after the run's last child ended).
void crear(const QString &carpeta);
void deshacer();

} // namespace aislamiento
