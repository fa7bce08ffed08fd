#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "app/instancia_unica.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "lista/archivos_datos.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

void MainWindow::PoleoArchivo()
{
    if (!corridaRevisada) {
        // A list run cut short by a crash is finished before anything else writes a data file.
        corridaRevisada = true;
        reanudarCorridaPendiente();
    }
    vigilarLista();

    ui->labelSmsRecibidosInt->setText(QString::number(worker->recibidos()));
    ui->labelSmsEnviadosInt->setText(QString::number(worker->enviados()));
    ui->labelSmsPendienteInt->setText(QString::number(worker->pendientes()));

    mostrarSituacion();
    escribirErrorConexion();
    poleoHistorial();

    instancia_unica::atenderPedido([this] {
        showNormal();
        activateWindow();
    });
}

void MainWindow::vigilarLista()
{
    if (corridaEnCurso || !leerVerifPer())
        return;
    const QFileInfo lista(ui->ingresoLista->text());
    if (!lista.exists()) {
        tamanoListaVista = -1;
        return;
    }
    // A file still being copied in changes size or time between ticks: wait until it settles.
    const qint64 tamano = lista.size();
    const QDateTime fecha = lista.lastModified();
    const bool estable = tamano == tamanoListaVista && fecha == fechaListaVista;
    tamanoListaVista = tamano;
    fechaListaVista = fecha;
    if (!estable)
        return;
    tamanoListaVista = -1;

    detectarSegunFormato(lista.filePath(), false);
    sinGuardar(ui->comboCelular, [this] {
        ui->comboCelular->setCurrentText(ajustes::leerTexto(ajustes::Clave::ColumnaCelular));
    });
    sinGuardar(ui->comboFecha,
               [this] { ui->comboFecha->setCurrentText(ajustes::leerTexto(ajustes::Clave::ColumnaFecha)); });
    on_pushAgregarListaToOutbox_clicked();
}

void MainWindow::mostrarSituacion()
{
    const SituacionEnvio situacion = worker->situacion();
    const QString texto = textoSituacion(situacion);
    ui->labelEstado->setText(texto);
    ui->progressBar->setMaximum(situacion.ocupado ? 0 : 100);
    const QString informacion = avisos::textoInformacion(texto, worker->pendientes(), worker->enviados(),
                                                         worker->recibidos(), situacion.enDuda);
    // The desktop's tray is told only of a change.
    if (trayIcon->toolTip() != informacion)
        trayIcon->setToolTip(informacion);
    // A retry in flight neither ends a stoppage nor says why it began; a pause is no failure.
    if (!situacion.enPausa && !situacion.ocupado)
        avisar(seguimientoAvisos.observar(worker->detenidoPorFalla(), textoEstado(situacion.estado),
                                          reloj::ahora().toMSecsSinceEpoch()));
    avisar(seguimientoAvisos.recibidos(worker->recibidos()));
    avisar(seguimientoAvisos.enDuda(situacion.enDuda));
    mostrarEnDuda();
}

void MainWindow::avisar(const QString &texto)
{
    if (texto.isEmpty())
        return;
    if (trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
        QSystemTrayIcon::supportsMessages())
        trayIcon->showMessage(avisos::titulo(), texto);
    else
        statusBar()->showMessage(texto);
}

// The link's queued lines in any state; its network error only in state 8, and not again while
// the retries fail with the same text before the connection has worked again.
void MainWindow::escribirErrorConexion()
{
    conexion_ngw *conexion = worker->conexion();
    if (!conexion->isOcupado() && !estadoDetenido(conexion->getEstado()))
        ultimoErrorConexion.clear();
    else if (conexion->getEstado() == EST_CONEX_ERROR && conexion->errorConexion() == ultimoErrorConexion)
        conexion->limpiarErrorConexion();
    // A list run counts its rows by the lines it adds to the errors file: lines wait until no
    // run is in progress or left unfinished.
    if (cajaErroresAbierta || corridaEnCurso || QFile::exists(rutaDiario()))
        return;
    const QString ruta = ui->ingresoErrores->text();
    const bool hayLineas = !conexion->erroresPendientes().isEmpty() ||
                           (conexion->getEstado() == EST_CONEX_ERROR && !conexion->errorConexion().isEmpty());
    if (!hayLineas)
        return;
    const QString motivo = motivoRutaRechazada(ruta, ui->ingresoErrores);
    if (!motivo.isEmpty()) {
        if (ruta != rutaErroresRechazada) {
            rutaErroresRechazada = ruta;
            CuadroMensaje::mostrar(tr("Error!"), motivo);
        }
        return;
    }
    bool escrito = true;
    while (escrito && !conexion->erroresPendientes().isEmpty()) {
        escrito = archivos_datos::agregarLineaErrores(ruta, conexion->erroresPendientes().first());
        if (escrito)
            conexion->quitarPrimerErrorPendiente();
    }
    if (escrito && conexion->getEstado() == EST_CONEX_ERROR && !conexion->errorConexion().isEmpty()) {
        escrito = archivos_datos::agregarLineaErrores(ruta, conexion->errorConexion());
        if (escrito) {
            ultimoErrorConexion = conexion->errorConexion();
            conexion->limpiarErrorConexion();
        }
    }
    if (escrito)
        return;
    cajaErroresAbierta = true;
    CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir errores %1").arg(ruta));
    cajaErroresAbierta = false;
}
