#pragma once
// A private temporary HOME, XDG dirs and TMPDIR for a whole test or benchmark run, so that it
// never reads or writes the real settings store or data folder. Must run before the application
// object exists. Qt Core only: benchmarks use it too.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace carpeta_privada {

inline std::unique_ptr<QTemporaryDir> aislar(const QString &prefijo)
{
    auto raiz = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1Char('/') + prefijo +
                                                QStringLiteral("-XXXXXX"));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return raiz;
}

} // namespace carpeta_privada
