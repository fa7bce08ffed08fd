// Requests built byte for byte, addresses and keys checked, every reply classified, and what
// the log may show of them, without any network.

#include "common/entorno_prueba.h"
#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/registro_sms.h"

#include <QtTest>

#include <climits>

namespace pn = protocolo_ngw;

class PruebaProtocolo : public QObject
{
    Q_OBJECT

private slots:
    void urls_data();
    void urls();
    void cuerposSinTexto();
    void cuerpoEnvio_data();
    void cuerpoEnvio();
    void decodificacion();
    void direccion_data();
    void direccion();
    void clave_data();
    void clave();
    void gateway_data();
    void gateway();
    void registro_data();
    void registro();

    void contadores_data();
    void contadores();
    void clasificarEstado_data();
    void clasificarEstado();
    void clasificarLugar_data();
    void clasificarLugar();
    void clasificarEnvio_data();
    void clasificarEnvio();
    void clasificarRecepcion_data();
    void clasificarRecepcion();
    void leerRecibidos_data();
    void leerRecibidos();

    void textoEstado_data();
    void textoEstado();
    void textoSituacion_data();
    void textoSituacion();
    void textoSituacionEnDuda_data();
    void textoSituacionEnDuda();
    void lineaArchivo_data();
    void lineaArchivo();
};

void PruebaProtocolo::urls_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("tx");
    QTest::addColumn<QString>("rx");
    QTest::addColumn<int>("puerto");

    QTest::newRow("ip y puerto") << "192.168.0.20:8080"
                                 << "http://192.168.0.20:8080/cgi-bin"
                                 << "http://192.168.0.20:8080/cgi-bin/txsms.cgi"
                                 << "http://192.168.0.20:8080/cgi-bin/rxsms.cgi" << 8080;
    QTest::newRow("ip sola") << "10.0.0.5"
                             << "http://10.0.0.5/cgi-bin"
                             << "http://10.0.0.5/cgi-bin/txsms.cgi"
                             << "http://10.0.0.5/cgi-bin/rxsms.cgi" << -1;
    QTest::newRow("nombre") << "nimbrel.local:81"
                            << "http://nimbrel.local:81/cgi-bin"
                            << "http://nimbrel.local:81/cgi-bin/txsms.cgi"
                            << "http://nimbrel.local:81/cgi-bin/rxsms.cgi" << 81;
}

void PruebaProtocolo::urls()
{
    QFETCH(QString, ip);
    QFETCH(QString, base);
    QFETCH(QString, tx);
    QFETCH(QString, rx);
    QFETCH(int, puerto);

    QCOMPARE(pn::urlBase(ip), base);
    const QUrl urlTx = pn::urlTransmision(base);
    QVERIFY(urlTx.isValid());
    QCOMPARE(urlTx.toString(), tx);
    QCOMPARE(urlTx.port(), puerto);
    QVERIFY(!urlTx.hasQuery());
    QCOMPARE(pn::urlRecepcion(base).toString(), rx);
}

void PruebaProtocolo::cuerposSinTexto()
{
    QCOMPARE(pn::cuerpoEstado(QStringLiteral("key=1234")), QByteArray("key=1234&stat"));
    QCOMPARE(pn::cuerpoRecepcion(QStringLiteral("key=1234")), QByteArray("key=1234&max=10"));
    // The key goes as UTF-8 in these two bodies.
    QCOMPARE(pn::cuerpoEstado(QStringLiteral("key=a\u00f1o")), QByteArray("key=a\xc3\xb1o&stat"));
    QCOMPARE(pn::cuerpoRecepcion(QStringLiteral("key=a\u00f1o")), QByteArray("key=a\xc3\xb1o&max=10"));
    QCOMPARE(pn::cuerpoEstado(QString()), QByteArray("&stat"));
    QCOMPARE(QByteArray(pn::kTipoContenido), QByteArray("text/html; charset=utf-8"));
}

