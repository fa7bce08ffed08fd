// The records whose send may have reached the gateway: held, never sent again by themselves,
// through retries, restarts and rewrites of the outbox, until the operator chooses.

#include "common/entorno_prueba.h"
#include "lista/retencion.h"
#include "servicio_simulado.h"

#include <QDir>

using namespace servicio_simulado;

class PruebaRetencion : public QObject, public ServicioSimulado
{
    Q_OBJECT

private slots:
    void init() { preparar(); }
    void cleanup() { liberar(); }

    // The gateway may have sent the record (a reply not understood, or none in time): it goes out
    // once, over any number of retries and a restart, while the rest of the queue goes on; only
    // the operator sends it again.
    void envioInciertoNoSeRepite_data()
    {
        QTest::addColumn<bool>("tardia");
        QTest::newRow("respuesta no reconocida") << false;
        QTest::newRow("respuesta tardia") << true;
    }
    void envioInciertoNoSeRepite()
    {
        QFETCH(bool, tardia);
        crear("e,1,,uno\ne,2,,dos\n");
        if (tardia) {
            w->conexion()->fijarTiempoLimite(200);
            sim->fijarDemoraEnvio(std::chrono::milliseconds(1000));
        } else {
            sim->fijarRespuestaEnvio(std::string("OK"));
        }
        w->procesarCiclo();
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_ERROR);
        QCOMPARE(enDuda(), 1);
        sim->fijarRespuestaEnvio(std::nullopt);
        sim->fijarDemoraEnvio(std::chrono::milliseconds(0));

        // Four retries that find the gateway unavailable, then one that finds it working, more
        // than ten minutes after the send.
        sim->fijarModo(simulador::Modo::Http503);
        w->procesarCiclo();
        qint64 ms = 0;
        for (const qint64 espera : {30000, 60000, 120000, 240000, 300000}) {
            ms += espera;
            if (espera == 300000)
                sim->fijarModo(simulador::Modo::Normal);
            cicloA(ms);
            cicloA(ms);
        }
        QTRY_COMPARE(envios("2"), 1);
        QTRY_VERIFY(!w->conexion()->isOcupado());
        for (int i = 0; i < 5; ++i)
            cicloA(ms + 1000 * i);
        QCOMPARE(envios("1"), 1);
        QCOMPARE(leer(salidas), QByteArray("e,1,,uno\nE,2,,dos\n"));

        // A new start keeps it held.
        cerrar();
        crear(leer(salidas));
        for (int i = 0; i < 3; ++i)
            cicloA(i * 1000);
        QCOMPARE(envios("1"), 1);
        QCOMPARE(enDuda(), 1);

        QCOMPARE(s->reenviarEnDuda({referencia("e,1,,uno")}), 1);
        QCOMPARE(enDuda(), 1);
        cicloQueEntrega();
        QCOMPARE(envios("1"), 2);
        QCOMPARE(enDuda(), 0);
        QCOMPARE(leer(salidas), QByteArray("E,1,,uno\nE,2,,dos\n"));
    }

    // Compaction and an urgent send rewrite the outbox: the held records stay held. The operator
    // marks one sent and cancels the other: neither is sent again.
    void reescriturasConservanLaRetencion()
    {
        crear("E,0,,x\ne,1,,uno\ne,2,,dos\n");
        envioEnDuda();
        // "Guardar": the gateway works again, the record in doubt stays held.
        QVERIFY(w->conexion()->consultarEstado());
        QTRY_VERIFY(!w->conexion()->isOcupado());
        envioEnDuda();
        QCOMPARE(enDuda(), 2);
        QVERIFY(w->conexion()->consultarEstado());
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(s->compactarOutbox(), QString());
        QCOMPARE(s->agregarManual(QStringLiteral("3"), QStringLiteral("tres"), true),
                 servicio::Manual::Agregado);
        cicloQueEntrega();
        w->procesarCiclo();
        QVERIFY(!w->conexion()->isOcupado());
        QCOMPARE(leer(salidas), conFinDeLinea("E,3,15/06/2026,tres\ne,1,,uno\ne,2,,dos\n"));

        QCOMPARE(s->marcarEnDudaEnviados({referencia("e,1,,uno"), referencia("e,3,15/06/2026,tres")}), 1);
        QCOMPARE(s->cancelar({referencia("e,2,,dos")}).cancelados, 1);
        QCOMPARE(enDuda(), 0);
        QCOMPARE(leer(salidas), conFinDeLinea("E,3,15/06/2026,tres\nE,1,,uno\n"));
        QCOMPARE(enviados(), 3);
        QCOMPARE(envios("1"), 1);
        QCOMPARE(envios("2"), 1);
    }

    // Without the file of the records in doubt nothing tells which ones the gateway may have sent:
    // nothing goes out until the operator has looked.
    void registroEnDudaPerdidoODanado_data()
    {
        QTest::addColumn<QByteArray>("contenido"); // empty: the file is gone
        QTest::newRow("perdido") << QByteArray();
        QTest::newRow("danado") << QByteArray("{\"version\": 1, \"registros\": [");
    }
    void registroEnDudaPerdidoODanado()
    {
        QFETCH(QByteArray, contenido);
        crear("e,1,,uno\n");
        envioEnDuda();
        cerrar();
        const QString ruta = dir->filePath(QString::fromLatin1(ajustes::kArchivoEnDuda));
        if (contenido.isEmpty())
            QVERIFY(QFile::remove(ruta));
        else
            escribir(ruta, contenido);

        crear(leer(salidas));
        QVERIFY(s->instantanea().situacion.retencionIlegible);
        for (int i = 0; i < 3; ++i)
            cicloA(i * 1000);
        QCOMPARE(envios("1"), 1);
        QCOMPARE(QDir(dir->path()).entryList({QStringLiteral("en_duda.json.danado-*")}).size(),
                 contenido.isEmpty() ? 0 : 1);

        QVERIFY(s->empezarRetencionDeNuevo());
        QVERIFY(!s->instantanea().situacion.retencionIlegible);
        cicloQueEntrega();
        QCOMPARE(envios("1"), 2);
    }
};

NBSMS_TEST_MAIN(PruebaRetencion)
#include "prueba_retencion.moc"
