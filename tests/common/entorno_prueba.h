#pragma once
// main() for every test executable: a private temporary HOME, XDG dirs and TMPDIR for the
// whole run (so no test reads or writes a real settings store or data folder), the offscreen
// platform, and message boxes / file dialogs answered from the test's queue.

#include "app/ajustes.h"
#include "app/dialogos.h"
#include "app/instancia_unica.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>

namespace entorno_prueba {

// Points HOME and friends at a fresh folder. Must run before the application object exists.
inline QTemporaryDir *aislar()
{
    auto *raiz = new QTemporaryDir(QDir::tempPath() + QStringLiteral("/nbsms-prueba-XXXXXX"));
    if (!raiz->isValid())
        qFatal("no temporary folder for the test");
    const QByteArray base = QFile::encodeName(raiz->path());
    const char *subdirs[] = {"home", "config", "data", "cache", "runtime", "tmp"};
    for (const char *s : subdirs)
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

} // namespace entorno_prueba

#define NBSMS_TEST_MAIN(Clase)                                                                               \
    int main(int argc, char *argv[])                                                                         \
    {                                                                                                        \
        QTemporaryDir *raiz = entorno_prueba::aislar();                                                      \
        instancia_unica::fijarAmbitoUsuario();                                                               \
        int resultado = 0;                                                                                   \
        {                                                                                                    \
            QApplication app(argc, argv);                                                                    \
            ajustes::fijarIdentidad();                                                                       \
            CuadroMensaje::activarModoPrueba(true);                                                          \
            QTEST_SET_MAIN_SOURCE_PATH                                                                       \
            Clase prueba;                                                                                    \
            resultado = QTest::qExec(&prueba, argc, argv);                                                   \
        }                                                                                                    \
        delete raiz;                                                                                         \
        return resultado;                                                                                    \
    }
