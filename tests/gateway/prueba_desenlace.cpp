// What the end of a send says about its message: taken, nothing taken (safe to send again), or
// unknown (the gateway may have sent it). The rule itself, and the client telling a reply that is
// not HTTP after the whole request apart from one that never left.

#include "common/entorno_prueba.h"
#include "gateway/conexion_ngw.h"
#include "gateway/protocolo_ngw.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

bool esperarLibre(conexion_ngw &c)
{
    return QTest::qWaitFor([&c] { return !c.isOcupado(); }, 5000);
}

} // namespace

class PruebaDesenlace : public QObject
{
    Q_OBJECT

private slots:
    void desenlaceEnvio_data();
    void desenlaceEnvio();
    void basuraAntesDelEstado_data();
    void basuraAntesDelEstado();
};

Q_DECLARE_METATYPE(protocolo_ngw::FinPedido)
Q_DECLARE_METATYPE(protocolo_ngw::Desenlace)

void PruebaDesenlace::desenlaceEnvio_data()
{
    using F = protocolo_ngw::FinPedido;
    using D = protocolo_ngw::Desenlace;
    QTest::addColumn<F>("fin");
    QTest::addColumn<int>("codigo");
    QTest::addColumn<int>("estado"); // clasificarEnvio's reading of a 2xx reply
    QTest::addColumn<D>("desenlace");
    const int s = EST_CONEX_SEND_SMS;
    QTest::newRow("0: OK") << F::Respuesta << 200 << EST_CONEX_SEND_SMS_OK << D::Tomado;
    QTest::newRow("lleno o sin gsm") << F::Respuesta << 200 << EST_CONEX_SEND_SMS_ERROR << D::NadaTomado;
    QTest::newRow("sin modulo") << F::Respuesta << 200 << EST_CONEX_NO_ENVIA_SMS << D::NadaTomado;
    QTest::newRow("clave") << F::Respuesta << 200 << EST_CONEX_CLAVE_INCORRECTA << D::NadaTomado;
    QTest::newRow("texto desconocido") << F::Respuesta << 200 << s << D::Incierto;
    QTest::newRow("204 vacio") << F::Respuesta << 204 << s << D::Incierto;
    QTest::newRow("400") << F::Estado << 400 << s << D::NadaTomado;
    QTest::newRow("404") << F::Estado << 404 << s << D::NadaTomado;
    QTest::newRow("499") << F::Estado << 499 << s << D::NadaTomado;
    QTest::newRow("503") << F::Estado << 503 << s << D::NadaTomado;
    QTest::newRow("500") << F::Estado << 500 << s << D::Incierto;
    QTest::newRow("502") << F::Estado << 502 << s << D::Incierto;
    QTest::newRow("302") << F::Estado << 302 << s << D::Incierto;
    QTest::newRow("sin conectar o a medio escribir") << F::SinEnviar << 0 << s << D::NadaTomado;
    // Cut, silent, too slow, too large, or junk (a NUL) before the status line.
    QTest::newRow("pedido entero sin respuesta") << F::SinRespuesta << 0 << s << D::Incierto;
    QTest::newRow("cortada tras un 200") << F::SinRespuesta << 200 << s << D::Incierto;
}

void PruebaDesenlace::desenlaceEnvio()
{
    QFETCH(protocolo_ngw::FinPedido, fin);
    QFETCH(int, codigo);
    QFETCH(int, estado);
    QFETCH(protocolo_ngw::Desenlace, desenlace);
    QCOMPARE(protocolo_ngw::desenlaceEnvio(fin, codigo, estado), desenlace);
}

void PruebaDesenlace::basuraAntesDelEstado_data()
{
    QTest::addColumn<QByteArray>("previo");
    QTest::newRow("NUL") << QByteArray(1, '\0');
    QTest::newRow("texto") << QByteArray("ruido\r\n");
}

// "0: OK" after something that is not HTTP: the gateway got the whole request and may have sent
// the message, so the outcome is unknown, never taken and never safe to send again.
void PruebaDesenlace::basuraAntesDelEstado()
{
    QFETCH(QByteArray, previo);
    QTcpServer servidor;
    QVERIFY(servidor.listen(QHostAddress::LocalHost));
    connect(&servidor, &QTcpServer::newConnection, &servidor, [&servidor, previo] {
        QTcpSocket *s = servidor.nextPendingConnection();
        connect(s, &QTcpSocket::readyRead, s, [s, previo] {
            if (s->readAll().contains("&msg="))
                s->write(previo + "HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\n0: OK\n");
        });
    });
    conexion_ngw c(QStringLiteral("key=1234"), QString());
    c.setIp(QStringLiteral("127.0.0.1:%1").arg(servidor.serverPort()));
    registro_sms registro;
    registro.numero = QStringLiteral("1");
    registro.mensaje = QStringLiteral("x");
    QVERIFY(c.transmitirSms(registro));
    QVERIFY(esperarLibre(c));
    QCOMPARE(c.getEstado(), EST_CONEX_ERROR);
    QCOMPARE(c.desenlace(), protocolo_ngw::Desenlace::Incierto);
}

NBSMS_TEST_MAIN(PruebaDesenlace)
#include "prueba_desenlace.moc"
