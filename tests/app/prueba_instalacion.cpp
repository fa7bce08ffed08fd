// The installed program: `cmake --install` into a temporary prefix holds every file it should and
// nothing else, the program started from there finds its help page in the installed data folder,
// answers --version and --help without a display, and its menu entry and metadata pass their
// validators. The session's autostart entry, in the test's private config folder.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"
#include "ui/vista_ayuda.h"

#include "app/autoarranque.h"
#include "app/instalacion.h"
#include "app/linea_comandos.h"
#include "nbsms_version.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

const char kMetainfo[] = "share/metainfo/com.velquor.nbsms.metainfo.xml";
const char kMenu[] = "share/applications/nbsms.desktop";
const char kAyudaInstalada[] = "share/nbsms/ayuda/ayuda_home.html";

} // namespace

class PruebaInstalacion : public QObject
{
    Q_OBJECT

    QTemporaryDir raiz;
    // The install prefix: <raiz>/usr, so that <raiz> is a root file system for the validators.
    QString prefijo;

    QString en(const QString &relativa) const { return prefijo + QLatin1Char('/') + relativa; }
    QString programa() const { return en(QStringLiteral("bin/nbsms")); }

private slots:
    void initTestCase()
    {
#ifdef Q_OS_WIN
        QSKIP("Unix prefixes and the XDG autostart entry; Windows' installed folder is checked by "
              "scripts/probar-windows.sh and its Run key by app_ventana");
#endif
        QVERIFY(raiz.isValid());
        prefijo = raiz.filePath(QStringLiteral("usr"));
        QProcess cmake;
        cmake.setProcessChannelMode(QProcess::MergedChannels);
        cmake.start(QStringLiteral(NBSMS_CMAKE),
                    {QStringLiteral("--install"), QStringLiteral(NBSMS_BUILD_DIR), QStringLiteral("--prefix"),
                     prefijo});
        QVERIFY(cmake.waitForFinished(60000));
        QVERIFY2(cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0,
                 cmake.readAll().constData());
    }

