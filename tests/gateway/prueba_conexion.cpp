// The connection object against the gateway simulator on 127.0.0.1: every transition of the
// state machine through real HTTP, transport failures, the claiming rule across threads, and
// that nothing piles up over many requests. Hostile gateways: prueba_hostil.cpp.

#include "common/archivos_prueba.h"
#include "common/conexion_simulada.h"
#include "common/entorno_prueba.h"
#include "gateway/cliente_http.h"
#include "gateway/conexion_ngw.h"
#include "tools/simulador/simulador_ngw.h"

#include <QNetworkReply>
#include <QTcpServer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <optional>

using simulador::Modo;

namespace {

// Warnings seen while it lives: a network object used from the wrong thread says so there.
class AvisosCapturados
{
public:
    AvisosCapturados() { anterior = qInstallMessageHandler(&AvisosCapturados::manejar); }
    ~AvisosCapturados() { qInstallMessageHandler(anterior); }
    static QStringList avisos;

private:
    static void manejar(QtMsgType tipo, const QMessageLogContext &, const QString &texto)
    {
        if (tipo != QtDebugMsg && tipo != QtInfoMsg)
            avisos.append(texto);
    }
    QtMessageHandler anterior = nullptr;
};
QStringList AvisosCapturados::avisos;

} // namespace

Q_DECLARE_METATYPE(simulador::Modo)

class PruebaConexion : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void sinDireccionNoConsulta();
    void consultaInicial();
    void consultaEstado_data();
    void consultaEstado();
    void conexionRechazada();
    void tiempoLimite();
    void envioCompleto();
    void consultaLugar_data();
    void consultaLugar();
    void respuestaEnvio_data();
    void respuestaEnvio();
    void recepcion_data();
    void recepcion();
    void setEstadoRango_data();
    void setEstadoRango();
    void errorConexionTO();
    void desdeOtroHilo();
    void reclamoConcurrente();
    void objetosPlanos();
    void destruirConPedidoEnCurso();
    void detenidaNoEmpiezaOtroEnvio();

private:
    QString ipSim() const { return QStringLiteral("127.0.0.1:") + QString::number(puerto); }
    // A connection that has passed its first check and is free.
    std::unique_ptr<conexion_ngw> libre();
    void preparar(Modo modo, const QString &fijaTx, const QString &fijaRx);

    simulador::SimuladorNgw sim{"1234"};
    int puerto = -1;
    QTemporaryDir carpeta;
    QString archivoRecibidos;
};

void PruebaConexion::initTestCase()
{
    qRegisterMetaType<simulador::Modo>();
    puerto = sim.iniciar("127.0.0.1", 0);
    QVERIFY(puerto > 0);
    QVERIFY(carpeta.isValid());
}

void PruebaConexion::cleanupTestCase()
{
    sim.detener();
}

void PruebaConexion::init()
{
    reiniciar(sim);
    preparar(Modo::Normal, QString(), QString());
    static int n = 0;
    archivoRecibidos = carpeta.filePath(QStringLiteral("recibidos%1.csv").arg(++n));
    ajustes::escribir(ajustes::Clave::FolderInbox, archivoRecibidos);
}

void PruebaConexion::preparar(Modo modo, const QString &fijaTx, const QString &fijaRx)
{
    sim.fijarModo(modo);
    auto fija = [](const QString &t) -> std::optional<std::string> {
        if (t.isEmpty())
            return std::nullopt;
        return t.toStdString();
    };
    sim.fijarRespuesta(kTx, fija(fijaTx));
    sim.fijarRespuesta(kRx, fija(fijaRx));
}

std::unique_ptr<conexion_ngw> PruebaConexion::libre()
{
    auto c = std::make_unique<conexion_ngw>(kClave, ipSim());
    if (!esperarLibre(*c) || c->getEstado() != EST_CONEX_LIBRE)
        return nullptr;
    return c;
}

