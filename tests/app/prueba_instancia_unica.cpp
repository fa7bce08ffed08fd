// The single-instance guard, with real processes of the program.

#include "common/entorno_prueba.h"
#include "common/montaje.h"

#include "app/instancia_unica.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>

#ifdef Q_OS_UNIX
#include <csignal>
#endif

class PruebaInstanciaUnica : public QObject
{
    Q_OBJECT

    QString programa() const { return qEnvironmentVariable("NBSMS_BIN_DIR") + QStringLiteral("/nbsms"); }

    QProcess *arrancar(const QProcessEnvironment &entorno = QProcessEnvironment::systemEnvironment(),
                       const QStringList &argumentos = QStringList())
    {
        auto *p = new QProcess(this);
        procesos << p;
        p->setProcessEnvironment(entorno);
        p->setProcessChannelMode(QProcess::MergedChannels);
        p->setProgram(programa());
        p->setArguments(argumentos);
        p->start();
        if (!p->waitForStarted(10000))
            qFatal("could not start the program");
        return p;
    }

    QList<QProcess *> procesos;

    static void quitarSegmentoHuerfano()
    {
        auto segmento = instancia_unica::crearSegmento();
        segmento->attach();
        segmento->detach();
    }

private slots:
    void init() { QVERIFY(instancia_unica::leerContenido().isEmpty()); }