void PruebaProtocolo::cuerpoEnvio_data()
{
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QByteArray>("cuerpo");

    const QString k = QStringLiteral("key=1234");
    QTest::newRow("simple") << k << "123"
                            << "Hola" << QByteArray("key=1234&num=123&msg=Hola");
    QTest::newRow("enie y acento") << k << "123" << QStringLiteral("ma\u00f1ana \u00e1")
                                   << QByteArray("key=1234&num=123&msg=ma\xf1"
                                                 "ana \xe1");
    QTest::newRow("euro") << k << "1" << QStringLiteral("5\u20ac") << QByteArray("key=1234&num=1&msg=5?");
    QTest::newRow("emoji") << k << "1" << QStringLiteral("a\U0001F600b")
                           << QByteArray("key=1234&num=1&msg=a??b");
    QTest::newRow("sin escapar") << k << "+54 9" << QStringLiteral("a&b=c + d \"q\" %20")
                                 << QByteArray("key=1234&num=+54 9&msg=a&b=c + d \"q\" %20");
    QTest::newRow("enter") << k << "1"
                           << "uno&enter&dos" << QByteArray("key=1234&num=1&msg=uno&enter&dos");
    QTest::newRow("clave latin1") << QStringLiteral("key=\u00f1") << "1"
                                  << "x" << QByteArray("key=\xf1&num=1&msg=x");
    QTest::newRow("vacios") << k << ""
                            << "" << QByteArray("key=1234&num=&msg=");
}

void PruebaProtocolo::cuerpoEnvio()
{
    QFETCH(QString, clave);
    QFETCH(QString, numero);
    QFETCH(QString, mensaje);
    QFETCH(QByteArray, cuerpo);

    QCOMPARE(pn::cuerpoEnvio(clave, numero, mensaje), cuerpo);
    QCOMPARE(pn::textoEnvio(clave, numero, mensaje), clave + "&num=" + numero + "&msg=" + mensaje);
}

void PruebaProtocolo::decodificacion()
{
    QCOMPARE(pn::decodificarEstado(QByteArray("0: OK \xc3\xb1")), QStringLiteral("0: OK \u00f1"));
    QCOMPARE(pn::decodificarRecepcion(QByteArray("1,a\xf1o")), QStringLiteral("1,a\u00f1o"));
}

void PruebaProtocolo::direccion_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QString>("direccion"); // empty: refused

    QTest::newRow("ipv4 y puerto") << "192.168.0.20:8080"
                                   << "192.168.0.20:8080";
    QTest::newRow("ipv4") << "10.0.0.5"
                          << "10.0.0.5";
    QTest::newRow("nombre") << "nimbrel.local:81"
                            << "nimbrel.local:81";
    QTest::newRow("nombre simple") << "localhost"
                                   << "localhost";
    QTest::newRow("ipv6") << "[fe80::1]:8080"
                          << "[fe80::1]:8080";
    QTest::newRow("ipv6 sin puerto") << "[::1]"
                                     << "[::1]";
    QTest::newRow("http y barra") << "http://127.0.0.1:5/"
                                  << "127.0.0.1:5";
    QTest::newRow("HTTP mayusculas") << "HTTP://nb"
                                     << "nb";
    QTest::newRow("puerto 65535") << "nb:65535"
                                  << "nb:65535";
    QTest::newRow("vacia") << ""
                           << "";
    QTest::newRow("solo http") << "http://"
                               << "";
    QTest::newRow("camino") << "127.0.0.1:5/otro/camino?x=1#"
                            << "";
    QTest::newRow("consulta") << "127.0.0.1?x=1"
                              << "";
    QTest::newRow("dos barras") << "127.0.0.1//"
                                << "";
    QTest::newRow("https") << "https://127.0.0.1"
                           << "";
    QTest::newRow("usuario") << "yo@127.0.0.1"
                             << "";
    QTest::newRow("puerto 0") << "nb:0"
                              << "";
    QTest::newRow("puerto 65536") << "nb:65536"
                                  << "";
    QTest::newRow("puerto vacio") << "nb:"
                                  << "";
    QTest::newRow("puerto con signo") << "nb:+80"
                                      << "";
    QTest::newRow("octeto 256") << "192.168.0.256"
                                << "";
    QTest::newRow("tres octetos") << "192.168.1"
                                  << "";
    QTest::newRow("cero a la izquierda") << "192.168.01.2"
                                         << "";
    QTest::newRow("espacio") << "nb local"
                             << "";
    QTest::newRow("guion bajo") << "mi_nb"
                                << "";
    QTest::newRow("guion al borde") << "-nb"
                                    << "";
    QTest::newRow("ipv6 sin corchetes") << "fe80::1"
                                        << "";
    QTest::newRow("ipv6 con zona") << "[fe80::1%eth0]"
                                   << "";
    QTest::newRow("ipv6 mala") << "[fe80:::1:x]"
                               << "";
    QTest::newRow("corchete sin cerrar") << "[::1"
                                         << "";
    QTest::newRow("nul") << QString::fromLatin1("nb\0x", 4) << "";
    QTest::newRow("no ascii") << QStringLiteral("ma\u00f1ana") << "";
}

