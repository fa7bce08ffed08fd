#pragma once
// A small tmpfs (64 KB) mounted on a folder for one test and filled to the last page, so that
// any write that needs new room fails with "no space left", like a full disk. Needs root and
// Linux: montado() is false otherwise, and the test skips.

#include <QDir>
#include <QString>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>
#endif

class DiscoLleno
{
public:
    explicit DiscoLleno(const QString &carpeta) : raiz(carpeta)
    {
#ifdef Q_OS_LINUX
        QDir().mkpath(raiz);
        montadoOk = ::geteuid() == 0 &&
                    ::mount("tmpfs", QFile::encodeName(raiz).constData(), "tmpfs", 0, "size=64k") == 0;
#endif
    }
    ~DiscoLleno()
    {
#ifdef Q_OS_LINUX
        if (montadoOk)
            ::umount2(QFile::encodeName(raiz).constData(), MNT_DETACH);
#endif
    }
    DiscoLleno(const DiscoLleno &) = delete;
    DiscoLleno &operator=(const DiscoLleno &) = delete;

    bool montado() const
    {
        return montadoOk;
    }
    QString ruta(const QString &nombre) const
    {
        return QDir(raiz).filePath(nombre);
    }

    // Takes every free page. A file that already has a partly used page can still grow
    // within it: files meant to fail must be empty or absent.
    void llenar()
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

private:
    QString raiz;
    bool montadoOk = false;
};