void PruebaConexion::sinDireccionNoConsulta()
{
    conexion_ngw sinIp(kClave, QString());
    QCOMPARE(sinIp.getEstado(), EST_CONEX_UNKNOW);
    QVERIFY(!sinIp.isOcupado());
    conexion_ngw sinClave(QString(), ipSim());
    QVERIFY(!sinClave.isOcupado());
    QCOMPARE(sinClave.ip(), ipSim());
    QVERIFY(sinClave.errorConexion().isEmpty());
}

void PruebaConexion::consultaInicial()
{
    conexion_ngw c(kClave, ipSim());
    QCOMPARE(c.getEstado(), EST_CONEX_UNKNOW);
    QVERIFY(c.isOcupado());
    QTRY_COMPARE(c.getEstado(), EST_CONEX_LIBRE);
    QTRY_VERIFY(!c.isOcupado());

    const auto pedidos = sim.peticiones();
    QCOMPARE(pedidos.size(), std::size_t(1));
    const simulador::Peticion &p = pedidos.front();
    QCOMPARE(bytes(p.metodo), QByteArray("POST"));
    QCOMPARE(bytes(p.ruta), QByteArray(kTx));
    QCOMPARE(bytes(p.cuerpo), QByteArray("key=1234&stat"));
    QCOMPARE(bytes(p.cabecera("Host")), ipSim().toLatin1());
    QCOMPARE(bytes(p.cabecera("Content-Type")), QByteArray("text/html; charset=utf-8"));
    int tipos = 0;
    for (const auto &cab : p.cabeceras)
        tipos += QByteArray(cab.first.c_str()).toLower() == "content-type";
    QCOMPARE(tipos, 1);
}

void PruebaConexion::consultaEstado_data()
{
    QTest::addColumn<Modo>("modo");
    QTest::addColumn<QString>("fija");
    QTest::addColumn<QString>("clave");
    QTest::addColumn<int>("esperado");
    QTest::addColumn<QString>("error");

    QTest::newRow("libre") << Modo::Normal << "" << kClave << EST_CONEX_LIBRE << "";
    QTest::newRow("sin modulo") << Modo::SinModulo << "" << kClave << EST_CONEX_NO_ENVIA_SMS << "";
    QTest::newRow("lleno sigue libre") << Modo::Lleno << "" << kClave << EST_CONEX_LIBRE << "";
    QTest::newRow("clave rechazada") << Modo::ClaveRechazada << "" << kClave << EST_CONEX_CLAVE_INCORRECTA
                                     << "";
    QTest::newRow("clave equivocada") << Modo::Normal << ""
                                      << "key=9" << EST_CONEX_CLAVE_INCORRECTA << "";
    QTest::newRow("sin gsm") << Modo::Normal << "2: NOGSM\n" << kClave << EST_CONEX_NO_ENVIA_SMS << "";
    QTest::newRow("irreconocible") << Modo::Normal << "hola\n" << kClave << EST_CONEX_UNKNOW << "";
    QTest::newRow("404") << Modo::Http404 << "" << kClave << EST_CONEX_ERROR << "Not Found";
    QTest::newRow("cerrada") << Modo::Cerrar << "" << kClave << EST_CONEX_ERROR
                             << "cerró la conexión sin responder";
}

void PruebaConexion::consultaEstado()
{
    QFETCH(Modo, modo);
    QFETCH(QString, fija);
    QFETCH(QString, clave);
    QFETCH(int, esperado);
    QFETCH(QString, error);

    conexion_ngw c(clave, QString());
    c.setConexion(clave, ipSim());
    preparar(modo, fija, QString());
    QVERIFY(c.consultarEstado());
    QCOMPARE(c.getEstado(), EST_CONEX_UNKNOW);
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), esperado);
    if (error.isEmpty())
        QVERIFY2(c.errorConexion().isEmpty(), qPrintable(c.errorConexion()));
    else
        QVERIFY2(c.errorConexion().contains(error), qPrintable(c.errorConexion()));
}

