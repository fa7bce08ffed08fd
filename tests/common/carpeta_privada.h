#pragma once
// A private temporary HOME, XDG dirs, temp folder, settings store and single-instance guard for a
// whole test or benchmark run and every program it starts, so that it never reads or writes the
// real settings store or data folder (on Windows the registry and the profile too: see
// ajustes/aislamiento.h). Must run before the application object exists. Qt Core only: benchmarks
// use it too.

#include "ajustes/aislamiento.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace carpeta_privada {

// The run's folder; its end takes the private profile away with it.
class Raiz
{
public:
    explicit Raiz(const QString &plantilla) : m_carpeta(plantilla) {}
    ~Raiz() { aislamiento::deshacer(); }
    Raiz(const Raiz &) = delete;
    Raiz &operator=(const Raiz &) = delete;

    bool isValid() const { return m_carpeta.isValid(); }
    QString path() const { return m_carpeta.path(); }
    QString filePath(const QString &nombre) const { return m_carpeta.filePath(nombre); }

private:
    QTemporaryDir m_carpeta;
};

inline std::unique_ptr<Raiz> aislar(const QString &prefijo)
{
    auto raiz =
        std::make_unique<Raiz>(QDir::tempPath() + QLatin1Char('/') + prefijo + QStringLiteral("-XXXXXX"));
    if (!raiz->isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        std::exit(1);
    }
    const QByteArray base = QFile::encodeName(raiz->path());
    for (const char *s : {"home", "config", "data", "cache", "runtime", "tmp"})
        QDir().mkpath(raiz->path() + QLatin1Char('/') + QLatin1String(s));
    qputenv("HOME", base + "/home");
    qputenv("XDG_CONFIG_HOME", base + "/config");
    qputenv("XDG_DATA_HOME", base + "/data");
    qputenv("XDG_CACHE_HOME", base + "/cache");
    qputenv("XDG_RUNTIME_DIR", base + "/runtime");
    QFile::setPermissions(raiz->path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("TMPDIR", base + "/tmp");
#ifdef Q_OS_WIN
    const QByteArray temporal =
        QFile::encodeName(QDir::toNativeSeparators(raiz->path() + QStringLiteral("/tmp")));
    qputenv("TEMP", temporal);
    qputenv("TMP", temporal);
#endif
    aislamiento::crear(raiz->path());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return raiz;
}

} // namespace carpeta_privada
