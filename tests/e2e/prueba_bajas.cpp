// The real program with 1,000 records queued: a "Baja" reply from one of their numbers, written
// another way, arrives in the middle of the run. From the fetch that brought it on, nothing more
// goes to that number but the answer to the opt-out, its records are cancelled with their trace in
// the history, and the list still holds after a restart.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "tools/simulador/simulador_ngw.h"

#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

namespace {
using archivos_prueba::lineas;

const char kClaveGateway[] = "k1";
const char kRx[] = "/cgi-bin/rxsms.cgi";
// The person's number as the outbox holds it (two forms) and as the reply brings it.
const char kNumero[] = "1145678902";
const char kOtraForma[] = "5491145678902";
const char kComoResponde[] = "+54 9 11 4567-8902";

QString enDatos(const char *nombre)
{
    return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
           QLatin1Char('/') + QLatin1String(nombre);
}

bool esDeLaPersona(const std::string &cuerpo)
{
    return cuerpo.find(std::string("&num=") + kNumero + "&") != std::string::npos ||
           cuerpo.find(std::string("&num=") + kOtraForma + "&") != std::string::npos;
}

QStringList consulta(const QString &sql)
{
    QStringList filas;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prueba"));
        db.setDatabaseName(enDatos(ajustes::kArchivoHistorial));
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(sql);
            while (q.next())
                filas << q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prueba"));
    return filas;
}

} // namespace

class PruebaBajasPrograma : public QObject
{
    Q_OBJECT

    simulador::SimuladorNgw gateway{kClaveGateway};
    ProcesoHijo programa;
    // What the gateway saw, in order: "baja" for the fetch whose reply handed out the opt-out,
    // "envio" for a send to the person.
    std::mutex m_mutex;
    std::vector<std::string> m_sucesos;

    void arrancar()
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        programa.setStandardOutputFile(QProcess::nullDevice());
        QVERIFY2(programa.arrancar(QStringList(), entorno), qPrintable(programa.errorString()));
    }
    void terminar()
    {
        programa.terminate();
        QVERIFY(programa.waitForFinished(30000));
    }
    std::vector<std::string> sucesos()
    {
        std::lock_guard<std::mutex> candado(m_mutex);
        return m_sucesos;
    }
    int pendientesDeLaPersona() const
    {
        int n = 0;
        for (const QByteArray &l : lineas(enDatos(ajustes::kArchivoSalidas)))
            n += l.startsWith("e,") && esDeLaPersona("&num=" + l.split(',').value(1).toStdString() + "&");
        return n;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("NBSMS_BIN_DIR"), "NBSMS_BIN_DIR names the program's folder");
        QVERIFY(gateway.iniciar("127.0.0.1", 0) > 0);
        gateway.fijarObservador([this](const simulador::Peticion &p, const std::string &respuesta) {
            std::lock_guard<std::mutex> candado(m_mutex);
            if (p.ruta == kRx && respuesta.find("Baja") != std::string::npos)
                m_sucesos.push_back("baja");
            else if (p.ruta != kRx && esDeLaPersona(p.cuerpo))
                m_sucesos.push_back("envio");
        });
    }

    void bajaEnMedioDeUnaCorrida()
    {
        QSettings().clear();
        using namespace ajustes;
        escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(gateway.puerto()));
        escribir(Clave::KeyGateway, QStringLiteral("key=%1").arg(QLatin1String(kClaveGateway)));
        escribir(Clave::EnvioActivado, true);
        escribir(Clave::CheckHorarios, kTodasLasHoras);
        escribir(Clave::ConfirmarBaja, true);
        QVERIFY(ajustes::carpetaUsuario().mkpath(QLatin1String(kCarpetaDatos)));
        // One record in ten is the person's, the first of them sixth in the queue.
        QByteArray salidas;
        int dePersona = 0;
        for (int i = 0; i < 1000; ++i) {
            if (i % 10 == 5) {
                salidas += QByteArray("e,") + (i % 20 == 5 ? kNumero : kOtraForma) + ",,recordatorio " +
                           QByteArray::number(i) + '\n';
                ++dePersona;
            } else {
                salidas += "e,11500" + QByteArray::number(10000 + i) + ",,recordatorio " +
                           QByteArray::number(i) + '\n';
            }
        }
        QVERIFY(archivos_prueba::escribir(enDatos(kArchivoSalidas), salidas));
        arrancar();
        QTRY_VERIFY_WITH_TIMEOUT(gateway.enviados().size() >= 3, 20000);
        gateway.agregarRecibido(kComoResponde, "Baja");
        QTRY_COMPARE_WITH_TIMEOUT(gateway.recibidosPendientes(), std::size_t(0), 30000);
        // Ten more sends: the person's next records come up among them and are passed over.
        const std::size_t tras = gateway.enviados().size();
        QTRY_VERIFY_WITH_TIMEOUT(gateway.enviados().size() >= tras + 12, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(pendientesDeLaPersona(), 0, 10000);

        const std::vector<std::string> vistos = sucesos();
        const auto baja = std::find(vistos.begin(), vistos.end(), "baja");
        QVERIFY(baja != vistos.end());
        QCOMPARE(int(std::count(baja, vistos.end(), std::string("envio"))), 0);
        const int antes = int(std::count(vistos.begin(), baja, std::string("envio")));
        QVERIFY(antes >= 1);
        // The answer to the opt-out went first, once, to the number as the outbox writes it.
        int confirmaciones = 0;
        for (const simulador::Mensaje &m : gateway.enviados())
            confirmaciones +=
                m.numero == "+5491145678902" && m.texto.rfind("Recibimos su pedido de baja", 0) == 0;
        QCOMPARE(confirmaciones, 1);
        terminar();
        QCOMPARE(consulta(QStringLiteral("SELECT numero || '|' || origen || '|' || texto FROM bajas")),
                 QStringList{QStringLiteral("+54 9 11 4567-8902|respuesta|Baja")});
        QCOMPARE(
            consulta(QStringLiteral("SELECT count(*) FROM enviados WHERE resultado = 'no enviado: baja'")),
            QStringList{QString::number(dePersona - antes)});

        // Started again with one more record to the person: it never goes.
        QVERIFY(archivos_prueba::escribir(enDatos(kArchivoSalidas),
                                          QByteArray("e,") + kNumero + ",,otra vez\n", true));
        arrancar();
        const std::size_t ahora = gateway.enviados().size();
        QTRY_VERIFY_WITH_TIMEOUT(gateway.enviados().size() >= ahora + 3, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(pendientesDeLaPersona(), 0, 10000);
        terminar();
        const std::vector<std::string> despues = sucesos();
        QCOMPARE(int(std::count(despues.begin(), despues.end(), std::string("envio"))), antes);
    }

    void cleanup() { programa.matar(); }

    void cleanupTestCase() { gateway.detener(); }
};

NBSMS_TEST_MAIN(PruebaBajasPrograma)

#include "prueba_bajas.moc"
