#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "app/dialogos.h"
#include "envio/threads.h"
#include "lista/archivos_datos.h"
#include "lista/corrida_lista.h"
#include "lista/lectura_lista.h"
#include "lista/outbox.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QDebug>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QRecursiveMutex>

#include <memory>

namespace {

QString hoy()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

// Shows how far a long list run has gone, and keeps the window painting meanwhile. Runs that
// end within about a second never show it.
class ProgresoCorrida
{
public:
    ProgresoCorrida(QWidget *padre, int total)
    {
        dialogo.reset(new QProgressDialog(MainWindow::tr("Agregando la lista a la bandeja de salida..."),
                                          QString(), 0, qMax(total, 1), padre));
        dialogo->setWindowTitle(MainWindow::tr("Atencion!"));
        dialogo->setWindowModality(Qt::WindowModal);
        dialogo->setMinimumDuration(1000);
        dialogo->setAutoClose(false);
        dialogo->setAutoReset(false);
    }
    void avanzar(int hechas)
    {
        // Every row would make the dialog repaint too often; a step of 256 rows is invisible.
        if ((hechas & 0xFF) == 0)
            dialogo->setValue(hechas);
    }

private:
    std::unique_ptr<QProgressDialog> dialogo;
};

} // namespace

bool MainWindow::agregarFilaOutbox(const QString &linea, bool escribir)
{
    const QStringList campos = separarLinea(linea);
    const QString numero = valorCelular(campos);
    const QString fecha = valorFecha(campos);
    QString mensaje = transformarSms(ui->editFormatoSMS->toPlainText(), campos);
    if (!escribir)
        return true;

    if (corrida.salidasFallaron)
        return false;
    if (corrida_lista::filaUtilizable(numero, fecha, mensaje)) {
        // The append and the counter move as one step against the worker's recounts.
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        const bool agregado =
            corrida.anexador ? corrida.anexador->agregar(numero, fecha, mensaje)
                             : archivos_datos::agregarRegistroOutbox(archivoSalidas, numero, fecha, mensaje);
        if (agregado) {
            worker->pendientes += 1;
            return true;
        }
        bloqueo.unlock();
        // One box per run, not one per row; the rows after it are not written either.
        corrida.salidasFallaron = true;
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir salidas.\n") + archivoSalidas);
        return false;
    }
    if (!archivos_datos::agregarLineaErrores(ui->ingresoErrores->text(), linea) && !corrida.erroresAvisados) {
        corrida.erroresAvisados = true;
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir el archivo de errores."));
    }
    return false;
}

void MainWindow::on_pushAgregarListaToOutbox_clicked()
{
    // Boxes keep the event loop running; the poll must not start another run meanwhile.
    if (corridaEnCurso)
        return;
    corridaEnCurso = true;
    corrida = EstadoCorrida();
    switch (corrida_lista::elegirModo(leerVerifPer(), ui->checkVerifPer->isChecked())) {
    case corrida_lista::Modo::Vigilada:
        corridaVigilada();
        break;
    case corrida_lista::Modo::Armado:
        corridaArmado();
        break;
    case corrida_lista::Modo::Simple:
        corridaSimple();
        break;
    }
    corrida = EstadoCorrida();
    corridaEnCurso = false;
}

void MainWindow::corridaVigilada()
{
    QStringList lineas;
    if (!lista::leerLineasLista(ui->ingresoLista->text(), lineas))
        return; // the next tick tries again
    empezarPasadas();
    pasadaEscritura(lineas);
    recontar();
    apartarListaProcesada();
}

bool MainWindow::validarColumnas()
{
    const QString celular = ui->comboCelular->currentText();
    const QString fecha = ui->comboFecha->currentText();
    QString faltante;
    if (buscarColumna(celular) == -1)
        faltante = celular;
    else if (!fecha.isEmpty() && fecha != QLatin1String(ajustes::kInmediato) && buscarColumna(fecha) == -1)
        faltante = fecha;
    else if (verificarCampos() != QLatin1String("true"))
        faltante = verificarCampos();
    else
        return true;
    error(tr("No existe columna '%1' en la lista seleccionada").arg(faltante));
    return false;
}

// Common start of both interactive runs: the template is saved before any check.
bool MainWindow::guardarPlantillaYComprobarLista(const QString &plantilla)
{
    ajustes::escribir(ajustes::kFormatoSms, plantilla);
    if (ui->ingresoLista->text().isEmpty())
        error(tr("Debe ingresar una lista a procesar"));
    else if (ui->comboCelular->currentText().isEmpty())
        error(tr("Debe ingresar o seleccionar un campo celular"));
    else
        return true;
    return false;
}

void MainWindow::corridaSimple()
{
    const QString plantilla = ui->editFormatoSMS->toPlainText();
    if (!guardarPlantillaYComprobarLista(plantilla))
        return;
    if (plantilla.isEmpty())
        return error(tr("Debe ingresar un mensaje"));
    QStringList lineas;
    if (!lista::leerLineasLista(ui->ingresoLista->text(), lineas))
        return error(tr("No se pudo abrir lista a procesar"));
    empezarPasadas();
    if (!validarColumnas())
        return;
    if (!preguntarYContar(lineas))
        return;
    ajustes::escribir(ajustes::kFormatoSms, plantilla);
    const int agregados = pasadaEscritura(lineas);
    recontar();
    CuadroMensaje::mostrar(tr("Atencion!"),
                           corrida_lista::textoReporte(agregados, corrida_lista::Modo::Simple));
}

