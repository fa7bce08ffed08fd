#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/protocolo_ngw.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMenu>
#include <QRegExpValidator>
#include <QSignalBlocker>
#include <QThreadPool>
#include <QTimer>
#include <QTransform>
#include <QUrl>

namespace {
const char kIconoPrograma[] = ":/images/images/nbsms.ico";
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), tieneHeader(false), separaComillas(false), usarComa(false), usarTab(false),
      filaVistaPrevia(0), truncados(0), faltaObligatorio(0), worker(nullptr), ui(new Ui::MainWindow),
      restoreAction(nullptr), quitAction(nullptr), trayIcon(nullptr), trayMenu(nullptr), cantidadColumnas(0),
      omitirGuardadoLista(true), omitirGuardadoCelular(true), omitirGuardadoFecha(true)
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
    setWindowIcon(QIcon(QString::fromLatin1(kIconoPrograma)));

    columnasHeader = separarLinea(ajustes::leer(ajustes::kHeaderList, QString()).toString());
    if (!ui->ingresoLista->text().isEmpty()) {
        omitirGuardadoCelular = true;
        omitirGuardadoFecha = true;
        if (tieneHeader)
            detectarColumnasConHeader(ui->ingresoLista->text(), false);
        else
            detectarColumnasSinHeader(ui->ingresoLista->text(), false);
    }
    omitirGuardadoCelular = true;
    ui->comboCelular->setCurrentText(ajustes::leer(ajustes::kColumnaCelular, QString()).toString());
    const QString fecha =
        ajustes::leer(ajustes::kColumnaFecha, QString::fromLatin1(ajustes::kColumnaFechaDefecto)).toString();
    omitirGuardadoFecha = true;
    ui->comboFecha->setCurrentText(fecha);
    {
        // The first item added to an empty combo becomes its current text, which would replace
        // (and store over) the date column just restored.
        const QSignalBlocker bloqueo(ui->comboFecha);
        ui->comboFecha->addItem(QString::fromLatin1(ajustes::kInmediato));
        ui->comboFecha->setCurrentText(fecha);
    }

    archivoSalidas = carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas));
    worker = new threads(claveParaConexion(ui->NgwKey->text()),
                         protocolo_ngw::recortarEspacios(ui->IPGateway->text()), archivoSalidas);
    QThreadPool::globalInstance()->start(worker, 0);
    ui->progressBar->setMaximum(100);

    aplicarMarcaVacio();
    worker->contarEnviados();
    worker->contarRecibidos();
    worker->contarPendientes();
    trayIcon->setIcon(QIcon(QString::fromLatin1(kIconoPrograma)));
    trayIcon->show();

    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, &MainWindow::PoleoArchivo);
    timer->start(1000);

    const bool faltaConfigurar = ui->IPGateway->text().isEmpty() || ui->NgwKey->text().isEmpty() ||
                                 ui->ingresoInbox->text().isEmpty() || ui->ingresoBackups->text().isEmpty() ||
                                 ui->ingresoErrores->text().isEmpty();
    ui->tabWidget->setCurrentIndex(faltaConfigurar ? 3 : 1);

    columnasDefecto =
        QStringList{QStringLiteral("#1"), QStringLiteral("#2"), QStringLiteral("#3"), QStringLiteral("#4")};

    if (ajustes::leer(ajustes::kEnvioActivado, ajustes::kEnvioActivadoDefecto).toBool())
        on_pushPlay_clicked();
    else
        on_pushPause_clicked();

    if (ui->checkMinimizar->isChecked())
        hide();

    omitirGuardadoLista = false;
    omitirGuardadoCelular = false;
    omitirGuardadoFecha = false;

    ui->NumDestino->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("(\\d+)")), this));
}

MainWindow::~MainWindow()
{
    delete ui;
    ui = nullptr;
    // The pool deletes the worker once its loop has seen this and returned.
    if (worker)
        worker->comando = EST_SALIR;
}

void MainWindow::crearBandeja()
{
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
    tieneHeader = leer(kTieneHeader, kTieneHeaderDefecto).toBool();
    separaComillas = leer(kSeparaComillas, kSeparaComillasDefecto).toBool();
    usarComa = leer(kUsarComa, kUsarComaDefecto).toBool();
    usarTab = leer(kUsarTab, kUsarTabDefecto).toBool();

    ui->ingresoLista->clear();
    ui->ingresoLista->setText(leer(kListaNombreFila, QString()).toString());
    ui->IPGateway->setText(leer(kIpGateway, QString()).toString());
    ui->checkVerifPer->setChecked(leer(kCheckVerifPer, kCheckVerifPerDefecto).toBool());
    QString clave = leer(kKeyGateway, QString::fromLatin1(kKeyGatewayDefecto)).toString();
    clave.remove(QString::fromLatin1(kPrefijoClave));
    ui->NgwKey->setText(clave);
    ui->ingresoBackups->setText(leer(kFolderBackups, rutaPorDefecto(kArchivoBackup)).toString());
    ui->ingresoErrores->setText(leer(kFolderErrores, rutaPorDefecto(kArchivoErrores)).toString());
    ui->ingresoInbox->setText(leer(kFolderInbox, rutaPorDefecto(kArchivoRecibidos)).toString());
    ui->editFormatoSMS->setPlainText(leer(kFormatoSms, QString()).toString());
    ui->checkMinimizar->setChecked(leer(kStartMinimized, kStartMinimizedDefecto).toBool());
}

void MainWindow::aplicarMarcaVacio()
{
    using namespace ajustes;
    ui->ingresoBackups->setText(
        resolverVacio(ui->ingresoBackups->text(), kFolderBackups, rutaPorDefecto(kArchivoBackup)));
    ui->ingresoInbox->setText(
        resolverVacio(ui->ingresoInbox->text(), kFolderInbox, rutaPorDefecto(kArchivoRecibidos)));
    ui->ingresoErrores->setText(
        resolverVacio(ui->ingresoErrores->text(), kFolderErrores, rutaPorDefecto(kArchivoErrores)));
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
    const QString pagina = QCoreApplication::applicationDirPath() + QLatin1Char('/') +
                           QLatin1String(ajustes::kCarpetaAyuda) + QLatin1Char('/') +
                           QLatin1String(ajustes::kArchivoAyuda);
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
    ajustes::escribir(ajustes::kCheckVerifPer, !habilitar);
}

bool MainWindow::leerVerifPer() const
{
    return ajustes::leer(ajustes::kCheckVerifPer, ajustes::kCheckVerifPerDefecto).toBool();
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
    worker->comando = EST_PLAY;
    ui->progressBar->setMaximum(0);
    ui->progressBar->setEnabled(true);
    ui->pushPlay->setEnabled(false);
    ui->pushPause->setEnabled(true);
    ajustes::escribir(ajustes::kEnvioActivado, true);
}

void MainWindow::on_pushPause_clicked()
{
    worker->comando = EST_PAUSA;
    ui->progressBar->setMaximum(100);
    ui->progressBar->setEnabled(false);
    ui->pushPause->setEnabled(false);
    ui->pushPlay->setEnabled(true);
    ajustes::escribir(ajustes::kEnvioActivado, false);
}
