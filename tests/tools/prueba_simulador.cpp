// The gateway simulator: the standalone program answers real HTTP on 127.0.0.1, and the
// library behaves as the device we define (fetch queue, files, encoding, stop).

#include "common/entorno_prueba.h"
#include "tools/simulador/simulador_ngw.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

class PruebaSimulador : public QObject
{
    Q_OBJECT

private slots:
    void programa();
    void programaAyudaYErrores();
    void latin1_data();
    void latin1();
    void colaDeRecibidos();
    void fallasDeEnvio();
    void detenerLiberaPedidos();

private:
    // Posts `cuerpo` to 127.0.0.1:`puerto``ruta`; returns the reply body, or "<error> text".
    QByteArray publicar(int puerto, const QString &ruta, const QByteArray &cuerpo, int *estadoHttp = nullptr);
};

QByteArray PruebaSimulador::publicar(int puerto, const QString &ruta, const QByteArray &cuerpo,
                                     int *estadoHttp)
{
    QNetworkAccessManager red;
    red.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest pedido(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(puerto).arg(ruta)));
    pedido.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/html; charset=utf-8"));
    std::unique_ptr<QNetworkReply> reply(red.post(pedido, cuerpo));
    QSignalSpy fin(reply.get(), &QNetworkReply::finished);
    if (!fin.wait(5000))
        return QByteArray("<sin respuesta>");
    if (estadoHttp)
        *estadoHttp = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError && !estadoHttp)
        return "<error> " + reply->errorString().toUtf8();
    return reply->readAll();
}

void PruebaSimulador::programa()
{
    QProcess proceso;
    proceso.start(QStringLiteral(NBSMS_SIMULADOR_EXE), {"--port", "0", "--key", "1234"});
    QVERIFY(proceso.waitForStarted());
    QByteArray salida;
    const QRegularExpression anuncio(QStringLiteral("escuchando en http://127\\.0\\.0\\.1:(\\d+)/cgi-bin"));
    QRegularExpressionMatch m;
    while (!(m = anuncio.match(QString::fromUtf8(salida))).hasMatch()) {
        QVERIFY2(proceso.waitForReadyRead(5000), salida.constData());
        salida += proceso.readAllStandardOutput();
    }
    const int puerto = m.captured(1).toInt();
    QVERIFY(puerto > 0);

    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "key=1234&stat"), QByteArray("0: OK\n0 50\n"));
    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "key=99&stat"), QByteArray("3: DATA?\n"));
    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "key=1234&num=1&msg=a&b"), QByteArray("0: OK\n"));
    QCOMPARE(publicar(puerto, "/cgi-bin/rxsms.cgi", "key=1234&max=10"), QByteArray("1: NOSMS\n"));

    proceso.terminate();
    QVERIFY(proceso.waitForFinished(5000));
    QCOMPARE(proceso.exitStatus(), QProcess::NormalExit);
    QCOMPARE(proceso.exitCode(), 0);
    salida += proceso.readAllStandardOutput();
    QVERIFY2(salida.contains("POST /cgi-bin/txsms.cgi [key=1234&num=1&msg=a&b] -> 0: OK\\n"),
             salida.constData());
    QVERIFY(salida.contains("detenido"));
}

void PruebaSimulador::programaAyudaYErrores()
{
    QProcess ayuda;
    ayuda.start(QStringLiteral(NBSMS_SIMULADOR_EXE), {"--help"});
    QVERIFY(ayuda.waitForFinished(5000));
    QCOMPARE(ayuda.exitCode(), 0);
    const QByteArray texto = ayuda.readAllStandardOutput();
    for (const char *opcion :
         {"--port", "--key", "--sin-modulo", "--lleno", "--clave-rechazada", "--http-404", "--http-503",
          "--desconocido", "--pedidos", "--estado-http", "--cerrar", "--nunca-responde", "--demora",
          "--goteo", "--relleno", "--recibidos", "--respuesta-envio", "--demora-envio"})
        QVERIFY2(texto.contains(opcion), opcion);

    QProcess malo;
    malo.start(QStringLiteral(NBSMS_SIMULADOR_EXE), {"--puerto", "1"});
    QVERIFY(malo.waitForFinished(5000));
    QCOMPARE(malo.exitCode(), 2);
    QVERIFY(malo.readAllStandardError().contains("--puerto"));
}

void PruebaSimulador::latin1_data()
{
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QByteArray>("latin1");
    QTest::newRow("ascii") << QByteArray("Hola") << QByteArray("Hola");
    QTest::newRow("enie") << QByteArray("a\xc3\xb1o") << QByteArray("a\xf1o");
    QTest::newRow("euro") << QByteArray("\xe2\x82\xac") << QByteArray("?");
    QTest::newRow("emoji") << QByteArray("\xf0\x9f\x98\x80!") << QByteArray("?!");
    QTest::newRow("cortado") << QByteArray("a\xc3") << QByteArray("a?");
}

