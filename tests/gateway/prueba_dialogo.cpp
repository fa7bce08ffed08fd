// The connection test dialog: its form, the text and button for each state at start and on
// each tick, when its timer stops, and whole runs against the gateway simulator.

#include "common/entorno_prueba.h"
#include "gateway/conexion_ngw.h"
#include "gateway/test_conex.h"
#include "tools/simulador/simulador_ngw.h"
#include "ui_test_conex.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

namespace {

const QString kEsperando = QStringLiteral("Esperando respuesta...");
const QString kEstablecida = QStringLiteral("Conexion establecida.");
const QString kSinModulo =
    QStringLiteral("Conexion establecida, pero el NB no tiene modulos GSM habilitados para envio de SMS.\n"
                   "Verifique configuracion del NB");

} // namespace

Q_DECLARE_METATYPE(simulador::Modo)

class PruebaDialogo : public QObject
{
    Q_OBJECT

private slots:
    void formulario();
    void alIniciar_data();
    void alIniciar();
    void enCadaTic_data();
    void enCadaTic();
    void sinModuloSigueMirando();
    void botonCierra();
    void ejecucionCompleta_data();
    void ejecucionCompleta();

private:
    void poleo(test_conex &d)
    {
        QVERIFY(QMetaObject::invokeMethod(&d, "PoleoConexion", Qt::DirectConnection));
    }
};

void PruebaDialogo::formulario()
{
    test_conex d;
    QCOMPARE(d.objectName(), QStringLiteral("test_conex"));
    QCOMPARE(d.windowTitle(), QStringLiteral("Conexion al NB"));
    QCOMPARE(d.size(), QSize(284, 80));
    QVERIFY(d.windowFlags().testFlag(Qt::WindowTitleHint));
    // Always closable, even while Ok waits for the answer.
    QVERIFY(d.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!d.parent());
    QCOMPARE(d.formulario()->label->text(), QStringLiteral("TextLabel"));
    QCOMPARE(d.formulario()->pushOk->text(), QStringLiteral("Ok"));
    QCOMPARE(d.formulario()->pushOk->objectName(), QStringLiteral("pushOk"));
    QVERIFY(d.findChild<QLayout *>(QStringLiteral("gridLayout")));
    QVERIFY(d.findChild<QLayout *>(QStringLiteral("horizontalLayout")));
    QVERIFY(!d.temporizador());
}

void PruebaDialogo::alIniciar_data()
{
    QTest::addColumn<int>("estado");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("habilitado");

    QTest::newRow("-1") << EST_CONEX_UNKNOW << kEsperando << false;
    QTest::newRow("0") << EST_CONEX_LIBRE << kEstablecida << true;
    QTest::newRow("8") << EST_CONEX_ERROR << "Conexion no establecida." << true;
    QTest::newRow("7 sin cambio") << EST_CONEX_NO_ENVIA_SMS << "TextLabel" << true;
    QTest::newRow("10 sin cambio") << EST_CONEX_CLAVE_INCORRECTA << "TextLabel" << true;
    QTest::newRow("3 sin cambio") << EST_CONEX_SEND_SMS_ERROR << "TextLabel" << true;
}

void PruebaDialogo::alIniciar()
{
    QFETCH(int, estado);
    QFETCH(QString, texto);
    QFETCH(bool, habilitado);

    conexion_ngw c{QString(), QString()};
    c.setEstado(estado);
    test_conex d;
    d.iniciar(&c);
    QCOMPARE(d.formulario()->label->text(), texto);
    QCOMPARE(d.formulario()->pushOk->isEnabled(), habilitado);
}

void PruebaDialogo::enCadaTic_data()
{
    QTest::addColumn<int>("estado");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("habilitado");
    QTest::addColumn<bool>("sigue");

    QTest::newRow("-1 sin nada en vuelo")
        << EST_CONEX_UNKNOW
        << "Conexión no establecida, respuesta no reconocida.\nVerificar direccion \"10.9.8.7:8080\"" << true
        << false;
    QTest::newRow("0") << EST_CONEX_LIBRE << kEstablecida << true << false;
    QTest::newRow("7") << EST_CONEX_NO_ENVIA_SMS << kSinModulo << true << true;
    QTest::newRow("8")
        << EST_CONEX_ERROR
        << "Conexion no establecida, no se detecto Nimbrel.\nVerificar direccion \"10.9.8.7:8080\"" << true
        << false;
    QTest::newRow("10") << EST_CONEX_CLAVE_INCORRECTA
                        << "Conexion no establecida, clave incorrecta.\nVerificar clave \"key=ab c\"" << true
                        << false;
    QTest::newRow("4 solo registro") << EST_CONEX_GET_SMS << kEsperando << false << true;
    QTest::newRow("9 solo registro") << EST_CONEX_SIN_LUGAR << kEsperando << false << true;
}

