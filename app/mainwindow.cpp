#include "app/mainwindow.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/privacidad.h"
#include "app/autoarranque.h"
#include "app/instalacion.h"
#include "app/pagina_gateways.h"
#include "app/pagina_lista.h"
#include "app/pestana_bajas.h"
#include "app/pestanas_historial.h"
#include "gateway/protocolo_ngw.h"
#include "nbsms_version.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QRegExpValidator>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
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
    m_gateways = std::make_unique<PaginaGateways>(m_ui);
    connect(m_ui->botonProbarGateway, &QPushButton::clicked, this, &MainWindow::probarGateway);
    on_pushActualizar_clicked();

    m_ui->progressBar->setEnabled(false);
    m_ui->pushPlay->setEnabled(true);
    m_ui->pushPause->setEnabled(false);
    m_ui->NumDestino->clear();

    crearBandeja();
    ajustes::fijarIdentidad();
    cargarAjustes();
    restaurarVista();
    habilitarControlesLista(!m_ui->checkVerifPer->isChecked());
    rotarIconosPestanas();
    connect(m_ui->tabWidget, &QTabWidget::currentChanged, this, [this](int pestana) {
        if (m_ui->tabWidget->widget(pestana) == m_ui->tab)
            mostrarAutoarranque();
    });
    setWindowIcon(QIcon(QString::fromLatin1(kIconoPrograma)));
    prepararTeclado();

    m_lista->cargar();
    connect(m_ui->ingresoLista, &QLineEdit::returnPressed, this, [this] { m_lista->leerListaEscrita(); });

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
    mostrarIconoBandeja(false);
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

void MainWindow::salir()
{
    // Only "Salir" asks: the end of the session and a signal leave at once.
    const int ahora = m_servicio->pendientesAhora();
    if (ahora > 0 && !CuadroMensaje::preguntar(tr("Salir de NBsms"),
                                               ahora == 1 ? tr("Queda 1 SMS para enviar ahora. Se enviará "
                                                               "cuando vuelva a abrir NBsms. ¿Salir de todos "
                                                               "modos?")
                                                          : tr("Quedan %1 SMS para enviar ahora. Se enviarán "
                                                               "cuando vuelva a abrir NBsms. ¿Salir de todos "
                                                               "modos?")
                                                                .arg(ahora),
                                               tr("Salir"), tr("Seguir enviando")))
        return;
    QCoreApplication::quit();
}

void MainWindow::reintentarAhora()
{
    const protocolo_ngw::Gateway gateway = m_servicio->gateway();
    if (gateway.falla() != protocolo_ngw::Gateway::Falla::Ninguna)
        return;
    m_servicio->actualizarConexion(gateway);
    mostrarSituacion(m_servicio->instantanea());
}

void MainWindow::guardarVista()
{
    ajustes::escribir(ajustes::Clave::GeometriaVentana, QString::fromLatin1(saveGeometry().toBase64()));
    if (m_pestanas)
        m_pestanas->guardarAnchos();
}

void MainWindow::restaurarVista()
{
    const QByteArray geometria =
        QByteArray::fromBase64(ajustes::leerTexto(ajustes::Clave::GeometriaVentana).toLatin1());
    if (!geometria.isEmpty() && restoreGeometry(geometria))
        return;
    // The first start: room for the tables' columns, within a 1024x768 screen.
    const QScreen *pantalla = screen();
    const QRect disponible = pantalla ? pantalla->availableGeometry() : QRect(0, 0, 1024, 768);
    resize(qMin(900, disponible.width() - 40), qMin(680, disponible.height() - 60));
}

void MainWindow::terminarEnvio()
{
    if (m_temporizador && m_temporizador->isActive())
        guardarVista();
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
    connect(m_quitAction, &QAction::triggered, this, &MainWindow::salir);
    m_reintentarAction = new QAction(tr("Reintentar ahora"), this);
    m_reintentarAction->setVisible(false);
    connect(m_reintentarAction, &QAction::triggered, this, &MainWindow::reintentarAhora);

    // Under the state line, shown only when it has something to offer.
    m_botonReintentar = new QPushButton(tr("&Reintentar ahora"), m_ui->PoleoCarpeta);
    m_botonReintentar->setToolTip(
        tr("Vuelve a consultar el gateway ahora, sin esperar el próximo reintento"));
    m_botonReintentar->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    m_botonReintentar->hide();
    m_ui->formLayout_3->insertRow(1, QString(), m_botonReintentar);
    m_motivoFalla = new QLabel(m_ui->PoleoCarpeta);
    m_motivoFalla->setWordWrap(true);
    m_motivoFalla->setStyleSheet(QStringLiteral("color: #b00000;"));
    m_motivoFalla->hide();
    m_ui->formLayout_3->insertRow(1, QString(), m_motivoFalla);
    connect(m_botonReintentar, &QPushButton::clicked, this, &MainWindow::reintentarOConfigurar);

    m_trayMenu = new QMenu(this);
    m_trayMenu->addAction(m_restoreAction);
    m_trayMenu->addAction(m_reintentarAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_quitAction);

    m_trayIcon = new QSystemTrayIcon(this);
    m_trayIcon->setContextMenu(m_trayMenu);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, &MainWindow::iconActivated);
    // Made visible once it has an icon; a tray entry without one cannot be shown.
}