void PruebaSimulador::latin1()
{
    QFETCH(QByteArray, utf8);
    QFETCH(QByteArray, latin1);
    const std::string r = simulador::utf8ALatin1(utf8.toStdString());
    QCOMPARE(QByteArray(r.data(), int(r.size())), latin1);
}

void PruebaSimulador::colaDeRecibidos()
{
    QTemporaryDir carpeta;
    const QString archivo = carpeta.filePath(QStringLiteral("entrantes.txt"));
    {
        QFile f(archivo);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QByteArray lineas;
        for (int i = 1; i <= 11; ++i)
            lineas += QByteArray::number(i) + ",texto " + QByteArray::number(i) + ", con coma\r\n";
        lineas += "sin coma\n";
        f.write(lineas);
    }
    simulador::SimuladorNgw sim; // any key
    QVERIFY(!sim.cargarRecibidos(carpeta.filePath(QStringLiteral("no-existe")).toStdString()));
    QVERIFY(sim.cargarRecibidos(archivo.toStdString()));
    QCOMPARE(sim.recibidosPendientes(), std::size_t(11));
    const int puerto = sim.iniciar();
    QVERIFY(puerto > 0);

    // At most ten per fetch, in order, the text to the end of its line.
    const QByteArray primera = publicar(puerto, "/cgi-bin/rxsms.cgi", "key=&max=10");
    QVERIFY(primera.startsWith("0: OK\n1,texto 1, con coma\n2,texto 2, con coma\n"));
    QCOMPARE(primera.count('\n'), 11);
    QCOMPARE(publicar(puerto, "/cgi-bin/rxsms.cgi", "key=x&max=10"),
             QByteArray("0: OK\n11,texto 11, con coma\n"));
    QCOMPARE(publicar(puerto, "/cgi-bin/rxsms.cgi", "key=x&max=10"), QByteArray("1: NOSMS\n"));

    int http = 0;
    QCOMPARE(publicar(puerto, "/cgi-bin/otro.cgi", "key=x&stat", &http), QByteArray("Not Found\n"));
    QCOMPARE(http, 404);
    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "clave=x&stat"), QByteArray("3: DATA?\n"));

    // Every request is kept with its raw body and headers.
    const auto pedidos = sim.peticiones();
    QCOMPARE(pedidos.size(), std::size_t(5));
    QCOMPARE(QByteArray::fromStdString(pedidos[3].ruta), QByteArray("/cgi-bin/otro.cgi"));
    QCOMPARE(QByteArray::fromStdString(pedidos[4].cuerpo), QByteArray("clave=x&stat"));
    QCOMPARE(QByteArray::fromStdString(pedidos[4].cabecera("content-type")),
             QByteArray("text/html; charset=utf-8"));
}

// A device that takes every message but answers the send in its own way, or late; status
// queries are answered as usual.
void PruebaSimulador::fallasDeEnvio()
{
    simulador::SimuladorNgw sim("k");
    const int puerto = sim.iniciar();
    QVERIFY(puerto > 0);
    sim.fijarRespuestaEnvio(std::string("OK"));
    sim.fijarDemoraEnvio(std::chrono::milliseconds(300));
    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "key=k&stat"), QByteArray("0: OK\n0 50\n"));
    QElapsedTimer reloj;
    reloj.start();
    QCOMPARE(publicar(puerto, "/cgi-bin/txsms.cgi", "key=k&num=1&msg=a"), QByteArray("OK"));
    QVERIFY(reloj.elapsed() >= 300);
    QCOMPARE(sim.enviados().size(), std::size_t(1));
}

void PruebaSimulador::detenerLiberaPedidos()
{
    simulador::SimuladorNgw sim("k");
    const int puerto = sim.iniciar();
    QVERIFY(puerto > 0);
    QCOMPARE(sim.puerto(), puerto);
    sim.fijarModo(simulador::Modo::NuncaResponde);

    QNetworkAccessManager red;
    red.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest pedido(QUrl(QStringLiteral("http://127.0.0.1:%1/cgi-bin/txsms.cgi").arg(puerto)));
    pedido.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("text/html; charset=utf-8"));
    std::unique_ptr<QNetworkReply> reply(red.post(pedido, QByteArray("key=k&stat")));
    QTRY_COMPARE(sim.peticiones().size(), std::size_t(1));
    QVERIFY(!reply->isFinished());
    // Stopping must not hang on the request held open; the client sees the connection go.
    sim.detener();
    QCOMPARE(sim.puerto(), -1);
    QTRY_VERIFY(reply->isFinished());
    QVERIFY(reply->error() != QNetworkReply::NoError);
}

NBSMS_TEST_MAIN(PruebaSimulador)
#include "prueba_simulador.moc"
