// The main window's lifecycle, poll and connection controls, driven offscreen.

#include "common/entorno_prueba.h"

#include "ajustes/reloj.h"
#include "app/autoarranque.h"
#include "app/instancia_unica.h"
#include "app/mainwindow.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "nbsms_version.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>

class PruebaVentana : public QObject
{
    Q_OBJECT

    QString datos() const { return ajustes::carpetaUsuario().path() + QStringLiteral("/NBsms"); }

    static void guardar(ajustes::Clave clave, const QVariant &valor) { ajustes::escribir(clave, valor); }

    static void configuracionCompleta()
    {
        guardar(ajustes::Clave::IpGateway, QString());
        guardar(ajustes::Clave::KeyGateway, QStringLiteral("key=1234"));
    }

private slots:
    void init()
    {
        QSettings().clear();
        QDir(datos()).removeRecursively();
        CuadroMensaje::limpiar();
        DialogoArchivo::limpiar();
    }

    void primerArranqueConAlmacenVacio()
    {
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        QCOMPARE(ui->ingresoErrores->text(), datos() + QStringLiteral("/errores.csv"));
        QCOMPARE(ui->ingresoBackups->text(), datos() + QStringLiteral("/backup.csv"));
        QCOMPARE(ui->ingresoInbox->text(), datos() + QStringLiteral("/sms_recibidos.csv"));
        QCOMPARE(ui->comboFecha->currentText(), QStringLiteral("--inmediato--"));
        QCOMPARE(ui->NgwKey->text(), QString());
        QCOMPARE(ui->tabWidget->currentIndex(), 3);
        QVERIFY(ui->labelVersion->text().endsWith(QLatin1String(nbsms_version::kVersion)));
        // Nothing is written for the three paths until the operator browses one.
        QVERIFY(!ajustes::contiene(ajustes::Clave::FolderErrores));
        QVERIFY(!ajustes::contiene(ajustes::Clave::FolderBackups));
        QVERIFY(!ajustes::contiene(ajustes::Clave::FolderInbox));
        QVERIFY(QDir(datos()).exists());
        const QString salidas = datos() + QStringLiteral("/salidas.csv");
        QCOMPARE(
            w.motivoRutaRechazada(salidas, ui->ingresoErrores),
            QStringLiteral("%1 no puede ser el archivo de errores: ese archivo ya es la bandeja de salida.")
                .arg(salidas));
        // Paused at start, as stored.
        QVERIFY(ui->pushPlay->isEnabled());
        QVERIFY(!ui->pushPause->isEnabled());
        QVERIFY(!ui->progressBar->isEnabled());
        QCOMPARE(ui->progressBar->maximum(), 100);
        QCOMPARE(w.servicio()->trabajador()->comando(), int(EST_PAUSA));
        // Without a list the field dialog offers four numbered columns.
        QCOMPARE(w.obtenerColumnas(), (QStringList{"#1", "#2", "#3", "#4"}));
        // The manual number accepts digits only.
        QVERIFY(ui->NumDestino->validator());
        QTest::keyClicks(ui->NumDestino, QStringLiteral("12a3"));
        QCOMPARE(ui->NumDestino->text(), QStringLiteral("123"));
    }

    void claveYPestana_data()
    {
        QTest::addColumn<QString>("guardada");
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("mostrada");
        QTest::addColumn<QString>("alTrabajador");
        QTest::addColumn<int>("pestana");
        QTest::newRow("solo prefijo") << "key="
                                      << ""
                                      << ""
                                      << "key=" << 3;
        QTest::newRow("con prefijo") << "key=1234"
                                     << "127.0.0.1:9"
                                     << "1234"
                                     << "key=1234" << 1;
        QTest::newRow("sin prefijo") << "abcd"
                                     << "127.0.0.1:9"
                                     << "abcd"
                                     << "key=abcd" << 1;
        QTest::newRow("prefijo dos veces") << "key=key=9"
                                           << "127.0.0.1:9"
                                           << "9"
                                           << "key=9" << 1;
        QTest::newRow("sin ip") << "key=1"
                                << ""
                                << "1"
                                << "key=1" << 3;
    }

