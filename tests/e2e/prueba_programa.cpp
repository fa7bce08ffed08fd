// The real program, started as its own process with settings written beforehand, against the
// gateway simulator on 127.0.0.1: a list dropped at the watched path is imported without anyone
// at the keyboard, its messages reach the gateway with the exact bytes and are marked sent, the
// bad rows land in the errors file, the list moves to the backup path, and the messages the
// gateway holds land in the received-messages file. Then the gateway fails for a while in three
// ways, and the program recovers by itself each time.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "app/instancia_unica.h"
#include "tools/simulador/simulador_ngw.h"

#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

namespace {
using archivos_prueba::bytes;
using archivos_prueba::leer;
using archivos_prueba::lineas;

const char kClave[] = "k3y9";
const char kTx[] = "/cgi-bin/txsms.cgi";
const char kRx[] = "/cgi-bin/rxsms.cgi";

// Everything below must happen well within this, counted from the program's start: the watched
// import waits one quiet tick (~2 s), sending takes about two worker cycles per message, and
// received messages are fetched after more than ten counted cycles (~12 s).
constexpr int kLimiteMs = 45000;

// UTF-8 list, as an office would save it: three good rows and three that cannot become a
// message (no number, a number that would change the request's parameters, an empty mandatory
// field).
const char kLista[] = "nombre,celular,dia\n"
                      "Ana,1150001111,lunes\n"
                      "Beto,,martes\n"
                      "Cora,1150003333,mi\xc3\xa9rcoles\n"
                      "Dario,1150&4444,jueves\n"
                      "Eva,1150005555,viernes & s\xc3\xa1"
                      "bado\n"
                      "Fede,1150006666,\n";
const char kPlantilla[] = "Hola [nombre],\nsu turno es el {dia}";

enum Falla { Inalcanzable, Http503, SinLugar };

} // namespace

class PruebaPrograma : public QObject
{
    Q_OBJECT

    QTemporaryDir carpeta;
    simulador::SimuladorNgw gateway{kClave};
    ProcesoHijo programa;
    QElapsedTimer reloj;
    QDate diaInicio;

    QString ruta(const char *nombre) const { return carpeta.filePath(QLatin1String(nombre)); }
    QString rutaSalidas() const
    {
        return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
               QLatin1Char('/') + QLatin1String(ajustes::kArchivoSalidas);
    }
    // Waits, with the event loop running, until `listo` holds or the overall time is spent.
    // (QTRY_* would wait up to three times its timeout before failing.)
    template <typename Condicion> bool esperar(Condicion listo) const
    {
        return QTest::qWaitFor(listo, qMax(0, kLimiteMs - static_cast<int>(reloj.elapsed())));
    }

    // Bodies of the requests the gateway answered on `camino`, in order; only sends when
    // `soloEnvios`.
    QList<QByteArray> cuerpos(const char *camino, bool soloEnvios = false) const
    {
        QList<QByteArray> salida;
        for (const simulador::Peticion &p : gateway.peticiones()) {
            if (p.ruta == camino && (!soloEnvios || p.cuerpo.find("&num=") != std::string::npos))
                salida << bytes(p.cuerpo);
        }
        return salida;
    }

    // A date the program may have written: the test ran across midnight at worst.
    bool fechaDeHoy(const QByteArray &fecha) const
    {
        const QString texto = QString::fromLatin1(fecha);
        return texto == diaInicio.toString(QStringLiteral("dd/MM/yyyy")) ||
               texto == QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(carpeta.isValid());
        QVERIFY2(!qEnvironmentVariableIsEmpty("NBSMS_BIN_DIR"), "NBSMS_BIN_DIR names the program's folder");
        const int puerto = gateway.iniciar("127.0.0.1", 0);
        QVERIFY(puerto > 0);
        gateway.agregarRecibido("1150009999", "Confirmo el turno");
        gateway.agregarRecibido("1150008888", "Ma\xc3\xb1"
                                              "ana no puedo, gracias");

        // The program reads the same store through HOME / XDG_CONFIG_HOME, which it inherits.
        using namespace ajustes;
        escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
        escribir(Clave::KeyGateway, QStringLiteral("key=%1").arg(QLatin1String(kClave)));
        escribir(Clave::EnvioActivado, true);
        escribir(Clave::CheckVerifPer, true);
        escribir(Clave::ListaNombreFila, ruta("lista.csv"));
        escribir(Clave::TieneHeader, true);
        escribir(Clave::ColumnaCelular, QStringLiteral("celular"));
        escribir(Clave::ColumnaFecha, QString::fromLatin1(kInmediato));
        escribir(Clave::FormatoSms, QString::fromUtf8(kPlantilla));
        escribir(Clave::FolderErrores, ruta("errores.csv"));
        escribir(Clave::FolderBackups, ruta("backup.csv"));
        escribir(Clave::FolderInbox, ruta("recibidos.csv"));
        escribir(Clave::CheckHorarios, kTodasLasHoras);
    }

