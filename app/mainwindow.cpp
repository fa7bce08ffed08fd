#include "app/mainwindow.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/privacidad.h"
#include "app/autoarranque.h"
#include "app/instalacion.h"
#include "app/pagina_lista.h"
#include "app/pestana_bajas.h"
#include "app/pestanas_historial.h"
#include "gateway/protocolo_ngw.h"
#include "nbsms_version.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QIcon>
#include <QLineEdit>
#include <QMenu>
#include <QRegExpValidator>
#include <QSettings>
#include <QTimer>
#include <QTransform>
#include <QUrl>

namespace {
const char kIconoPrograma[] = ":/images/images/nbsms.ico";
} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), m_ui(new Ui::MainWindow)
{
    m_ui->setupUi(this);

    m_carpetaDatos = ajustes::prepararCarpetaDatos();
    m_lista = std::make_unique<PaginaLista>(m_ui, this, m_carpetaDatos.absolutePath());
    on_pushActualizar_clicked();

    m_ui->progressBar->setEnabled(false);
    m_ui->pushPlay->setEnabled(true);
    m_ui->pushPause->setEnabled(false);
    m_ui->NumDestino->clear();

    crearBandeja();
    ajustes::fijarIdentidad();
    cargarAjustes();
    habilitarControlesLista(!m_ui->checkVerifPer->isChecked());
    rotarIconosPestanas();
    connect(m_ui->tabWidget, &QTabWidget::currentChanged, this, [this](int pestana) {
        if (m_ui->tabWidget->widget(pestana) == m_ui->tab)
            mostrarAutoarranque();
    });
    setWindowIcon(QIcon(QString::fromLatin1(kIconoPrograma)));

    m_lista->cargar();

    // Before anything opens a data file: a history opened while still read-only for its owner
    // would stay so all session. The home folder itself, when it serves as the data folder, is
    // left as the user keeps it.
    privacidad::restringirCarpeta(
        m_carpetaDatos == ajustes::carpetaUsuario() ? QString() : m_carpetaDatos.absolutePath());
    privacidad::restringirArchivo(QSettings().fileName());
    m_servicio = std::make_unique<servicio::ServicioEnvio>(
        m_carpetaDatos, protocolo_ngw::gatewayDe(m_ui->IPGateway->text(), m_ui->NgwKey->text()));
    m_pestanas = std::make_unique<PestanasHistorial>(m_ui, *m_servicio, this);
    m_bajas = std::make_unique<PestanaBajas>(m_ui, *m_servicio, this);
    connect(m_servicio.get(), &servicio::ServicioEnvio::avisoBajas, this, &MainWindow::avisar);
    m_servicio->iniciar();
    // A session that ends (sign-out, shutdown) must not be held up by a window that refuses to
    // close, and must end through the same orderly path as "Salir".
    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::terminarSesion);
    m_ui->progressBar->setMaximum(100);

    aplicarMarcaVacio();
    darRutasAlServicio();
    for (QLineEdit *campo : {m_ui->ingresoErrores, m_ui->ingresoBackups, m_ui->ingresoInbox})
        connect(campo, &QLineEdit::textChanged, this, &MainWindow::darRutasAlServicio);
    m_servicio->recontar(false);
    m_trayIcon->setIcon(QIcon(QString::fromLatin1(kIconoPrograma)));
    m_trayIcon->show();

    m_temporizador = new QTimer(this);
    connect(m_temporizador, &QTimer::timeout, this, &MainWindow::PoleoArchivo);
    m_temporizador->start(1000);

    const bool faltaConfigurar = m_ui->IPGateway->text().isEmpty() || m_ui->NgwKey->text().isEmpty() ||
                                 m_ui->ingresoInbox->text().isEmpty() ||
                                 m_ui->ingresoBackups->text().isEmpty() ||
                                 m_ui->ingresoErrores->text().isEmpty();
    m_ui->tabWidget->setCurrentIndex(faltaConfigurar ? 3 : 1);

    if (ajustes::leerBool(ajustes::Clave::EnvioActivado))
        on_pushPlay_clicked();
    else
        on_pushPause_clicked();

    if (m_ui->checkMinimizar->isChecked() && !ocultarEnBandeja())
        showMinimized();

    m_ui->NumDestino->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("(\\d+)")), this));
}

MainWindow::~MainWindow()
{
    terminarEnvio();
    m_bajas.reset();
    m_pestanas.reset();
    m_servicio.reset();
    delete m_ui;
    m_ui = nullptr;
}

void MainWindow::mostrarAlArrancar(bool minimizado)
{
    show();
    if ((minimizado || m_ui->checkMinimizar->isChecked()) && !ocultarEnBandeja())
        showMinimized();
}

void MainWindow::terminarEnvio()
{
    if (m_temporizador)
        m_temporizador->stop();
    if (m_servicio)
        m_servicio->terminar();
}

void MainWindow::terminarSesion()
{
    m_terminandoSesion = true;
    QCoreApplication::quit();
}

void MainWindow::crearBandeja()
{
    // Hidden in the tray, the window is no reason to end when a message box closes: every way
    // out quits explicitly ("Salir", a signal, the end of the session).
    QApplication::setQuitOnLastWindowClosed(false);
    m_restoreAction = new QAction(tr("Restaurar"), this);
    connect(m_restoreAction, &QAction::triggered, this, &QWidget::showNormal);
    m_quitAction = new QAction(tr("Salir"), this);
    connect(m_quitAction, &QAction::triggered, qApp, &QCoreApplication::quit);

    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(m_restoreAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_quitAction);

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setContextMenu(m_trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::iconActivated);
    // Made visible once it has an icon; a tray entry without one cannot be shown.
}

