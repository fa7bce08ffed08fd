// A gateway's pace and caps in the service, against the gateway simulator on 127.0.0.1, the
// worker's cycles driven one at a time on the program's clock.

#include "common/entorno_prueba.h"
#include "servicio_simulado.h"

#include <QtTest>

using namespace servicio_simulado;

class PruebaRitmo : public QObject, public ServicioSimulado
{
    Q_OBJECT

private slots:
    void init()
    {
        for (const ajustes::Clave c :
             {ajustes::Clave::RitmoGateway, ajustes::Clave::TopeHora, ajustes::Clave::TopeDia})
            ajustes::borrar(c);
        preparar();
    }
    void cleanup() { liberar(); }

    // Above one a second, records go back to back while the last room check showed room; a pace
    // given by "Guardar" holds without a restart.
    void envioSeguido_data()
    {
        QTest::addColumn<int>("ritmo");
        QTest::addColumn<bool>("alGuardar");
        QTest::addColumn<int>("libres");
        QTest::addColumn<int>("consultas");
        QTest::newRow("sin ritmo: una consulta por SMS") << 0 << false << 50 << 5;
        QTest::newRow("600, lugar para 2") << 600 << false << 2 << 3;
        QTest::newRow("600 al guardar, lugar de sobra") << 600 << true << 50 << 1;
    }
    void envioSeguido()
    {
        QFETCH(int, ritmo);
        QFETCH(bool, alGuardar);
        QFETCH(int, libres);
        QFETCH(int, consultas);
        ajustes::AjustesGateway g{1, direccion(), QStringLiteral("clave"), true, ritmo, 0, 0};
        if (!alGuardar)
            ajustes::escribir(ajustes::Clave::RitmoGateway, ritmo);
        sim->fijarContadores(0, libres);
        crear("e,1,,a\ne,2,,b\ne,3,,c\ne,4,,d\ne,5,,e\n");
        if (alGuardar)
            QCOMPARE(s->actualizarGateways({g}), servicio::Actualizacion::Hecha);
        QTRY_VERIFY(!w->conexion()->isOcupado());
        sim->limpiar();
        for (int i = 0; i < 5; ++i)
            cicloQueEntrega();
        QCOMPARE(leer(salidas), QByteArray("E,1,,a\nE,2,,b\nE,3,,c\nE,4,,d\nE,5,,e\n"));
        int estados = 0;
        for (const simulador::Peticion &p : sim->peticiones())
            estados += p.cuerpo == "key=clave&stat" ? 1 : 0;
        QCOMPARE(estados, consultas);
        QCOMPARE(s->instantanea().gateways.at(0).situacion.ritmo, ritmo);
    }

    // A cap of 20 a day: exactly 20 go, then the gateway waits, also across a restart, and goes
    // on by itself the next day.
    void topeDiario()
    {
        ajustes::escribir(ajustes::Clave::TopeDia, 20);
        QByteArray contenido;
        for (int i = 0; i < 25; ++i)
            contenido += "e," + QByteArray::number(1000 + i) + ",,m\n";
        crear(contenido);
        w->fijarComando(EST_PLAY);
        const auto ciclos = [this](int n) {
            for (int i = 0; i < n; ++i) {
                w->procesarCiclo();
                QTRY_VERIFY(!w->conexion()->isOcupado());
            }
        };
        const QString espera = QStringLiteral("Límite diario alcanzado: se reanuda mañana a las 00:00");
        ciclos(40);
        QCOMPARE(tomados().size(), size_t(20));
        QCOMPARE(s->instantanea().texto, espera);
        QCOMPARE(s->instantanea().gateways.at(0).situacion.enviadosDia, 20);

        cerrar();
        crear(leer(salidas));
        w->fijarComando(EST_PLAY);
        QCOMPARE(s->instantanea().gateways.at(0).situacion.enviadosDia, 20);
        ciclos(15);
        QCOMPARE(tomados().size(), size_t(20));
        QCOMPARE(s->instantanea().texto, espera);

        reloj::fijar([] { return QDateTime(kAhora.date().addDays(1), QTime(0, 0, 1)); });
        ciclos(15);
        QCOMPARE(tomados().size(), size_t(25));
        QCOMPARE(s->instantanea().gateways.at(0).situacion.enviadosDia, 5);
        QVERIFY(!leer(salidas).contains("e,"));
    }
};

NBSMS_TEST_MAIN(PruebaRitmo)
#include "prueba_ritmo.moc"