void PruebaConexion::conexionRechazada()
{
    QTcpServer cerrado;
    QVERIFY(cerrado.listen(QHostAddress::LocalHost, 0));
    const quint16 libreYCerrado = cerrado.serverPort();
    cerrado.close();

    conexion_ngw c(kClave, QStringLiteral("127.0.0.1:%1").arg(libreYCerrado));
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), EST_CONEX_ERROR);
    QVERIFY2(c.errorConexion().contains(QStringLiteral("rechazó la conexión")),
             qPrintable(c.errorConexion()));
}

void PruebaConexion::tiempoLimite()
{
    conexion_ngw c(kClave, QString());
    QCOMPARE(c.tiempoLimite(), 30000);
    c.setIp(ipSim());
    c.fijarTiempoLimite(150);
    preparar(Modo::NuncaResponde, QString(), QString());
    QVERIFY(c.consultarEstado());
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), EST_CONEX_ERROR);
    QCOMPARE(c.errorConexion(), QStringLiteral("El gateway no respondió en 150 ms"));
    // The link is usable again: the operator can retest at once.
    preparar(Modo::Normal, QString(), QString());
    QVERIFY(c.consultarEstado());
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), EST_CONEX_LIBRE);
}

void PruebaConexion::envioCompleto()
{
    auto c = libre();
    QVERIFY(c);
    const registro_sms r = registro(QStringLiteral("123"), QStringLiteral("Hola \u00f1 & = \u20ac"));
    QVERIFY(c->enviarSms(r));
    QVERIFY(c->isOcupado());
    // While the link is claimed nobody else gets it.
    QVERIFY(!c->enviarSms(r));
    QVERIFY(!c->obtenerSms());
    QVERIFY(!c->consultarEstado());
    QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_SEND_SMS_OK);
    QCOMPARE(sim.enviados().size(), std::size_t(1));
    QCOMPARE(QString::fromStdString(sim.enviados().at(0).numero), r.numero);

    const auto pedidos = sim.peticiones();
    QCOMPARE(pedidos.size(), std::size_t(3));
    QCOMPARE(bytes(pedidos[1].cuerpo), QByteArray("key=1234&stat"));
    QCOMPARE(bytes(pedidos[2].ruta), QByteArray(kTx));
    QCOMPARE(bytes(pedidos[2].cuerpo), QByteArray("key=1234&num=123&msg=Hola \xf1 & = ?"));
    QCOMPARE(bytes(pedidos[2].cabecera("Content-Type")), QByteArray("text/html; charset=utf-8"));
    const auto tomados = sim.enviados();
    QCOMPARE(tomados.size(), std::size_t(1));
    QCOMPARE(bytes(tomados[0].numero), QByteArray("123"));
}

void PruebaConexion::consultaLugar_data()
{
    QTest::addColumn<Modo>("modo");
    QTest::addColumn<QString>("fija");
    QTest::addColumn<int>("esperado");
    QTest::addColumn<QString>("error");

    QTest::newRow("sin lugar") << Modo::Lleno << "" << EST_CONEX_SIN_LUGAR << "";
    QTest::newRow("contadores 50 0") << Modo::Normal << "0: OK\n50 0\n" << EST_CONEX_SIN_LUGAR << "";
    QTest::newRow("sin modulo") << Modo::SinModulo << "" << EST_CONEX_NO_ENVIA_SMS << "";
    QTest::newRow("lleno sin ok") << Modo::Normal << "1: FULL\n" << EST_CONEX_UNKNOW << "";
    QTest::newRow("clave") << Modo::ClaveRechazada << "" << EST_CONEX_UNKNOW << "";
    QTest::newRow("404") << Modo::Http404 << "" << EST_CONEX_ERROR << "HTTP 404 Not Found";
    QTest::newRow("tiempo") << Modo::NuncaResponde << "" << EST_CONEX_ERROR << "no respondió";
}

