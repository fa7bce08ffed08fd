#include "app/mainwindow.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/privacidad.h"
#include "app/autoarranque.h"
#include "app/instalacion.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/protocolo_ngw.h"
#include "lista/archivos_datos.h"
#include "nbsms_version.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QIcon>
#include <QMenu>
#include <QRegExpValidator>
#include <QSettings>
#include <QThreadPool>
#include <QTimer>
#include <QTransform>
#include <QUrl>

namespace {
const char kIconoPrograma[] = ":/images/images/nbsms.ico";
// Longest wait for the worker and a request in flight when the program ends; the requests'
// own time-outs are shorter.
constexpr int kEsperaSalidaMs = 90000;
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);

    carpetaDatos = ajustes::prepararCarpetaDatos();
    on_pushActualizar_clicked();

    ui->progressBar->setEnabled(false);
    ui->pushPlay->setEnabled(true);
    ui->pushPause->setEnabled(false);
    ui->NumDestino->clear();

    crearBandeja();
    ajustes::fijarIdentidad();
    cargarAjustes();
    habilitarControlesLista(!ui->checkVerifPer->isChecked());
    rotarIconosPestanas();
    connect(ui->tabWidget, &QTabWidget::currentChanged, this, [this](int pestana) {
        if (ui->tabWidget->widget(pestana) == ui->tab)
            mostrarAutoarranque();
    });
    setWindowIcon(QIcon(QString::fromLatin1(kIconoPrograma)));

    columnasHeader = separarLinea(ajustes::leerTexto(ajustes::Clave::HeaderList));
    if (!ui->ingresoLista->text().isEmpty())
        detectarSegunFormato(ui->ingresoLista->text(), false);
    sinGuardar(ui->comboCelular,
               [&] { ui->comboCelular->setCurrentText(ajustes::leerTexto(ajustes::Clave::ColumnaCelular)); });
    const QString fecha = ajustes::leerTexto(ajustes::Clave::ColumnaFecha);
    sinGuardar(ui->comboFecha, [&] {
        // The first item added to an empty combo becomes its current text: the date column just
        // restored is set again after it.
        ui->comboFecha->setCurrentText(fecha);
        if (ui->comboFecha->findText(QString::fromLatin1(ajustes::kInmediato)) < 0)
            ui->comboFecha->addItem(QString::fromLatin1(ajustes::kInmediato));
        ui->comboFecha->setCurrentText(fecha);
    });
    // The template was loaded before the list's columns were known.
    on_editFormatoSMS_textChanged();
    on_TextoManual_textChanged();

    // Before anything opens a data file: a history opened while still read-only for its owner
    // would stay so all session. The home folder itself, when it serves as the data folder, is
    // left as the user keeps it.
    privacidad::restringirCarpeta(carpetaDatos == ajustes::carpetaUsuario() ? QString()
                                                                            : carpetaDatos.absolutePath());
    privacidad::restringirArchivo(QSettings().fileName());
    archivoSalidas = carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas));
    worker = new threads(protocolo_ngw::gatewayDe(ui->IPGateway->text(), ui->NgwKey->text()), archivoSalidas);
    iniciarHistorial();
    // A pool of its own, so that ending this window waits for this worker only.
    poolEnvio = new QThreadPool(this);
    poolEnvio->setMaxThreadCount(1);
    poolEnvio->start(worker, 0);
    // A session that ends (sign-out, shutdown) must not be held up by a window that refuses to
    // close, and must end through the same orderly path as "Salir".
    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::terminarSesion);
    ui->progressBar->setMaximum(100);

    aplicarMarcaVacio();
    worker->contarEnviados();
    worker->contarRecibidos();
    worker->contarPendientes();
    trayIcon->setIcon(QIcon(QString::fromLatin1(kIconoPrograma)));
    trayIcon->show();

    temporizador = new QTimer(this);
    connect(temporizador, &QTimer::timeout, this, &MainWindow::PoleoArchivo);
    temporizador->start(1000);

    const bool faltaConfigurar = ui->IPGateway->text().isEmpty() || ui->NgwKey->text().isEmpty() ||
                                 ui->ingresoInbox->text().isEmpty() || ui->ingresoBackups->text().isEmpty() ||
                                 ui->ingresoErrores->text().isEmpty();
    ui->tabWidget->setCurrentIndex(faltaConfigurar ? 3 : 1);

    columnasDefecto =
        QStringList{QStringLiteral("#1"), QStringLiteral("#2"), QStringLiteral("#3"), QStringLiteral("#4")};

    if (ajustes::leerBool(ajustes::Clave::EnvioActivado))
        on_pushPlay_clicked();
    else
        on_pushPause_clicked();

    if (ui->checkMinimizar->isChecked() && !ocultarEnBandeja())
        showMinimized();

    ui->NumDestino->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("(\\d+)")), this));
}

