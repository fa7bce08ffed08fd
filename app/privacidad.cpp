#include "app/privacidad.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace privacidad {

void soloUsuario()
{
#ifdef Q_OS_UNIX
    ::umask(S_IRWXG | S_IRWXO);
#endif
}

void restringir(const QString &carpeta, const QStringList &archivos)
{
#ifdef Q_OS_UNIX
    if (QFileInfo(carpeta).isDir())
        QFile::setPermissions(carpeta,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const QString &archivo : archivos) {
        if (!archivo.isEmpty() && QFileInfo(archivo).isFile())
            QFile::setPermissions(archivo, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
#else
    Q_UNUSED(carpeta);
    Q_UNUSED(archivos);
#endif
}

} // namespace privacidad