void PruebaConexion::consultaLugar()
{
    QFETCH(Modo, modo);
    QFETCH(QString, fija);
    QFETCH(int, esperado);
    QFETCH(QString, error);

    auto c = libre();
    QVERIFY(c);
    c->fijarTiempoLimite(150);
    preparar(modo, fija, QString());
    QVERIFY(c->enviarSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), esperado);
    if (error.isEmpty())
        QVERIFY(c->errorConexion().isEmpty());
    else
        QCOMPARE(c->errorConexion().contains(error), true);
    // No room, no send.
    QVERIFY(sim.enviados().empty());
    for (const auto &p : sim.peticiones())
        QVERIFY(p.cuerpo.find("&num=") == std::string::npos);
}

Q_DECLARE_METATYPE(protocolo_ngw::Desenlace)

// What the end of a send says about its record: taken, nothing taken (the retry may send it
// again), or unknown (the gateway may have sent it: never again by itself). A reply not understood
// is a failure with its text, never progress.
void PruebaConexion::respuestaEnvio_data()
{
    using D = protocolo_ngw::Desenlace;
    QTest::addColumn<Modo>("modo");
    QTest::addColumn<QString>("fija");
    QTest::addColumn<int>("estadoHttp"); // -1: nothing listens at the address
    QTest::addColumn<int>("esperado");
    QTest::addColumn<D>("desenlace");

    QTest::newRow("aceptado") << Modo::Normal << "" << 0 << EST_CONEX_SEND_SMS_OK << D::Tomado;
    QTest::newRow("lleno") << Modo::Lleno << "" << 0 << EST_CONEX_SEND_SMS_ERROR << D::NadaTomado;
    QTest::newRow("sin gsm") << Modo::SinModulo << "" << 0 << EST_CONEX_SEND_SMS_ERROR << D::NadaTomado;
    QTest::newRow("clave") << Modo::ClaveRechazada << "" << 0 << EST_CONEX_CLAVE_INCORRECTA << D::NadaTomado;
    QTest::newRow("ok 0 0") << Modo::Normal << "0: OK\n0 0\n" << 0 << EST_CONEX_NO_ENVIA_SMS << D::NadaTomado;
    QTest::newRow("404") << Modo::Http404 << "" << 0 << EST_CONEX_ERROR << D::NadaTomado;
    QTest::newRow("503") << Modo::Http503 << "" << 0 << EST_CONEX_ERROR << D::NadaTomado;
    QTest::newRow("nadie escucha") << Modo::Normal << "" << -1 << EST_CONEX_ERROR << D::NadaTomado;
    QTest::newRow("irreconocible") << Modo::Normal << "hola" << 0 << EST_CONEX_ERROR << D::Incierto;
    QTest::newRow("OK sin codigo") << Modo::Normal << "OK\n" << 0 << EST_CONEX_ERROR << D::Incierto;
    QTest::newRow("204") << Modo::Normal << "" << 204 << EST_CONEX_ERROR << D::Incierto;
    QTest::newRow("500") << Modo::Normal << "" << 500 << EST_CONEX_ERROR << D::Incierto;
    QTest::newRow("cerrada sin respuesta") << Modo::Cerrar << "" << 0 << EST_CONEX_ERROR << D::Incierto;
}

void PruebaConexion::respuestaEnvio()
{
    QFETCH(Modo, modo);
    QFETCH(QString, fija);
    QFETCH(int, estadoHttp);
    QFETCH(int, esperado);
    QFETCH(protocolo_ngw::Desenlace, desenlace);

    auto c = libre();
    QVERIFY(c);
    preparar(modo, fija, QString());
    sim.fijarEstadoHttp(qMax(estadoHttp, 0));
    if (estadoHttp < 0) {
        QTcpServer libre;
        QVERIFY(libre.listen(QHostAddress::LocalHost));
        c->setIp(QStringLiteral("127.0.0.1:%1").arg(libre.serverPort()));
    }
    QVERIFY(c->transmitirSms(registro(QStringLiteral("5"), QStringLiteral("y"))));
    // A closed port may be refused at the connect call itself (Wine does so on loopback).
    if (estadoHttp >= 0) {
        QCOMPARE(c->getEstado(), EST_CONEX_SEND_SMS);
        QVERIFY(c->isOcupado());
    }
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), esperado);
    QCOMPARE(c->desenlace(), desenlace);
    QCOMPARE(c->errorConexion().isEmpty(), esperado != EST_CONEX_ERROR);
    if (desenlace == protocolo_ngw::Desenlace::Incierto && !fija.isEmpty())
        QVERIFY2(c->errorConexion().contains(fija.trimmed()), qPrintable(c->errorConexion()));

    // Parked states end only when the operator updates the connection.
    sim.fijarEstadoHttp(0);
    c->setIp(ipSim());
    preparar(Modo::Normal, QString(), QString());
    QVERIFY(c->consultarEstado());
    QVERIFY(esperarLibre(*c));
    QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
}

