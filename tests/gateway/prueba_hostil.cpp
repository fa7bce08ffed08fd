// The gateway link against a gateway that misbehaves and files that fail, on 127.0.0.1: a
// request is posted once even when the gateway hangs up without a reply, a reply that is not a
// whole, bounded 2xx is a network error, an unusable address or key never reaches a request,
// received messages survive a file that cannot take them, the log stays bounded and keyless,
// and the HTTP reading itself.

#include "common/conexion_simulada.h"
#include "common/entorno_prueba.h"
#include "common/montaje.h"
#include "envio/threads.h"
#include "gateway/cliente_http.h"
#include "gateway/conexion_ngw.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/recibidos.h"
#include "gateway/respuesta_http.h"
#include "servicio/servicio_envio.h"
#include "tools/simulador/simulador_ngw.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

using simulador::Modo;

namespace {

// Every debug line written while it lives.
class RegistroCapturado
{
public:
    RegistroCapturado() { anterior = qInstallMessageHandler(&RegistroCapturado::manejar); }
    ~RegistroCapturado() { qInstallMessageHandler(anterior); }
    static QStringList lineas;

private:
    static void manejar(QtMsgType, const QMessageLogContext &, const QString &texto) { lineas.append(texto); }
    QtMessageHandler anterior = nullptr;
};
QStringList RegistroCapturado::lineas;

QList<QByteArray> lineasDe(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lineas = f.readAll().split('\n');
    lineas.removeAll(QByteArray());
    return lineas;
}

} // namespace

class PruebaHostil : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void pedidoHttp();
    void respuestaHttp_data();
    void respuestaHttp();
    void cierreSinRespuesta_data();
    void cierreSinRespuesta();
    void respuestaHostil_data();
    void respuestaHostil();
    void direccionOClaveInvalida_data();
    void direccionOClaveInvalida();
    void recepcionSinArchivo_data();
    void recepcionSinArchivo();
    void registroAcotado();

private:
    QString ipSim() const { return QStringLiteral("127.0.0.1:") + QString::number(puerto); }
    // A connection that has passed its first check and is free.
    std::unique_ptr<conexion_ngw> libre();

    simulador::SimuladorNgw sim{"1234"};
    int puerto = -1;
    QTemporaryDir carpeta;
    QString archivoRecibidos;
};

void PruebaHostil::initTestCase()
{
    puerto = sim.iniciar("127.0.0.1", 0);
    QVERIFY(puerto > 0);
    QVERIFY(carpeta.isValid());
}

void PruebaHostil::cleanupTestCase()
{
    sim.detener();
}

void PruebaHostil::init()
{
    reiniciar(sim);
    static int n = 0;
    archivoRecibidos = carpeta.filePath(QStringLiteral("recibidos%1.csv").arg(++n));
    ajustes::escribir(ajustes::Clave::FolderInbox, archivoRecibidos);
}

std::unique_ptr<conexion_ngw> PruebaHostil::libre()
{
    auto c = std::make_unique<conexion_ngw>(kClave, ipSim());
    if (!esperarLibre(*c) || c->getEstado() != EST_CONEX_LIBRE)
        return nullptr;
    return c;
}

void PruebaHostil::pedidoHttp()
{
    const QByteArray cuerpo("key=1234&num=1&msg=a&b \xf1");
    QCOMPARE(cliente_http::armarPedido(
                 protocolo_ngw::urlTransmision(protocolo_ngw::urlBase(QStringLiteral("10.0.0.5:8080"))),
                 protocolo_ngw::kTipoContenido, cuerpo),
             QByteArray("POST /cgi-bin/txsms.cgi HTTP/1.1\r\n"
                        "Host: 10.0.0.5:8080\r\n"
                        "Content-Type: text/html; charset=utf-8\r\n"
                        "Content-Length: 24\r\n"
                        "Connection: close\r\n\r\n") +
                 cuerpo);
    QVERIFY(cliente_http::armarPedido(
                protocolo_ngw::urlRecepcion(protocolo_ngw::urlBase(QStringLiteral("[::1]:80"))), "t", "b")
                .startsWith("POST /cgi-bin/rxsms.cgi HTTP/1.1\r\nHost: [::1]\r\n"));
}

