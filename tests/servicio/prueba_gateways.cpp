// Several gateways behind one queue: each record claimed by one gateway, a number kept on the
// gateway it went through, a record in doubt held for its own gateway, gateways added and taken
// away without a restart. Gateway 1 is the fixture's simulator, gateway 2 a second one; the
// workers' cycles are driven one at a time.

#include "ajustes/ajustes.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "historial/modelo_bandeja.h"
#include "lista/retencion.h"
#include "tools/simulador/simulador_ngw.h"

#include "common/entorno_prueba.h"
#include "servicio_simulado.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace servicio_simulado;

class PruebaGateways : public QObject, public ServicioSimulado
{
    Q_OBJECT

    std::unique_ptr<simulador::SimuladorNgw> sim2;

    ajustes::AjustesGateway segundo(bool activo = true) const
    {
        ajustes::AjustesGateway g;
        g.numero = 2;
        g.direccion = QStringLiteral("127.0.0.1:%1").arg(sim2->puerto());
        g.clave = QStringLiteral("key=clave");
        g.activo = activo;
        return g;
    }
    ajustes::AjustesGateway primero() const
    {
        ajustes::AjustesGateway g;
        g.direccion = direccion();
        g.clave = QStringLiteral("key=clave");
        return g;
    }

    // Gateway 2 stored before the service starts, both connections checked.
    void crearConDos(const QByteArray &contenido)
    {
        ajustes::escribirGateway(segundo());
        crear(contenido);
        QVERIFY(s->trabajador(2));
        QTRY_COMPARE(s->estadoConexion(2), EST_CONEX_LIBRE);
    }
    static void ciclo(threads *t)
    {
        t->procesarCiclo();
        QTRY_VERIFY(!t->conexion()->isOcupado());
    }
    static QStringList numeros(const simulador::SimuladorNgw &g)
    {
        QStringList n;
        for (const simulador::Mensaje &m : g.enviados())
            n << QString::fromStdString(m.numero);
        return n;
    }

private slots:
    void init()
    {
        QSettings().clear();
        preparar();
        sim2.reset(new simulador::SimuladorNgw("clave"));
        QVERIFY(sim2->iniciar() > 0);
    }
    void cleanup()
    {
        liberar();
        sim2->detener();
    }

    // While each gateway has a record with no answer yet, neither takes the other's, and a
    // cancellation on the queue keeps both; the history hears which gateway sent each.
    void cadaRegistroUnGateway()
    {
        crearConDos("e,111,,uno\ne,222,,dos\ne,333,,tres\ne,444,,cuatro\n");
        QSignalSpy intentos(s.get(), &servicio::ServicioEnvio::intentoTerminado);
        retenerEnvio();
        sim2->fijarModo(simulador::Modo::NuncaResponde);
        s->trabajador(2)->procesarCiclo();
        QTRY_VERIFY(!sim2->peticiones().empty());
        const outbox::ResultadoCancelacion r =
            s->cancelar({referencia("e,111,,uno"), referencia("e,222,,dos"), referencia("e,444,,cuatro")});
        QCOMPARE(r.enMano, 2);
        QCOMPARE(r.cancelados, 1);
        sim2->fijarModo(simulador::Modo::Normal);
        soltar();
        QTRY_VERIFY(!s->conexionOcupada(2));
        ciclo(s->trabajador(2));
        ciclo(w);
        QCOMPARE(numeros(*sim), QStringList{QStringLiteral("111")});
        QCOMPARE(numeros(*sim2), QStringList({QStringLiteral("222"), QStringLiteral("333")}));
        // Rewritten by the cancellation, with the platform's line ends.
        QCOMPARE(leer(salidas), conFinDeLinea("E,111,,uno\nE,222,,dos\nE,333,,tres\n"));
        QCOMPARE(intentos.size(), 4);
        for (const QList<QVariant> &i : qAsConst(intentos)) {
            if (i.at(3).toString() == QLatin1String("enviado"))
                QCOMPARE(i.at(4).toInt(), i.at(1).toString() == QLatin1String("111") ? 1 : 2);
        }
    }