void MainWindow::prepararTeclado()
{
    // An SMS never carries a TAB: the key moves on, as in any other field.
    m_ui->TextoManual->setTabChangesFocus(true);
    m_ui->editFormatoSMS->setTabChangesFocus(true);
    for (const QKeySequence &tecla :
         {QKeySequence(Qt::CTRL + Qt::Key_Return), QKeySequence(Qt::CTRL + Qt::Key_Enter)}) {
        auto *enviar =
            new QShortcut(tecla, m_ui->EnvioManual, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
        connect(enviar, &QShortcut::activated, this, &MainWindow::on_BotonEnviar_released);
    }
    m_ui->BotonEnviar->setToolTip(m_ui->BotonEnviar->toolTip() + tr(" (Ctrl+Intro)"));
    auto *cancelar =
        new QShortcut(QKeySequence::Delete, m_ui->tablaBandeja, nullptr, nullptr, Qt::WidgetShortcut);
    connect(cancelar, &QShortcut::activated, this, &MainWindow::on_botonCancelarBandeja_clicked);

    // Alt plus the underlined letter; the labels read as they are.
    const std::pair<QAbstractButton *, int> atajos[] = {{m_ui->BotonEnviar, 0},
                                                        {m_ui->pushAgregarListaToOutbox, 7},
                                                        {m_ui->pushDetenerEnvioSMS, 0},
                                                        {m_ui->cfgLista, 0},
                                                        {m_ui->pushAgregarCampo, 0},
                                                        {m_ui->pushActualizarConex, 0},
                                                        {m_ui->open_set_horatio_envio, 0},
                                                        {m_ui->botonExportarHistorial, 1},
                                                        {m_ui->botonExportarRecibidos, 1},
                                                        {m_ui->botonCancelarBandeja, 0},
                                                        {m_ui->botonReenviarBandeja, 4},
                                                        {m_ui->botonMarcarBandeja, 0},
                                                        {m_ui->botonReanudarEnDuda, 0}};
    for (const auto &a : atajos) {
        QString texto = a.first->text();
        if (!texto.contains(QLatin1Char('&')) && a.second < texto.size())
            a.first->setText(texto.insert(a.second, QLatin1Char('&')));
    }
}

void MainWindow::mostrarIconoBandeja(bool alerta)
{
    if (alerta == m_iconoAlerta && !m_trayIcon->icon().isNull())
        return;
    m_iconoAlerta = alerta;
    const QIcon programa(QString::fromLatin1(kIconoPrograma));
    if (!alerta) {
        m_trayIcon->setIcon(programa);
        return;
    }
    // The program's icon with the style's warning sign over its lower right quarter.
    const QIcon aviso = style()->standardIcon(QStyle::SP_MessageBoxWarning);
    QIcon conAviso;
    for (const int lado : {16, 22, 24, 32, 48, 64}) {
        QPixmap imagen = programa.pixmap(lado, lado);
        if (imagen.isNull())
            continue;
        imagen = imagen.scaled(lado, lado, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter pintor(&imagen);
        const int insignia = lado * 5 / 8;
        pintor.drawPixmap(lado - insignia, lado - insignia, aviso.pixmap(insignia, insignia));
        pintor.end();
        conAviso.addPixmap(imagen);
    }
    m_trayIcon->setIcon(conAviso.isNull() ? aviso : conAviso);
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
    m_gateways->cargar();
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
    guardarVista();
    if (!ocultarEnBandeja()) {
        showMinimized();
        return;
    }
    // Once: a window that goes away on close looks like a program that ended.
    if (!ajustes::leerBool(ajustes::Clave::AvisoBandejaDado)) {
        ajustes::escribir(ajustes::Clave::AvisoBandejaDado, true);
        avisar(tr("NBsms sigue funcionando en la bandeja del sistema y envía los SMS pendientes. Para "
                  "terminarlo, elija «Salir» en el menú de su ícono."));
    }
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
    // A clear button asks the icon theme for its icon, a search of the theme's folders: fields
    // get theirs when their page is first shown, not all at start.
    if (QWidget *pagina = m_ui->tabWidget->widget(indice)) {
        for (QLineEdit *campo : pagina->findChildren<QLineEdit *>()) {
            if (campo->property("botonBorrar").toBool() && !campo->isClearButtonEnabled())
                campo->setClearButtonEnabled(true);
        }
    }
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