void PruebaHostil::respuestaHttp_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("cerrada"); // the peer closes after the bytes
    QTest::addColumn<int>("estado");   // respuesta_http::Estado
    QTest::addColumn<int>("codigo");
    QTest::addColumn<QByteArray>("cuerpo");

    using E = respuesta_http::Estado;
    QTest::newRow("largo") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n0: OK\nsobra") << false
                           << int(E::Completa) << 200 << QByteArray("0: OK\n");
    QTest::newRow("hasta el cierre") << QByteArray("HTTP/1.0 200 OK\n\n0: OK\n0 50\n") << true
                                     << int(E::Completa) << 200 << QByteArray("0: OK\n0 50\n");
    QTest::newRow("sin cierre aun") << QByteArray("HTTP/1.0 200 OK\n\n0: OK\n") << false << int(E::Incompleta)
                                    << 200 << QByteArray("0: OK\n");
    QTest::newRow("trozos") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                                          "3;x=y\r\n0: \r\n3\r\nOK\n\r\n0\r\nCola: 1\r\n\r\n")
                            << false << int(E::Completa) << 200 << QByteArray("0: OK\n");
    QTest::newRow("intermedia 100") << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 500 Mal\r\n"
                                                  "Content-Length: 5\r\n\r\n0: OK")
                                    << false << int(E::Completa) << 500 << QByteArray("0: OK");
    QTest::newRow("204") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << int(E::Completa) << 204
                         << QByteArray();
    QTest::newRow("cortada") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n0: OK") << true
                             << int(E::Cortada) << 200 << QByteArray("0: OK");
    QTest::newRow("nada") << QByteArray() << true << int(E::Cortada) << 0 << QByteArray();
    QTest::newRow("no es http") << QByteArray("0: OK\n") << false << int(E::Invalida) << 0 << QByteArray();
    QTest::newRow("codigo fuera de rango")
        << QByteArray("HTTP/1.0 005 Mal\n\n0: OK") << true << int(E::Invalida) << 0 << QByteArray();
    QTest::newRow("version rara") << QByteArray("HTTP/\x1c 200 OK\n\n0: OK") << true << int(E::Invalida) << 0
                                  << QByteArray();
    QTest::newRow("codigo malo") << QByteArray("HTTP/1.1 20x OK\r\n") << false << int(E::Invalida) << 0
                                 << QByteArray();
    QTest::newRow("largos distintos") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n"
                                                    "Content-Length: 2\r\n\r\n")
                                      << false << int(E::Invalida) << 200 << QByteArray();
    QTest::newRow("trozo malo") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n")
                                << false << int(E::Invalida) << 200 << QByteArray();
    // The limit below is 128 bytes.
    QTest::newRow("largo excesivo") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 129\r\n\r\n") << false
                                    << int(E::Excedida) << 200 << QByteArray();
    QTest::newRow("trozo excesivo") << QByteArray(
                                           "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n81\r\n")
                                    << false << int(E::Excedida) << 200 << QByteArray();
    QTest::newRow("sin fin") << QByteArray("HTTP/1.0 200 OK\n\n") + QByteArray(112, 'x') << true
                             << int(E::Excedida) << 200 << QByteArray();
    QTest::newRow("justo en el limite") << QByteArray("HTTP/1.0 200 OK\n\n") + QByteArray(111, 'x') << true
                                        << int(E::Completa) << 200 << QByteArray(111, 'x');
}

// Whole, and again byte by byte: the outcome depends on the bytes only.
void PruebaHostil::respuestaHttp()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, cerrada);
    QFETCH(int, estado);
    QFETCH(int, codigo);
    QFETCH(QByteArray, cuerpo);

    for (int tramo : {bytes.size() + 1, 1}) {
        respuesta_http::Lector lector(128);
        for (int i = 0; i < bytes.size(); i += tramo)
            lector.agregar(bytes.mid(i, tramo));
        if (cerrada)
            lector.cerrar();
        QCOMPARE(int(lector.estado()), estado);
        QCOMPARE(lector.codigo(), codigo);
        if (lector.estado() == respuesta_http::Estado::Completa ||
            estado == int(respuesta_http::Estado::Incompleta))
            QCOMPARE(lector.cuerpo(), cuerpo);
    }
}

void PruebaHostil::cierreSinRespuesta_data()
{
    QTest::addColumn<bool>("recepcion");
    QTest::newRow("envio") << false;
    QTest::newRow("recepcion") << true;
}