void PruebaDialogo::enCadaTic()
{
    QFETCH(int, estado);
    QFETCH(QString, texto);
    QFETCH(bool, habilitado);
    QFETCH(bool, sigue);

    // Key and address are only stored: nothing goes out without a check.
    conexion_ngw c{QString(), QString()};
    c.setConexion(QStringLiteral("key=ab c"), QStringLiteral("10.9.8.7:8080"));
    test_conex d;
    d.iniciar(&c);
    d.arrancarPoleo();
    QVERIFY(d.temporizador());
    QCOMPARE(d.temporizador()->parent(), &d);
    QCOMPARE(d.temporizador()->interval(), 100);
    QVERIFY(d.temporizador()->isActive());

    c.setEstado(estado);
    poleo(d);
    QCOMPARE(d.formulario()->label->text(), texto);
    QCOMPARE(d.formulario()->pushOk->isEnabled(), habilitado);
    QCOMPARE(d.temporizador()->isActive(), sigue);
}

void PruebaDialogo::sinModuloSigueMirando()
{
    // State 7 is no definite answer: a later tick still reports what follows.
    conexion_ngw c{QString(), QString()};
    test_conex d;
    d.iniciar(&c);
    d.arrancarPoleo();
    c.setEstado(EST_CONEX_NO_ENVIA_SMS);
    poleo(d);
    QVERIFY(d.temporizador()->isActive());
    c.setEstado(EST_CONEX_LIBRE);
    poleo(d);
    QCOMPARE(d.formulario()->label->text(), kEstablecida);
    QVERIFY(!d.temporizador()->isActive());
}

void PruebaDialogo::botonCierra()
{
    conexion_ngw c{QString(), QString()};
    c.setEstado(EST_CONEX_LIBRE);
    test_conex d;
    d.iniciar(&c);
    d.show();
    QVERIFY(QTest::qWaitForWindowExposed(&d));
    QTest::mouseClick(d.formulario()->pushOk, Qt::LeftButton);
    QVERIFY(!d.isVisible());
}

void PruebaDialogo::ejecucionCompleta_data()
{
    QTest::addColumn<simulador::Modo>("modo");
    QTest::addColumn<bool>("direccionCerrada");
    QTest::addColumn<QString>("texto");

    QTest::newRow("libre") << simulador::Modo::Normal << false << kEstablecida;
    QTest::newRow("sin modulo") << simulador::Modo::SinModulo << false << kSinModulo;
    QTest::newRow("clave") << simulador::Modo::ClaveRechazada << false
                           << "Conexion no establecida, clave incorrecta.\nVerificar clave \"key=1234\"";
    QTest::newRow("sin gateway")
        << simulador::Modo::Normal << true
        << "Conexion no establecida, no se detecto Nimbrel.\nVerificar direccion \"%1\"";
    QTest::newRow("otro equipo")
        << simulador::Modo::Desconocido << false
        << "Conexión no establecida, respuesta no reconocida.\nVerificar direccion \"%1\"";
}

void PruebaDialogo::ejecucionCompleta()
{
    QFETCH(simulador::Modo, modo);
    QFETCH(bool, direccionCerrada);
    QFETCH(QString, texto);

    simulador::SimuladorNgw sim("1234");
    sim.fijarModo(modo);
    int puerto = sim.iniciar("127.0.0.1", 0);
    QVERIFY(puerto > 0);
    if (direccionCerrada) {
        QTcpServer cerrado;
        QVERIFY(cerrado.listen(QHostAddress::LocalHost, 0));
        puerto = cerrado.serverPort();
        cerrado.close();
    }
    const QString ip = QStringLiteral("127.0.0.1:%1").arg(puerto);
    if (texto.contains(QLatin1String("%1")))
        texto = texto.arg(ip);

    // The window's order: set the connection, start the check, build, iniciar, ejecutar.
    conexion_ngw c{QString(), QString()};
    c.setConexion(QStringLiteral("key=1234"), ip);
    QVERIFY(c.consultarEstado());
    test_conex d;
    d.iniciar(&c);
    // A refusal on the loopback may be known before the dialog opens (Windows refuses at once).
    if (!direccionCerrada || d.formulario()->label->text() != QLatin1String("Conexion no establecida.")) {
        QCOMPARE(d.formulario()->label->text(), kEsperando);
        QVERIFY(!d.formulario()->pushOk->isEnabled());
    }

    // Presses Ok as an operator would, once the answer is on screen.
    bool visto = false;
    QElapsedTimer reloj;
    reloj.start();
    QTimer operador;
    connect(&operador, &QTimer::timeout, &d, [&] {
        if (d.formulario()->label->text() == texto && d.formulario()->pushOk->isEnabled()) {
            visto = true;
            QTest::mouseClick(d.formulario()->pushOk, Qt::LeftButton);
        } else if (reloj.elapsed() > 5000) {
            d.close();
        }
    });
    operador.start(20);
    d.ejecutar();
    operador.stop();
    QVERIFY2(visto, qPrintable(d.formulario()->label->text()));
}

NBSMS_TEST_MAIN(PruebaDialogo)
#include "prueba_dialogo.moc"
