// The real program ends in order whichever way it is told to (Unix: its signals; Windows: a close
// request and the end of the session): a message the gateway took while the program was being
// ended is marked sent before the process exits, so that the next start does not send it again.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "ajustes/ajustes.h"
#include "app/instancia_unica.h"
#include "tools/simulador/simulador_ngw.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <csignal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
using archivos_prueba::leer;

// Asks the program to end the way `forma` names: a signal's name on Unix; on Windows "cierre"
// (WM_CLOSE, as taskkill or an uninstaller) or "fin de sesion".
void pedirFin(ProcesoHijo &programa, const QString &forma)
{
#ifdef Q_OS_UNIX
    const int senal = forma == QLatin1String("SIGINT")   ? SIGINT
                      : forma == QLatin1String("SIGHUP") ? SIGHUP
                                                         : SIGTERM;
    ::kill(static_cast<pid_t>(programa.processId()), senal);
#else
    if (forma == QLatin1String("fin de sesion"))
        QVERIFY(programa.terminarSesion());
    else
        programa.terminate();
#endif
}

} // namespace

class PruebaSalida : public QObject
{
    Q_OBJECT

    QString salidas() const
    {
        return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
               QLatin1Char('/') + QLatin1String(ajustes::kArchivoSalidas);
    }

private slots:
    // The messages and the key in clear are their user's alone: what the program creates and what
    // it finds at start in its data folder. A file elsewhere, even one a link in the folder names,
    // is left as its owner keeps it.
    void archivosPrivados()
    {
#ifndef Q_OS_UNIX
        QSKIP("POSIX permissions; on Windows the profile's folders are the user's own by their ACLs");
#endif
        QSettings().clear();
        QDir datos(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos)));
        datos.removeRecursively();
        QVERIFY(ajustes::carpetaUsuario().mkdir(QLatin1String(ajustes::kCarpetaDatos)));
        QFile::setPermissions(datos.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                                QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("key=secreta"));
        const QString errores = ajustes::carpetaUsuario().filePath(QStringLiteral("errores-propios.csv"));
        ajustes::escribir(ajustes::Clave::FolderErrores, errores);
        const QString compartido = ajustes::carpetaUsuario().filePath(QStringLiteral("compartido.csv"));
        const QString propio = datos.filePath(QLatin1String(ajustes::kArchivoSalidas));
        const QFileDevice::Permissions abierto = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ReadOther;
        for (const QString &archivo : {errores, compartido, propio}) {
            QFile(archivo).open(QIODevice::WriteOnly);
            QFile::setPermissions(archivo, abierto);
        }
        QVERIFY(QFile::link(compartido, datos.filePath(QLatin1String(ajustes::kArchivoBackup))));
        QVERIFY(QFileInfo(QSettings().fileName()).permissions() & QFileDevice::ReadOther);

        ProcesoHijo programa;
        QVERIFY2(programa.arrancar(), qPrintable(programa.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(programa.peek(1 << 16).contains("estado= "), 10000);
        programa.terminate();
        QVERIFY(programa.waitForFinished(20000));

        const QFileDevice::Permissions duenio = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        const QFileDevice::Permissions otros = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                               QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                               QFileDevice::WriteOther | QFileDevice::ExeOther;
        const QFileInfo carpeta(datos.path());
        QVERIFY(carpeta.isDir());
        QCOMPARE(carpeta.permissions() & otros, QFileDevice::Permissions());
        for (const QString &archivo : {propio, QSettings().fileName()}) {
            const QFileInfo info(archivo);
            QVERIFY2(info.isFile(), qPrintable(archivo));
            QCOMPARE(info.permissions() & (duenio | otros), duenio);
        }
        for (const QString &archivo : {errores, compartido})
            QCOMPARE(QFileInfo(archivo).permissions() & (duenio | otros), abierto);
    }

    // What stands at a data file's path, or what the desktop hands over, never stops the program:
    // a pipe or a device is refused with one line, an unknown argument ignored, and the program
    // still answers and ends when told.
    void entradasHostiles_data()
    {
        QTest::addColumn<QString>("tuberia");   // a named pipe at this data file
        QTest::addColumn<QString>("recibidos"); // the received-messages file setting
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<QByteArray>("linea");
        const QByteArray rechazo = "no es un archivo común";
        QTest::newRow("diario en una tuberia") << "corrida_lista.json"
                                               << "" << QStringList() << rechazo;
        QTest::newRow("bandeja en una tuberia") << "salidas.csv"
                                                << "" << QStringList() << rechazo;
        QTest::newRow("en duda en una tuberia") << "en_duda.json"
                                                << "" << QStringList() << rechazo;
#ifdef Q_OS_WIN
        QTest::newRow("recibidos en un dispositivo") << ""
                                                     << "//./NUL" << QStringList() << rechazo;
#else
        QTest::newRow("recibidos en /dev/zero") << ""
                                                << "/dev/zero" << QStringList() << rechazo;
#endif
        QTest::newRow("abrir con") << ""
                                   << "" << QStringList{QStringLiteral("/tmp/lista.csv"), "--verbose"}
                                   << QByteArray("argumento desconocido, se ignora: /tmp/lista.csv");
    }
    void entradasHostiles()
    {
        QFETCH(QString, tuberia);
        QFETCH(QString, recibidos);
        QFETCH(QStringList, argumentos);
        QFETCH(QByteArray, linea);
#ifdef Q_OS_WIN
        // The log is written in the system's code page there.
        linea = QString::fromUtf8(linea).toLocal8Bit();
#endif
        QSettings().clear();
        QDir datos(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos)));
        datos.removeRecursively();
        QVERIFY(ajustes::carpetaUsuario().mkdir(QLatin1String(ajustes::kCarpetaDatos)));
        if (!tuberia.isEmpty()) {
#ifdef Q_OS_UNIX
            QCOMPARE(::mkfifo(QFile::encodeName(datos.filePath(tuberia)).constData(), 0600), 0);
#else
            QSKIP("Windows' named pipes are not files in a folder");
#endif
        }
        if (!recibidos.isEmpty())
            ajustes::escribir(ajustes::Clave::FolderInbox, recibidos);
        ajustes::escribir(ajustes::Clave::EnvioActivado, true);

        ProcesoHijo programa;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.remove(QStringLiteral("QT_LOGGING_RULES"));
        QVERIFY2(programa.arrancar(argumentos, entorno), qPrintable(programa.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(programa.peek(1 << 20).contains(linea), 10000);
        pedirFin(programa, QStringLiteral("SIGTERM"));
        QVERIFY(programa.waitForFinished(10000));
        QCOMPARE(programa.exitCode(), 0);
        const QByteArray salida = programa.readAll();
        QVERIFY2(salida.count(linea) == 1, salida.right(4000).constData());
    }

    // Quiet unless asked: debug lines only with --verbose (or QT_LOGGING_RULES).
    void silencioSalvoVerbose_data()
    {
        QTest::addColumn<QStringList>("argumentos");
        QTest::addColumn<bool>("conLineas");
        QTest::newRow("por defecto") << QStringList() << false;
        QTest::newRow("--verbose") << QStringList{QStringLiteral("--verbose")} << true;
    }

    void silencioSalvoVerbose()
    {
        QFETCH(QStringList, argumentos);
        QFETCH(bool, conLineas);
        simulador::SimuladorNgw gateway("k1");
        const int puerto = gateway.iniciar("127.0.0.1", 0);
        QVERIFY(puerto > 0);
        ajustes::escribir(ajustes::Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("key=k1"));

        ProcesoHijo programa;
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.remove(QStringLiteral("QT_LOGGING_RULES"));
        QVERIFY2(programa.arrancar(argumentos, entorno), qPrintable(programa.errorString()));
        // Up and talking to the gateway.
        QTRY_VERIFY_WITH_TIMEOUT(!gateway.peticiones().empty(), 10000);
        programa.terminate();
        QVERIFY(programa.waitForFinished(20000));
        // Only the program's debug lines count: the platform may warn on its own.
        const QByteArray salida = programa.readAll();
        for (const char *linea : {"estado= ", "Crea CONEXION", "MyDocs path: "})
            QVERIFY2(salida.contains(linea) == conLineas, salida.constData());
    }

    void finConEnvioEnCurso_data()
    {
        QTest::addColumn<QString>("forma");
#ifdef Q_OS_UNIX
        for (const char *senal : {"SIGTERM", "SIGINT", "SIGHUP"})
            QTest::newRow(senal) << QString::fromLatin1(senal);
#else
        for (const char *forma : {"cierre", "fin de sesion"})
            QTest::newRow(forma) << QString::fromLatin1(forma);
#endif
    }

    void finConEnvioEnCurso()
    {
        QFETCH(QString, forma);
        simulador::SimuladorNgw gateway("k1");
        const int puerto = gateway.iniciar("127.0.0.1", 0);
        QVERIFY(puerto > 0);
        // Every answer comes late: the signal arrives while the send is with the gateway.
        gateway.fijarDemora(std::chrono::milliseconds(1500));

        using namespace ajustes;
        escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
        escribir(Clave::KeyGateway, QStringLiteral("key=k1"));
        escribir(Clave::EnvioActivado, true);
        QVERIFY(ajustes::carpetaUsuario().mkpath(QLatin1String(kCarpetaDatos)));
        {
            QFile f(salidas());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("e,1150001111,,Hola\n");
        }

        ProcesoHijo programa;
        programa.setStandardOutputFile(QProcess::nullDevice());
        QVERIFY2(programa.arrancar(), qPrintable(programa.errorString()));

        auto envios = [&] {
            int n = 0;
            for (const simulador::Peticion &p : gateway.peticiones())
                n += p.cuerpo.find("&num=1150001111") != std::string::npos ? 1 : 0;
            return n;
        };
        QTRY_COMPARE_WITH_TIMEOUT(envios(), 1, 20000);
        pedirFin(programa, forma);

        QVERIFY(programa.waitForFinished(20000));
        // At the end of a Windows session the process is ended from outside once it has answered.
        if (forma != QLatin1String("fin de sesion")) {
            QCOMPARE(programa.exitStatus(), QProcess::NormalExit);
            QCOMPARE(programa.exitCode(), 0);
        }
        QCOMPARE(leer(salidas()), QByteArray("E,1150001111,,Hola\n"));
        QCOMPARE(envios(), 1);
        // Ended in order: its single-instance segment went with it.
        QVERIFY(instancia_unica::leerContenido().isEmpty());
    }
};

NBSMS_TEST_MAIN(PruebaSalida)

#include "prueba_salida.moc"