// The gateway reads the whole request and hangs up without a reply. It may have queued the
// message already, so the request is never posted again: the link ends in 8, and the worker
// neither marks the record nor counts a message.
void PruebaHostil::cierreSinRespuesta()
{
    QFETCH(bool, recepcion);
    const QDir datos(carpeta.filePath(QStringLiteral("cierre-%1").arg(recepcion)));
    QVERIFY(datos.mkpath(QStringLiteral(".")));
    const QString salidas = datos.filePath(QStringLiteral("salidas.csv"));
    {
        QFile f(salidas);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("e,1150001111,,hola\n");
    }
    // Fetching runs at any hour; with no hour allowed only the fetch can go out.
    ajustes::escribir(ajustes::Clave::CheckHorarios, recepcion ? 0 : ajustes::kTodasLasHoras);
    servicio::ServicioEnvio servicio(datos, protocolo_ngw::gatewayDe(ipSim(), kClave));
    threads &w = *servicio.trabajador();
    conexion_ngw *c = w.conexion();
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
    sim.agregarRecibido("1150002222", "respuesta");
    const char *camino = recepcion ? kRx : kTx;
    if (recepcion) {
        sim.fijarModo(Modo::Cerrar);
        for (int i = 0; i <= 10 && !c->isOcupado(); ++i)
            w.procesarCiclo();
    } else {
        // The room check is answered; the send that follows is not.
        sim.fijarObservador([this](const simulador::Peticion &p, const std::string &) {
            if (p.cuerpo.find("&stat") != std::string::npos)
                sim.fijarModo(Modo::Cerrar);
        });
        w.procesarCiclo();
    }
    QVERIFY(c->isOcupado());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_ERROR);
    QVERIFY(!c->errorConexion().isEmpty());
    for (int i = 0; i < 12; ++i)
        w.procesarCiclo();

    int posts = 0;
    for (const auto &p : sim.peticiones())
        posts += p.ruta == camino && p.cuerpo.find("&stat") == std::string::npos;
    QCOMPARE(posts, 1);
    QFile f(salidas);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("e,1150001111,,hola\n"));
    QCOMPARE(servicio.instantanea().recibidos, 0);
    QVERIFY(!QFile::exists(archivoRecibidos));
}

void PruebaHostil::respuestaHostil_data()
{
    QTest::addColumn<QString>("pedido"); // estado, lugar, envio or recepcion
    QTest::addColumn<int>("estadoHttp");
    QTest::addColumn<int>("goteoMs");
    QTest::addColumn<qulonglong>("relleno");
    QTest::addColumn<QString>("error");

    QTest::newRow("500 en envio") << "envio" << 500 << 0 << 0ULL << "HTTP 500";
    QTest::newRow("302 en envio") << "envio" << 302 << 0 << 0ULL << "HTTP 302";
    QTest::newRow("500 en estado") << "estado" << 500 << 0 << 0ULL << "HTTP 500";
    QTest::newRow("500 en lugar") << "lugar" << 500 << 0 << 0ULL << "HTTP 500";
    QTest::newRow("500 en recepcion") << "recepcion" << 500 << 0 << 0ULL << "HTTP 500";
    QTest::newRow("enorme en estado") << "estado" << 0 << 0 << 2000000ULL << "1 MB";
    QTest::newRow("enorme en recepcion") << "recepcion" << 0 << 0 << 2000000ULL << "1 MB";
    // Never silent for long, never done: only the deadline ends it.
    QTest::newRow("goteo en envio") << "envio" << 0 << 20 << 100ULL << "no completó la respuesta en 300 ms";
    QTest::newRow("goteo en recepcion") << "recepcion" << 0 << 20 << 100ULL << "no completó la respuesta";
}

