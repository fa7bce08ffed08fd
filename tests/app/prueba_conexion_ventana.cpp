// Updating the gateway connection from the configuration tab, against the gateway simulator.

#include "common/archivos_prueba.h"
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

    static QString salidas()
    {
        return ajustes::carpetaUsuario().path() + QStringLiteral("/NBsms/salidas.csv");
    }

    static void escribirSalidas(const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(salidas()).path());
        QFile f(salidas());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }

    static QByteArray leerSalidas()
    {
        QFile f(salidas());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

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
        QDir(ajustes::carpetaUsuario().path() + QStringLiteral("/NBsms")).removeRecursively();
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
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        QCOMPARE(c->clave(), claveEsperada);
        QCOMPARE(c->ip(), direccion);
        if (pregunta) {
            QCOMPARE(CuadroMensaje::mostrados().size(), 1);
            QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Conexion con NB"));
            QCOMPARE(CuadroMensaje::mostrados().at(0).texto,
                     QStringLiteral("¿Desea iniciar el envío y recepción de SMS?"));
        } else {
            QVERIFY(CuadroMensaje::mostrados().isEmpty());
        }
        QCOMPARE(w.servicio()->trabajador()->comando(), play ? int(EST_PLAY) : int(EST_PAUSA));
        QCOMPARE(ajustes::leer(ajustes::Clave::EnvioActivado).toBool(), play);
        QCOMPARE(ui->pushPause->isEnabled(), play);
    }

    // What the last reply left is settled before the status query replaces the state; a mark
    // that cannot be written holds the update back. The record's room check is held at the gateway
    // while the outbox is made a folder, so that the mark fails when the send's reply comes.
    void pendienteAntesDeActualizar()
    {
        const QByteArray pendiente("e,1,01/01/2020,m\n");
        escribirSalidas(pendiente);
        const QString direccion = QStringLiteral("127.0.0.1:%1").arg(simulador->puerto());
        ajustes::escribir(ajustes::Clave::IpGateway, direccion);
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("1234"));
        MainWindow w;
        threads *t = w.servicio()->trabajador();
        conexion_ngw *c = t->conexion();
        QTRY_COMPARE(c->getEstado(), EST_CONEX_LIBRE);
        QCOMPARE(w.servicio()->instantanea().pendientes, 1);

        simulador->fijarModo(simulador::Modo::NuncaResponde);
        t->procesarCiclo();
        QVERIFY(c->isOcupado());
        QTRY_COMPARE(simulador->peticiones().size(), std::size_t(2));
        QVERIFY(QFile::remove(salidas()));
        QVERIFY(QDir().mkdir(salidas()));
        simulador->fijarModo(simulador::Modo::Normal);
        QTRY_VERIFY(!c->isOcupado());
        QCOMPARE(simulador->enviados().size(), std::size_t(1));
        QCOMPARE(c->getEstado(), EST_CONEX_SEND_SMS_OK);
        const std::size_t peticiones = simulador->peticiones().size();

        // The gateway took the message and its record is unmarked: "Guardar" is refused, nothing
        // is sent.
        w.on_pushActualizarConex_clicked();
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
        QCOMPARE(CuadroMensaje::mostrados().at(0).texto,
                 QStringLiteral("No se pudo marcar como enviado el último SMS en salidas.\n"
                                "La conexión no se actualizó; intente nuevamente."));
        QCOMPARE(simulador->peticiones().size(), peticiones);
        QCOMPARE(c->getEstado(), EST_CONEX_SEND_SMS_OK);
        QCOMPARE(w.servicio()->instantanea().enviados, 0);

        // The outbox back as it was: "Guardar" marks the record, then queries.
        QVERIFY(QDir().rmdir(salidas()));
        escribirSalidas(pendiente);
        CuadroMensaje::limpiar();
        cerrarDialogoAlResponder();
        w.on_pushActualizarConex_clicked();
        QVERIFY(dialogoVisto);
        QCOMPARE(textoDialogo, QStringLiteral("Conexion establecida."));
        QCOMPARE(leerSalidas(), QByteArray("E,1,01/01/2020,m\n"));
        QCOMPARE(w.servicio()->instantanea().enviados, 1);
        QCOMPARE(w.servicio()->instantanea().pendientes, 0);
        QCOMPARE(w.servicio()->instantanea().recibidos, 0);
        QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
        QCOMPARE(simulador->peticiones().size(), peticiones + 1);
        QCOMPARE(simulador->enviados().size(), std::size_t(1));
    }

    void errorDeConexionSinArchivoDeErrores()
    {
        MainWindow w;
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        const QString ruta = ajustes::carpetaUsuario().path() + QStringLiteral("/no/existe/errores.csv");
        w.formulario()->ingresoErrores->setText(ruta);
        simulador->fijarModo(simulador::Modo::Cerrar);
        c->setConexion(QStringLiteral("key=1234"), QStringLiteral("127.0.0.1:%1").arg(simulador->puerto()));
        QVERIFY(c->consultarEstado());
        QTRY_VERIFY(!c->isOcupado());
        QCOMPARE(c->getEstado(), EST_CONEX_ERROR);
        const QString texto = QStringLiteral("El gateway cerró la conexión sin responder");
        QCOMPARE(c->errorConexion(), texto);
        // Only the boxes of the polls below are counted, not those of the window's own.
        CuadroMensaje::limpiar();
        w.PoleoArchivo();
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
        QCOMPARE(CuadroMensaje::mostrados().at(0).texto,
                 QStringLiteral("No se pudo abrir errores %1").arg(ruta));
        // Never lost by a failed attempt; the next tick in state 8 tries (and tells) again.
        QCOMPARE(c->errorConexion(), texto);
        w.PoleoArchivo();
        QCOMPARE(CuadroMensaje::mostrados().size(), 2);
        c->setEstado(EST_CONEX_LIBRE);
        w.PoleoArchivo();
        QCOMPARE(CuadroMensaje::mostrados().size(), 2);
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
                                << "La dirección del gateway";
        QTest::newRow("vacia") << ""
                               << "1234"
                               << "La dirección del gateway";
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
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        if (aviso.isEmpty()) {
            QVERIFY(dialogoVisto);
            QCOMPARE(c->ip(), direccion);
            QCOMPARE(c->getEstado(), EST_CONEX_LIBRE);
            return;
        }
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
        QVERIFY2(CuadroMensaje::mostrados().at(0).texto.startsWith(aviso),
                 qPrintable(CuadroMensaje::mostrados().at(0).texto));
        QCOMPARE(c->ip(), QString());
        QVERIFY(simulador->peticiones().empty());
    }

    // The address and key stored with outer spaces reach the worker's connection trimmed.
    void arranqueConEspacios()
    {
        ajustes::escribir(ajustes::Clave::IpGateway,
                          QStringLiteral(" 127.0.0.1:%1 ").arg(simulador->puerto()));
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral(" 1234 "));
        MainWindow w;
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        QCOMPARE(c->ip(), QStringLiteral("127.0.0.1:%1").arg(simulador->puerto()));
        QCOMPARE(c->clave(), QStringLiteral("key=1234"));
        QTRY_COMPARE(c->getEstado(), EST_CONEX_LIBRE);
    }

    // A request in flight (here the first status query, held at the gateway): "Guardar" does
    // nothing.
    void ocupadoNoHaceNada()
    {
        const QString direccion = QStringLiteral("127.0.0.1:%1").arg(simulador->puerto());
        ajustes::escribir(ajustes::Clave::IpGateway, direccion);
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("1234"));
        simulador->fijarModo(simulador::Modo::NuncaResponde);
        MainWindow w;
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        QVERIFY(c->isOcupado());
        QTRY_COMPARE(simulador->peticiones().size(), std::size_t(1));
        w.formulario()->IPGateway->setText(QStringLiteral("127.0.0.1:9"));
        w.formulario()->NgwKey->setText(QStringLiteral("5678"));
        w.on_pushActualizarConex_clicked();
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
        QCOMPARE(c->ip(), direccion);
        QCOMPARE(c->clave(), QStringLiteral("key=1234"));
        QCOMPARE(simulador->peticiones().size(), std::size_t(1));
        simulador->fijarModo(simulador::Modo::Normal);
        QTRY_VERIFY(!c->isOcupado());
    }
};

NBSMS_TEST_MAIN(PruebaConexionVentana)
#include "prueba_conexion_ventana.moc"