void PruebaProtocolo::direccion()
{
    QFETCH(QString, texto);
    QFETCH(QString, direccion);
    QString obtenida;
    QCOMPARE(pn::normalizarDireccion(texto, &obtenida), !direccion.isEmpty());
    if (!direccion.isEmpty()) {
        QCOMPARE(obtenida, direccion);
        QVERIFY(pn::urlTransmision(pn::urlBase(obtenida)).isValid());
    }
}

void PruebaProtocolo::clave_data()
{
    QTest::addColumn<QString>("clave");
    QTest::addColumn<bool>("valida");
    QTest::newRow("simple") << "key=1234" << true;
    QTest::newRow("vacia") << "key=" << true;
    QTest::newRow("sin prefijo") << "1234" << true;
    QTest::newRow("espacios y letras") << "key=a b\u00f1" << true;
    QTest::newRow("ampersand") << "key=K&num=999999&msg=inyectado" << false;
    QTest::newRow("igual") << "key=a=b" << true;
    QTest::newRow("iguales al final") << "key=YWJj==" << true;
    QTest::newRow("prefijo dentro") << "x key=1" << true;
    QTest::newRow("salto") << "key=a\nb" << false;
    QTest::newRow("retorno") << "key=a\r" << false;
    QTest::newRow("nul") << QString::fromLatin1("key=a\0b", 7) << false;
}

void PruebaProtocolo::clave()
{
    QFETCH(QString, clave);
    QFETCH(bool, valida);
    QCOMPARE(pn::claveValida(clave), valida);
}

// The one rule for the operator's two entries, as "Guardar", the start and the connection use it.
void PruebaProtocolo::gateway_data()
{
    QTest::addColumn<QString>("ip");
    QTest::addColumn<QString>("clave");
    QTest::addColumn<QString>("direccion");
    QTest::addColumn<QString>("conPrefijo");
    QTest::addColumn<int>("falla");
    using F = pn::Gateway::Falla;
    QTest::newRow("espacios y http") << " http://10.0.0.5:80/ "
                                     << " 1234 "
                                     << "10.0.0.5:80"
                                     << "key=1234" << int(F::Ninguna);
    QTest::newRow("prefijo dado") << "gw"
                                  << "key=1234"
                                  << "gw"
                                  << "key=1234" << int(F::Ninguna);
    QTest::newRow("sin direccion") << "  "
                                   << "1"
                                   << ""
                                   << "key=1" << int(F::Direccion);
    QTest::newRow("direccion con camino") << "gw/x"
                                          << "1"
                                          << "gw/x"
                                          << "key=1" << int(F::Direccion);
    QTest::newRow("clave con &") << "gw"
                                 << "a&num=9"
                                 << "gw"
                                 << "key=a&num=9" << int(F::Clave);
}

void PruebaProtocolo::gateway()
{
    QFETCH(QString, ip);
    QFETCH(QString, clave);
    QFETCH(QString, direccion);
    QFETCH(QString, conPrefijo);
    QFETCH(int, falla);
    const pn::Gateway g = pn::gatewayDe(ip, clave);
    QCOMPARE(g.direccion, direccion);
    QCOMPARE(g.clave, conPrefijo);
    QCOMPARE(int(g.falla()), falla);
    QCOMPARE(g.sinDireccion(), direccion.isEmpty());
    QCOMPARE(pn::claveSinPrefijo(g.clave), pn::recortarEspacios(clave).remove(QStringLiteral("key=")));
}

