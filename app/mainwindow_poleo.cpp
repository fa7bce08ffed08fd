#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "app/instancia_unica.h"
#include "app/lista_gateways.h"
#include "app/pagina_gateways.h"
#include "app/pagina_lista.h"
#include "app/pestana_bajas.h"
#include "app/pestanas_historial.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

void MainWindow::PoleoArchivo()
{
    if (!m_corridaRevisada) {
        // A list run cut short by a crash is finished before anything else writes a data file.
        m_corridaRevisada = true;
        reanudarCorridaPendiente();
    }
    vigilarLista();

    // One snapshot of the service for everything this tick shows.
    const servicio::Instantanea instantanea = m_servicio->instantanea();
    mostrarSituacion(instantanea);
    escribirLineas();
    m_pestanas->refrescarPestanaActual(instantanea);
    m_bajas->refrescar();

    instancia_unica::atenderPedido([this] {
        showNormal();
        activateWindow();
    });
}

void MainWindow::vigilarLista()
{
    if (m_corridaEnCurso || !leerVerifPer())
        return;
    const QFileInfo lista(m_ui->ingresoLista->text());
    if (!lista.exists()) {
        m_tamanoListaVista = -1;
        return;
    }
    // A file still being copied in changes size or time between ticks: wait until it settles.
    const qint64 tamano = lista.size();
    const QDateTime fecha = lista.lastModified();
    const bool estable = tamano == m_tamanoListaVista && fecha == m_fechaListaVista;
    m_tamanoListaVista = tamano;
    m_fechaListaVista = fecha;
    if (!estable)
        return;
    m_tamanoListaVista = -1;

    m_lista->detectarSegunFormato(lista.filePath(), false);
    m_lista->restaurarColumnas();
    on_pushAgregarListaToOutbox_clicked();
}

void MainWindow::mostrarSituacion(const servicio::Instantanea &i)
{
    m_ui->labelSmsRecibidosInt->setText(QString::number(i.recibidos));
    m_ui->labelSmsEnviadosInt->setText(QString::number(i.enviados));
    m_ui->labelSmsPendienteInt->setText(QString::number(i.pendientes));
    m_ui->labelEstado->setText(i.texto);
    // A failure shows in the tray too, with a way to try again at once; without a gateway the
    // same button leads to where its address is entered.
    const bool sinGateway = i.situacion.sinGateway && !i.situacion.enPausa;
    const bool reintentable = i.detenidoPorFalla && !i.situacion.enPausa && !i.situacion.ocupado;
    mostrarIconoBandeja(i.detenidoPorFalla && !i.situacion.enPausa);
    m_reintentarAction->setVisible(reintentable);
    const QString motivo = i.situacion.enPausa ? QString() : i.motivoFalla;
    if (m_motivoFalla->text() != motivo)
        m_motivoFalla->setText(motivo);
    m_motivoFalla->setVisible(!motivo.isEmpty());
    m_botonReintentar->setVisible(reintentable || sinGateway);
    const QString textoBoton = sinGateway ? tr("Configurar &gateway") : tr("&Reintentar ahora");
    if (m_botonReintentar->text() != textoBoton)
        m_botonReintentar->setText(textoBoton);
    m_ui->progressBar->setMaximum(i.situacion.ocupado ? 0 : 100);
    m_gateways->mostrar(i);
    const QString informacion =
        avisos::textoInformacion(i.texto, i.pendientes, i.enviados, i.recibidos, i.situacion.enDuda,
                                 i.gateways.size() > 1 ? lista_gateways::enServicio(i.gateways) : -1,
                                 static_cast<int>(i.gateways.size()));
    // The desktop's tray is told only of a change.
    if (m_trayIcon->toolTip() != informacion)
        m_trayIcon->setToolTip(informacion);
    // A retry in flight neither ends a stoppage nor says why it began; a pause is no failure.
    if (!i.situacion.enPausa && !i.situacion.ocupado)
        avisar(m_seguimientoAvisos.observar(i.detenidoPorFalla, textoEstado(i.situacion.estado),
                                            reloj::ahora().toMSecsSinceEpoch()));
    avisar(m_seguimientoAvisos.recibidos(i.recibidos));
    avisar(m_seguimientoAvisos.enDuda(i.situacion.enDuda));
    if (m_pestanas)
        m_pestanas->mostrarEnDuda(i);
}

void MainWindow::avisar(const QString &texto)
{
    if (texto.isEmpty())
        return;
    if (m_trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
        QSystemTrayIcon::supportsMessages())
        m_trayIcon->showMessage(avisos::titulo(), texto);
    else
        statusBar()->showMessage(texto);
}

void MainWindow::error(const QString &texto)
{
    if (!texto.isEmpty())
        CuadroMensaje::mostrar(tr("Error!"), texto);
}

// The service's lines for the errors file; a failure to write them is told, one box at a time.
void MainWindow::escribirLineas()
{
    if (m_cajaErroresAbierta)
        return;
    // A list run counts its rows by the lines of the errors file: none while one is open.
    if (m_corridaEnCurso)
        return;
    const QString texto = m_servicio->escribirLineas();
    if (texto.isEmpty())
        return;
    m_cajaErroresAbierta = true;
    error(texto);
    m_cajaErroresAbierta = false;
}

void MainWindow::reintentarOConfigurar()
{
    if (m_servicio->instantanea().situacion.sinGateway) {
        m_ui->tabWidget->setCurrentWidget(m_ui->tab);
        m_ui->IPGateway->setFocus();
        return;
    }
    reintentarAhora();
}