MainWindow::~MainWindow()
{
    terminarEnvio();
    liberarHistorial();
    delete ui;
    ui = nullptr;
}

void MainWindow::mostrarAlArrancar(bool minimizado)
{
    show();
    if ((minimizado || ui->checkMinimizar->isChecked()) && !ocultarEnBandeja())
        showMinimized();
}

void MainWindow::terminarEnvio()
{
    if (!worker)
        return;
    if (temporizador)
        temporizador->stop();
    worker->fijarComando(EST_SALIR);
    worker->conexion()->detener();
    // The reply of a request in flight is still handled here (the connection lives in this
    // thread); the request's own time-outs bound the wait, this limit only guards against a bug.
    const QDeadlineTimer limite(kEsperaSalidaMs);
    auto listo = [this] { return !worker->enBucle() && !worker->conexion()->isOcupado(); };
    if (!listo()) {
        QEventLoop bucle;
        QTimer sondeo;
        connect(&sondeo, &QTimer::timeout, &bucle, [&] {
            if (listo() || limite.hasExpired())
                bucle.quit();
        });
        sondeo.start(20);
        // Another quit (a second "Salir", a signal) makes every exec() return at once without
        // taking events, so the reply would never be handled: the events are taken directly.
        while (!listo() && !limite.hasExpired())
            bucle.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!listo()) {
        // Deleting it now would pull the connection from under a live request or loop.
        qCWarning(catApp) << "El envio no termino a tiempo; se abandona sin esperar mas";
        worker = nullptr;
        return;
    }
    // The loop has left run(); the pool's own bookkeeping after it is waited for too.
    poolEnvio->waitForDone(kEsperaSalidaMs);
    avisarAlTerminar();
    volcarHistorial();
    delete worker;
    worker = nullptr;
}

// What cannot be settled at the end is at least said, in the log and in the errors file: a
// message the gateway took but that could not be marked would otherwise go out again at the next
// start unseen, and received messages no file took would be gone without a word.
void MainWindow::avisarAlTerminar()
{
    QStringList lineas;
    qint64 posicion = 0;
    QByteArray registro;
    if (!worker->completarPendiente() && worker->registroEnMano(posicion, registro)) {
        lineas << tr("El gateway aceptó el SMS \"%1\" pero no se pudo marcar como enviado en %2: queda "
                     "en duda y no se envía otra vez; márquelo como enviado en la pestaña Bandeja.")
                      .arg(QString::fromUtf8(registro).trimmed(), archivoSalidas);
    }
    worker->cerrarRetencion();
    for (const registro_sms &r : worker->conexion()->guardarRetenidos())
        lineas << tr("SMS recibido que no se pudo guardar: %1, %2").arg(r.numero, r.mensaje);
    for (const QString &linea : qAsConst(lineas)) {
        qCWarning(catApp).noquote() << linea;
        if (ui)
            archivos_datos::agregarLineaErrores(ui->ingresoErrores->text(), linea);
    }
}

void MainWindow::terminarSesion()
{
    terminandoSesion = true;
    QCoreApplication::quit();
}

void MainWindow::crearBandeja()
{
    // Hidden in the tray, the window is no reason to end when a message box closes: every way
    // out quits explicitly ("Salir", a signal, the end of the session).
    QApplication::setQuitOnLastWindowClosed(false);
    restoreAction = new QAction(tr("Restaurar"), this);
    connect(restoreAction, &QAction::triggered, this, &QWidget::showNormal);
    quitAction = new QAction(tr("Salir"), this);
    connect(quitAction, &QAction::triggered, qApp, &QCoreApplication::quit);

    trayMenu = new QMenu(this);
    trayMenu->addAction(restoreAction);
    trayMenu->addSeparator();
    trayMenu->addAction(quitAction);

    trayIcon = new QSystemTrayIcon(this);
    trayIcon->setContextMenu(trayMenu);
    connect(trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::iconActivated);
    // Made visible once it has an icon; a tray entry without one cannot be shown.
}