void PruebaProtocolo::registro_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("visto");

    QTest::newRow("estado") << QByteArray("key=SECRETO&stat") << QByteArray("key=***&stat");
    QTest::newRow("envio") << QByteArray("key=S&num=1&msg=la key=otra")
                           << QByteArray("key=***&num=1&msg=la key=***");
    QTest::newRow("sin clave") << QByteArray("0: OK\n0 50\n") << QByteArray("0: OK\n0 50\n");
    QTest::newRow("largo") << QByteArray(1000, 'x') << QByteArray(200, 'x') + "... [1000 bytes]";
    QTest::newRow("clave cortada") << QByteArray(194, 'x') + "key=SECRETO"
                                   << QByteArray(194, 'x') + "key=***... [205 bytes]";
    // Masking short keys must not lengthen the view past its bound.
    QTest::newRow("claves cortas") << QByteArray("key=&").repeated(60)
                                   << QByteArray("key=***&").repeated(25) + "... [300 bytes]";
}

void PruebaProtocolo::registro()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, visto);
    QCOMPARE(pn::paraRegistro(bytes), visto);
    QCOMPARE(pn::paraRegistro(QString::fromLatin1(bytes)),
             QString::fromLatin1(visto).replace(QLatin1String("bytes]"), QLatin1String("caracteres]")));
}

void PruebaProtocolo::contadores_data()
{
    QTest::addColumn<QString>("respuesta");
    QTest::addColumn<bool>("presentes");
    QTest::addColumn<qlonglong>("enCola");
    QTest::addColumn<qlonglong>("libres");

    QTest::newRow("segunda linea") << "0: OK\n3 47\n" << true << 3LL << 47LL;
    QTest::newRow("crlf") << "0: OK\r\n0 0\r\n" << true << 0LL << 0LL;
    QTest::newRow("espacios") << "0: OK\n  50   0 \n" << true << 50LL << 0LL;
    QTest::newRow("en la misma linea") << "0: OK 0 0" << false << 0LL << 0LL;
    QTest::newRow("tres numeros") << "0: OK\n1 2 3\n" << false << 0LL << 0LL;
    QTest::newRow("con texto") << "0: OK\n1 2 libres\n" << false << 0LL << 0LL;
    QTest::newRow("negativo") << "0: OK\n-1 2\n" << false << 0LL << 0LL;
    QTest::newRow("primera gana") << "0: OK\n1 2\n3 4\n" << true << 1LL << 2LL;
    QTest::newRow("vacia") << "" << false << 0LL << 0LL;
}

void PruebaProtocolo::contadores()
{
    QFETCH(QString, respuesta);
    QFETCH(bool, presentes);
    QFETCH(qlonglong, enCola);
    QFETCH(qlonglong, libres);

    const pn::Contadores c = pn::buscarContadores(respuesta);
    QCOMPARE(c.presentes, presentes);
    if (presentes) {
        QCOMPARE(c.enCola, enCola);
        QCOMPARE(c.libres, libres);
    }
}

// Columns shared by the four tables: the reply, the state before, the state after.
static void columnasClasificacion()
{
    QTest::addColumn<QString>("respuesta");
    QTest::addColumn<int>("antes");
    QTest::addColumn<int>("despues");
}

void PruebaProtocolo::clasificarEstado_data()
{
    columnasClasificacion();
    const int u = EST_CONEX_UNKNOW;
    QTest::newRow("1 ok y 0 0 en texto") << "0: OK 0 0" << u << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("1 ok y contadores 0 0") << "0: OK\n0 0\n" << u << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("2 ok") << "0: OK" << u << EST_CONEX_LIBRE;
    QTest::newRow("2 ok con contadores") << "0: OK\n0 50\n" << u << EST_CONEX_LIBRE;
    QTest::newRow("2 ok en medio") << "xx 0: OK yy" << u << EST_CONEX_LIBRE;
    QTest::newRow("2 gana a 3") << "0: OK\n3: DATA?" << u << EST_CONEX_LIBRE;
    QTest::newRow("3 clave") << "3: DATA?" << u << EST_CONEX_CLAVE_INCORRECTA;
    QTest::newRow("3 gana a 4") << "2: NOGSM 3: DATA?" << u << EST_CONEX_CLAVE_INCORRECTA;
    QTest::newRow("4 sin gsm") << "2: NOGSM" << u << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("5 nada") << "hola" << u << u;
    QTest::newRow("5 vacia tras error") << "" << EST_CONEX_ERROR << EST_CONEX_ERROR;
    QTest::newRow("5 mayusculas") << "0: ok" << u << u;
    QTest::newRow("5 lleno no cuenta") << "1: FULL" << u << u;
    // Counters decide when the reply has them: "10 0" holds the text "0 0" but is a full queue.
    QTest::newRow("enmienda cola llena") << "0: OK\n10 0\n" << u << EST_CONEX_LIBRE;
    QTest::newRow("enmienda 100 0") << "0: OK\n100 0\n" << u << EST_CONEX_LIBRE;
}