void PruebaConexion::recepcion_data()
{
    QTest::addColumn<Modo>("modo");
    QTest::addColumn<QString>("fija");
    QTest::addColumn<QStringList>("mensajes"); // "number,text" handed out by the gateway
    QTest::addColumn<bool>("carpetaExiste");
    QTest::addColumn<int>("esperado");
    QTest::addColumn<QStringList>("lineas"); // %1 stands for today's date

    const QString d = QStringLiteral("\"%1\",");
    QTest::newRow("dos mensajes") << Modo::Normal << ""
                                  << QStringList{"123,Hola, que tal", QStringLiteral("456,\u00f1and\u00fa")}
                                  << true << EST_CONEX_GET_SMS_OK
                                  << QStringList{d + "\"123\",\"Hola, que tal\"",
                                                 d + QStringLiteral("\"456\",\"\u00f1and\u00fa\"")};
    QTest::newRow("comillas") << Modo::Normal << "" << QStringList{"1,dijo \"si\""} << true
                              << EST_CONEX_GET_SMS_OK << QStringList{d + "\"1\",\"dijo \"\"si\"\"\""};
    QTest::newRow("mensaje con 100 0") << Modo::Normal << "" << QStringList{"7,Saldo 100 0"} << true
                                       << EST_CONEX_GET_SMS_OK << QStringList{d + "\"7\",\"Saldo 100 0\""};
    QTest::newRow("estado 0 0 tras guardar")
        << Modo::Normal << "0: OK 0 0\n9,x\n"
        << QStringList{} << true << EST_CONEX_NO_ENVIA_SMS << QStringList{d + "\"9\",\"x\""};
    QTest::newRow("carpeta inexistente")
        << Modo::Normal << "" << QStringList{"1,a"} << false << EST_CONEX_GET_SMS_OK << QStringList{};
    QTest::newRow("sin mensajes") << Modo::Normal << "" << QStringList{} << true << EST_CONEX_LIBRE
                                  << QStringList{};
    QTest::newRow("sin gsm") << Modo::SinModulo << "" << QStringList{"1,a"} << true << EST_CONEX_GET_SMS_ERROR
                             << QStringList{};
    QTest::newRow("lleno") << Modo::Normal << "1: FULL\n"
                           << QStringList{} << true << EST_CONEX_GET_SMS_ERROR << QStringList{};
    QTest::newRow("clave") << Modo::ClaveRechazada << "" << QStringList{"1,a"} << true
                           << EST_CONEX_CLAVE_INCORRECTA << QStringList{};
    QTest::newRow("404") << Modo::Http404 << "" << QStringList{"1,a"} << true << EST_CONEX_ERROR
                         << QStringList{};
    QTest::newRow("irreconocible") << Modo::Normal << "hola\n"
                                   << QStringList{"1,a"} << true << EST_CONEX_ERROR << QStringList{};
}

