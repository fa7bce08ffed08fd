// The history database against a file in a temporary folder. Its rows come the way the window
// wires them: the worker's and the connection's reports, queued, from a real worker talking to
// the gateway simulator on 127.0.0.1.

#include "ajustes/reloj.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "historial/base_historial.h"
#include "historial/exportar_csv.h"
#include "lista/bajas.h"
#include "servicio/servicio_envio.h"
#include "tools/simulador/simulador_ngw.h"

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

const QDateTime kAhora(QDate(2026, 6, 15), QTime(10, 30, 5));

// The rows of a table as "col|col|..." lines, oldest first, read through a connection of
// the test's own.
QStringList filas(const QString &ruta, const QString &sql)
{
    QStringList resultado;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lectura"));
        db.setDatabaseName(ruta);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next()) {
                QStringList campos;
                for (int i = 0; i < q.record().count(); ++i)
                    campos << q.value(i).toString();
                resultado << campos.join(QLatin1Char('|'));
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lectura"));
    return resultado;
}

} // namespace

class PruebaBase : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString ruta;

private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        ruta = dir->filePath(QStringLiteral("historial.sqlite"));
        reloj::fijar([] { return kAhora; });
    }
    void cleanup() { reloj::fijar(nullptr); }

    void filaPorIntento_data()
    {
        QTest::addColumn<int>("modo");
        QTest::addColumn<QString>("resultado");
        QTest::addColumn<QByteArray>("salidas");
        QTest::newRow("marcado") << int(simulador::Modo::Normal) << "enviado"
                                 << QByteArray("E,111,,hola, coma\n");
        // -1: room at the status query, then "1: FULL" for the message itself.
        QTest::newRow("rechazado") << -1 << "error: Error al enviar SMS" << QByteArray("e,111,,hola, coma\n");
        QTest::newRow("sin lugar") << int(simulador::Modo::Lleno)
                                   << "error: el gateway no tiene lugar para más mensajes"
                                   << QByteArray("e,111,,hola, coma\n");
        QTest::newRow("sin modulo") << int(simulador::Modo::SinModulo) << "error: No envia SMS"
                                    << QByteArray("e,111,,hola, coma\n");
        QTest::newRow("sin respuesta")
            << int(simulador::Modo::Cerrar) << "error: " << QByteArray("e,111,,hola, coma\n");
    }
    // One row per attempt, written through the queued report, whatever became of the record.
    void filaPorIntento()
    {
        QFETCH(int, modo);
        QFETCH(QString, resultado);
        QFETCH(QByteArray, salidas);
        simulador::SimuladorNgw sim("clave");
        QVERIFY(sim.iniciar() > 0);
        const QString rutaSalidas = dir->filePath(QStringLiteral("salidas.csv"));
        escribir(rutaSalidas, "e,111,,hola, coma\n");
        ajustes::borrar(ajustes::Clave::CheckHorarios);
        {
            servicio::ServicioEnvio servicio(
                QDir(dir->path()), protocolo_ngw::gatewayDe(QStringLiteral("127.0.0.1:%1").arg(sim.puerto()),
                                                            QStringLiteral("key=clave")));
            historial::Historial &base = servicio.historial();
            threads &w = *servicio.trabajador();
            QSignalSpy escritas(&base, &historial::Historial::agregados);
            QTRY_VERIFY(!w.conexion()->isOcupado());
            if (modo >= 0) {
                sim.fijarModo(static_cast<simulador::Modo>(modo));
            } else {
                sim.fijarObservador([&sim](const simulador::Peticion &p, const std::string &) {
                    if (p.cuerpo == "key=clave&stat")
                        sim.fijarModo(simulador::Modo::Lleno);
                });
            }
            w.procesarCiclo();
            QVERIFY(w.conexion()->isOcupado());
            QVERIFY(escritas.wait());
            QCOMPARE(escritas.at(0).at(0).toBool(), false);
            QTRY_VERIFY(!w.conexion()->isOcupado());
            QVERIFY(base.tomarAvisos().isEmpty());
        }
        sim.detener();
        QCOMPARE(leer(dir->filePath(QStringLiteral("salidas.csv"))), salidas);
        const QStringList enviados =
            filas(ruta, QStringLiteral("SELECT fecha_hora, numero, mensaje, resultado FROM enviados"));
        QCOMPARE(enviados.size(), 1);
        QVERIFY2(enviados.at(0).startsWith(QStringLiteral("2026-06-15 10:30:05|111|hola, coma|") + resultado),
                 qPrintable(enviados.at(0)));
    }

    // The received messages, one row each as they are stored in the file, in the gateway's order.
    void filaPorRecibido()
    {
        simulador::SimuladorNgw sim("clave");
        QVERIFY(sim.iniciar() > 0);
        const QString inbox = dir->filePath(QStringLiteral("sms_recibidos.csv"));
        ajustes::escribir(ajustes::Clave::FolderInbox, inbox);
        servicio::ServicioEnvio servicio(
            QDir(dir->path()), protocolo_ngw::gatewayDe(QStringLiteral("127.0.0.1:%1").arg(sim.puerto()),
                                                        QStringLiteral("key=clave")));
        historial::Historial &base = servicio.historial();
        conexion_ngw &c = *servicio.trabajador()->conexion();
        QTRY_VERIFY(!c.isOcupado());
        sim.agregarRecibido("1150001", "uno");
        sim.agregarRecibido("1150002", "dos \"citado\"");
        QSignalSpy escritas(&base, &historial::Historial::agregados);
        QVERIFY(c.obtenerSms());
        QVERIFY(escritas.wait());
        QCOMPARE(escritas.at(0).at(0).toBool(), true);
        sim.detener();
        QCOMPARE(leer(inbox), conFinDeLinea("\"15/06/2026\",\"1150001\",\"uno\"\n"
                                            "\"15/06/2026\",\"1150002\",\"dos \"\"citado\"\"\"\n"));
        QCOMPARE(filas(ruta, QStringLiteral("SELECT fecha_hora, numero, mensaje FROM recibidos ORDER BY id")),
                 QStringList({QStringLiteral("2026-06-15 10:30:05|1150001|uno"),
                              QStringLiteral("2026-06-15 10:30:05|1150002|dos \"citado\"")}));
    }

    void archivoDanado_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::newRow("no es una base") << QByteArray("fecha;numero\n15/06/2026;111\n");
        QTest::newRow("cabecera sqlite rota") << QByteArray("SQLite format 3\0", 16) + QByteArray(4000, 'x');
    }
    // Set aside under another name, byte for byte, and a new history started in its place.
    void archivoDanado()
    {
        QFETCH(QByteArray, contenido);
        escribir(ruta, contenido);
        historial::Historial base;
        QVERIFY(base.abrir(ruta));
        const QStringList apartados =
            QDir(dir->path())
                .entryList({QStringLiteral("historial.sqlite.danado-20260615-103005*")}, QDir::Files);
        QCOMPARE(apartados.size(), 1);
        QCOMPARE(leer(dir->filePath(apartados.at(0))), contenido);
        QVERIFY(base.textoEstado().contains(apartados.at(0)));
        base.agregarEnviado(QStringLiteral("2026-06-15 10:30:05"), QStringLiteral("1"), QStringLiteral("m"),
                            QStringLiteral("enviado"));
        QCOMPARE(base.enEspera(), 0);
        QCOMPARE(filas(ruta, QStringLiteral("SELECT count(*) FROM enviados")),
                 QStringList{QStringLiteral("1")});
    }

    // Rows that meet a locked file wait in memory, the failure is told once, and they are all
    // written once the lock is gone.
    void archivoBloqueado()
    {
        historial::Historial base;
        QVERIFY(base.abrir(ruta));
        QSqlDatabase otra = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("otra"));
        otra.setDatabaseName(ruta);
        QVERIFY(otra.open());
        QSqlQuery bloqueo(otra);
        QVERIFY(bloqueo.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        for (const char *numero : {"1", "2", "3"})
            base.agregarEnviado(QStringLiteral("2026-06-15 10:30:05"), QLatin1String(numero),
                                QStringLiteral("m"), QStringLiteral("enviado"));
        QCOMPARE(base.enEspera(), 3);
        QCOMPARE(base.tomarAvisos().size(), 1);
        QVERIFY(base.textoEstado().contains(QStringLiteral("3 registro(s) en espera")));
        base.reintentar(true);
        QCOMPARE(base.enEspera(), 3);
        QVERIFY(base.tomarAvisos().isEmpty());

        QVERIFY(bloqueo.exec(QStringLiteral("COMMIT")));
        bloqueo = QSqlQuery();
        otra.close();
        otra = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("otra"));
        base.reintentar(true);
        QCOMPARE(base.enEspera(), 0);
        QVERIFY(base.textoEstado().isEmpty());
        QCOMPARE(filas(ruta, QStringLiteral("SELECT numero FROM enviados ORDER BY id")),
                 QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    }

    // A file of the first schema (the tables, no indexes) is brought up to date, its rows kept.
    void migracion()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
            db.setDatabaseName(ruta);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(
                QStringLiteral("CREATE TABLE enviados (id INTEGER PRIMARY KEY, fecha_hora TEXT NOT NULL, "
                               "numero TEXT NOT NULL, mensaje TEXT NOT NULL, resultado TEXT NOT NULL)")));
            QVERIFY(q.exec(
                QStringLiteral("CREATE TABLE recibidos (id INTEGER PRIMARY KEY, fecha_hora TEXT NOT NULL, "
                               "numero TEXT NOT NULL, mensaje TEXT NOT NULL)")));
            QVERIFY(
                q.exec(QStringLiteral("INSERT INTO enviados VALUES (1, '2025-01-02 03:04:05', '9', 'viejo', "
                                      "'enviado')")));
            QVERIFY(q.exec(QStringLiteral("PRAGMA user_version = 1")));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("v1"));
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
        }
        QCOMPARE(filas(ruta, QStringLiteral("PRAGMA user_version")),
                 QStringList{QString::number(historial::kVersionEsquema)});
        QCOMPARE(
            filas(ruta, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name")),
            QStringList({QStringLiteral("enviados_fecha"), QStringLiteral("enviados_numero"),
                         QStringLiteral("enviados_resultado"), QStringLiteral("numeros_invertido"),
                         QStringLiteral("recibidos_fecha"), QStringLiteral("recibidos_numero")}));
        // A row written before there were several gateways went through gateway 1.
        QCOMPARE(filas(ruta, QStringLiteral("SELECT * FROM enviados")),
                 QStringList{QStringLiteral("1|2025-01-02 03:04:05|9|viejo|enviado|1")});
        QCOMPARE(filas(ruta, QStringLiteral("PRAGMA journal_mode")), QStringList{QStringLiteral("wal")});
    }

    // Rows that cannot be written by the end (a folder stands where the file should be) are
    // kept in the side file, and the next start writes them and removes it.
    void restosParaElProximoArranque()
    {
        QVERIFY(QDir().mkdir(ruta));
        {
            historial::Historial base;
            QVERIFY(!base.abrir(ruta));
            base.agregarEnviado(QStringLiteral("2026-06-15 10:30:05"), QStringLiteral("1"),
                                QStringLiteral("m"), QStringLiteral("enviado"));
            base.agregarRecibidos(QStringLiteral("2026-06-15 10:31:00"), {QStringLiteral("2")},
                                  {QStringLiteral("hola")});
            QCOMPARE(base.enEspera(), 2);
        }
        QVERIFY(QFile::exists(historial::rutaEspera(ruta)));
        QVERIFY(QDir().rmdir(ruta));
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
            QCOMPARE(base.enEspera(), 0);
        }
        QVERIFY(!QFile::exists(historial::rutaEspera(ruta)));
        QCOMPARE(filas(ruta, QStringLiteral("SELECT numero, resultado FROM enviados")),
                 QStringList{QStringLiteral("1|enviado")});
        QCOMPARE(filas(ruta, QStringLiteral("SELECT numero, mensaje FROM recibidos")),
                 QStringList{QStringLiteral("2|hola")});
    }

    // A fetch's messages go in at once, however many; damage inside the file, which opening does
    // not meet, is found by the check after opening and the file set aside.
    void revisionTrasAbrir()
    {
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
            QStringList numeros;
            QStringList mensajes;
            for (int i = 0; i < 3 * historial::kMaxEnEspera / 2; ++i) {
                numeros << QString::number(1150000000 + i);
                mensajes << QString(200, QLatin1Char('m'));
            }
            QSignalSpy escritas(&base, &historial::Historial::agregados);
            base.agregarRecibidos(QStringLiteral("2026-06-15 10:30:05"), numeros, mensajes);
            QCOMPARE(escritas.size(), 1);
            QCOMPARE(base.enEspera(), 0);
            QTRY_VERIFY(!base.verificando());
        }
        QCOMPARE(filas(ruta, QStringLiteral("SELECT count(*) FROM recibidos")),
                 QStringList{QString::number(3 * historial::kMaxEnEspera / 2)});
        {
            QFile archivo(ruta);
            QVERIFY(archivo.open(QIODevice::ReadWrite));
            QVERIFY(archivo.seek(archivo.size() / 2 / 4096 * 4096));
            archivo.write(QByteArray(4096, '\xA5'));
        }
        historial::Historial base;
        base.abrir(ruta);
        QTRY_VERIFY(!base.verificando());
        QCOMPARE(QDir(dir->path())
                     .entryList({QStringLiteral("historial.sqlite.danado-20260615-103005*")}, QDir::Files)
                     .size(),
                 1);
        QCOMPARE(filas(ruta, QStringLiteral("SELECT count(*) FROM recibidos")),
                 QStringList{QStringLiteral("0")});
    }

    // The opt-out list is read again at the next start, and a history set aside as damaged after
    // it was read hands it whole to the new file. One that cannot be read is told, never emptied
    // in silence.
    void bajasSobrevivenReinicioYDano()
    {
        const auto baja = [](const char *numero) {
            return historial::Baja{QLatin1String(numero), bajas::digitos(QString::fromLatin1(numero)),
                                   QStringLiteral("2026-06-15 10:30:05"),
                                   QLatin1String(historial::kOrigenMano), QString()};
        };
        const auto numeros = [](const historial::Historial &base) {
            QStringList n;
            for (const historial::Baja &b : base.bajas())
                n << b.numero;
            return n;
        };
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
            base.agregarBajas({baja("+54 9 11 4567-8902"), baja("1145678903"), baja("2245678904")});
            QCOMPARE(
                base.quitarBajas(QStringLiteral("1145678903"), 10, QStringLiteral("2026-06-15 10:31:00")), 1);
            QStringList relleno;
            for (int i = 0; i < 3 * historial::kMaxEnEspera / 2; ++i)
                relleno << QString::number(1150000000 + i);
            base.agregarRecibidos(QStringLiteral("2026-06-15 10:30:05"), relleno, relleno);
            QCOMPARE(base.enEspera(), 0);
            QTRY_VERIFY(!base.verificando());
        }
        const QStringList enVigor{QStringLiteral("+54 9 11 4567-8902"), QStringLiteral("2245678904")};
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
            QVERIFY(base.bajasLeidas());
            QCOMPARE(numeros(base), enVigor);
            QTRY_VERIFY(!base.verificando());
        }
        {
            QFile archivo(ruta);
            QVERIFY(archivo.open(QIODevice::ReadWrite));
            QVERIFY(archivo.seek(archivo.size() / 2 / 4096 * 4096));
            archivo.write(QByteArray(4096, '\xA5'));
        }
        {
            historial::Historial base;
            base.abrir(ruta);
            QCOMPARE(numeros(base), enVigor);
            QTRY_VERIFY(!base.verificando());
            QCOMPARE(base.enEspera(), 0);
        }
        QCOMPARE(filas(ruta, QStringLiteral("SELECT count(*) FROM recibidos")),
                 QStringList{QStringLiteral("0")});
        QCOMPARE(filas(ruta, QStringLiteral("SELECT numero FROM bajas WHERE quitada IS NULL ORDER BY id")),
                 enVigor);

        escribir(ruta, "no es una base\n");
        historial::Historial base;
        QVERIFY(base.abrir(ruta));
        QVERIFY(base.bajasLeidas());
        QVERIFY(base.bajas().isEmpty());
        QVERIFY(base.tomarAvisos().join(QLatin1Char('\n')).contains(QStringLiteral("lista de bajas")));
    }

    // What a spreadsheet would run as a formula leaves as text; the rest as it is.
    void celdasExportadas_data()
    {
        QTest::addColumn<QString>("celda");
        QTest::addColumn<QByteArray>("campo");
        QTest::newRow("igual") << "=HYPERLINK(\"http://x\")"
                               << QByteArray("\"'=HYPERLINK(\"\"http://x\"\")\"");
        QTest::newRow("arroba") << "@SUM(A1)" << QByteArray("'@SUM(A1)");
        QTest::newRow("mas") << "+5491155" << QByteArray("'+5491155");
        QTest::newRow("menos") << "-2+3" << QByteArray("'-2+3");
        QTest::newRow("tabulador") << "\t=1" << QByteArray("'\t=1");
        QTest::newRow("retorno") << "\r=1" << QByteArray("\"'\r=1\"");
        QTest::newRow("texto") << "Hola =)" << QByteArray("Hola =)");
    }
    void celdasExportadas()
    {
        QFETCH(QString, celda);
        QFETCH(QByteArray, campo);
        QCOMPARE(historial::campoCsv(celda, QLatin1Char(';')), campo);
    }
};

NBSMS_TEST_MAIN(PruebaBase)
#include "prueba_base.moc"