void PruebaProtocolo::clasificarEstado()
{
    QFETCH(QString, respuesta);
    QFETCH(int, antes);
    QFETCH(int, despues);
    QCOMPARE(pn::clasificarEstado(respuesta, antes), despues);
}

void PruebaProtocolo::clasificarLugar_data()
{
    columnasClasificacion();
    const int u = EST_CONEX_UNKNOW;
    const int l = EST_CONEX_LIBRE;
    QTest::newRow("1 ok y 0 0 en texto") << "0: OK 0 0" << l << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("1 ok y contadores 0 0") << "0: OK\n0 0\n" << l << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("2 texto 50 0 cae en 1") << "0: OK 50 0" << l << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("3 ok") << "0: OK" << l << EST_CONEX_SEND_SMS;
    QTest::newRow("3 ok con lugar") << "0: OK\n12 38\n" << l << EST_CONEX_SEND_SMS;
    QTest::newRow("4 nada") << "" << l << u;
    QTest::newRow("4 lleno sin ok") << "1: FULL" << l << u;
    QTest::newRow("4 clave") << "3: DATA?" << l << u;
    QTest::newRow("4 tras error") << "" << EST_CONEX_ERROR << u;
    QTest::newRow("enmienda sin lugar 50 0") << "0: OK\n50 0\n" << l << EST_CONEX_SIN_LUGAR;
    QTest::newRow("enmienda sin lugar 3 0") << "0: OK\r\n3 0\r\n" << l << EST_CONEX_SIN_LUGAR;
    QTest::newRow("enmienda 10 20 hay lugar") << "0: OK\n10 20\n" << l << EST_CONEX_SEND_SMS;
    QTest::newRow("enmienda 0 50 hay lugar") << "0: OK\n0 50\n" << l << EST_CONEX_SEND_SMS;
}

void PruebaProtocolo::clasificarLugar()
{
    QFETCH(QString, respuesta);
    QFETCH(int, antes);
    QFETCH(int, despues);
    Q_UNUSED(antes);
    QCOMPARE(pn::clasificarLugar(respuesta), despues);
}

void PruebaProtocolo::clasificarEnvio_data()
{
    columnasClasificacion();
    const int s = EST_CONEX_SEND_SMS;
    QTest::newRow("1 ok y 0 0 en texto") << "0: OK 0 0" << s << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("1 ok y contadores 0 0") << "0: OK\n0 0\n" << s << EST_CONEX_NO_ENVIA_SMS;
    QTest::newRow("2 ok") << "0: OK\n" << s << EST_CONEX_SEND_SMS_OK;
    QTest::newRow("2 gana a 3") << "0: OK 1: FULL" << s << EST_CONEX_SEND_SMS_OK;
    QTest::newRow("3 lleno") << "1: FULL" << s << EST_CONEX_SEND_SMS_ERROR;
    QTest::newRow("3 gana a 5") << "1: FULL\n3: DATA?" << s << EST_CONEX_SEND_SMS_ERROR;
    QTest::newRow("4 sin gsm") << "2: NOGSM" << s << EST_CONEX_SEND_SMS_ERROR;
    QTest::newRow("5 clave") << "3: DATA?" << s << EST_CONEX_CLAVE_INCORRECTA;
    QTest::newRow("6 nada") << "?" << s << s;
    QTest::newRow("6 vacia tras error") << "" << EST_CONEX_ERROR << EST_CONEX_ERROR;
    QTest::newRow("6 sin mensajes no cuenta") << "1: NOSMS" << s << s;
    QTest::newRow("enmienda contadores 50 0") << "0: OK\n50 0\n" << s << EST_CONEX_SEND_SMS_OK;
}