void PruebaConexion::recepcion()
{
    QFETCH(Modo, modo);
    QFETCH(QString, fija);
    QFETCH(QStringList, mensajes);
    QFETCH(bool, carpetaExiste);
    QFETCH(int, esperado);
    QFETCH(QStringList, lineas);

    if (!carpetaExiste) {
        archivoRecibidos = carpeta.filePath(QStringLiteral("falta/sms.csv"));
        ajustes::escribir(ajustes::Clave::FolderInbox, archivoRecibidos);
    }
    auto c = libre();
    QVERIFY(c);
    for (const QString &m : mensajes)
        sim.agregarRecibido(m.section(',', 0, 0).toStdString(), m.section(',', 1).toStdString());
    preparar(modo, QString(), fija);

    const QString antes = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QVERIFY(c->obtenerSms());
    QCOMPARE(c->getEstado(), EST_CONEX_GET_SMS);
    QVERIFY(c->isOcupado());
    QVERIFY(esperarLibre(*c));
    const QString despues = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(c->getEstado(), esperado);
    QCOMPARE(bytes(sim.peticiones().back().ruta), QByteArray(kRx));
    QCOMPARE(bytes(sim.peticiones().back().cuerpo), QByteArray("key=1234&max=10"));

    QFile f(archivoRecibidos);
    if (lineas.isEmpty()) {
        QVERIFY(!f.exists());
        return;
    }
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray contenido = f.readAll();
    QByteArray conAntes, conDespues;
    for (const QString &l : lineas) {
        conAntes += archivos_prueba::conFinDeLinea(l.arg(antes).toUtf8() + '\n');
        conDespues += archivos_prueba::conFinDeLinea(l.arg(despues).toUtf8() + '\n');
    }
    QVERIFY2(contenido == conDespues || contenido == conAntes, contenido.constData());
}

void PruebaConexion::setEstadoRango_data()
{
    QTest::addColumn<int>("valor");
    QTest::addColumn<int>("queda");
    for (int v = -1; v <= 10; ++v)
        QTest::newRow(qPrintable(QString::number(v))) << v << v;
    QTest::newRow("11") << 11 << 3;
    QTest::newRow("-2") << -2 << 3;
    QTest::newRow("grande") << 1000 << 3;
}

void PruebaConexion::setEstadoRango()
{
    QFETCH(int, valor);
    QFETCH(int, queda);
    conexion_ngw c{QString(), QString()};
    c.setEstado(3);
    c.setEstado(valor);
    QCOMPARE(c.getEstado(), queda);
}

void PruebaConexion::errorConexionTO()
{
    conexion_ngw c{QString(), QString()};
    QVERIFY(QMetaObject::invokeMethod(&c, "errorConexion_TO", Qt::DirectConnection,
                                      Q_ARG(QNetworkReply::NetworkError, QNetworkReply::TimeoutError)));
    QCOMPARE(c.getEstado(), EST_CONEX_ERROR);
}

void PruebaConexion::desdeOtroHilo()
{
    auto c = libre();
    QVERIFY(c);
    AvisosCapturados::avisos.clear();
    AvisosCapturados captura;
    sim.agregarRecibido("321", "desde el hilo");

    bool tomado = false;
    std::unique_ptr<QThread> hilo(QThread::create([&] { tomado = c->obtenerSms(); }));
    hilo->start();
    QVERIFY(hilo->wait(5000));
    QVERIFY(tomado);
    QCOMPARE(c->getEstado(), EST_CONEX_GET_SMS);
    QTRY_COMPARE(c->getEstado(), EST_CONEX_GET_SMS_OK);
    QVERIFY(esperarLibre(*c));
    c->setEstado(EST_CONEX_LIBRE);

    hilo.reset(
        QThread::create([&] { tomado = c->enviarSms(registro(QStringLiteral("9"), QStringLiteral("z"))); }));
    hilo->start();
    QVERIFY(hilo->wait(5000));
    QVERIFY(tomado);
    QTRY_COMPARE(c->getEstado(), EST_CONEX_SEND_SMS_OK);
    QVERIFY(esperarLibre(*c));
    QCOMPARE(sim.enviados().size(), std::size_t(1));
    QCOMPARE(sim.enviados().at(0).numero, std::string("9"));
    QVERIFY2(AvisosCapturados::avisos.isEmpty(), qPrintable(AvisosCapturados::avisos.join('\n')));
}

