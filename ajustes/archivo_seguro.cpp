#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace archivo_seguro {

namespace {

#ifdef Q_OS_UNIX
int banderasDe(QIODevice::OpenMode modo, Enlaces enlaces)
{
    int banderas = O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    if (enlaces == Enlaces::Rechazar)
        banderas |= O_NOFOLLOW;
    const bool escribe = modo & (QIODevice::WriteOnly | QIODevice::Append);
    if (escribe && (modo & QIODevice::ReadOnly))
        banderas |= O_RDWR;
    else if (escribe)
        banderas |= O_WRONLY;
    else
        banderas |= O_RDONLY;
    if (escribe)
        banderas |= O_CREAT;
    if (modo & QIODevice::Append)
        banderas |= O_APPEND;
    if (modo & QIODevice::Truncate)
        banderas |= O_TRUNC;
    return banderas;
}
#endif

} // namespace

Apertura abrir(QFile &archivo, const QString &ruta, QIODevice::OpenMode modo, Enlaces enlaces)
{
    archivo.close();
    archivo.setFileName(ruta);
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(ruta).constData(), banderasDe(modo, enlaces), 0666);
    if (fd < 0) {
        // O_NOFOLLOW on a link gives ELOOP; a pipe without a reader ENXIO; a folder EISDIR.
        if (errno == ELOOP && enlaces == Enlaces::Rechazar)
            return Apertura::Enlace;
        if (errno == EISDIR || errno == ENXIO)
            return Apertura::NoEsArchivo;
        return Apertura::NoAbre;
    }
    struct stat datos;
    if (::fstat(fd, &datos) != 0 || !S_ISREG(datos.st_mode)) {
        ::close(fd);
        return Apertura::NoEsArchivo;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!archivo.open(fd, modo, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Apertura::NoAbre;
    }
    return Apertura::Bien;
#else
    if (enlaces == Enlaces::Rechazar && esEnlace(ruta))
        return Apertura::Enlace;
    const QFileInfo info(ruta);
    if (info.exists() && !info.isFile())
        return Apertura::NoEsArchivo;
    if (!archivo.open(modo))
        return Apertura::NoAbre;
    // A device's path (\\.\COM1, \\.\NUL...) opens the device, and a pipe's its pipe: decided
    // on the open handle, which is a file on a disk or nothing the program reads or writes.
    if (GetFileType(reinterpret_cast<HANDLE>(_get_osfhandle(archivo.handle()))) != FILE_TYPE_DISK) {
        archivo.close();
        return Apertura::NoEsArchivo;
    }
    return Apertura::Bien;
#endif
}

bool crearExclusivo(QFile &archivo, const QString &ruta)
{
    archivo.close();
    archivo.setFileName(ruta);
    for (int intento = 0; intento < 2; ++intento) {
        if (intento > 0) {
            // Removes the entry itself: a link goes, its target stays as it was.
            if (!QFile::remove(ruta))
                break;
            qCDebug(catAjustes).noquote() << "se quitó lo que había en" << ruta;
        }
#ifdef Q_OS_UNIX
        // With O_EXCL nothing already there is opened, a link (even one to nowhere) included.
        const int fd = ::open(QFile::encodeName(ruta).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            if (archivo.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
                return true;
            ::close(fd);
            QFile::remove(ruta);
            return false;
        }
        if (errno != EEXIST)
            return false;
#else
        if (archivo.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
            return true;
        if (!QFileInfo::exists(ruta) && !esEnlace(ruta))
            return false;
#endif
    }
    return false;
}

bool esEnlace(const QString &ruta)
{
    return QFileInfo(ruta).isSymLink();
}

QString textoRechazo(const QString &ruta, Apertura apertura)
{
    switch (apertura) {
    case Apertura::Bien:
        break;
    case Apertura::NoAbre:
        return QStringLiteral(" Could not open the file for read/write ") + ruta;
    case Apertura::NoEsArchivo:
        return QCoreApplication::translate("archivo_seguro",
                                           "%1 no es un archivo común (es una carpeta, una tubería o un "
                                           "dispositivo): no se usa.")
            .arg(ruta);
    case Apertura::Enlace:
        return QCoreApplication::translate(
                   "archivo_seguro", "%1 es un enlace simbólico: no se lee ni se escribe a través de él.")
            .arg(ruta);
    }
    return QString();
}

void avisarRechazo(const QString &ruta, Apertura apertura)
{
    if (apertura == Apertura::Bien)
        return;
    static QMutex bloqueo;
    static QSet<QString> avisados;
    const QString texto = textoRechazo(ruta, apertura);
    bool primera = false;
    if (apertura != Apertura::NoAbre) {
        QMutexLocker cerrojo(&bloqueo);
        primera = !avisados.contains(texto);
        if (primera)
            avisados.insert(texto);
    }
    if (primera)
        qCWarning(catAjustes).noquote() << texto;
    else
        qCDebug(catAjustes).noquote() << texto;
}

} // namespace archivo_seguro