void MainWindow::cargarAjustes()
{
    using namespace ajustes;
    formato = lista::formatoGuardado();

    sinGuardar(ui->ingresoLista, [&] {
        ui->ingresoLista->clear();
        ui->ingresoLista->setText(leerTexto(Clave::ListaNombreFila));
    });
    ui->IPGateway->setText(leerTexto(Clave::IpGateway));
    ui->checkVerifPer->setChecked(leerBool(Clave::CheckVerifPer));
    ui->NgwKey->setText(protocolo_ngw::claveSinPrefijo(leerTexto(Clave::KeyGateway)));
    ui->ingresoBackups->setText(leerTexto(Clave::FolderBackups));
    ui->ingresoErrores->setText(leerTexto(Clave::FolderErrores));
    ui->ingresoInbox->setText(leerTexto(Clave::FolderInbox));
    ui->editFormatoSMS->setPlainText(leerTexto(Clave::FormatoSms));
    ui->checkMinimizar->setChecked(leerBool(Clave::StartMinimized));
    ui->checkIniciarConSesion->setVisible(autoarranque::disponible());
    mostrarAutoarranque();
}

void MainWindow::aplicarMarcaVacio()
{
    using namespace ajustes;
    ui->ingresoBackups->setText(resolverVacio(Clave::FolderBackups));
    ui->ingresoInbox->setText(resolverVacio(Clave::FolderInbox));
    ui->ingresoErrores->setText(resolverVacio(Clave::FolderErrores));
}

void MainWindow::rotarIconosPestanas()
{
    const qreal angulo = ui->tabWidget->tabPosition() == QTabWidget::East ? -90 : 90;
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        const QIcon icono = ui->tabWidget->tabIcon(i);
        const QList<QSize> tamanos = icono.availableSizes(QIcon::Normal, QIcon::Off);
        QSize mayor;
        for (const QSize &t : tamanos) {
            if (t.width() > mayor.width())
                mayor = t;
        }
        if (!mayor.isValid())
            continue;
        const QPixmap pixmap = icono.pixmap(mayor, QIcon::Normal, QIcon::Off);
        QTransform giro;
        giro.rotate(angulo, Qt::ZAxis);
        ui->tabWidget->setTabIcon(i, QIcon(pixmap.transformed(giro, Qt::FastTransformation)));
    }
}

void MainWindow::on_pushActualizar_clicked()
{
    ui->labelVersion->setText(tr("NBsms versión %1").arg(QLatin1String(nbsms_version::kVersion)));
    const QString carpetaPrograma = QCoreApplication::applicationDirPath();
    QString pagina = instalacion::paginaAyuda(carpetaPrograma);
    if (pagina.isEmpty()) {
        const QStringList lugares = instalacion::lugaresAyuda(carpetaPrograma);
        qCWarning(catApp).noquote() << "No se encontro la pagina de ayuda en"
                                    << lugares.join(QStringLiteral(", "));
        pagina = lugares.constFirst();
    } else {
        qCDebug(catApp).noquote() << "ayuda=" << pagina;
    }
#ifdef NBSMS_WEBKIT
    ui->webView->load(QUrl::fromLocalFile(pagina));
#else
    ui->webView->setSource(QUrl::fromLocalFile(pagina));
#endif
}

void MainWindow::habilitarControlesLista(bool habilitar)
{
    QWidget *const controles[] = {
        ui->comboCelular, ui->comboFecha,      ui->checkVerifPer,    ui->editFormatoSMS,
        ui->ingresoLista, ui->TransformadaSMS, ui->pushAgregarCampo, ui->pushAgregarListaToOutbox,
        ui->cfgLista,     ui->BuscarArchivo};
    for (QWidget *w : controles)
        w->setEnabled(habilitar);
    ui->pushDetenerEnvioSMS->setEnabled(!habilitar);
    ajustes::escribir(ajustes::Clave::CheckVerifPer, !habilitar);
}

bool MainWindow::leerVerifPer() const
{
    return ajustes::leerBool(ajustes::Clave::CheckVerifPer);
}

bool MainWindow::ocultarEnBandeja()
{
    // Without a system tray a hidden window could never be found again: minimize instead.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        hide();
        return true;
    }
    return false;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (terminandoSesion) {
        event->accept();
        return;
    }
    event->ignore();
    if (!ocultarEnBandeja())
        showMinimized();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        ocultarEnBandeja();
}

void MainWindow::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
    case QSystemTrayIcon::Trigger:
        showNormal();
        break;
    default:
        break;
    }
}

void MainWindow::on_pushPlay_clicked()
{
    worker->fijarComando(EST_PLAY);
    ui->progressBar->setEnabled(true);
    ui->pushPlay->setEnabled(false);
    ui->pushPause->setEnabled(true);
    ajustes::escribir(ajustes::Clave::EnvioActivado, true);
    mostrarSituacion();
}

void MainWindow::on_pushPause_clicked()
{
    worker->fijarComando(EST_PAUSA);
    ui->progressBar->setEnabled(false);
    ui->pushPause->setEnabled(false);
    ui->pushPlay->setEnabled(true);
    ajustes::escribir(ajustes::Clave::EnvioActivado, false);
    mostrarSituacion();
}