    void claveYPestana()
    {
        QFETCH(QString, guardada);
        QFETCH(QString, ip);
        QFETCH(QString, mostrada);
        QFETCH(QString, alTrabajador);
        QFETCH(int, pestana);
        guardar(ajustes::Clave::KeyGateway, guardada);
        guardar(ajustes::Clave::IpGateway, ip);
        MainWindow w;
        QCOMPARE(w.formulario()->NgwKey->text(), mostrada);
        QCOMPARE(w.servicio()->trabajador()->conexion()->clave(), alTrabajador);
        QCOMPARE(w.formulario()->tabWidget->currentIndex(), pestana);
    }

    void marcaVacioEnRutas()
    {
        guardar(ajustes::Clave::FolderBackups, QStringLiteral("vacio"));
        guardar(ajustes::Clave::FolderInbox, QStringLiteral("/otra/inbox.csv"));
        MainWindow w;
        QCOMPARE(w.formulario()->ingresoBackups->text(), datos() + QStringLiteral("/backup.csv"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::FolderBackups), datos() + QStringLiteral("/backup.csv"));
        QCOMPARE(w.formulario()->ingresoInbox->text(), QStringLiteral("/otra/inbox.csv"));
    }

    void vigilanciaBloqueaControles()
    {
        guardar(ajustes::Clave::CheckVerifPer, true);
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        QVERIFY(ui->checkVerifPer->isChecked());
        QVERIFY(!ui->checkVerifPer->isEnabled());
        QVERIFY(!ui->comboCelular->isEnabled());
        QVERIFY(!ui->pushAgregarListaToOutbox->isEnabled());
        QVERIFY(!ui->BuscarArchivo->isEnabled());
        QVERIFY(ui->pushDetenerEnvioSMS->isEnabled());

        ui->pushDetenerEnvioSMS->click();
        QVERIFY(ui->comboCelular->isEnabled());
        QVERIFY(!ui->pushDetenerEnvioSMS->isEnabled());
        QCOMPARE(ajustes::leer(ajustes::Clave::CheckVerifPer).toBool(), false);
        // With the watch off the button does nothing more.
        w.on_pushDetenerEnvioSMS_clicked();
        QVERIFY(ui->comboCelular->isEnabled());
    }

    void playYPausa()
    {
        guardar(ajustes::Clave::EnvioActivado, true);
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        QCOMPARE(w.servicio()->trabajador()->comando(), int(EST_PLAY));
        // Switched on, but it moves only while a request is in flight.
        QCOMPARE(ui->progressBar->maximum(), 100);
        QVERIFY(ui->progressBar->isEnabled());
        QVERIFY(!ui->pushPlay->isEnabled());
        ui->pushPause->click();
        QCOMPARE(w.servicio()->trabajador()->comando(), int(EST_PAUSA));
        QCOMPARE(ajustes::leer(ajustes::Clave::EnvioActivado).toBool(), false);
        QCOMPARE(ui->progressBar->maximum(), 100);
        ui->pushPlay->click();
        QCOMPARE(ajustes::leer(ajustes::Clave::EnvioActivado).toBool(), true);
    }

    // The texts are the gateway's (tested there); here, that the poll puts together what the
    // worker and its connection report: the pause, a given-up state waiting for its retry, the
    // schedule. The tray's tooltip carries the same text and the counters.
    void textoDeEstado_data()
    {
        QTest::addColumn<int>("estado");
        QTest::addColumn<bool>("enviando");
        QTest::addColumn<int>("horas");
        QTest::addColumn<QString>("texto");
        const int todas = ajustes::kTodasLasHoras;
        QTest::newRow("pausa") << EST_CONEX_ERROR << false << todas << "Pausado";
        QTest::newRow("libre") << EST_CONEX_LIBRE << true << todas << "Libre";
        QTest::newRow("error") << EST_CONEX_ERROR << true << todas << "Error de conexion (reintento en 30 s)";
        QTest::newRow("sin lugar") << EST_CONEX_SIN_LUGAR << true << todas
                                   << "Sin lugar en el gateway (reintento en 30 s)";
        QTest::newRow("fuera de horario") << EST_CONEX_LIBRE << true << 0 << "Fuera de horario";
    }