void PruebaProtocolo::clasificarEnvio()
{
    QFETCH(QString, respuesta);
    QFETCH(int, antes);
    QFETCH(int, despues);
    QCOMPARE(pn::clasificarEnvio(respuesta, antes), despues);
}

void PruebaProtocolo::clasificarRecepcion_data()
{
    columnasClasificacion();
    const int g = EST_CONEX_GET_SMS;
    QTest::newRow("2 ok y 0 0 en la linea de estado") << "0: OK 0 0\n123,Hola\n"
                                                      << g << EST_CONEX_NO_ENVIA_SMS;
    // Counters are read on the status line only: a later line of two integers is no status.
    QTest::newRow("enmienda contadores tras la linea de estado") << "0: OK\n0 0\n"
                                                                 << g << EST_CONEX_GET_SMS_OK;
    QTest::newRow("enmienda contadores tras mensajes") << "0: OK\n1,a\n0 0\n" << g << EST_CONEX_GET_SMS_OK;
    QTest::newRow("3 ok") << "0: OK\n123,Hola\n" << g << EST_CONEX_GET_SMS_OK;
    QTest::newRow("3 ok solo") << "0: OK" << g << EST_CONEX_GET_SMS_OK;
    QTest::newRow("4 sin mensajes") << "1: NOSMS\n" << g << EST_CONEX_LIBRE;
    QTest::newRow("4 gana a 7") << "1: NOSMS 3: DATA?" << g << EST_CONEX_LIBRE;
    QTest::newRow("5 lleno") << "1: FULL" << g << EST_CONEX_GET_SMS_ERROR;
    QTest::newRow("6 sin gsm") << "2: NOGSM" << g << EST_CONEX_GET_SMS_ERROR;
    QTest::newRow("7 clave") << "3: DATA?" << g << EST_CONEX_CLAVE_INCORRECTA;
    QTest::newRow("8 nada") << "<html>" << g << g;
    QTest::newRow("8 vacia tras error") << "" << EST_CONEX_ERROR << EST_CONEX_ERROR;
    // A received message that happens to hold "0 0" says nothing about the gateway.
    QTest::newRow("enmienda mensaje con 100 0") << "0: OK\n123,Saldo 100 0 pesos\n"
                                                << g << EST_CONEX_GET_SMS_OK;
    QTest::newRow("enmienda numero con 0 0") << "0: OK\n10 0,x\n" << g << EST_CONEX_GET_SMS_OK;
}

void PruebaProtocolo::clasificarRecepcion()
{
    QFETCH(QString, respuesta);
    QFETCH(int, antes);
    QFETCH(int, despues);
    QCOMPARE(pn::clasificarRecepcion(respuesta, antes), despues);
    QCOMPARE(pn::traeRecibidos(respuesta), respuesta.contains(QLatin1String("0: OK")));
}

void PruebaProtocolo::leerRecibidos_data()
{
    QTest::addColumn<QString>("respuesta");
    QTest::addColumn<QStringList>("numeros");
    QTest::addColumn<QStringList>("mensajes");

    QTest::newRow("uno") << "0: OK\n123,Hola\n" << QStringList{"123"} << QStringList{"Hola"};
    QTest::newRow("sin coma se salta") << "0: OK\n123\n456,Chau" << QStringList{"456"} << QStringList{"Chau"};
    // The whole text after the first comma is kept.
    QTest::newRow("enmienda comas") << "0: OK\n123,Hola, que tal\n"
                                    << QStringList{"123"} << QStringList{"Hola, que tal"};
    QTest::newRow("crlf") << "0: OK\r\n123,Hola\r\n" << QStringList{"123"} << QStringList{"Hola"};
    // A CR inside the text is left for the file writer, which turns it into a space.
    QTest::newRow("cr suelto") << "0: OK\n1,a\rb\n" << QStringList{"1"} << QStringList{"a\rb"};
    QTest::newRow("orden") << "0: OK\n1,a\n2,b\n3,c" << QStringList{"1", "2", "3"}
                           << QStringList{"a", "b", "c"};
    QTest::newRow("contadores se saltan") << "0: OK\n5 0\n9,x\n" << QStringList{"9"} << QStringList{"x"};
    QTest::newRow("texto vacio") << "0: OK\n123,\n" << QStringList{"123"} << QStringList{""};
    QTest::newRow("numero vacio") << "0: OK\n,Hola\n" << QStringList{""} << QStringList{"Hola"};
    QTest::newRow("estado con coma no es mensaje") << "0: OK,1\n" << QStringList{} << QStringList{};
    QTest::newRow("comillas") << "0: OK\n1,dijo \"si\"\n" << QStringList{"1"} << QStringList{"dijo \"si\""};
}

