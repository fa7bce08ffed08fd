#pragma once
// The data files hold every message and the settings file holds the gateway key in clear: on a
// machine shared by several users they are readable by their owner only. (On Windows the
// per-user profile already is private: there only the read-only attribute of the data folder's
// files is cleared, so that the program can write them.)

#include <QString>

namespace privacidad {

// Files and folders the process creates from now on are its user's alone. Call first thing in
// main(), before any thread exists.
void soloUsuario();

// Tightens what already exists in the data folder: the folder (not a link to one) to owner-only
// access and each regular file directly inside it to owner read-write. No link is followed and
// nothing outside the folder is touched; content is untouched. An empty path does nothing.
void restringirCarpeta(const QString &carpeta);

// The same for one file of the program's own (the settings file): owner read-write when it is a
// regular file, left alone when it is a link or anything else.
void restringirArchivo(const QString &ruta);

} // namespace privacidad