void MainWindow::corridaArmado()
{
    const QString plantilla = ui->editFormatoSMS->toPlainText();
    if (!guardarPlantillaYComprobarLista(plantilla))
        return;
    QStringList lineas;
    if (!lista::leerLineasLista(ui->ingresoLista->text(), lineas)) {
        if (CuadroMensaje::mostrar(tr("Atencion!"),
                                   tr("No se pudo abrir lista a procesar\nCuando se detecte sera procesada "
                                      "segun parametros aqui establecidos"),
                                   QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
            return;
        if (plantilla.isEmpty())
            return error(tr("Debe ingresar un mensaje"));
        habilitarControlesLista(false);
        return;
    }
    empezarPasadas();
    const QString referencia = verificarCampos();
    if (referencia != QLatin1String("true"))
        return error(tr("No existe columna '%1' en la lista seleccionada").arg(referencia));
    if (!validarColumnas())
        return;
    if (plantilla.isEmpty())
        return error(tr("Debe ingresar un mensaje"));
    if (!preguntarYContar(lineas))
        return;
    const int agregados = pasadaEscritura(lineas);
    recontar();
    CuadroMensaje::mostrar(tr("Atencion!"),
                           corrida_lista::textoReporte(agregados, corrida_lista::Modo::Armado));
    habilitarControlesLista(false);
    apartarListaProcesada();
}

bool MainWindow::preguntarYContar(const QStringList &lineas)
{
    if (CuadroMensaje::mostrar(tr("Atencion!"), tr("Desea agregar la lista a la bandeja de salida?"),
                               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    truncados = 0;
    faltaObligatorio = 0;
    int filas = 0;
    const int desde = tieneHeader ? 1 : 0;
    {
        // Gone before the question: a progress dialog left alive would pop up over it later.
        ProgresoCorrida progreso(this, qMax(0, lineas.size() - desde));
        for (int i = desde; i < lineas.size(); ++i) {
            agregarFilaOutbox(lineas.at(i), false);
            progreso.avanzar(++filas);
        }
    }
    return CuadroMensaje::mostrar(tr("Atencion!"),
                                  corrida_lista::textoConfirmacion(truncados, faltaObligatorio, filas),
                                  QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

int MainWindow::pasadaEscritura(const QStringList &lineas)
{
    int agregados = 0;
    const int desde = tieneHeader ? 1 : 0;
    const int total = qMax(0, lineas.size() - desde);
    ProgresoCorrida progreso(this, total);
    archivos_datos::AnexadorOutbox anexador(archivoSalidas);
    corrida.anexador = &anexador;
    for (int i = desde; i < lineas.size() && !corrida.salidasFallaron; ++i) {
        if (agregarFilaOutbox(lineas.at(i), true))
            ++agregados;
        progreso.avanzar(i - desde + 1);
    }
    corrida.anexador = nullptr;
    return agregados;
}

void MainWindow::recontar()
{
    worker->contarEnviados();
    worker->contarRecibidos();
    worker->contarPendientes();
    if (worker->enviados > 1000) {
        qDebug() << "SIII  COMPACTAR OUTBOX!";
        compactarOutbox();
    }
}

void MainWindow::apartarListaProcesada()
{
    const QString rutaLista = ui->ingresoLista->text();
    const QString rutaBackup = ui->ingresoBackups->text();
    if (corrida_lista::apartarLista(rutaLista, rutaBackup))
        return;
    // Left at the watched path it would be imported again at the next tick.
    if (leerVerifPer())
        habilitarControlesLista(true);
    CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo mover la lista procesada %1 a %2.\nSe detuvo la "
                                            "verificacion periodica para no agregarla dos veces.")
                                             .arg(rutaLista, rutaBackup));
}

void MainWindow::empezarPasadas()
{
    corrida.listaLeida = true;
    corrida.hoy = hoy();
}

bool MainWindow::listaPresente() const
{
    return corrida.listaLeida || QFile::exists(ui->ingresoLista->text());
}

QString MainWindow::fechaHoy() const
{
    return corrida.listaLeida ? corrida.hoy : hoy();
}

void MainWindow::error(const QString &texto)
{
    CuadroMensaje::mostrar(tr("Error!"), texto);
}

// Keeps only the pending records. The outbox is replaced atomically through a temporary of its
// own beside it; a stale "compactando.csv" in the data folder is removed on the way.
void MainWindow::compactarOutbox()
{
    const QString temporal =
        carpetaDatos.absolutePath() + QLatin1Char('/') + QLatin1String(ajustes::kArchivoCompactando);
    switch (outbox::compactar(archivoSalidas, temporal)) {
    case outbox::ResultadoCompactacion::NoAbreSalidas:
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir salidas"));
        break;
    case outbox::ResultadoCompactacion::NoAbreTemporal:
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir temporal para compactar"));
        break;
    case outbox::ResultadoCompactacion::Hecha:
    case outbox::ResultadoCompactacion::FalloEscritura:
        // A failed replace leaves the outbox as it was, as a failed rename always did: not reported.
        break;
    }
}

void MainWindow::on_BotonEnviar_released()
{
    const QString titulo = tr("Envio manual");
    if (CuadroMensaje::mostrar(titulo, tr("Enviar mensaje?"), QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok)
        return;
    const QString numero = ui->NumDestino->text();
    if (numero.isEmpty()) {
        CuadroMensaje::mostrar(titulo, tr("Debe ingresar un numero de destino."), QMessageBox::Ok);
        return;
    }
    {
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        if (!archivos_datos::agregarRegistroOutbox(archivoSalidas, numero, hoy(),
                                                   ui->TextoManual->toPlainText())) {
            bloqueo.unlock();
            CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir salidas %1").arg(archivoSalidas));
            return;
        }
        worker->pendientes += 1;
    }
    if (worker->enviados > 1000)
        compactarOutbox();
}
