#pragma once
// The one way the program opens its data files (outbox, errors file, received messages, the
// list run's journal, the history's side file) and creates its own temporaries. Whatever stands
// at a path, the program neither blocks nor writes through it: a named pipe, a device or a folder
// is refused without waiting for a writer, a symbolic link is not followed where the program
// writes, and a temporary is always a new file of its own.

#include <QFile>
#include <QString>

namespace archivo_seguro {

enum class Apertura {
    Bien,
    NoAbre,      // missing, no permission, full disk: may work at the next try
    NoEsArchivo, // a folder, a pipe, a device: never opened
    Enlace,      // a symbolic link where the program does not follow one
};

enum class Enlaces { Seguir, Rechazar };

// Opens `ruta` in `modo` (ReadOnly; ReadWrite or Append create a missing file) only when it is a
// regular file, deciding on the open descriptor itself so that nothing can be swapped in between,
// and without blocking on a pipe. With Enlaces::Rechazar a symbolic link at the path itself is
// refused. The file is opened through that descriptor and so has no name of its own: the
// caller keeps the path.
Apertura abrir(QFile &archivo, const QString &ruta, QIODevice::OpenMode modo,
               Enlaces enlaces = Enlaces::Rechazar);

// Creates `ruta` as a new, empty file for writing. Whatever stands there already (a temporary
// left by a crash, a planted link) is removed first, never written through: the link itself goes,
// not its target. Fails when it cannot be removed (a folder) or created.
bool crearExclusivo(QFile &archivo, const QString &ruta);

// Whether `ruta` itself is a symbolic link (or, on Windows, a junction or shortcut).
bool esEnlace(const QString &ruta);

// The one line that says why a path was refused, e.g. "... no es un archivo común; se ignora".
QString textoRechazo(const QString &ruta, Apertura apertura);
// Writes textoRechazo as a warning the first time a path is refused for that reason in this
// process, so that a poll does not repeat it every second; later ones go to the debug log.
void avisarRechazo(const QString &ruta, Apertura apertura);

} // namespace archivo_seguro
