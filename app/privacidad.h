#pragma once
// The data files hold every message and the settings file holds the gateway key in clear: on a
// machine shared by several users they are readable by their owner only. (On Windows the
// per-user profile already is private; these do nothing there.)

#include <QString>
#include <QStringList>

namespace privacidad {

// Files and folders the process creates from now on are its user's alone. Call first thing in
// main(), before any thread exists.
void soloUsuario();

// Tightens what already exists: the folder to owner-only access, each regular file to owner
// read-write. Content is untouched; a missing path is skipped.
void restringir(const QString &carpeta, const QStringList &archivos);

} // namespace privacidad