void PruebaProtocolo::leerRecibidos()
{
    QFETCH(QString, respuesta);
    QFETCH(QStringList, numeros);
    QFETCH(QStringList, mensajes);

    const QList<registro_sms> r = pn::leerRecibidos(respuesta, QStringLiteral("07/12/2026"));
    QCOMPARE(r.size(), numeros.size());
    for (int i = 0; i < r.size(); ++i) {
        QCOMPARE(r.at(i).numero, numeros.at(i));
        QCOMPARE(r.at(i).mensaje, mensajes.at(i));
        QCOMPARE(r.at(i).fecha, QStringLiteral("07/12/2026"));
    }
}

void PruebaProtocolo::textoEstado_data()
{
    QTest::addColumn<int>("estado");
    QTest::addColumn<QString>("texto");
    QTest::newRow("-1") << -1 << "Esperando respuesta...";
    QTest::newRow("0") << 0 << "Libre";
    QTest::newRow("1") << 1 << "Enviando SMS";
    QTest::newRow("2") << 2 << "Enviando SMS";
    QTest::newRow("3") << 3 << "Error al enviar SMS";
    QTest::newRow("4") << 4 << "Obteniendo SMS";
    QTest::newRow("5") << 5 << "Obteniendo SMS";
    QTest::newRow("6") << 6 << "Error al obtener SMS";
    QTest::newRow("7") << 7 << "No envia SMS";
    QTest::newRow("8") << 8 << "Error de conexion";
    QTest::newRow("9") << 9 << "Sin lugar en el gateway";
    QTest::newRow("10") << 10 << "Error de conexion, clave incorrecta.";
    QTest::newRow("11") << 11 << "Esperando respuesta...";
    QTest::newRow("-2") << -2 << "Esperando respuesta...";
    QTest::newRow("max") << INT_MAX << "Esperando respuesta...";
}

void PruebaProtocolo::textoEstado()
{
    QFETCH(int, estado);
    QFETCH(QString, texto);
    QCOMPARE(::textoEstado(estado), texto);
}

void PruebaProtocolo::textoSituacion_data()
{
    QTest::addColumn<int>("estado");
    QTest::addColumn<bool>("ocupado");
    QTest::addColumn<bool>("enPausa");
    QTest::addColumn<bool>("fueraDeHorario");
    QTest::addColumn<int>("segundos");
    QTest::addColumn<QString>("texto");
    const int l = EST_CONEX_LIBRE;
    QTest::newRow("libre") << l << false << false << false << -1 << "Libre";
    QTest::newRow("en vuelo") << EST_CONEX_SEND_SMS << true << false << false << -1 << "Enviando SMS";
    QTest::newRow("en vuelo en pausa")
        << EST_CONEX_GET_SMS << true << true << false << -1 << "Obteniendo SMS";
    QTest::newRow("reintento en vuelo")
        << EST_CONEX_UNKNOW << true << false << false << -1 << "Esperando respuesta...";
    QTest::newRow("pausa") << l << false << true << false << -1 << "Pausado";
    QTest::newRow("pausa tapa el error") << EST_CONEX_ERROR << false << true << false << 30 << "Pausado";
    QTest::newRow("fuera de horario") << l << false << false << true << -1 << "Fuera de horario";
    QTest::newRow("error espera") << EST_CONEX_ERROR << false << false << false << 30
                                  << "Error de conexion (reintento en 30 s)";
    QTest::newRow("sin lugar") << EST_CONEX_SIN_LUGAR << false << false << false << 300
                               << "Sin lugar en el gateway (reintento en 300 s)";
    QTest::newRow("sin respuesta conocida")
        << EST_CONEX_UNKNOW << false << false << false << 5 << "Esperando respuesta... (reintento en 5 s)";
    QTest::newRow("error antes del primer ciclo")
        << EST_CONEX_ERROR << false << false << false << -1 << "Error de conexion";
    QTest::newRow("libre con reintento viejo") << l << false << false << false << 12 << "Libre";
    QTest::newRow("enviado") << EST_CONEX_SEND_SMS_OK << false << false << true << 3 << "Enviando SMS";
}