    // Every file in its place, and nothing else: no simulator, no settings tool.
    void archivosInstalados()
    {
        QStringList esperados{QStringLiteral("bin/nbsms"), QLatin1String(kAyudaInstalada),
                              QLatin1String(kMenu), QLatin1String(kMetainfo)};
        for (int lado : {16, 32, 48, 128, 256})
            esperados << QStringLiteral("share/icons/hicolor/%1x%1/apps/nbsms.png").arg(lado);
        // The help's web viewer, where the installed program looks for it.
        const QStringList visor = VistaAyuda::rutasVisorWeb(en(QStringLiteral("bin")));
        if (!visor.isEmpty())
            esperados << QDir(prefijo).relativeFilePath(visor.at(1));
        QStringList hallados;
        QDirIterator it(prefijo, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            hallados << QDir(prefijo).relativeFilePath(it.next());
        esperados.sort();
        hallados.sort();
        QCOMPARE(hallados, esperados);
        QVERIFY(QFileInfo(programa()).isExecutable());
        for (int lado : {16, 32, 48, 128, 256}) {
            const QImage icono(en(QStringLiteral("share/icons/hicolor/%1x%1/apps/nbsms.png").arg(lado)));
            QCOMPARE(icono.size(), QSize(lado, lado));
            QVERIFY(icono.hasAlphaChannel());
        }
    }

    void paginaDeAyuda_data()
    {
        QTest::addColumn<QString>("carpetaPrograma");
        QTest::addColumn<QString>("esperada");
        QTest::newRow("instalado") << en(QStringLiteral("bin")) << en(QLatin1String(kAyudaInstalada));
        const QString compilado = QStringLiteral(NBSMS_DIR_PROGRAMA);
        QTest::newRow("junto al programa")
            << compilado << compilado + QStringLiteral("/ayuda/ayuda_home.html");
        // Nowhere near: only the prefix set at build time is left, if something is installed there.
        const QString prefijoCompilado =
            QLatin1String(nbsms_version::kDatosInstalados) + QStringLiteral("/ayuda/ayuda_home.html");
        QTest::newRow("en ningun lugar") << raiz.filePath(QStringLiteral("otra/bin"))
                                         << (QFile::exists(prefijoCompilado) ? prefijoCompilado : QString());
    }

    void paginaDeAyuda()
    {
        QFETCH(QString, carpetaPrograma);
        QFETCH(QString, esperada);
        QCOMPARE(instalacion::paginaAyuda(carpetaPrograma), esperada);
    }

    // Started from the installed tree with a private home, the program loads the installed page.
    void programaInstaladoEncuentraSuAyuda()
    {
        ProcesoHijo nbsms;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        nbsms.setProcessEnvironment(entorno);
        nbsms.setProcessChannelMode(QProcess::MergedChannels);
        nbsms.start(programa(), {QStringLiteral("--verbose")});
        QVERIFY2(nbsms.waitForStarted(10000), qPrintable(nbsms.errorString()));
        const QByteArray linea = "ayuda= " + QFile::encodeName(en(QLatin1String(kAyudaInstalada))) + '\n';
        QTRY_VERIFY2_WITH_TIMEOUT(nbsms.peek(1 << 20).contains(linea), nbsms.peek(1 << 20).constData(),
                                  20000);
        nbsms.terminate();
        QVERIFY(nbsms.waitForFinished(20000));
        QCOMPARE(nbsms.exitCode(), 0);
    }

    // No display at all: the answer comes before any window system is needed.
    void versionYAyudaSinPantalla_data()
    {
        QTest::addColumn<QString>("opcion");
        QTest::addColumn<QStringList>("contiene");
        const QString version = QStringLiteral("nbsms %1\n").arg(QLatin1String(nbsms_version::kVersion));
        // Qt's own lines of the help in Spanish too.
        const QStringList ayuda{QStringLiteral("Uso: "),     QStringLiteral("Opciones:"),
                                QStringLiteral("--version"), QStringLiteral("--help"),
                                QStringLiteral("--verbose"), QStringLiteral("--minimizado")};
        QTest::newRow("--version") << "--version" << QStringList{version};
        QTest::newRow("-v") << "-v" << QStringList{version};
        QTest::newRow("--help") << "--help" << ayuda;
        QTest::newRow("-h") << "-h" << ayuda;
        // A mistaken option is a usage error, told without a display, never a crash.
        QTest::newRow("--bogus") << "--bogus" << QStringList();
        QTest::newRow("-x") << "-x" << QStringList();
    }

    void versionYAyudaSinPantalla()
    {
        QFETCH(QString, opcion);
        QFETCH(QStringList, contiene);
        QProcess nbsms;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        entorno.remove(QStringLiteral("DISPLAY"));
        entorno.remove(QStringLiteral("WAYLAND_DISPLAY"));
        nbsms.setProcessEnvironment(entorno);
        nbsms.start(programa(), {opcion});
        QVERIFY(nbsms.waitForFinished(20000));
        const QString salida = QString::fromLocal8Bit(nbsms.readAllStandardOutput());
        const QString errores = QString::fromLocal8Bit(nbsms.readAllStandardError());
        QCOMPARE(nbsms.exitStatus(), QProcess::NormalExit);
        if (contiene.isEmpty()) {
            QCOMPARE(nbsms.exitCode(), 2);
            QCOMPARE(salida, QString());
            const QString nombre = opcion.mid(opcion.lastIndexOf(QLatin1Char('-')) + 1);
            QVERIFY2(errores.startsWith(QStringLiteral("nbsms: Opci")) && errores.contains(nombre) &&
                         errores.contains(QStringLiteral("nbsms --help")),
                     qPrintable(errores));
            return;
        }
        QCOMPARE(nbsms.exitCode(), 0);
        QCOMPARE(errores, QString());
        if (contiene.size() == 1)
            QCOMPARE(salida, contiene.constFirst());
        for (const QString &texto : qAsConst(contiene))
            QVERIFY2(salida.contains(texto), qPrintable(salida));
    }

    void lineaDeComandos_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<int>("accion");
        QTest::addColumn<bool>("detallado");
        QTest::addColumn<bool>("minimizado");
        QTest::addColumn<QStringList>("ignorados");
        using A = linea_comandos::Accion;
        QTest::newRow("nada") << QStringList() << int(A::Iniciar) << false << false << QStringList();
        QTest::newRow("--verbose") << QStringList{"--verbose"} << int(A::Iniciar) << true << false
                                   << QStringList();
        QTest::newRow("--minimizado")
            << QStringList{"--minimizado"} << int(A::Iniciar) << false << true << QStringList();
        // Qt's own options pass until Qt has taken them out.
        QTest::newRow("-platform") << QStringList{"-platform", "offscreen"} << int(A::Iniciar) << false
                                   << false << QStringList{"platform", "offscreen"};
        QTest::newRow("-reverse no es -v")
            << QStringList{"-reverse"} << int(A::Iniciar) << false << false << QStringList{"reverse"};
        QTest::newRow("desconocida") << QStringList{"--nada", "--minimizado"} << int(A::Error) << false
                                     << true << QStringList();
        QTest::newRow("abrir con") << QStringList{"/home/ana/lista.csv"} << int(A::Iniciar) << false << false
                                   << QStringList{"/home/ana/lista.csv"};
        QTest::newRow("version ante una desconocida")
            << QStringList{"--nada", "--version"} << int(A::Version) << false << false << QStringList();
    }