// Whatever the body says ("0: OK" here), a reply that is not a plain 2xx of bounded size is a
// network failure: state 8, a clear text, nothing sent, stored or retried.
void PruebaHostil::respuestaHostil()
{
    QFETCH(QString, pedido);
    QFETCH(int, estadoHttp);
    QFETCH(int, goteoMs);
    QFETCH(qulonglong, relleno);
    QFETCH(QString, error);

    auto c = libre();
    QVERIFY(c);
    QCOMPARE(c->plazoTotal(), 60000);
    c->fijarPlazoTotal(300);
    sim.limpiar();
    sim.agregarRecibido("1150002222", "no se guarda");
    sim.fijarEstadoHttp(estadoHttp);
    sim.fijarGoteo(std::chrono::milliseconds(goteoMs));
    sim.fijarRelleno(relleno);
    if (pedido == QLatin1String("estado"))
        QVERIFY(c->consultarEstado());
    else if (pedido == QLatin1String("lugar"))
        QVERIFY(c->enviarSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
    else if (pedido == QLatin1String("envio"))
        QVERIFY(c->transmitirSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
    else
        QVERIFY(c->obtenerSms());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_ERROR);
    QVERIFY2(c->errorConexion().contains(error), qPrintable(c->errorConexion()));
    QCOMPARE(sim.peticiones().size(), std::size_t(1));
    QVERIFY(!QFile::exists(archivoRecibidos));
}

void PruebaHostil::direccionOClaveInvalida_data()
{
    QTest::addColumn<QString>("ip"); // %1 stands for the simulator's 127.0.0.1:port
    QTest::addColumn<QString>("clave");
    QTest::addColumn<int>("esperado");
    QTest::addColumn<QString>("error");

    QTest::newRow("http y barra") << "http://%1/" << kClave << EST_CONEX_LIBRE << "";
    QTest::newRow("otro camino") << "%1/otro/camino?x=1#" << kClave << EST_CONEX_ERROR << "Dirección";
    QTest::newRow("clave con parametros")
        << "%1"
        << "key=1234&num=999999&msg=inyectado" << EST_CONEX_ERROR << "Clave";
    QTest::newRow("clave con salto") << "%1"
                                     << "key=12\r\n34" << EST_CONEX_ERROR << "Clave";
}

// An address or key that could change what is sent is never put into a request.
void PruebaHostil::direccionOClaveInvalida()
{
    QFETCH(QString, ip);
    QFETCH(QString, clave);
    QFETCH(int, esperado);
    QFETCH(QString, error);

    conexion_ngw c(clave, ip.arg(ipSim()));
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), esperado);
    QVERIFY2(c.errorConexion().contains(error), qPrintable(c.errorConexion()));
    QCOMPARE(sim.peticiones().size(), std::size_t(esperado == EST_CONEX_LIBRE ? 1 : 0));
    for (const auto &p : sim.peticiones())
        QCOMPARE(bytes(p.ruta), QByteArray(kTx));
    if (esperado != EST_CONEX_LIBRE) {
        QVERIFY(c.enviarSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
        QVERIFY(esperarLibre(c));
        QVERIFY(c.obtenerSms());
        QVERIFY(esperarLibre(c));
        QCOMPARE(c.getEstado(), EST_CONEX_ERROR);
        QVERIFY(sim.peticiones().empty());
    }
}

void PruebaHostil::recepcionSinArchivo_data()
{
    QTest::addColumn<QString>("falla");
    QTest::newRow("carpeta inexistente") << "carpeta";
    QTest::newRow("disco lleno") << "lleno";
    QTest::newRow("ni el archivo por defecto") << "ambos";
}

