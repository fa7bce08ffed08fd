// The real program against a gateway that takes every message but whose answer to the first send
// says nothing the program knows, comes too late, or never comes because the program is killed
// meanwhile: that message is posted once, over several retries and a SIGKILL and restart, while
// the rest of the queue goes out, each once.

#include "common/archivos_prueba.h"
#include "common/conexion_simulada.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "lista/retencion.h"
#include "tools/simulador/simulador_ngw.h"

#include <QFile>
#include <QSettings>

namespace {
using archivos_prueba::leer;
using archivos_prueba::lineas;

const char kClaveGateway[] = "k1";
const QByteArray kPrimero("e,1150000001,,uno");

enum Falla { TextoNoReconocido, RespuestaTardia, MatadoEsperando };

QString enDatos(const char *nombre)
{
    return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
           QLatin1Char('/') + QLatin1String(nombre);
}

} // namespace

class PruebaEnDuda : public QObject
{
    Q_OBJECT

    simulador::SimuladorNgw gateway{kClaveGateway};
    ProcesoHijo programa;

    void arrancar()
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        programa.setStandardOutputFile(QProcess::nullDevice());
        QVERIFY2(programa.arrancar(QStringList(), entorno), qPrintable(programa.errorString()));
    }

    // Killed without a chance to write anything more.
    void matar() { programa.matar(); }

    // Send requests that reached the gateway for `numero`, whatever it answered.
    int envios(const char *numero) const
    {
        const std::string buscado = std::string("&num=") + numero + "&";
        int n = 0;
        for (const simulador::Peticion &p : gateway.peticiones())
            n += p.cuerpo.find(buscado) != std::string::npos ? 1 : 0;
        return n;
    }

    bool enviados(const QList<QByteArray> &registros) const
    {
        const QList<QByteArray> salidas = lineas(enDatos(ajustes::kArchivoSalidas));
        for (const QByteArray &r : registros) {
            if (!salidas.contains("E" + r.mid(1)))
                return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("NBSMS_BIN_DIR"), "NBSMS_BIN_DIR names the program's folder");
        QVERIFY(gateway.iniciar("127.0.0.1", 0) > 0);
    }

    void envioEnDudaSaleUnaVez_data()
    {
        QTest::addColumn<int>("falla");
        QTest::newRow("respuesta no reconocida") << int(TextoNoReconocido);
        QTest::newRow("respuesta tardia") << int(RespuestaTardia);
        QTest::newRow("matado esperando la respuesta") << int(MatadoEsperando);
    }

    void envioEnDudaSaleUnaVez()
    {
        QFETCH(int, falla);
        reiniciar(gateway);
        gateway.fijarClave(kClaveGateway);
        QSettings().clear();
        QDir(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos))).removeRecursively();
        using namespace ajustes;
        escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(gateway.puerto()));
        escribir(Clave::KeyGateway, QStringLiteral("key=%1").arg(QLatin1String(kClaveGateway)));
        escribir(Clave::EnvioActivado, true);
        escribir(Clave::CheckHorarios, kTodasLasHoras);
        escribir(Clave::EsperaReintento, 1000);
        if (falla == RespuestaTardia)
            escribir(Clave::LimiteSilencio, 500);
        QVERIFY(ajustes::carpetaUsuario().mkpath(QLatin1String(kCarpetaDatos)));
        const QList<QByteArray> resto = {"e,1150000002,,dos", "e,1150000003,,tres"};
        QVERIFY(
            archivos_prueba::escribir(enDatos(kArchivoSalidas), kPrimero + '\n' + resto.join('\n') + '\n'));

        if (falla == TextoNoReconocido)
            gateway.fijarRespuestaEnvio(std::string("OK"));
        else
            gateway.fijarDemoraEnvio(std::chrono::milliseconds(falla == RespuestaTardia ? 2000 : 60000));
        arrancar();
        QTRY_COMPARE_WITH_TIMEOUT(gateway.enviados().size(), std::size_t(1), 20000);
        if (falla == MatadoEsperando)
            matar();
        gateway.fijarRespuestaEnvio(std::nullopt);
        gateway.fijarDemoraEnvio(std::chrono::milliseconds(0));
        if (falla != MatadoEsperando) {
            // Unavailable for the next two retries: the wait doubles; nothing goes meanwhile.
            gateway.fijarFalla(simulador::Modo::Http503, 2);
            QTRY_VERIFY_WITH_TIMEOUT(enviados(resto), 30000);
            QCOMPARE(gateway.fallasPendientes(), 0);
            matar();
        }

        // Started again with one more record after the one in doubt: only that one goes.
        const QByteArray nuevo("e,1150000004,,cuatro");
        QVERIFY(archivos_prueba::escribir(enDatos(kArchivoSalidas), nuevo + '\n', true));
        arrancar();
        QTRY_VERIFY_WITH_TIMEOUT(enviados(QList<QByteArray>(resto) << nuevo), 30000);
        QCOMPARE(lineas(enDatos(kArchivoSalidas)).first(), kPrimero);
        QCOMPARE(envios("1150000001"), 1);
        for (const char *numero : {"1150000002", "1150000003", "1150000004"})
            QCOMPARE(envios(numero), 1);
        // Held on disk, and alone there once the last send's outcome is written too.
        QVector<retencion::Entrada> retenidos;
        QTRY_VERIFY(retencion::deserializar(leer(enDatos(kArchivoEnDuda)), retenidos) &&
                    retenidos.size() == 1);
        QCOMPARE(retenidos.first().linea, kPrimero);
        QCOMPARE(retenidos.first().estado, retencion::Estado::EnDuda);
    }

    void cleanup() { programa.matar(); }

    void cleanupTestCase() { gateway.detener(); }
};

NBSMS_TEST_MAIN(PruebaEnDuda)

#include "prueba_en_duda.moc"
