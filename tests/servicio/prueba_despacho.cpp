// The service's dispatch, its worker against the gateway simulator on 127.0.0.1. Cycles are
// driven one at a time through procesarCiclo; a few tests run the real loop (play, pause, leave).

#include "ajustes/reloj.h"
#include "envio/reintento.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "lista/outbox.h"
#include "tools/simulador/simulador_ngw.h"

#include "common/entorno_prueba.h"
#include "servicio_simulado.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace servicio_simulado;

class PruebaDespacho : public QObject, public ServicioSimulado
{
    Q_OBJECT

private slots:
    void init() { preparar(); }
    void cleanup() { liberar(); }

    void constructorCuenta()
    {
        escribir(inbox, "\"a\",\"1\",\"x\"\n\"b\",\"2\",\"y\"\n");
        crear("E,1,,a\ne,2,,b\nex,3,,c\nE,4,,d\nE,5,,e\n x\n");
        QCOMPARE(w->comando(), EST_INICIO);
        QCOMPARE(pendientes(), 2);
        QCOMPARE(enviados(), 3);
        QCOMPARE(recibidos(), 2);
        QCOMPARE(w->ciclosContados(), 0);
        QVERIFY(w->qt_metacast("QRunnable"));
        QCOMPARE(w->metaObject()->className(), "threads");
    }

    void enviaMarcaYSigue()
    {
        crear("E,1,,viejo\ne,111,15/06/2026,hola, con coma\ne,222,,dos\n");
        QCOMPARE(pendientes(), 2);
        cicloQueEntrega();
        QCOMPARE(tomados().size(), size_t(1));
        QCOMPARE(tomados().at(0).numero, std::string("111"));
        QCOMPARE(tomados().at(0).texto, std::string("hola, con coma"));
        // Marked as the gateway's answer arrived, without waiting for a cycle.
        QCOMPARE(leer(salidas), QByteArray("E,1,,viejo\nE,111,15/06/2026,hola, con coma\ne,222,,dos\n"));
        QCOMPARE(enviados(), 2);
        QCOMPARE(pendientes(), 1);

        // A recount found nothing pending meanwhile (the outbox away): the counter stays at 0.
        const QString aparte = dir->filePath(QStringLiteral("aparte.csv"));
        QVERIFY(QFile::rename(salidas, aparte));
        s->recontar(false);
        QVERIFY(QFile::rename(aparte, salidas));
        QCOMPARE(pendientes(), 0);
        cicloQueEntrega();
        QCOMPARE(tomados().at(1).numero, std::string("222"));
        QCOMPARE(leer(salidas), QByteArray("E,1,,viejo\nE,111,15/06/2026,hola, con coma\nE,222,,dos\n"));
        QCOMPARE(pendientes(), 0);
        s->recontar(false);
        QCOMPARE(enviados(), 3);
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
        QVERIFY(!w->conexion()->isOcupado());
        QCOMPARE(tomados().size(), size_t(2));
    }