    void listaVigiladaSeEnviaYLlegaLoRecibido()
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Lists and data files are read in the locale's encoding until the first send.
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        entorno.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
        programa.setProcessEnvironment(entorno);
        programa.setProcessChannelMode(QProcess::MergedChannels);
        programa.setStandardOutputFile(ruta("nbsms.log"));
        programa.setProgram(qEnvironmentVariable("NBSMS_BIN_DIR") + QStringLiteral("/nbsms"));
        diaInicio = QDate::currentDate();
        reloj.start();
        programa.start();
        QVERIFY2(programa.waitForStarted(10000), qPrintable(programa.errorString()));

        // Up, with the stored address and key: its first status query reaches the gateway.
        const QByteArray estado = QByteArray("key=") + kClave + "&stat";
        QVERIFY(esperar([&] { return cuerpos(kTx).contains(estado); }));
        QCOMPARE(programa.state(), QProcess::Running);

        // Dropped in one step, as a finished copy.
        const QString lista = ruta("lista.csv");
        {
            QFile f(ruta("lista.tmp"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(kLista), qint64(sizeof kLista - 1));
        }
        QVERIFY(QFile::rename(ruta("lista.tmp"), lista));

        // Imported and taken away from the watched path.
        QVERIFY(esperar([&] { return !QFile::exists(lista) && QFile::exists(ruta("backup.csv")); }));
        QCOMPARE(leer(ruta("backup.csv")), QByteArray(kLista));
        QCOMPARE(leer(ruta("errores.csv")), archivos_prueba::conFinDeLinea("Beto,,martes\n"
                                                                           "Dario,1150&4444,jueves\n"
                                                                           "Fede,1150006666,\n"));

        const QList<QByteArray> registros = lineas(rutaSalidas());
        QCOMPARE(registros.size(), 3);
        const QByteArray fecha = registros.first().split(',').value(2);
        QVERIFY2(fechaDeHoy(fecha), fecha.constData());
        const QList<QByteArray> mensajes = {
            "1150001111," + fecha + ",Hola Ana,&enter&su turno es el lunes",
            "1150003333," + fecha + ",Hola Cora,&enter&su turno es el mi\xc3\xa9rcoles",
            "1150005555," + fecha +
                ",Hola Eva,&enter&su turno es el viernes & s\xc3\xa1"
                "bado",
        };
        for (int i = 0; i < 3; ++i) {
            // Pending, or already marked by a quick worker.
            QVERIFY2(registros.at(i) == "e," + mensajes.at(i) || registros.at(i) == "E," + mensajes.at(i),
                     registros.at(i).constData());
        }

        // Sent once each, in order, Latin-1, with "&" and the line-break token raw.
        const QByteArray prefijo = QByteArray("key=") + kClave;
        const QList<QByteArray> envios = {
            prefijo + "&num=1150001111&msg=Hola Ana,&enter&su turno es el lunes",
            prefijo + "&num=1150003333&msg=Hola Cora,&enter&su turno es el mi\xe9rcoles",
            prefijo + "&num=1150005555&msg=Hola Eva,&enter&su turno es el viernes & s\xe1"
                      "bado",
        };
        esperar([&] { return cuerpos(kTx, true).size() >= envios.size(); });
        QCOMPARE(cuerpos(kTx, true), envios);

        QList<QByteArray> marcados;
        for (const QByteArray &m : mensajes)
            marcados << "E," + m;
        esperar([&] { return lineas(rutaSalidas()) == marcados; });
        QCOMPARE(lineas(rutaSalidas()), marcados);

        // The gateway's messages, fetched with the key, stored in UTF-8 with the day's date; the
        // text runs to the end of the gateway's line, commas included.
        esperar([&] { return lineas(ruta("recibidos.csv")).size() >= 2; });
        QCOMPARE(lineas(ruta("recibidos.csv")).size(), 2);
        QVERIFY(cuerpos(kRx).contains(prefijo + "&max=10"));
        const QList<QByteArray> recibidos = lineas(ruta("recibidos.csv"));
        const QList<QByteArray> esperados = {"\"1150009999\",\"Confirmo el turno\"",
                                             "\"1150008888\",\"Ma\xc3\xb1"
                                             "ana no puedo, gracias\""};
        for (int i = 0; i < 2; ++i) {
            const QByteArray &linea = recibidos.at(i);
            QVERIFY2(linea.size() > 13 && linea.startsWith('"') && linea.at(11) == '"' &&
                         fechaDeHoy(linea.mid(1, 10)),
                     linea.constData());
            QCOMPARE(linea.mid(13), esperados.at(i));
        }
        QCOMPARE(gateway.recibidosPendientes(), std::size_t(0));

        // Nothing went out twice and no error line was added on the way.
        QCOMPARE(cuerpos(kTx, true), envios);
        QCOMPARE(lineas(ruta("errores.csv")).size(), 3);
        QVERIFY(!QFile::exists(lista));
        QCOMPARE(programa.state(), QProcess::Running);
    }