void PruebaConexion::reclamoConcurrente()
{
    auto c = libre();
    QVERIFY(c);
    const int rondas = 20;
    const int hilos = 4;
    for (int ronda = 0; ronda < rondas; ++ronda) {
        std::atomic<int> listos{0};
        std::atomic<bool> salida{false};
        std::atomic<int> aciertos{0};
        std::vector<std::unique_ptr<QThread>> grupo;
        for (int h = 0; h < hilos; ++h) {
            grupo.emplace_back(QThread::create([&, h] {
                ++listos;
                while (!salida.load())
                    QThread::yieldCurrentThread();
                const bool ok = h % 2 ? c->obtenerSms()
                                      : c->enviarSms(registro(QStringLiteral("1"), QStringLiteral("r")));
                aciertos += ok ? 1 : 0;
            }));
            grupo.back()->start();
        }
        while (listos.load() < hilos)
            QThread::yieldCurrentThread();
        salida = true;
        for (auto &t : grupo)
            QVERIFY(t->wait(5000));
        QCOMPARE(aciertos.load(), 1);
        QVERIFY(esperarLibre(*c));
        QVERIFY(c->getEstado() == EST_CONEX_SEND_SMS_OK || c->getEstado() == EST_CONEX_LIBRE);
        c->setEstado(EST_CONEX_LIBRE);
    }
    // One claim per round reached the gateway: a room check or a fetch.
    int claims = 0;
    for (const auto &p : sim.peticiones()) {
        const QByteArray cuerpo = bytes(p.cuerpo);
        claims += cuerpo.endsWith("&stat") || cuerpo.endsWith("&max=10");
    }
    QCOMPARE(claims, rondas + 1); // plus the first connection check
}

void PruebaConexion::objetosPlanos()
{
    auto c = libre();
    QVERIFY(c);
    QVERIFY(c->consultarEstado());
    QVERIFY(esperarLibre(*c));
    QTRY_COMPARE(c->findChildren<cliente_http *>().size(), 0);
    const int base = c->findChildren<QObject *>().size();

    for (int i = 0; i < 30; ++i) {
        switch (i % 3) {
        case 0:
            QVERIFY(c->consultarEstado());
            break;
        case 1:
            QVERIFY(c->obtenerSms());
            break;
        default:
            QVERIFY(c->enviarSms(registro(QString::number(i), QStringLiteral("m"))));
            break;
        }
        QVERIFY(esperarLibre(*c));
        c->setEstado(EST_CONEX_LIBRE);
    }
    QTRY_COMPARE(c->findChildren<cliente_http *>().size(), 0);
    QCOMPARE(c->findChildren<QObject *>().size(), base);
    QCOMPARE(sim.enviados().size(), std::size_t(10));
}

void PruebaConexion::destruirConPedidoEnCurso()
{
    auto c = libre();
    QVERIFY(c);
    preparar(Modo::NuncaResponde, QString(), QString());
    QVERIFY(c->consultarEstado());
    QTRY_COMPARE(sim.peticiones().size(), std::size_t(2));
    c.reset();
    preparar(Modo::Normal, QString(), QString());
    QTest::qWait(0);
}

// The program ending while the room check is with the gateway: the send does not follow, and
// nothing new starts.
void PruebaConexion::detenidaNoEmpiezaOtroEnvio()
{
    auto c = libre();
    QVERIFY(c);
    sim.fijarDemora(std::chrono::milliseconds(300));
    QVERIFY(c->enviarSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
    c->detener();
    QVERIFY(esperarLibre(*c));
    sim.fijarDemora(std::chrono::milliseconds(0));
    QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
    QVERIFY(sim.enviados().empty());
    QVERIFY(!c->enviarSms(registro(QStringLiteral("1"), QStringLiteral("x"))));
    QVERIFY(!c->obtenerSms());
}

NBSMS_TEST_MAIN(PruebaConexion)
#include "prueba_conexion.moc"
