#pragma once
// Starting the program with the user's session, minimized to the tray. On Linux and other XDG
// desktops an autostart entry "nbsms.desktop" in $XDG_CONFIG_HOME/autostart (~/.config/autostart);
// on Windows the value "NBsms" of the per-user Run key. The entry itself is the truth: the
// user or the desktop's own settings may remove or disable it while the program is not looking.

#include <QByteArray>
#include <QString>

namespace autoarranque {

// Whether this platform has a place for the entry.
bool disponible();

// Where the entry lives: the file's path, or the registry key and value.
QString ubicacion();

// Whether the session will start the program: the entry is there, not disabled (Hidden,
// X-GNOME-Autostart-enabled=false) and the program it names (TryExec) still exists.
bool activo();

// Writes the entry that starts `programa` minimized, or removes it. False when that could not be
// done, with the reason for the operator in `error`.
bool fijar(bool activar, const QString &programa, QString *error = nullptr);

// The autostart entry's text for `programa` (XDG desktops).
QByteArray entradaEscritorio(const QString &programa);

} // namespace autoarranque