    // What "Salir" counts as due now: today, earlier or no date, sending on, nothing held.
    void pendientesAhora_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<bool>("pausado");
        QTest::addColumn<bool>("unoEnDuda");
        QTest::addColumn<int>("esperados");
        const QByteArray mezcla("E,0,,hecho\ne,1,15/06/2026,hoy\ne,2,01/06/2026,antes\ne,3,,ya\n"
                                "e,4,16/06/2026,luego\ne,5,basura,ilegible\n");
        QTest::newRow("hoy, antes, sin fecha, ilegible") << mezcla << false << false << 4;
        QTest::newRow("solo más adelante")
            << QByteArray("e,4,16/06/2026,luego\nE,0,,hecho\n") << false << false << 0;
        QTest::newRow("en pausa") << mezcla << true << false << 0;
        QTest::newRow("uno en duda") << QByteArray("e,1,,a\ne,2,,b\n") << false << true << 1;
    }
    void pendientesAhora()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(bool, pausado);
        QFETCH(bool, unoEnDuda);
        QFETCH(int, esperados);
        crear(contenido);
        if (unoEnDuda) {
            envioEnDuda();
            QCOMPARE(enDuda(), 1);
        }
        if (pausado)
            s->pausar();
        else
            s->reanudar();
        QCOMPARE(s->pendientesAhora(), esperados);
    }

    void unaLinea_data()
    {
        QTest::addColumn<QByteArray>("linea");
        QTest::addColumn<bool>("seEnvia");
        QTest::addColumn<QString>("aviso");
        // Today is 15/06/2026.
        QTest::newRow("hoy") << QByteArray("e,1,15/06/2026,m") << true << QString();
        QTest::newRow("ayer") << QByteArray("e,1,14/06/2026,m") << true << QString();
        QTest::newRow("inmediato") << QByteArray("e,1,--inmediato--,m") << true << QString();
        QTest::newRow("fecha vacia") << QByteArray("e,1,,m") << true << QString();
        QTest::newRow("d/M/yyyy pasada") << QByteArray("e,1,5/3/2026,m") << true << QString();
        QTest::newRow("manana") << QByteArray("e,1,16/06/2026,m") << false << QString();
        QTest::newRow("d/M/yyyy futura") << QByteArray("e,1,5/3/2027,m") << false << QString();
        QTest::newRow("ddMMyyyy futura") << QByteArray("e,1,16062026,m") << false << QString();
        QTest::newRow("enviada") << QByteArray("E,1,,m") << false << QString();
        QTest::newRow("ex") << QByteArray("ex,1,,m") << false << QString();
        QTest::newRow("numero vacio") << QByteArray("e,,,m") << false << QString();
        QTest::newRow("falta columna")
            << QByteArray("e,1,15/06/2026") << false << "outbox - falta columna...";
        QTest::newRow("numero con &")
            << QByteArray("e,1&msg=x,,m") << false << "outbox - numero no valido, no se envia: 1&msg=x";
        QTest::newRow("numero con =")
            << QByteArray("e,num=1,,m") << false << "outbox - numero no valido, no se envia: num=1";
    }
    void unaLinea()
    {
        QFETCH(QByteArray, linea);
        QFETCH(bool, seEnvia);
        QFETCH(QString, aviso);
        crear(linea + "\ne,999,01/01/2099,otro\n");
        if (!aviso.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, qPrintable(aviso));
        w->procesarCiclo();
        if (!seEnvia) {
            QVERIFY(!w->conexion()->isOcupado());
            QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
            QVERIFY(tomados().empty());
            QCOMPARE(leer(salidas), linea + "\ne,999,01/01/2099,otro\n");
            return;
        }
        QVERIFY(w->conexion()->isOcupado());
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(tomados().size(), size_t(1));
        QCOMPARE(tomados().at(0).texto, std::string("m"));
        QCOMPARE(leer(salidas), "E" + linea.mid(1) + "\ne,999,01/01/2099,otro\n");
    }

    void horario_data()
    {
        QTest::addColumn<QVariant>("mascara"); // invalid: key absent
        QTest::addColumn<QTime>("hora");
        QTest::addColumn<bool>("seEnvia");
        QTest::newRow("sin clave, 16:00") << QVariant() << QTime(16, 0) << true;
        QTest::newRow("sin clave, 23:59:59.999") << QVariant() << QTime(23, 59, 59, 999) << true;
        QTest::newRow("FFFF, 15:59:59.999") << QVariant(0xFFFF) << QTime(15, 59, 59, 999) << true;
        QTest::newRow("FFFF, 16:00") << QVariant(0xFFFF) << QTime(16, 0) << false;
        QTest::newRow("cero, 12:00") << QVariant(0) << QTime(12, 0) << false;
        QTest::newRow("solo 23, 22:59:59.999") << QVariant(1 << 23) << QTime(22, 59, 59, 999) << false;
        QTest::newRow("solo 23, 23:00") << QVariant(1 << 23) << QTime(23, 0) << true;
        QTest::newRow("solo 23, 00:00") << QVariant(1 << 23) << QTime(0, 0) << false;
        QTest::newRow("no es un numero: todas") << QVariant(QStringLiteral("x")) << QTime(12, 0) << true;
    }
    void horario()
    {
        QFETCH(QVariant, mascara);
        QFETCH(QTime, hora);
        QFETCH(bool, seEnvia);
        if (mascara.isValid())
            ajustes::escribir(ajustes::Clave::CheckHorarios, mascara);
        crear("e,1,,m\n", QDateTime(kAhora.date(), hora));
        QCOMPARE(w->horarioPermitido(), seEnvia);
        w->procesarCiclo();
        QCOMPARE(w->conexion()->isOcupado(), seEnvia);
        // The rule is read afresh at every cycle.
        ajustes::escribir(ajustes::Clave::CheckHorarios, seEnvia ? 0 : 0xFFFFFF);
        QCOMPARE(w->horarioPermitido(), !seEnvia);
    }

    // After more than 10 counted cycles a fetch starts, whatever the schedule; the received
    // counter grows by the messages stored.
    void recepcionTrasMasDeDiezCiclos()
    {
        ajustes::escribir(ajustes::Clave::CheckHorarios, 0);
        escribir(inbox, "\"01/01/2026\",\"9\",\"viejo\"\n");
        crear("e,1,,no se envia fuera de horario\n");
        QCOMPARE(recibidos(), 1);
        sim->agregarRecibido("1150001", "uno");
        sim->agregarRecibido("1150002", "dos, con coma");
        sim->agregarRecibido("1150003", "tres");
        for (int i = 1; i <= 10; ++i) {
            w->procesarCiclo();
            QVERIFY(!w->conexion()->isOcupado());
            QCOMPARE(w->ciclosContados(), i);
        }
        w->procesarCiclo();
        QCOMPARE(w->ciclosContados(), 0);
        QVERIFY(w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_GET_SMS);
        // Counted as the reply arrived, without waiting for a cycle.
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(recibidos(), 4);
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
        QCOMPARE(leer(inbox).count('\n'), 4);
        QVERIFY(tomados().empty());
        w->procesarCiclo();
        QCOMPARE(recibidos(), 4);
        QCOMPARE(w->ciclosContados(), 1);
    }

    // Busy or unknown: the cycle does nothing and is not counted.
    void ciclosOcupadosNoCuentan()
    {
        crear("e,1,,m\n");
        sim->fijarModo(simulador::Modo::NuncaResponde);
        w->procesarCiclo();
        QCOMPARE(w->ciclosContados(), 1);
        QVERIFY(w->conexion()->isOcupado());
        for (int i = 0; i < 20; ++i)
            w->procesarCiclo();
        QCOMPARE(w->ciclosContados(), 1);
        sim->fijarModo(simulador::Modo::Normal);
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(leer(salidas), QByteArray("E,1,,m\n"));

        w->conexion()->setEstado(EST_CONEX_UNKNOW);
        for (int i = 0; i < 20; ++i)
            w->procesarCiclo();
        QCOMPARE(w->ciclosContados(), 1);
    }

    void sinDireccionNoHaceNada()
    {
        const QString sinDireccion;
        crear("e,1,,m\n", kAhora, &sinDireccion);
        w->fijarComando(EST_PLAY);
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_UNKNOW);
        for (int i = 0; i < 15; ++i)
            w->procesarCiclo();
        QVERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->ciclosContados(), 0);
        // Long past any retry's wait: still waiting for an address, with nothing to report.
        reloj::fijar([] { return kAhora.addSecs(600); });
        w->procesarCiclo();
        QVERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_UNKNOW);
        QVERIFY(s->escribirLineas().isEmpty());
        QVERIFY(!QFile::exists(errores));
        QVERIFY(!w->detenidoPorFalla());
        QCOMPARE(textoSituacion(w->situacion()), QStringLiteral("Sin gateway configurado"));
        QVERIFY(sim->peticiones().empty());
    }

    // The gateway refuses the message: nothing is sent or fetched while the wait runs; then a
    // status query tries again by itself, a gateway still full waits twice as long, and once it
    // has room the same record goes, once.
    void errorDeEnvioSeReintentaTrasLaEspera()
    {
        crear("e,1,,m\n");
        sim->fijarObservador([this](const simulador::Peticion &p, const std::string &) {
            if (p.cuerpo == "key=clave&stat")
                sim->fijarModo(simulador::Modo::Lleno);
        });
        w->procesarCiclo();
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_SEND_SMS_ERROR);
        sim->fijarObservador(nullptr);
        sim->limpiar();
        for (int i = 0; i < 12; ++i) {
            w->procesarCiclo();
            QVERIFY(!w->conexion()->isOcupado());
        }
        QVERIFY(sim->peticiones().empty());
        QCOMPARE(w->situacion().segundosReintento, 30);
        QVERIFY(w->detenidoPorFalla());

        const auto cicloA = [this](qint64 ms) {
            reloj::fijar([ms] { return kAhora.addMSecs(ms); });
            w->procesarCiclo();
            QTRY_VERIFY(!w->conexion()->isOcupado());
        };
        cicloA(29999);
        QVERIFY(sim->peticiones().empty());
        cicloA(30000);
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_SIN_LUGAR);
        w->procesarCiclo();
        QCOMPARE(w->situacion().segundosReintento, 60);
        sim->fijarModo(simulador::Modo::Normal);
        cicloA(89999);
        cicloA(90000);
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
        QCOMPARE(sim->peticiones().size(), size_t(2));
        QVERIFY(tomados().empty());
        cicloQueEntrega();
        QVERIFY(!w->detenidoPorFalla());
        QCOMPARE(tomados().size(), size_t(1));
        QCOMPARE(leer(salidas), QByteArray("E,1,,m\n"));
    }

    // The window compacted the outbox while the message was with the gateway.
    void marcaTrasCompactacion()
    {
        crear("E,1,,a\nE,2,,b\ne,3,,c\ne,4,,d\n");
        retenerEnvio();
        QCOMPARE(s->compactarOutbox(), QString());
        QCOMPARE(leer(salidas), archivos_prueba::conFinDeLinea("e,3,,c\ne,4,,d\n"));
        soltar();
        QCOMPARE(leer(salidas), archivos_prueba::conFinDeLinea("E,3,,c\ne,4,,d\n"));
        QCOMPARE(enviados(), 3);
        QCOMPARE(pendientes(), 1);
    }

    void marcaSinArchivoSeReintenta()
    {
        crear("e,1,,a\n");
        retenerEnvio();
        const QString aparte = dir->filePath(QStringLiteral("aparte.csv"));
        QVERIFY(QFile::rename(salidas, aparte));
        QVERIFY(QDir().mkdir(salidas)); // a folder where the outbox was: it cannot be opened
        QTest::ignoreMessage(QtDebugMsg, qPrintable(" Could not open the file for read/write " + salidas));
        soltar();
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_SEND_SMS_OK);
        QTest::ignoreMessage(QtDebugMsg, qPrintable(" Could not open the file for read/write " + salidas));
        w->procesarCiclo();
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_SEND_SMS_OK);
        QCOMPARE(enviados(), 0);
        QCOMPARE(pendientes(), 1);
        QVERIFY(QDir().rmdir(salidas));
        QVERIFY(QFile::rename(aparte, salidas));
        w->procesarCiclo();
        QCOMPARE(leer(salidas), QByteArray("E,1,,a\n"));
        QCOMPARE(enviados(), 1);
        QCOMPARE(pendientes(), 0);
    }

    void recuentoRecibidos_data()
    {
        QTest::addColumn<QVariant>("clave"); // invalid: key absent
        QTest::addColumn<int>("cuenta");
        QTest::newRow("sin clave: el archivo del escritor") << QVariant() << 3;
        QTest::newRow("vacio: el archivo del escritor") << QVariant(QStringLiteral("vacio")) << 3;
        QTest::newRow("otra ruta") << QVariant(QStringLiteral("otra")) << 1;
    }
    void recuentoRecibidos()
    {
        QFETCH(QVariant, clave);
        QFETCH(int, cuenta);
        crear("");
        QDir home = ajustes::carpetaUsuario();
        QVERIFY(home.mkpath(QLatin1String(ajustes::kCarpetaDatos)));
        escribir(ajustes::rutaPorDefecto(ajustes::kArchivoRecibidos), "a\nb\nc\n");
        const QString otra = dir->filePath(QStringLiteral("otra.csv"));
        escribir(otra, "x\n");
        if (!clave.isValid())
            ajustes::borrar(ajustes::Clave::FolderInbox);
        else
            ajustes::escribir(ajustes::Clave::FolderInbox,
                              clave.toString() == QLatin1String("otra") ? otra : clave);
        s->recontar(false);
        QCOMPARE(recibidos(), cuenta);
    }

    // A recount publishes its total once: a reader never sees a partial value.
    void recuentoSinValoresParciales()
    {
        QByteArray grande;
        for (int i = 0; i < 60000; ++i)
            grande += "e," + QByteArray::number(i) + ",,mensaje\n";
        for (int i = 0; i < 20000; ++i)
            grande += "E," + QByteArray::number(i) + ",,mensaje\n";
        crear(grande);
        QCOMPARE(pendientes(), 60000);
        std::atomic<bool> fin{false};
        std::atomic<int> raros{0};
        std::unique_ptr<QThread> lector(QThread::create([&] {
            while (!fin) {
                const int p = pendientes();
                const int e = enviados();
                if (p != 60000 || e != 20000)
                    ++raros;
            }
        }));
        lector->start();
        for (int i = 0; i < 10; ++i)
            s->recontar(false);
        fin = true;
        lector->wait();
        QCOMPARE(raros.load(), 0);
    }

    // The real loop: play sends, pause stops the cycles (a message the gateway takes meanwhile
    // is marked all the same, the moment it answers), leave ends the loop at once.
    void bucleReal()
    {
        crear("e,1,,primero\n");
        s->reanudar();
        s->iniciar();
        QTRY_COMPARE_WITH_TIMEOUT(leer(salidas), QByteArray("E,1,,primero\n"), 10000);

        // Pause as soon as the next record is with the gateway: it takes it, the mark waits.
        sim->fijarObservador([this](const simulador::Peticion &p, const std::string &) {
            if (p.cuerpo == "key=clave&stat")
                w->fijarComando(EST_PAUSA);
        });
        QCOMPARE(s->agregarManual(QStringLiteral("2"), QStringLiteral("segundo"), false),
                 servicio::Manual::Agregado);
        QTRY_COMPARE_WITH_TIMEOUT(tomados().size(), size_t(2), 10000);
        QTRY_VERIFY(!w->conexion()->isOcupado());
        sim->fijarObservador(nullptr);
        QCOMPARE(w->comando(), EST_PAUSA);
        QCOMPARE(leer(salidas),
                 "E,1,,primero\n" + archivos_prueba::conFinDeLinea("E,2,15/06/2026,segundo\n"));
        QCOMPARE(enviados(), 2);

        s->terminar();
        QVERIFY(s->terminado());
    }

    // The end while the outbox cannot be written after the gateway took a message: the errors file
    // says which record stays in doubt.
    void marcaImposibleAlTerminarSeAnota()
    {
        crear("e,1,01/01/2020,m\n");
        retenerEnvio();
        QVERIFY(QFile::remove(salidas));
        QVERIFY(QDir().mkdir(salidas));
        soltar();
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_SEND_SMS_OK);
        s->terminar();
        QVERIFY(leer(errores).contains("\"e,1,01/01/2020,m\""));
        QVERIFY(QDir().rmdir(salidas));
    }

    // A second quit while the end waits for the gateway's reply (the tray's "Salir" twice, a signal
    // after it): the wait goes on, the reply is handled and the message marked.
    void segundaSalidaEsperaLaRespuesta()
    {
        crear("e,1,01/01/2020,m\n");
        sim->fijarDemora(std::chrono::milliseconds(1500));
        w->procesarCiclo();
        QTRY_COMPARE(envios("1"), 1);
        QTimer::singleShot(100, qApp, &QCoreApplication::quit);
        s->terminar();
        QCOMPARE(leer(salidas), QByteArray("E,1,01/01/2020,m\n"));
        // A quit outside the application's own loop stays pending for every later loop; one run of
        // that loop takes it.
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }

    // An opt-out while one of the number's records is with the gateway: the others are taken out
    // and told as not sent; that one may still go out, and is not.
    void bajaConUnRegistroEnManoSoloNombraLosQuitados()
    {
        crear("e,1145678902,,a\ne,1145678902,,b\n");
        retenerEnvio();
        QSignalSpy intentos(s.get(), &servicio::ServicioEnvio::intentoTerminado);
        QCOMPARE(s->agregarBaja(QStringLiteral("1145678902")), servicio::AltaBaja::Agregada);
        w->girar();
        QCOMPARE(leer(salidas), conFinDeLinea("e,1145678902,,a\n"));
        QStringList mensajes;
        for (const QList<QVariant> &intento : qAsConst(intentos))
            mensajes << intento.at(2).toString();
        QCOMPARE(mensajes, QStringList{QStringLiteral("b")});
        soltar();
    }

    // The connection's failure goes to the errors file once, only in state 8 and with a text, and
    // not again while retries fail alike; the lines about received messages stored elsewhere go
    // out in any state, in order.
    void lineasDelArchivoDeErrores()
    {
        const QString sinCarpeta = dir->filePath(QStringLiteral("no/existe/inbox.csv"));
        ajustes::escribir(ajustes::Clave::FolderInbox, sinCarpeta);
        const QString defecto = ajustes::rutaPorDefecto(ajustes::kArchivoRecibidos);
        QVERIFY(QDir().mkpath(QFileInfo(defecto).path()));
        QFile::remove(defecto);
        crear("");
        conexion_ngw *c = w->conexion();
        c->setEstado(EST_CONEX_ERROR);
        QVERIFY(s->escribirLineas().isEmpty());
        QVERIFY(!QFile::exists(errores)); // no text: no file touched
        sim->fijarModo(simulador::Modo::Cerrar);
        for (int vez = 0; vez < 2; ++vez) {
            QVERIFY(c->consultarEstado());
            QTRY_VERIFY(!c->isOcupado());
            QCOMPARE(c->getEstado(), EST_CONEX_ERROR);
            QVERIFY(s->escribirLineas().isEmpty());
        }
        QByteArray esperado("El gateway cerró la conexión sin responder\n");
        QCOMPARE(leer(errores), archivos_prueba::conFinDeLinea(esperado));

        sim->fijarModo(simulador::Modo::Normal);
        for (int cantidad : {1, 2}) {
            for (int k = 0; k < cantidad; ++k)
                sim->agregarRecibido("111", "hola");
            QVERIFY(c->obtenerSms());
            QTRY_VERIFY(!c->isOcupado());
            QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
            esperado += QStringLiteral("No se pudo escribir en el archivo de SMS recibidos %1; %2 mensaje(s) "
                                       "recibido(s) guardado(s) en %3\n")
                            .arg(sinCarpeta)
                            .arg(cantidad)
                            .arg(defecto)
                            .toUtf8();
        }
        QVERIFY(s->escribirLineas().isEmpty());
        QCOMPARE(leer(errores), archivos_prueba::conFinDeLinea(esperado));
        QCOMPARE(recibidos(), 3);
    }
};

NBSMS_TEST_MAIN(PruebaDespacho)
#include "prueba_despacho.moc"
