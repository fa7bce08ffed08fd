// Updating the gateway connection from the configuration tab, against the gateway simulator.

#include "common/entorno_prueba.h"

#include "app/mainwindow.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/test_conex.h"
#include "tools/simulador/simulador_ngw.h"
#include "ui_mainwindow.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <memory>

class PruebaConexionVentana : public QObject
{
    Q_OBJECT

    std::unique_ptr<simulador::SimuladorNgw> simulador;
    QString textoDialogo;
    bool dialogoVisto = false;

    // Closes the connection test dialog with its Ok button once it shows an answer.
    void cerrarDialogoAlResponder()
    {
        auto *reloj = new QTimer(this);
        reloj->setInterval(10);
        connect(reloj, &QTimer::timeout, this, [this, reloj] {
            auto *d = qobject_cast<test_conex *>(QApplication::activeModalWidget());
            if (!d)
                return;
            auto *ok = d->findChild<QPushButton *>(QStringLiteral("pushOk"));
            auto *label = d->findChild<QLabel *>(QStringLiteral("label"));
            if (!ok || !ok->isEnabled())
                return;
            reloj->stop();
            reloj->deleteLater();
            dialogoVisto = true;
            textoDialogo = label->text();
            ok->click();
        });
        reloj->start();
    }

private slots:
    void init()
    {
        QSettings().clear();
        CuadroMensaje::limpiar();
        simulador = std::make_unique<simulador::SimuladorNgw>("1234");
        QVERIFY(simulador->iniciar() > 0);
        textoDialogo.clear();
        dialogoVisto = false;
    }
    void cleanup() { simulador.reset(); }

    void actualizar_data()
    {
        QTest::addColumn<QString>("clave");
        QTest::addColumn<bool>("enviando");
        QTest::addColumn<int>("respuesta");
        QTest::addColumn<QString>("claveEsperada");
        QTest::addColumn<QString>("dialogo");
        QTest::addColumn<bool>("pregunta");
        QTest::addColumn<bool>("play");
        QTest::newRow("libre y en pausa, ok") << "  1234  " << false << int(QMessageBox::Ok) << "key=1234"
                                              << "Conexion establecida." << true << true;
        QTest::newRow("libre y en pausa, cancel") << "1234" << false << int(QMessageBox::Cancel) << "key=1234"
                                                  << "Conexion establecida." << true << false;
        QTest::newRow("ya enviando") << "key=1234" << true << int(QMessageBox::Ok) << "key=1234"
                                     << "Conexion establecida." << false << true;
        QTest::newRow("clave incorrecta")
            << "9999" << false << int(QMessageBox::Ok) << "key=9999"
            << "Conexion no establecida, clave incorrecta.\nVerificar clave \"key=9999\"" << false << false;
    }

    void actualizar()
    {
        QFETCH(QString, clave);
        QFETCH(bool, enviando);
        QFETCH(int, respuesta);
        QFETCH(QString, claveEsperada);
        QFETCH(QString, dialogo);
        QFETCH(bool, pregunta);
        QFETCH(bool, play);
        ajustes::escribir(ajustes::Clave::EnvioActivado, enviando);
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        const QString direccion = QStringLiteral("127.0.0.1:%1").arg(simulador->puerto());
        ui->IPGateway->setText(QStringLiteral(" ") + direccion + QStringLiteral(" "));
        ui->NgwKey->setText(clave);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::StandardButton(respuesta));

        cerrarDialogoAlResponder();
        ui->pushActualizarConex->click();