void MainWindow::cargarAjustes()
{
    using namespace ajustes;

    formulario::sinGuardar(m_ui->ingresoLista, [&] {
        m_ui->ingresoLista->clear();
        m_ui->ingresoLista->setText(leerTexto(Clave::ListaNombreFila));
    });
    m_ui->IPGateway->setText(leerTexto(Clave::IpGateway));
    m_ui->checkVerifPer->setChecked(leerBool(Clave::CheckVerifPer));
    m_ui->NgwKey->setText(protocolo_ngw::claveSinPrefijo(leerTexto(Clave::KeyGateway)));
    m_ui->ingresoBackups->setText(leerTexto(Clave::FolderBackups));
    m_ui->ingresoErrores->setText(leerTexto(Clave::FolderErrores));
    m_ui->ingresoInbox->setText(leerTexto(Clave::FolderInbox));
    m_ui->editFormatoSMS->setPlainText(leerTexto(Clave::FormatoSms));
    m_ui->checkMinimizar->setChecked(leerBool(Clave::StartMinimized));
    m_ui->checkIniciarConSesion->setVisible(autoarranque::disponible());
    mostrarAutoarranque();
}

void MainWindow::aplicarMarcaVacio()
{
    using namespace ajustes;
    m_ui->ingresoBackups->setText(resolverVacio(Clave::FolderBackups));
    m_ui->ingresoInbox->setText(resolverVacio(Clave::FolderInbox));
    m_ui->ingresoErrores->setText(resolverVacio(Clave::FolderErrores));
}

void MainWindow::rotarIconosPestanas()
{
    const qreal angulo = m_ui->tabWidget->tabPosition() == QTabWidget::East ? -90 : 90;
    for (int i = 0; i < m_ui->tabWidget->count(); ++i) {
        const QIcon icono = m_ui->tabWidget->tabIcon(i);
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
        m_ui->tabWidget->setTabIcon(i, QIcon(pixmap.transformed(giro, Qt::FastTransformation)));
    }
}

void MainWindow::on_pushActualizar_clicked()
{
    m_ui->labelVersion->setText(tr("NBsms versión %1").arg(QLatin1String(nbsms_version::kVersion)));
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
    m_ui->webView->cargar(QUrl::fromLocalFile(pagina));
}

void MainWindow::habilitarControlesLista(bool habilitar)
{
    QWidget *const controles[] = {
        m_ui->comboCelular, m_ui->comboFecha,      m_ui->checkVerifPer,    m_ui->editFormatoSMS,
        m_ui->ingresoLista, m_ui->TransformadaSMS, m_ui->pushAgregarCampo, m_ui->pushAgregarListaToOutbox,
        m_ui->cfgLista,     m_ui->BuscarArchivo};
    for (QWidget *w : controles)
        w->setEnabled(habilitar);
    m_ui->pushDetenerEnvioSMS->setEnabled(!habilitar);
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
    if (m_terminandoSesion) {
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
    m_servicio->reanudar();
    m_ui->progressBar->setEnabled(true);
    m_ui->pushPlay->setEnabled(false);
    m_ui->pushPause->setEnabled(true);
    ajustes::escribir(ajustes::Clave::EnvioActivado, true);
    mostrarSituacion(m_servicio->instantanea());
}

void MainWindow::on_pushPause_clicked()
{
    m_servicio->pausar();
    m_ui->progressBar->setEnabled(false);
    m_ui->pushPause->setEnabled(false);
    m_ui->pushPlay->setEnabled(true);
    ajustes::escribir(ajustes::Clave::EnvioActivado, false);
    mostrarSituacion(m_servicio->instantanea());
}

void MainWindow::on_tabWidget_currentChanged(int indice)
{
    if (m_pestanas)
        m_pestanas->pestanaCambiada(indice);
    if (m_bajas)
        m_bajas->refrescar();
}

void MainWindow::aplicarFiltroHistorial()
{
    m_pestanas->aplicarFiltroHistorial();
}

void MainWindow::aplicarFiltroBandeja()
{
    m_pestanas->aplicarFiltroBandeja();
}

void MainWindow::aplicarFiltroRecibidos()
{
    m_pestanas->aplicarFiltroRecibidos();
}

void MainWindow::on_botonExportarHistorial_clicked()
{
    m_pestanas->exportarTabla(false);
}

void MainWindow::on_botonExportarRecibidos_clicked()
{
    m_pestanas->exportarTabla(true);
}

void MainWindow::on_botonConversacion_clicked()
{
    m_pestanas->verConversacion(false);
}

void MainWindow::on_botonResponder_clicked()
{
    m_pestanas->verConversacion(true);
}

void MainWindow::on_botonCancelarBandeja_clicked()
{
    m_pestanas->cancelarElegidos([this] { return m_corridaEnCurso; });
}

void MainWindow::on_botonReenviarBandeja_clicked()
{
    m_pestanas->reenviarEnDuda();
}

void MainWindow::on_botonMarcarBandeja_clicked()
{
    m_pestanas->marcarEnDuda();
}

void MainWindow::on_botonReanudarEnDuda_clicked()
{
    m_pestanas->reanudarEnDuda();
}

void MainWindow::on_checkSoloEnDuda_toggled(bool)
{
    m_pestanas->aplicarFiltroBandeja();
}