// The gateway hands its messages over once: when the chosen file fails they go to the default
// file, or wait in memory (and no further fetch starts) until a file takes them, in order. The
// errors file gets one line and nothing is counted that was not stored.
void PruebaHostil::recepcionSinArchivo()
{
    QFETCH(QString, falla);
    const QString defecto = recibidos::rutaPorDefecto();
    QFile::remove(defecto);
    std::unique_ptr<MontajeTmpfs> disco;
    if (falla == QLatin1String("lleno")) {
        disco = std::make_unique<MontajeTmpfs>(carpeta.filePath(QStringLiteral("lleno")));
        if (!disco->montado())
            QSKIP("a full disk needs root to mount a small tmpfs");
        archivoRecibidos = disco->ruta(QStringLiteral("sms.csv"));
    } else {
        archivoRecibidos = carpeta.filePath(QStringLiteral("falta/sms.csv"));
    }
    ajustes::escribir(ajustes::Clave::FolderInbox, archivoRecibidos);
    if (falla == QLatin1String("ambos"))
        QVERIFY(QDir().mkpath(defecto)); // a folder where the file would go
    auto c = libre();
    QVERIFY(c);
    sim.agregarRecibido("1150001111", "uno");
    sim.agregarRecibido("1150002222", "dos");
    if (disco)
        disco->llenar();

    qRegisterMetaType<ResultadoPedido>();
    QSignalSpy resultados(c.get(), &conexion_ngw::terminado);
    const auto ultimo = [&resultados] { return resultados.last().at(0).value<ResultadoPedido>(); };
    QVERIFY(c->obtenerSms());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_GET_SMS_OK);
    QCOMPARE(resultados.size(), 1);
    QCOMPARE(ultimo().lineas.size(), 1);
    QVERIFY2(ultimo().lineas.first().contains(archivoRecibidos), qPrintable(ultimo().lineas.first()));
    QCOMPARE(QFileInfo(archivoRecibidos).size(), 0);
    const QList<QByteArray> numeros = {"\"1150001111\"", "\"1150002222\"", "\"1150003333\""};
    if (falla != QLatin1String("ambos")) {
        QCOMPARE(ultimo().guardados.size(), 2);
        QCOMPARE(c->recibidosEnEspera(), 0);
        const QList<QByteArray> lineas = lineasDe(defecto);
        QCOMPARE(lineas.size(), 2);
        QVERIFY(lineas.at(0).contains(numeros.at(0)) && lineas.at(1).contains(numeros.at(1)));
        return;
    }
    QCOMPARE(ultimo().guardados.size(), 0);
    QCOMPARE(c->recibidosEnEspera(), 2);
    QVERIFY2(ultimo().lineas.first().contains(QLatin1String("memoria")), qPrintable(ultimo().lineas.first()));

    // Still nowhere to write: the gateway keeps the rest.
    c->setEstado(EST_CONEX_LIBRE);
    sim.agregarRecibido("1150003333", "tres");
    QVERIFY(c->obtenerSms());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
    QCOMPARE(sim.recibidosPendientes(), std::size_t(1));
    QCOMPARE(resultados.size(), 2);
    QVERIFY(ultimo().lineas.isEmpty());

    // A file takes them again: the held messages go first.
    QVERIFY(QDir().rmdir(defecto));
    QVERIFY(c->obtenerSms());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_GET_SMS_OK);
    QCOMPARE(c->recibidosEnEspera(), 0);
    QCOMPARE(ultimo().guardados.size(), 3);
    const QList<QByteArray> lineas = lineasDe(defecto);
    QCOMPARE(lineas.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(lineas.at(i).contains(numeros.at(i)), lineas.at(i).constData());
    QFile::remove(defecto);
}

// The debug log never holds the key, nor more than a bounded prefix of a body or a reply.
void PruebaHostil::registroAcotado()
{
    sim.fijarClave("SECRETO9");
    RegistroCapturado::lineas.clear();
    {
        RegistroCapturado captura;
        conexion_ngw c(QStringLiteral("key=SECRETO9"), ipSim());
        QVERIFY(esperarLibre(c));
        QCOMPARE(c.getEstado(), EST_CONEX_LIBRE);
        QVERIFY(c.enviarSms(registro(QStringLiteral("1"), QString(5000, QLatin1Char('m')))));
        QVERIFY(esperarLibre(c));
        QCOMPARE(c.getEstado(), EST_CONEX_SEND_SMS_OK);
        c.setEstado(EST_CONEX_LIBRE);
        sim.fijarRelleno(300000);
        sim.agregarRecibido("1150001111", QString(3000, QLatin1Char('r')).toStdString());
        QVERIFY(c.obtenerSms());
        QVERIFY(esperarLibre(c));
        QCOMPARE(c.getEstado(), EST_CONEX_GET_SMS_OK);
    }
    QCOMPARE(sim.enviados().size(), std::size_t(1));
    QVERIFY(sim.peticiones().front().cuerpo.find("SECRETO9") != std::string::npos);
    QVERIFY(RegistroCapturado::lineas.size() > 10);
    for (const QString &l : RegistroCapturado::lineas) {
        QVERIFY2(!l.contains(QLatin1String("SECRETO9")), qPrintable(l));
        QVERIFY2(l.size() < 600, qPrintable(l.left(300)));
    }
}

NBSMS_TEST_MAIN(PruebaHostil)
#include "prueba_hostil.moc"