    void cleanup()
    {
        for (QProcess *p : qAsConst(procesos)) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(10000);
            }
            delete p;
        }
        procesos.clear();
        // Killed instances leave their segment behind; the next test starts from none.
        quitarSegmentoHuerfano();
    }

    void segundoArranqueDejaPedidoYTermina()
    {
        // This test process plays the first instance.
        auto segmento = instancia_unica::crearSegmento();
        QVERIFY(instancia_unica::iniciar(*segmento));
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"));

        QProcess *segundo = arrancar();
        QElapsedTimer reloj;
        reloj.start();
        QVERIFY(segundo->waitForFinished(10000));
        // It waits a moment for the answer, which never comes here.
        QVERIFY2(reloj.elapsed() < instancia_unica::kEsperaRespuestaMs + 2000,
                 qPrintable(QString::number(reloj.elapsed())));
        QCOMPARE(segundo->exitStatus(), QProcess::NormalExit);
        QCOMPARE(segundo->exitCode(), 0);
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_restaurar"));

        // Several starts before the answer leave one pending request and cause one restore.
        QProcess *tercero = arrancar();
        QVERIFY(tercero->waitForFinished(10000));
        QCOMPARE(tercero->exitCode(), 0);

        int restauraciones = 0;
        QVERIFY(instancia_unica::atenderPedido([&] { ++restauraciones; }));
        QCOMPARE(restauraciones, 1);
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"));
        QVERIFY(!instancia_unica::atenderPedido([&] { ++restauraciones; }));
        QCOMPARE(restauraciones, 1);
    }

    // --version and --help answer by themselves: no restore request reaches the running instance.
    void versionYAyudaNoTocanLaInstancia_data()
    {
        QTest::addColumn<QString>("opcion");
        QTest::addColumn<QByteArray>("comienzo");
        QTest::newRow("--version") << "--version" << QByteArray("nbsms ");
        QTest::newRow("--help") << "--help" << QByteArray("Uso: ");
    }

    void versionYAyudaNoTocanLaInstancia()
    {
        QFETCH(QString, opcion);
        QFETCH(QByteArray, comienzo);
        // This test process plays the running instance.
        auto segmento = instancia_unica::crearSegmento();
        QVERIFY(instancia_unica::iniciar(*segmento));
        QProcess *otro = arrancar(QProcessEnvironment::systemEnvironment(), {opcion});
        QVERIFY(otro->waitForFinished(10000));
        QCOMPARE(otro->exitCode(), 0);
        QVERIFY(otro->readAllStandardOutput().startsWith(comienzo));
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"));
    }

    void sinSegmentoNoHayPedido()
    {
        int llamadas = 0;
        QVERIFY(!instancia_unica::atenderPedido([&] { ++llamadas; }));
        QCOMPARE(llamadas, 0);
        // The object created by the poll goes with it.
        QVERIFY(instancia_unica::leerContenido().isEmpty());
    }

    void primeraInstanciaAtiendeYSeRecuperaTrasSerMatada()
    {
        QProcess *primero = arrancar();
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"), 10000);

        // A second start exits; the running instance answers within its poll period.
        QProcess *segundo = arrancar();
        QVERIFY(segundo->waitForFinished(10000));
        QCOMPARE(segundo->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"), 5000);
        QCOMPARE(primero->state(), QProcess::Running);

        // Killed without a chance to release the segment: the next start must still run.
        primero->kill();
        QVERIFY(primero->waitForFinished(10000));
        QProcess *nuevo = arrancar();
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"), 10000);
        QProcess *otro = arrancar();
        QVERIFY(otro->waitForFinished(10000));
        QCOMPARE(otro->exitCode(), 0);
        QCOMPARE(nuevo->state(), QProcess::Running);
    }

    // A second start while the first is ending (waiting for the gateway's reply to its last
    // request) waits for it and then runs as the first instance.
    void segundoArranqueEsperaAlQueTermina()
    {
        QTcpServer gateway; // takes the request and never answers
        QVERIFY(gateway.listen(QHostAddress::LocalHost));
        ajustes::escribir(ajustes::Clave::IpGateway,
                          QStringLiteral("127.0.0.1:%1").arg(gateway.serverPort()));
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("key=k"));
        ajustes::escribir(ajustes::Clave::LimiteSilencio, 3000);
        QProcess *primero = arrancar();
        QTRY_VERIFY_WITH_TIMEOUT(gateway.hasPendingConnections(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"), 10000);
#ifdef Q_OS_UNIX
        ::kill(static_cast<pid_t>(primero->processId()), SIGTERM);
#else
        primero->terminate(); // a close request, which ends it in order
#endif
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_en_cierre"), 10000);

        QProcess *segundo = arrancar();
        QVERIFY(primero->waitForFinished(20000));
        QCOMPARE(primero->exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"), 10000);
        QCOMPARE(segundo->state(), QProcess::Running);
        QSettings().clear();
    }

    // A runtime folder where the segment's key file cannot be made (read-only): the program
    // starts without a guard instead of ending silently as if another instance ran.
    void segmentoImposibleArranca()
    {
        QTemporaryDir carpeta;
        const QString runtime = carpeta.filePath(QStringLiteral("runtime"));
        MontajeTmpfs montaje(runtime, true);
        if (!montaje.montado())
            QSKIP("needs root to mount a read-only tmpfs");
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        QProcess *p = arrancar(entorno);
        // The connection object reports its first state once the window has been built; a loaded
        // machine may take long to get there.
        const bool respondio = QTest::qWaitFor(
            [p] { return p->state() != QProcess::Running || p->peek(1 << 16).contains("estado= "); }, 30000);
        const bool corre = p->state() == QProcess::Running;
        p->kill();
        p->waitForFinished(10000);
        QVERIFY(respondio && corre);
    }

    void otroUsuarioNoBloquea()
    {
#ifndef Q_OS_UNIX
        QSKIP("Unix runtime folders; Windows keeps another session's names apart itself (Local\\)");
#endif
        auto segmento = instancia_unica::crearSegmento();
        QVERIFY(instancia_unica::iniciar(*segmento));

        // Another user's session: its own runtime folder.
        QTemporaryDir otroRuntime;
        QFile::setPermissions(otroRuntime.path(),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("XDG_RUNTIME_DIR"), otroRuntime.path());
        QProcess *ajeno = arrancar(entorno);
        // It runs as the first instance of its own session, beside ours.
        // Its scope is its runtime folder; look there the way it does.
        const QByteArray nuestro = qgetenv("TMPDIR");
        auto contenidoAjeno = [&] {
            qputenv("TMPDIR", QFile::encodeName(otroRuntime.path()));
            const QByteArray c = instancia_unica::leerContenido();
            qputenv("TMPDIR", nuestro);
            return c;
        };
        QTRY_COMPARE_WITH_TIMEOUT(contenidoAjeno(), QByteArray("nbsms_corriendo"), 10000);
        QCOMPARE(ajeno->state(), QProcess::Running);
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"));
        qputenv("TMPDIR", QFile::encodeName(otroRuntime.path()));
        for (QProcess *p : qAsConst(procesos))
            p->kill();
        for (QProcess *p : qAsConst(procesos))
            p->waitForFinished(10000);
        quitarSegmentoHuerfano();
        qputenv("TMPDIR", nuestro);
    }
};

NBSMS_TEST_MAIN(PruebaInstanciaUnica)
#include "prueba_instancia_unica.moc"