        QVERIFY(dialogoVisto);
        QCOMPARE(textoDialogo, dialogo);
        conexion_ngw *c = w.worker->conexion;
        QCOMPARE(c->clave, claveEsperada);
        QCOMPARE(c->ip, direccion);
        if (pregunta) {
            QCOMPARE(CuadroMensaje::mostrados().size(), 1);
            QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Conexion con NB"));
            QCOMPARE(CuadroMensaje::mostrados().at(0).texto,
                     QStringLiteral("¿Desea iniciar el envío y recepción de SMS?"));
        } else {
            QVERIFY(CuadroMensaje::mostrados().isEmpty());
        }
        QCOMPARE(w.worker->comando.load(), play ? int(EST_PLAY) : int(EST_PAUSA));
        QCOMPARE(ajustes::leer(ajustes::Clave::EnvioActivado).toBool(), play);
        QCOMPARE(ui->pushPause->isEnabled(), play);
    }

    // What the last reply left is settled before the status query replaces the state; a mark
    // that cannot be written holds the update back.
    void pendienteAntesDeActualizar_data()
    {
        QTest::addColumn<int>("estado");
        QTest::addColumn<bool>("salidasEscribible");
        QTest::addColumn<QByteArray>("salidas");
        QTest::addColumn<int>("recibidos");
        QTest::addColumn<int>("estadoFinal");
        QTest::newRow("enviado sin marcar")
            << EST_CONEX_SEND_SMS_OK << true << QByteArray("E,1,,m\n") << 0 << EST_CONEX_LIBRE;
        QTest::newRow("recibidos sin contar")
            << EST_CONEX_GET_SMS_OK << true << QByteArray("e,1,,m\n") << 3 << EST_CONEX_LIBRE;
        QTest::newRow("marca imposible")
            << EST_CONEX_SEND_SMS_OK << false << QByteArray() << 0 << EST_CONEX_SEND_SMS_OK;
    }

    void pendienteAntesDeActualizar()
    {
        QFETCH(int, estado);
        QFETCH(bool, salidasEscribible);
        QFETCH(QByteArray, salidas);
        QFETCH(int, recibidos);
        QFETCH(int, estadoFinal);
        MainWindow w;
        {
            QFile f(w.archivoSalidas);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("e,1,,m\n");
        }
        if (!salidasEscribible) {
            QVERIFY(QFile::remove(w.archivoSalidas));
            QVERIFY(QDir().mkdir(w.archivoSalidas));
        }
        threads *t = w.worker;
        t->posLinea = 0;
        t->lineaEnviada = "e,1,,m";
        t->conexion->ultimosRecibidos = 3;
        t->conexion->estado = estado;
        w.formulario()->IPGateway->setText(QStringLiteral("127.0.0.1:%1").arg(simulador->puerto()));
        w.formulario()->NgwKey->setText(QStringLiteral("1234"));
        if (salidasEscribible)
            cerrarDialogoAlResponder();
        w.on_pushActualizarConex_clicked();

        QCOMPARE(t->conexion->getEstado(), estadoFinal);
        QCOMPARE(t->recibidos.load(), recibidos);
        if (!salidasEscribible) {
            QVERIFY(simulador->peticiones().empty());
            QCOMPARE(CuadroMensaje::mostrados().size(), 1);
            QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
            QVERIFY(QDir().rmdir(w.archivoSalidas));
            return;
        }
        QVERIFY(dialogoVisto);
        QFile f(w.archivoSalidas);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), salidas);
    }

    void direccionOClaveRechazada_data()
    {
        QTest::addColumn<QString>("ip"); // %1 stands for the simulator's 127.0.0.1:port
        QTest::addColumn<QString>("clave");
        QTest::addColumn<QString>("aviso"); // empty: accepted
        QTest::newRow("http y barra se quitan") << " http://%1/ "
                                                << "1234"
                                                << "";
        QTest::newRow("camino") << "%1/otro/camino?x=1#"
                                << "1234"
                                << "La direccion del gateway";
        QTest::newRow("vacia") << ""
                               << "1234"
                               << "La direccion del gateway";
        QTest::newRow("clave con parametros") << "%1"
                                              << "K&num=999999&msg=inyectado"
                                              << "La clave del gateway";
    }

    // "Guardar" refuses what could change the requests, and says why; nothing is sent.
    void direccionOClaveRechazada()
    {
        QFETCH(QString, ip);
        QFETCH(QString, clave);
        QFETCH(QString, aviso);
        MainWindow w;
        const QString direccion = QStringLiteral("127.0.0.1:%1").arg(simulador->puerto());
        w.formulario()->IPGateway->setText(ip.arg(direccion));
        w.formulario()->NgwKey->setText(clave);
        if (aviso.isEmpty())
            cerrarDialogoAlResponder();
        w.on_pushActualizarConex_clicked();
        conexion_ngw *c = w.worker->conexion;
        if (aviso.isEmpty()) {
            QVERIFY(dialogoVisto);
            QCOMPARE(c->ip, direccion);
            QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
            return;
        }
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
        QVERIFY2(CuadroMensaje::mostrados().at(0).texto.startsWith(aviso),
                 qPrintable(CuadroMensaje::mostrados().at(0).texto));
        QCOMPARE(c->ip, QString());
        QVERIFY(simulador->peticiones().empty());
    }

    // The address and key stored with outer spaces reach the worker's connection trimmed.
    void arranqueConEspacios()
    {
        ajustes::escribir(ajustes::Clave::IpGateway,
                          QStringLiteral(" 127.0.0.1:%1 ").arg(simulador->puerto()));
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral(" 1234 "));
        MainWindow w;
        conexion_ngw *c = w.worker->conexion;
        QCOMPARE(c->ip, QStringLiteral("127.0.0.1:%1").arg(simulador->puerto()));
        QCOMPARE(c->clave, QStringLiteral("key=1234"));
        QTRY_COMPARE(c->getEstado(), EST_CONEX_LIBRE);
    }

    void ocupadoNoHaceNada()
    {
        MainWindow w;
        conexion_ngw *c = w.worker->conexion;
        c->ocupado = true;
        w.formulario()->IPGateway->setText(QStringLiteral("127.0.0.1:%1").arg(simulador->puerto()));
        w.on_pushActualizarConex_clicked();
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
        QCOMPARE(c->ip, QString());
        QVERIFY(simulador->peticiones().empty());
        c->ocupado = false;
    }
};

NBSMS_TEST_MAIN(PruebaConexionVentana)
#include "prueba_conexion_ventana.moc"
