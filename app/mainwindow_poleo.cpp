#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "app/dialogos.h"
#include "app/instancia_unica.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "lista/archivos_datos.h"
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

    ui->labelSmsRecibidosInt->setText(QString::number(worker->recibidos));
    ui->labelSmsEnviadosInt->setText(QString::number(worker->enviados));
    ui->labelSmsPendienteInt->setText(QString::number(worker->pendientes));

    const int estado = worker->conexion->getEstado();
    ui->labelEstado->setText(textoEstado(estado));
    if (estado == EST_CONEX_ERROR)
        escribirErrorConexion();

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

    omitirGuardadoCelular = true;
    omitirGuardadoFecha = true;
    if (tieneHeader)
        detectarColumnasConHeader(lista.filePath(), false);
    else
        detectarColumnasSinHeader(lista.filePath(), false);
    omitirGuardadoCelular = true;
    ui->comboCelular->setCurrentText(ajustes::leer(ajustes::kColumnaCelular, QString()).toString());
    omitirGuardadoFecha = true;
    ui->comboFecha->setCurrentText(ajustes::leer(ajustes::kColumnaFecha, QString()).toString());
    on_pushAgregarListaToOutbox_clicked();
}

void MainWindow::escribirErrorConexion()
{
    conexion_ngw *conexion = worker->conexion;
    // A list run counts its rows by the lines it adds to the errors file: the line waits until no
    // run is in progress or left unfinished.
    if (cajaErroresAbierta || conexion->error_conexion.isEmpty() || corridaEnCurso ||
        QFile::exists(rutaDiario()))
        return;
    const QString ruta = ui->ingresoErrores->text();
    const QString motivo = motivoRutaRechazada(ruta, ui->ingresoErrores);
    if (!motivo.isEmpty()) {
        if (ruta != rutaErroresRechazada) {
            rutaErroresRechazada = ruta;
            CuadroMensaje::mostrar(tr("Error!"), motivo);
        }
        return;
    }
    if (archivos_datos::agregarLineaErrores(ruta, conexion->error_conexion)) {
        conexion->error_conexion.clear();
        return;
    }
    cajaErroresAbierta = true;
    CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir errores %1").arg(ruta));
    cajaErroresAbierta = false;
}