void PruebaProtocolo::textoSituacion()
{
    QFETCH(int, estado);
    QFETCH(bool, ocupado);
    QFETCH(bool, enPausa);
    QFETCH(bool, fueraDeHorario);
    QFETCH(int, segundos);
    QFETCH(QString, texto);
    SituacionEnvio s;
    s.estado = estado;
    s.ocupado = ocupado;
    s.enPausa = enPausa;
    s.fueraDeHorario = fueraDeHorario;
    s.segundosReintento = segundos;
    QCOMPARE(::textoSituacion(s), texto);
}

void PruebaProtocolo::textoSituacionEnDuda_data()
{
    QTest::addColumn<bool>("enPausa");
    QTest::addColumn<bool>("ilegible");
    QTest::addColumn<bool>("sinEscribir");
    QTest::addColumn<int>("enDuda");
    QTest::addColumn<QString>("texto");
    QTest::newRow("dos en duda") << false << false << false << 2 << "Libre · 2 SMS en duda";
    QTest::newRow("registro perdido")
        << false << true << false << 0 << "Envío detenido: falta o está dañado el registro de SMS en duda";
    QTest::newRow("registro sin escribir") << false << false << true << 1
                                           << "Envío detenido: no se pudo escribir el registro de SMS en duda"
                                              " · 1 SMS en duda";
    QTest::newRow("pausa primero") << true << true << false << 0 << "Pausado";
}

void PruebaProtocolo::textoSituacionEnDuda()
{
    QFETCH(bool, enPausa);
    QFETCH(bool, ilegible);
    QFETCH(bool, sinEscribir);
    QFETCH(int, enDuda);
    QFETCH(QString, texto);
    SituacionEnvio s;
    s.estado = EST_CONEX_LIBRE;
    s.enPausa = enPausa;
    s.retencionIlegible = ilegible;
    s.retencionSinEscribir = sinEscribir;
    s.enDuda = enDuda;
    QCOMPARE(::textoSituacion(s), texto);
}

void PruebaProtocolo::lineaArchivo_data()
{
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QString>("mensaje");
    QTest::addColumn<QString>("linea");
    QTest::newRow("simple") << "123"
                            << "Hola"
                            << "\"07/12/2026\",\"123\",\"Hola\"";
    QTest::newRow("coma") << "123"
                          << "a, b"
                          << "\"07/12/2026\",\"123\",\"a, b\"";
    // Inner quotes are doubled so the file stays valid CSV.
    QTest::newRow("enmienda comillas") << "1\"2"
                                       << "dijo \"si\""
                                       << "\"07/12/2026\",\"1\"\"2\",\"dijo \"\"si\"\"\"";
    QTest::newRow("vacios") << ""
                            << ""
                            << "\"07/12/2026\",\"\",\"\"";
    QTest::newRow("enmienda controles") << QStringLiteral("1\r2")
                                        << QString::fromUtf16(u"a\0b\rc\x1b"
                                                              u"d\x7f"
                                                              u"e\x85"
                                                              u"f\tg",
                                                              13)
                                        << QStringLiteral("\"07/12/2026\",\"1 2\",\"a b c d e f\tg\"");
}

void PruebaProtocolo::lineaArchivo()
{
    QFETCH(QString, numero);
    QFETCH(QString, mensaje);
    QFETCH(QString, linea);
    registro_sms r;
    r.numero = numero;
    r.fecha = QStringLiteral("07/12/2026");
    r.mensaje = mensaje;
    QCOMPARE(r.toStringInFile(), linea);
}

NBSMS_TEST_MAIN(PruebaProtocolo)
#include "prueba_protocolo.moc"
