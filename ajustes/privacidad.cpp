#include "ajustes/privacidad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif

namespace privacidad {

namespace {

#ifdef Q_OS_UNIX
// Opened without following a link and without blocking on a pipe; the mode is changed through
// the descriptor, so the entry checked is the entry changed.
void ajustarArchivo(int carpeta, const char *nombre)
{
    const int fd = ::openat(carpeta, nombre, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat datos;
    const mode_t modo = S_IRUSR | S_IWUSR;
    if (::fstat(fd, &datos) == 0 && S_ISREG(datos.st_mode) && (datos.st_mode & 07777) != modo)
        ::fchmod(fd, modo);
    ::close(fd);
}
#endif

} // namespace

void soloUsuario()
{
#ifdef Q_OS_UNIX
    ::umask(S_IRWXG | S_IRWXO);
#endif
}

void restringirCarpeta(const QString &carpeta)
{
#ifdef Q_OS_UNIX
    if (carpeta.isEmpty())
        return;
    const QByteArray ruta = QFile::encodeName(carpeta);
    const int fd = ::open(ruta.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat datos;
    if (::fstat(fd, &datos) == 0 && (datos.st_mode & 07777) != S_IRWXU)
        ::fchmod(fd, S_IRWXU);
    // The entries are read through the same descriptor: a folder swapped in meanwhile is not
    // the one walked.
    const int lectura = ::dup(fd);
    DIR *dir = lectura >= 0 ? ::fdopendir(lectura) : nullptr;
    if (!dir && lectura >= 0)
        ::close(lectura);
    while (dir) {
        const dirent *entrada = ::readdir(dir);
        if (!entrada)
            break;
        if (std::strcmp(entrada->d_name, ".") == 0 || std::strcmp(entrada->d_name, "..") == 0)
            continue;
        ajustarArchivo(fd, entrada->d_name);
    }
    if (dir)
        ::closedir(dir);
    ::close(fd);
#else
    Q_UNUSED(carpeta);
#endif
}

void restringirArchivo(const QString &ruta)
{
#ifdef Q_OS_UNIX
    if (ruta.isEmpty())
        return;
    const QFileInfo info(ruta);
    const int carpeta =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (carpeta < 0)
        return;
    ajustarArchivo(carpeta, QFile::encodeName(info.fileName()).constData());
    ::close(carpeta);
#else
    Q_UNUSED(ruta);
#endif
}

} // namespace privacidad
