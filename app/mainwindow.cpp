#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QIcon>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent), tieneHeader(false), separaComillas(false), usarComa(false), usarTab(false),
      filaVistaPrevia(0), truncados(0), faltaObligatorio(0), worker(nullptr), ui(new Ui::MainWindow),
      restoreAction(nullptr), quitAction(nullptr), trayIcon(nullptr), trayMenu(nullptr), cantidadColumnas(0),
      omitirGuardadoLista(true), omitirGuardadoCelular(true), omitirGuardadoFecha(true)
{
    ui->setupUi(this);
    ajustes::fijarIdentidad();
    setWindowIcon(QIcon(QStringLiteral(":/images/images/nbsms.ico")));
}

MainWindow::~MainWindow()
{
    delete ui;
}

void MainWindow::on_pushActualizar_clicked() {}
void MainWindow::habilitarControlesLista(bool) {}
bool MainWindow::leerVerifPer() const
{
    return ajustes::leer(ajustes::kCheckVerifPer, ajustes::kCheckVerifPerDefecto).toBool();
}
void MainWindow::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}
void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
}
void MainWindow::iconActivated(QSystemTrayIcon::ActivationReason) {}
void MainWindow::on_pushPlay_clicked() {}
void MainWindow::on_pushPause_clicked() {}