    // Then the gateway goes away (unreachable), answers 503, and has no free place, each for a
    // while: the record of a list dropped meanwhile goes out once, within a minute of the
    // gateway's return, with nobody touching the program (its first retry comes 30 s after the
    // failure).
    void gatewayQueFallaSeRecuperaSolo_data()
    {
        QTest::addColumn<int>("falla");
        QTest::addColumn<QByteArray>("numero");
        QTest::newRow("inalcanzable") << int(Inalcanzable) << QByteArray("1160000001");
        QTest::newRow("503") << int(Http503) << QByteArray("1160000002");
        QTest::newRow("sin lugar") << int(SinLugar) << QByteArray("1160000003");
    }

    void gatewayQueFallaSeRecuperaSolo()
    {
        QFETCH(int, falla);
        QFETCH(QByteArray, numero);
        QCOMPARE(programa.state(), QProcess::Running);
        const int puerto = gateway.puerto();
        const int erroresAntes = lineas(ruta("errores.csv")).size();
        const std::size_t pedidosAntes = gateway.peticiones().size();
        const int enviosAntes = cuerpos(kTx, true).size();
        switch (falla) {
        case Inalcanzable:
            gateway.detener();
            break;
        case Http503:
            // A gateway starting up: the next request only.
            gateway.fijarFalla(simulador::Modo::Http503, 1);
            break;
        case SinLugar:
            gateway.fijarModo(simulador::Modo::Lleno);
            break;
        }

        const QString lista = ruta("lista.csv");
        QVERIFY(
            archivos_prueba::escribir(ruta("lista.tmp"), "nombre,celular,dia\nGus," + numero + ",lunes\n"));
        QVERIFY(QFile::rename(ruta("lista.tmp"), lista));
        const QByteArray registro = numero + ",";
        auto enSalidas = [&](char marca) {
            for (const QByteArray &l : lineas(rutaSalidas())) {
                if (l.startsWith(QByteArray(1, marca) + ',' + registro))
                    return true;
            }
            return false;
        };
        QVERIFY(QTest::qWaitFor([&] { return enSalidas('e'); }, 20000));

        // The program has met the fault: a line in the errors file, or a status without room.
        const auto fallaVista = [&] {
            if (falla != SinLugar)
                return lineas(ruta("errores.csv")).size() > erroresAntes;
            const auto pedidos = gateway.peticiones();
            for (std::size_t i = pedidosAntes; i < pedidos.size(); ++i) {
                if (pedidos[i].cuerpo == std::string("key=") + kClave + "&stat")
                    return true;
            }
            return false;
        };
        QVERIFY(QTest::qWaitFor(fallaVista, 20000));
        if (falla == Http503)
            QVERIFY(lineas(ruta("errores.csv")).last().contains("503"));
        QVERIFY(enSalidas('e'));

        // The gateway is back.
        if (falla == Inalcanzable)
            QCOMPARE(gateway.iniciar("127.0.0.1", puerto), puerto);
        else if (falla == SinLugar)
            gateway.fijarModo(simulador::Modo::Normal);
        QCOMPARE(gateway.fallasPendientes(), 0);
        QElapsedTimer vuelta;
        vuelta.start();
        const QByteArray envio =
            QByteArray("key=") + kClave + "&num=" + numero + "&msg=Hola Gus,&enter&su turno es el lunes";
        QVERIFY2(QTest::qWaitFor([&] { return enSalidas('E'); }, 60000),
                 "not sent within a minute of the return");
        QVERIFY(vuelta.elapsed() < 60000);
        QCOMPARE(cuerpos(kTx, true).count(envio), 1);
        QCOMPARE(cuerpos(kTx, true).size(), enviosAntes + 1);
        QCOMPARE(programa.state(), QProcess::Running);
    }

    void cleanup()
    {
        if (QTest::currentTestFailed()) {
            const QList<QByteArray> registro = lineas(ruta("nbsms.log"));
            qWarning("last lines of the program's output:");
            for (const QByteArray &l : registro.mid(qMax(0, registro.size() - 60)))
                qWarning("  %s", l.constData());
        }
    }

    void cleanupTestCase()
    {
        programa.matar();
        gateway.detener();
    }
};

NBSMS_TEST_MAIN(PruebaPrograma)

#include "prueba_programa.moc"
