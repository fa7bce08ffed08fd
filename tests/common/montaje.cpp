#include "common/montaje.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

MontajeTmpfs::MontajeTmpfs(const QString &carpeta, bool soloLectura) : m_raiz(carpeta)
{
#ifdef Q_OS_LINUX
    QDir().mkpath(m_raiz);
    const unsigned long banderas = soloLectura ? MS_RDONLY : 0;
    const char *opciones = soloLectura ? "mode=0700" : "size=64k";
    m_montado = ::geteuid() == 0 &&
                ::mount("tmpfs", QFile::encodeName(m_raiz).constData(), "tmpfs", banderas, opciones) == 0;
#else
    Q_UNUSED(soloLectura);
#endif
}

MontajeTmpfs::~MontajeTmpfs()
{
#ifdef Q_OS_LINUX
    if (m_montado)
        ::umount2(QFile::encodeName(m_raiz).constData(), MNT_DETACH);
#endif
}

QString MontajeTmpfs::ruta(const QString &nombre) const
{
    return QDir(m_raiz).filePath(nombre);
}

void MontajeTmpfs::llenar()
{
#ifdef Q_OS_LINUX
    const int fd = ::open(QFile::encodeName(ruta(QStringLiteral("relleno"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    const QByteArray bloque(4096, 'r');
    while (::write(fd, bloque.constData(), bloque.size()) > 0) {
    }
    while (::write(fd, bloque.constData(), 1) > 0) {
    }
    ::close(fd);
#endif
}