    // A number that went through gateway 2 goes through it again while the rule is on.
    void mismoGatewayPorNumero_data()
    {
        QTest::addColumn<bool>("regla");
        QTest::addColumn<bool>("reinicio");
        QTest::addColumn<QString>("segundoDeGateway1");
        QTest::newRow("con la regla") << true << false << QStringLiteral("222");
        // Known from the history's gateway column.
        QTest::newRow("con la regla, tras reiniciar") << true << true << QStringLiteral("222");
        QTest::newRow("sin la regla") << false << false << QStringLiteral("111");
    }
    void mismoGatewayPorNumero()
    {
        QFETCH(bool, regla);
        QFETCH(bool, reinicio);
        QFETCH(QString, segundoDeGateway1);
        ajustes::escribir(ajustes::Clave::MismoGatewayPorNumero, regla);
        crearConDos("e,111,,uno\ne,111,,otra vez\ne,222,,dos\n");
        ciclo(s->trabajador(2));
        QCOMPARE(numeros(*sim2), QStringList{QStringLiteral("111")});
        if (reinicio) {
            cerrar();
            crearConDos(leer(salidas));
        }
        ciclo(w);
        QCOMPARE(numeros(*sim), QStringList{segundoDeGateway1});
        // Gateway 2 taken away: nothing is bound to a gateway that no longer sends.
        QCOMPARE(s->actualizarGateways({primero(), segundo(false)}), servicio::Actualizacion::Hecha);
        QVERIFY(!s->trabajador(2));
        QTRY_VERIFY(!w->conexion()->isOcupado());
        ciclo(w);
        QCOMPARE(numeros(*sim).size(), 2);
        QCOMPARE(leer(salidas), QByteArray("E,111,,uno\nE,111,,otra vez\nE,222,,dos\n"));
    }

    // A send whose outcome gateway 2 left unknown is held for it: gateway 1 passes it over, the
    // snapshot counts it on gateway 2's line and the queue names gateway 2. One that gateway 2
    // took nothing of (no room) does not bind its number to it: gateway 1 sends it.
    void enDudaQuedaEnSuGateway_data()
    {
        QTest::addColumn<bool>("incierto");
        QTest::addColumn<QString>("deGateway1");
        QTest::newRow("respuesta no reconocida") << true << QStringLiteral("222");
        QTest::newRow("sin lugar") << false << QStringLiteral("111");
    }
    void enDudaQuedaEnSuGateway()
    {
        QFETCH(bool, incierto);
        QFETCH(QString, deGateway1);
        crearConDos("e,111,,uno\ne,222,,dos\n");
        if (incierto)
            sim2->fijarRespuestaEnvio(std::string("OK"));
        else
            sim2->fijarModo(simulador::Modo::Lleno);
        ciclo(s->trabajador(2));
        ciclo(w);
        QCOMPARE(numeros(*sim), QStringList{deGateway1});
        if (!incierto)
            return;
        QCOMPARE(numeros(*sim2), QStringList{QStringLiteral("111")});
        QTRY_COMPARE(s->instantanea().gateways.size(), 2);
        const servicio::Instantanea i = s->instantanea();
        QCOMPARE(i.situacion.enDuda, 1);
        QCOMPARE(i.gateways.at(0).situacion.enDuda, 0);
        QCOMPARE(i.gateways.at(1).situacion.enDuda, 1);
        QCOMPARE(i.gateways.at(1).situacion.estado, EST_CONEX_ERROR);
        // On disk once the worker's turn has written the last outcome.
        w->girar();
        QVector<retencion::Entrada> retenidos;
        QVERIFY(retencion::deserializar(leer(s->rutaRetencion()), retenidos));
        QCOMPARE(retenidos.size(), 1);
        QCOMPARE(retenidos.first().gateway, 2);
        historial::ModeloBandeja bandeja;
        s->actualizarBandeja(bandeja);
        QCOMPARE(bandeja.data(bandeja.index(0, bandeja.columnCount() - 1)).toString(),
                 QStringLiteral("En duda: el gateway 2 pudo haberlo enviado"));
        QCOMPARE(leer(salidas), QByteArray("e,111,,uno\nE,222,,dos\n"));
    }

    // "Guardar" adds a gateway, which is asked at once and sends, then turns it off (its line
    // stays, off).
    void gatewayAgregadoYQuitado()
    {
        crear("e,111,,uno\ne,222,,dos\n");
        QCOMPARE(s->gatewaysEnServicio(), QVector<int>{1});
        QVERIFY(!s->trabajador(2));
        QCOMPARE(s->estadoConexion(2), EST_CONEX_UNKNOW);
        QCOMPARE(s->actualizarGateways({primero(), segundo()}), servicio::Actualizacion::Hecha);
        QCOMPARE(s->gatewaysEnServicio(), QVector<int>({1, 2}));
        QTRY_COMPARE(s->estadoConexion(2), EST_CONEX_LIBRE);
        QCOMPARE(s->gateway(2).direccion, segundo().direccion);
        QTRY_VERIFY(!w->conexion()->isOcupado());
        ciclo(s->trabajador(2));
        QCOMPARE(numeros(*sim2), QStringList{QStringLiteral("111")});
        s->actualizarGateways({primero(), segundo(false)});
        QCOMPARE(s->gatewaysEnServicio(), QVector<int>{1});
        QVERIFY(!s->instantanea().gateways.at(1).activo);
    }
};

NBSMS_TEST_MAIN(PruebaGateways)

#include "prueba_gateways.moc"