    void textoDeEstado()
    {
        QFETCH(int, estado);
        QFETCH(bool, enviando);
        QFETCH(int, horas);
        QFETCH(QString, texto);
        const QDateTime momento(QDate(2026, 6, 15), QTime(10, 0));
        reloj::fijar([momento] { return momento; });
        guardar(ajustes::Clave::CheckHorarios, horas);
        MainWindow w;
        w.servicio()->trabajador()->conexion()->setEstado(estado);
        if (enviando)
            w.on_pushPlay_clicked();
        // The worker's cycle runs on its own thread: the label follows within a second.
        auto etiqueta = [&w] {
            w.PoleoArchivo();
            return w.formulario()->labelEstado->text();
        };
        QTRY_COMPARE(etiqueta(), texto);
        // Nothing is in flight: the bar stands still.
        QCOMPARE(w.formulario()->progressBar->maximum(), 100);
        const QString ayuda = w.findChild<QSystemTrayIcon *>()->toolTip();
        QVERIFY2(ayuda.contains(texto) && ayuda.contains(QLatin1String("SMS pendientes: 0")),
                 qPrintable(ayuda));
        reloj::fijar(nullptr);
    }

    // Without a tray (offscreen) the notifications go to the status bar: new received messages,
    // a stoppage longer than two minutes (once), its end.
    void avisosEnLaBarraDeEstado()
    {
        const QDateTime inicio(QDate(2026, 6, 15), QTime(10, 0));
        const auto aLos = [&inicio](qint64 ms) { reloj::fijar([t = inicio.addMSecs(ms)] { return t; }); };
        aLos(0);
        MainWindow w;
        QStatusBar *barra = w.statusBar();
        auto mensaje = [&] {
            w.PoleoArchivo();
            return barra->currentMessage();
        };
        QFile f(datos() + QStringLiteral("/sms_recibidos.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\"15/06/2026\",\"1\",\"a\"\n\"15/06/2026\",\"2\",\"b\"\n");
        f.close();
        w.servicio()->recontar(false);
        QCOMPARE(mensaje(), QStringLiteral("2 SMS recibido(s)."));

        // An address that is no address: every retry fails the same way.
        conexion_ngw *c = w.servicio()->trabajador()->conexion();
        c->setConexion(QStringLiteral("key=1"), QStringLiteral("no es una direccion"));
        c->setEstado(EST_CONEX_ERROR);
        w.on_pushPlay_clicked();
        QTRY_VERIFY(w.servicio()->instantanea().detenidoPorFalla);
        w.PoleoArchivo();
        aLos(120000);
        QCOMPARE(mensaje(), QStringLiteral("2 SMS recibido(s)."));
        aLos(120001);
        QTRY_COMPARE(mensaje(),
                     QStringLiteral("El envío de SMS está detenido hace más de 2 minutos (Error de "
                                    "conexion). NBsms lo reintenta solo."));
        // The retry that came due has failed too; the clock stands, so no other comes.
        QTRY_COMPARE(w.servicio()->instantanea().situacion.segundosReintento, 60);
        barra->clearMessage();
        QVERIFY(mensaje().isEmpty());

        c->setEstado(EST_CONEX_LIBRE);
        QTRY_VERIFY(!w.servicio()->instantanea().detenidoPorFalla);
        QCOMPARE(mensaje(), QStringLiteral("El envío de SMS se reanudó."));
        reloj::fijar(nullptr);
    }

    void pedidoDeRestaurar()
    {
        auto segmento = instancia_unica::crearSegmento();
        QVERIFY(instancia_unica::iniciar(*segmento));
        MainWindow w;
        w.hide();
        instancia_unica::escribirToken(*segmento, instancia_unica::kRestaurar);
        w.PoleoArchivo();
        QVERIFY(w.isVisible());
        QCOMPARE(instancia_unica::leerContenido(), QByteArray("nbsms_corriendo"));
    }

    // TAB in a message field moves on: an SMS never carries a TAB.
    void tabNoEntraEnElMensaje_data()
    {
        QTest::addColumn<QString>("campo");
        QTest::newRow("manual") << "TextoManual";
        QTest::newRow("plantilla") << "editFormatoSMS";
    }
    void tabNoEntraEnElMensaje()
    {
        QFETCH(QString, campo);
        MainWindow w;
        auto *texto = w.findChild<QWidget *>(campo);
        QVERIFY(texto);
        QTest::keyClicks(texto, QStringLiteral("Hola"));
        QTest::keyClick(texto, Qt::Key_Tab);
        QTest::keyClicks(texto, QStringLiteral("x"));
        const QString escrito = texto->property("plainText").toString();
        QVERIFY2(!escrito.contains(QLatin1Char('\t')), qPrintable(escrito));
    }

    void cerrarYMinimizarOcultan()
    {
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.close();
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QVERIFY(!w.isVisible());
        else
            QVERIFY(w.isMinimized()); // no tray to come back from: minimized, never hidden
        w.iconActivated(QSystemTrayIcon::Trigger);
        QVERIFY(w.isVisible());
        QVERIFY(!w.isMinimized());
        w.hide();
        w.iconActivated(QSystemTrayIcon::Context);
        QVERIFY(!w.isVisible());
        w.iconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(w.isVisible());

        auto *bandeja = w.findChild<QSystemTrayIcon *>();
        QVERIFY(bandeja && bandeja->contextMenu());
        const QList<QAction *> menu = bandeja->contextMenu()->actions();
        QCOMPARE(menu.size(), 4);
        QCOMPARE(menu.at(0)->text(), QStringLiteral("Restaurar"));
        // Offered only while sending stands still by a failure.
        QCOMPARE(menu.at(1)->text(), QStringLiteral("Reintentar ahora"));
        QVERIFY(!menu.at(1)->isVisible());
        QVERIFY(menu.at(2)->isSeparator());
        QCOMPARE(menu.at(3)->text(), QStringLiteral("Salir"));
    }

    void direccionYClaveSeGuardan()
    {
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        ui->IPGateway->setFocus();
        QTest::keyClicks(ui->IPGateway, QStringLiteral("10.0. 0.1"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::IpGateway), QStringLiteral("10.0.0.1"));
        w.on_IPGateway_editingFinished();
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::IpGateway), QStringLiteral("10.0. 0.1"));
        QTest::keyClicks(ui->NgwKey, QStringLiteral(" ab c "));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::KeyGateway), QStringLiteral("abc"));
        // Editing does not reach the running connection.
        QCOMPARE(w.servicio()->trabajador()->conexion()->ip(), QString());
    }

    // What the program sets is never stored; the operator's next choice always is, also after a
    // watched import that left the phone column as it was.
    void eleccionDelOperadorSeGuarda()
    {
        const QString lista = ajustes::carpetaUsuario().path() + QStringLiteral("/lista.csv");
        guardar(ajustes::Clave::ColumnaFecha, QStringLiteral("#2"));
        guardar(ajustes::Clave::ColumnaCelular, QStringLiteral("celular"));
        guardar(ajustes::Clave::ListaNombreFila, lista);
        guardar(ajustes::Clave::FormatoSms, QStringLiteral("Hola"));
        guardar(ajustes::Clave::CheckVerifPer, true);
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        QCOMPARE(ui->comboFecha->currentText(), QStringLiteral("#2"));
        ui->comboFecha->setCurrentText(QStringLiteral("fecha"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaFecha), QStringLiteral("fecha"));

        QFile f(lista);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("nombre,celular\nAna,111\n");
        f.close();
        w.PoleoArchivo();
        w.PoleoArchivo(); // unchanged since the last tick: imported
        QVERIFY(!QFile::exists(lista));
        QCOMPARE(ui->comboCelular->currentText(), QStringLiteral("celular"));

        ui->pushDetenerEnvioSMS->click();
        ui->comboCelular->setCurrentText(QStringLiteral("nombre"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaCelular), QStringLiteral("nombre"));
        ui->ingresoLista->setText(QStringLiteral("/m.csv"));
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::ListaNombreFila), QStringLiteral("/m.csv"));
    }

    void botonesDeRutas_data()
    {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("titulo");
        QTest::addColumn<QString>("campo");
        QTest::addColumn<int>("numeroClave");
        QTest::newRow("errores") << "BuscarCarpetaOuts"
                                 << "Buscar salidas"
                                 << "ingresoErrores" << int(ajustes::Clave::FolderErrores);
        QTest::newRow("backups") << "BuscarCarpetaBackups"
                                 << "Buscar backups"
                                 << "ingresoBackups" << int(ajustes::Clave::FolderBackups);
        QTest::newRow("inbox") << "BuscarInbox"
                               << "Buscar inbox"
                               << "ingresoInbox" << int(ajustes::Clave::FolderInbox);
    }

    void botonesDeRutas()
    {
        QFETCH(QString, boton);
        QFETCH(QString, titulo);
        QFETCH(QString, campo);
        QFETCH(int, numeroClave);
        const auto clave = ajustes::Clave(numeroClave);
        MainWindow w;
        auto *b = w.findChild<QAbstractButton *>(boton);
        auto *linea = w.findChild<QLineEdit *>(campo);
        QVERIFY(b && linea);
        const QString antes = linea->text();

        DialogoArchivo::fijarSiguienteArchivo(QString()); // cancelled
        b->click();
        QCOMPARE(linea->text(), antes);
        QVERIFY(!ajustes::contiene(clave));

        DialogoArchivo::fijarSiguienteArchivo(QStringLiteral("/elegido.csv"));
        b->click();
        QCOMPARE(linea->text(), QStringLiteral("/elegido.csv"));
        QCOMPARE(ajustes::leerTexto(clave), QStringLiteral("/elegido.csv"));

        const DialogoArchivo::Pedido pedido = DialogoArchivo::pedidos().last();
        QCOMPARE(pedido.titulo, titulo);
        QCOMPARE(pedido.carpeta, datos());
        QCOMPARE(pedido.filtro, QStringLiteral("CSV Files (*.csv)"));
    }

    void arrancarMinimizadoSeGuarda()
    {
        MainWindow w;
        w.formulario()->checkMinimizar->click();
        QCOMPARE(ajustes::leer(ajustes::Clave::StartMinimized).toBool(), true);
        MainWindow otra;
        QVERIFY(otra.formulario()->checkMinimizar->isChecked());
        // Hidden in the tray; with no tray to come back from, minimized instead, never hidden.
        otra.mostrarAlArrancar();
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QVERIFY(!otra.isVisible());
        else
            QVERIFY(otra.isVisible() && otra.isMinimized());
    }

    // The box writes and removes the session's entry and shows the entry itself, not the stored
    // key: an entry removed by hand unticks it, at start and when the configuration page is shown.
    void iniciarConSesion()
    {
        const QString entrada = autoarranque::ubicacion();
        MainWindow w;
        Ui::MainWindow *ui = w.formulario();
        QVERIFY(!ui->checkIniciarConSesion->isChecked());
        ui->checkIniciarConSesion->click();
        QVERIFY(autoarranque::activo());
        QVERIFY(ui->checkIniciarConSesion->isChecked());
        QCOMPARE(ajustes::leerBool(ajustes::Clave::Autoarranque), true);

#ifdef Q_OS_WIN
        // The per-user Run key's value names this program, in the tray.
        const QString clave =
            QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
        QCOMPARE(entrada, clave + QStringLiteral("\\NBsms"));
        QSettings run(clave, QSettings::NativeFormat);
        QCOMPARE(run.value(QStringLiteral("NBsms")).toString(),
                 QStringLiteral("\"%1\" --minimizado")
                     .arg(QDir::toNativeSeparators(QCoreApplication::applicationFilePath())));
        run.remove(QStringLiteral("NBsms"));
        run.sync();
#else
        QVERIFY(QFile::remove(entrada));
#endif
        ui->tabWidget->setCurrentIndex(1);
        ui->tabWidget->setCurrentIndex(3);
        QVERIFY(!ui->checkIniciarConSesion->isChecked());
        QCOMPARE(ajustes::leerBool(ajustes::Clave::Autoarranque), false);

        ajustes::escribir(ajustes::Clave::Autoarranque, true);
        QVERIFY(!MainWindow().formulario()->checkIniciarConSesion->isChecked());
        QCOMPARE(ajustes::leerBool(ajustes::Clave::Autoarranque), false);
#ifdef Q_OS_WIN
        return; // the per-user Run key cannot be made unwritable from here
#endif

        // An entry that cannot be written is told, and the box stays as the entry is.
        const QString carpeta = QFileInfo(entrada).path();
        QDir(carpeta).removeRecursively();
        QVERIFY(QFile(carpeta).open(QIODevice::WriteOnly));
        ui->checkIniciarConSesion->click();
        QVERIFY(!ui->checkIniciarConSesion->isChecked());
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().constFirst().titulo, QStringLiteral("Error!"));
        QVERIFY(QFile::remove(carpeta));
    }

    // Asked on the command line (the session's autostart): hidden like the stored option, which
    // stays as it was.
    void arrancarMinimizadoPorLineaDeComandos()
    {
        MainWindow w;
        QVERIFY(!w.formulario()->checkMinimizar->isChecked());
        w.mostrarAlArrancar(true);
        if (QSystemTrayIcon::isSystemTrayAvailable())
            QVERIFY(!w.isVisible());
        else
            QVERIFY(w.isVisible() && w.isMinimized());
        QVERIFY(!w.formulario()->checkMinimizar->isChecked());
        QVERIFY(!ajustes::contiene(ajustes::Clave::StartMinimized));
    }

    // The desktop session ends: the window lets itself be closed and the program quits.
    void finDeSesionCierra()
    {
        MainWindow w;
        w.show();
        QCloseEvent antes;
        QApplication::sendEvent(&w, &antes);
        QVERIFY(!antes.isAccepted());
        QVERIFY(QMetaObject::invokeMethod(&w, "terminarSesion"));
        QCloseEvent despues;
        QApplication::sendEvent(&w, &despues);
        QVERIFY(despues.isAccepted());
    }

    // A message box closed while the window is hidden in the tray does not end the program.
    void cajaConVentanaOcultaNoTermina()
    {
        MainWindow w;
        w.hide();
        QObject contexto;
        bool siguio = false;
        QTimer::singleShot(0, &contexto, [&] {
            auto *caja = new QMessageBox(QMessageBox::Warning, QStringLiteral("t"), QStringLiteral("x"));
            caja->setAttribute(Qt::WA_DeleteOnClose);
            caja->show();
            QTimer::singleShot(50, caja, &QWidget::close);
            QTimer::singleShot(500, &contexto, [&] {
                siguio = true;
                QCoreApplication::quit();
            });
        });
        QCoreApplication::exec();
        QVERIFY(siguio);
    }

    // Outside test mode the helpers keep no record of what they showed.
    void cuadrosSinRegistroFueraDePrueba()
    {
        CuadroMensaje::activarModoPrueba(false);
        QTimer cerrar;
        connect(&cerrar, &QTimer::timeout, [] {
            if (QWidget *caja = QApplication::activeModalWidget())
                caja->close();
        });
        cerrar.start(10);
        CuadroMensaje::mostrar(QStringLiteral("t"), QStringLiteral("texto"));
        CuadroMensaje::activarModoPrueba(true);
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
    }
};

NBSMS_TEST_MAIN(PruebaVentana)
#include "prueba_ventana.moc"