    void lineaDeComandos()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(int, accion);
        QFETCH(bool, detallado);
        QFETCH(bool, minimizado);
        QFETCH(QStringList, ignorados);
        const linea_comandos::Opciones opciones =
            linea_comandos::leer(QStringList{QStringLiteral("nbsms")} + argumentos);
        QCOMPARE(int(opciones.accion), accion);
        QCOMPARE(opciones.detallado, detallado);
        QCOMPARE(opciones.minimizado, minimizado);
        QCOMPARE(opciones.ignorados, ignorados);
    }

    // The entry starts the program minimized, whatever its path holds, reads as on until the user
    // or the desktop removes or disables it or its program is gone, and is taken away again.
    void autoarranque_data()
    {
        QTest::addColumn<QByteArray>("de");
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<bool>("activo");
        QTest::newRow("tal cual") << QByteArray() << QByteArray() << true;
        QTest::newRow("oculta") << QByteArray("Terminal=false") << QByteArray("Terminal=false\nHidden=true")
                                << false;
        QTest::newRow("desactivada") << QByteArray("X-GNOME-Autostart-enabled=true")
                                     << QByteArray("X-GNOME-Autostart-enabled=false") << false;
        QTest::newRow("sin programa") << QByteArray("TryExec=") << QByteArray("TryExec=/no/esta/") << false;
        QTest::newRow("sin grupo") << QByteArray("[Desktop Entry]") << QByteArray() << false;
    }

    void autoarranque()
    {
        QFETCH(QByteArray, de);
        QFETCH(QByteArray, a);
        QFETCH(bool, activo);
        const QString entrada = autoarranque::ubicacion();
        QCOMPARE(entrada,
                 qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/autostart/nbsms.desktop"));
        // Quotes, "$", "%" and a backslash in the path survive the Exec line's two escapes.
        const QTemporaryDir carpeta;
        const QString programa = carpeta.filePath(QStringLiteral("mis programas/a\"b$c%d\\nbsms"));
        QVERIFY(QDir().mkpath(QFileInfo(programa).path()));
        archivos_prueba::escribir(programa, "#!/bin/sh\n");
        QVERIFY(QFile::setPermissions(programa, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ExeOwner));

        QString error;
        QVERIFY2(autoarranque::fijar(true, programa, &error), qPrintable(error));
        QByteArray texto = archivos_prueba::leer(entrada);
        const QByteArray exec = "\nExec=\"" + QFile::encodeName(carpeta.path()) +
                                "/mis programas/a\\\\\"b\\\\$c%%d\\\\\\\\nbsms\" --minimizado\n";
        QVERIFY2(texto.contains(exec), texto.constData());
        const QString validador = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validador.isEmpty()) {
            QProcess validar;
            validar.setProcessChannelMode(QProcess::MergedChannels);
            validar.start(validador, {entrada});
            QVERIFY(validar.waitForFinished(60000));
            QVERIFY2(validar.exitCode() == 0 && validar.readAll().isEmpty(), texto.constData());
        }
        QVERIFY(autoarranque::activo());

        archivos_prueba::escribir(entrada, de.isEmpty() ? texto : texto.replace(de, a));
        QCOMPARE(autoarranque::activo(), activo);
        QVERIFY(autoarranque::fijar(false, programa));
        QVERIFY(!QFile::exists(entrada));
        QVERIFY(!autoarranque::activo());
        QVERIFY(autoarranque::fijar(false, programa));
    }

    // Where the entry cannot be written the caller is told why, and nothing reads as on.
    void autoarranqueSinLugar()
    {
        const QString carpeta = QFileInfo(autoarranque::ubicacion()).path();
        QDir(carpeta).removeRecursively();
        archivos_prueba::escribir(carpeta, "no es una carpeta");
        QString error;
        QVERIFY(!autoarranque::fijar(true, QStringLiteral(NBSMS_DIR_PROGRAMA "/nbsms"), &error));
        QVERIFY2(error.contains(autoarranque::ubicacion()), qPrintable(error));
        QVERIFY(!autoarranque::activo());
        QFile::remove(carpeta);
    }

    // The installed tree as a whole (the metadata's launchable against the menu entry) and the
    // menu entry alone.
    void validadores_data()
    {
        QTest::addColumn<QString>("validador");
        QTest::addColumn<QStringList>("argumentos");
        QTest::newRow("desktop-file-validate")
            << "desktop-file-validate" << QStringList{en(QLatin1String(kMenu))};
        QTest::newRow("appstreamcli validate")
            << "appstreamcli" << QStringList{"validate", "--no-net", en(QLatin1String(kMetainfo))};
        QTest::newRow("appstreamcli validate-tree")
            << "appstreamcli" << QStringList{"validate-tree", "--no-net", raiz.path()};
    }

    void validadores()
    {
        QFETCH(QString, validador);
        QFETCH(QStringList, argumentos);
        const QString ruta = QStandardPaths::findExecutable(validador);
        if (ruta.isEmpty())
            QSKIP(qPrintable(validador + QStringLiteral(" is not installed")));
        QProcess proceso;
        proceso.setProcessChannelMode(QProcess::MergedChannels);
        proceso.start(ruta, argumentos);
        QVERIFY(proceso.waitForFinished(60000));
        const QByteArray salida = proceso.readAll();
        QVERIFY2(proceso.exitStatus() == QProcess::NormalExit && proceso.exitCode() == 0, salida.constData());
        // desktop-file-validate passes a file with hints and warnings: none is wanted either.
        QVERIFY2(salida.trimmed().isEmpty() || salida.contains("Validation was successful"),
                 salida.constData());
    }
};

NBSMS_TEST_MAIN(PruebaInstalacion)

#include "prueba_instalacion.moc"
