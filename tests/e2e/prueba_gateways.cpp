// The real program sending one queue through three gateways, killed again and again at whatever
// moment the sends have reached: every record goes out exactly once over all the gateways, or is
// held in doubt (sent at most once) for the operator; none is lost, none sent twice.

#include "common/archivos_prueba.h"
#include "common/conexion_simulada.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "lista/retencion.h"
#include "tools/simulador/simulador_ngw.h"

#include <QFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <array>
#include <map>
#include <memory>

namespace {
using archivos_prueba::leer;
using archivos_prueba::lineas;

const char kClaveGateway[] = "k1";
constexpr int kRegistros = 24;
constexpr int kGateways = 3;

QString enDatos(const char *nombre)
{
    return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
           QLatin1Char('/') + QLatin1String(nombre);
}

QByteArray registro(int i)
{
    return "e,11500000" + QByteArray::number(10 + i) + ",,mensaje " + QByteArray::number(i);
}

} // namespace

class PruebaGateways : public QObject
{
    Q_OBJECT

    std::array<std::unique_ptr<simulador::SimuladorNgw>, kGateways> gateways;
    ProcesoHijo programa;
    int matanzas = 0;

    void arrancar()
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        programa.setStandardOutputFile(QProcess::nullDevice());
        QVERIFY2(programa.arrancar(QStringList(), entorno), qPrintable(programa.errorString()));
    }

    // Messages every gateway took, by number.
    std::map<std::string, int> tomados() const
    {
        std::map<std::string, int> cuenta;
        for (const auto &g : gateways) {
            for (const simulador::Mensaje &m : g->enviados())
                cuenta[m.numero] += 1;
        }
        return cuenta;
    }
    int totalTomados() const
    {
        int total = 0;
        for (const auto &g : gateways)
            total += int(g->enviados().size());
        return total;
    }

    int marcados() const
    {
        int n = 0;
        for (const QByteArray &l : lineas(enDatos(ajustes::kArchivoSalidas)))
            n += l.startsWith('E') ? 1 : 0;
        return n;
    }

    QVector<retencion::Entrada> retenidos() const
    {
        QVector<retencion::Entrada> entradas;
        retencion::deserializar(leer(enDatos(ajustes::kArchivoEnDuda)), entradas);
        return entradas;
    }

    // The history's sent rows: the simulator of the gateway each names took that number (rows a
    // kill caught before they were written are missing, never wrong). How many rows there are.
    int historialCoincide() const
    {
        int filas = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lectura"));
            db.setDatabaseName(enDatos(ajustes::kArchivoHistorial));
            QSqlQuery q(db);
            if (db.open() && q.exec(QStringLiteral("SELECT numero, gateway FROM enviados WHERE resultado = "
                                                   "'enviado'"))) {
                while (filas >= 0 && q.next()) {
                    const int g = q.value(1).toInt();
                    bool tomado = false;
                    for (int n = 0; n < kGateways; ++n) {
                        for (const simulador::Mensaje &m : gateways[size_t(n)]->enviados())
                            tomado =
                                tomado || (n + 1 == g && m.numero == q.value(0).toString().toStdString());
                    }
                    filas = tomado ? filas + 1 : -1;
                }
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("lectura"));
        return filas;
    }

    // Every record marked sent or held in doubt.
    bool terminado() const
    {
        QList<QByteArray> pendientes;
        for (const QByteArray &l : lineas(enDatos(ajustes::kArchivoSalidas))) {
            if (l.startsWith('e'))
                pendientes << l;
        }
        for (const retencion::Entrada &e : retenidos()) {
            if (e.estado == retencion::Estado::EnDuda)
                pendientes.removeOne(e.linea);
        }
        return pendientes.isEmpty();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("NBSMS_BIN_DIR"), "NBSMS_BIN_DIR names the program's folder");
        for (auto &g : gateways) {
            g = std::make_unique<simulador::SimuladorNgw>(kClaveGateway);
            QVERIFY(g->iniciar("127.0.0.1", 0) > 0);
        }
    }

    // Killed each time `paso` more messages reached the gateways (a request in flight on every
    // gateway when the answer is late) or were marked sent (the others' requests anywhere).
    void unaVezPorRegistro_data()
    {
        QTest::addColumn<int>("demoraMs");
        QTest::addColumn<bool>("alMarcar");
        QTest::addColumn<int>("paso");
        QTest::newRow("respuesta inmediata, al tomar") << 0 << false << 3;
        QTest::newRow("respuesta tardia, al tomar") << 400 << false << 2;
        QTest::newRow("respuesta tardia, al marcar") << 400 << true << 2;
    }

    void unaVezPorRegistro()
    {
        QFETCH(int, demoraMs);
        QFETCH(bool, alMarcar);
        QFETCH(int, paso);
        QSettings().clear();
        QDir(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos))).removeRecursively();
        using namespace ajustes;
        for (int n = 0; n < kGateways; ++n) {
            reiniciar(*gateways[size_t(n)]);
            gateways[size_t(n)]->fijarClave(kClaveGateway);
            // Answers late by different amounts: the gateways' requests do not keep in step.
            gateways[size_t(n)]->fijarDemoraEnvio(std::chrono::milliseconds(demoraMs * n));
            AjustesGateway g;
            g.numero = n + 1;
            g.direccion = QStringLiteral("127.0.0.1:%1").arg(gateways[size_t(n)]->puerto());
            g.clave = QStringLiteral("key=%1").arg(QLatin1String(kClaveGateway));
            escribirGateway(g);
        }
        escribir(Clave::EnvioActivado, true);
        escribir(Clave::CheckHorarios, kTodasLasHoras);
        escribir(Clave::EsperaReintento, 1000);
        QVERIFY(ajustes::carpetaUsuario().mkpath(QLatin1String(kCarpetaDatos)));
        QByteArray contenido;
        for (int i = 0; i < kRegistros; ++i)
            contenido += registro(i) + '\n';
        QVERIFY(archivos_prueba::escribir(enDatos(kArchivoSalidas), contenido));

        const auto avance = [this, alMarcar] { return alMarcar ? marcados() : totalTomados(); };
        matanzas = 0;
        for (int ronda = 0; ronda < 2 * kRegistros / paso && !terminado(); ++ronda) {
            const int antes = avance();
            arrancar();
            QTRY_VERIFY_WITH_TIMEOUT(avance() >= antes + paso || terminado(), 30000);
            programa.matar();
            ++matanzas;
        }
        arrancar();
        QTRY_VERIFY_WITH_TIMEOUT(terminado(), 60000);
        programa.matar();

        const std::map<std::string, int> cuenta = tomados();
        QVector<QByteArray> enDuda;
        for (const retencion::Entrada &e : retenidos()) {
            if (e.estado == retencion::Estado::EnDuda)
                enDuda << e.linea;
        }
        const QList<QByteArray> salidas = lineas(enDatos(kArchivoSalidas));
        QCOMPARE(salidas.size(), kRegistros);
        for (const QByteArray &l : salidas) {
            const std::string numero = l.split(',').at(1).toStdString();
            const auto it = cuenta.find(numero);
            const int veces = it == cuenta.end() ? 0 : it->second;
            if (l.startsWith('E'))
                QVERIFY2(veces == 1, l.constData());
            else
                QVERIFY2(enDuda.contains(l) && veces <= 1, l.constData());
        }
        QVERIFY(historialCoincide() > 0);
        // A kill leaves at most the records then in flight in doubt, one per gateway.
        QVERIFY(enDuda.size() <= matanzas * kGateways);
        for (const auto &g : gateways)
            QVERIFY(!g->enviados().empty());
        qInfo("%d muertes, %d en duda", matanzas, int(enDuda.size()));
    }

    void cleanup() { programa.matar(); }

    void cleanupTestCase()
    {
        for (auto &g : gateways)
            g->detener();
    }
};

NBSMS_TEST_MAIN(PruebaGateways)

#include "prueba_gateways.moc"
