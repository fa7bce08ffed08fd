#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/threads.h"
#include "lista/archivos_datos.h"
#include "lista/columnas.h"
#include "lista/corrida_lista.h"
#include "lista/detalle_lista.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"
#include "lista/outbox.h"
#include "ui/dialogos.h"
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
    return reloj::hoyTexto();
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

// What turns a row into a record: during a run, what the run began with; otherwise the window.
lista::EntradasFila MainWindow::entradasFila() const
{
    const diario_corrida::Diario &d = corrida.diario;
    lista::EntradasFila e;
    e.plantilla = corrida.listaLeida ? d.plantilla : ui->editFormatoSMS->toPlainText();
    if (listaPresente()) {
        e.columnas = columnasHeader;
        e.cantidadColumnas = cantidadColumnas;
    }
    e.columnaCelular = corrida.listaLeida ? d.columnaCelular : ui->comboCelular->currentText();
    e.columnaFecha = corrida.listaLeida ? d.columnaFecha : ui->comboFecha->currentText();
    e.separador = lista::separadorDe(formato);
    e.hoy = fechaHoy();
    return e;
}

bool MainWindow::agregarFilaOutbox(const QString &linea, bool escribir)
{
    const lista::ResultadoFila r = lista::ReglasFila(entradasFila()).evaluar(linea);
    if (escribir)
        return escribirFila(linea, r);
    if (r.truncado)
        ++truncados;
    if (r.motivo == lista::Motivo::FaltaObligatorio)
        ++faltaObligatorio;
    return true;
}

// A record for a row that can become one, else the row as it was read in the errors file.
bool MainWindow::escribirFila(const QString &linea, const lista::ResultadoFila &r)
{
    if (corrida.escrituraFallo)
        return false;
    if (r.motivo != lista::Motivo::Ninguno) {
        anotarError(linea);
        return false;
    }
    // The append and the counter move as one step against the worker's recounts.
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    if (!archivos_datos::agregarRegistroOutbox(archivoSalidas, r.numero, r.fecha, r.mensaje)) {
        detenerEscritura(tr("No se pudo abrir salidas.\n") + archivoSalidas);
        return false;
    }
    worker->sumarPendientes(1);
    return true;
}

bool MainWindow::anotarError(const QString &linea)
{
    const QString errores = corrida.listaLeida ? corrida.diario.rutaErrores : ui->ingresoErrores->text();
    const bool anotada = corrida.anexadorErrores ? corrida.anexadorErrores->agregar(linea)
                                                 : archivos_datos::agregarLineaErrores(errores, linea);
    if (anotada) {
        ++corrida.aErrores;
        return true;
    }
    // A row with a line in neither file would be lost, and after a crash the rows done would be
    // miscounted: stop as for the outbox.
    detenerEscritura(tr("No se pudo abrir el archivo de errores."));
    return false;
}

// The rows after it are not written either; the run tells it once at its end.
void MainWindow::detenerEscritura(const QString &causa)
{
    corrida.escrituraFallo = true;
    corrida.textoFallo = causa;
}

void MainWindow::on_pushAgregarListaToOutbox_clicked()
{
    // Boxes keep the event loop running; the poll must not start another run meanwhile.
    if (corridaEnCurso)
        return;
    // A run cut short is finished first, and this press is spent on it: starting the list again
    // would add its first rows twice.
    if (reanudarCorridaPendiente(true))
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
    const QString rutaLista = ui->ingresoLista->text();
    if (!rutasDeCorridaValidas(corrida_lista::Modo::Vigilada))
        return;
    QStringList lineas;
    const lista::Lectura lectura = lista::leerLista(rutaLista, lineas);
    if (lectura == lista::Lectura::NoAbre || rechazarLista(lectura, rutaLista))
        return; // a list that does not open now is tried again at the next tick
    empezarPasadas(corrida_lista::Modo::Vigilada, lineas);
    if (!abrirDiario())
        return;
    const int agregados = pasadaEscritura(lineas, 0);
    const bool completa = !corrida.escrituraFallo;
    cerrarCorrida(agregados, QString());
    // Every data row went to the outbox or to the errors file.
    const int filas = lineas.size() - qMin(formato.tieneHeader ? 1 : 0, lineas.size());
    if (completa)
        avisar(avisos::textoListaImportada(agregados, filas - agregados));
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
    ajustes::escribir(ajustes::Clave::FormatoSms, plantilla);
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
    if (!rutasDeCorridaValidas(corrida_lista::Modo::Simple))
        return;
    const QString rutaLista = ui->ingresoLista->text();
    QStringList lineas;
    const lista::Lectura lectura = lista::leerLista(rutaLista, lineas);
    if (lectura == lista::Lectura::NoAbre)
        return error(tr("No se pudo abrir lista a procesar"));
    if (rechazarLista(lectura, rutaLista))
        return;
    empezarPasadas(corrida_lista::Modo::Simple, lineas);
    if (!validarColumnas())
        return;
    if (!preguntarYContar(lineas))
        return;
    ajustes::escribir(ajustes::Clave::FormatoSms, plantilla);
    if (!abrirDiario())
        return;
    const int agregados = pasadaEscritura(lineas, 0);
    cerrarCorrida(agregados, corrida_lista::textoReporte(agregados, corrida_lista::Modo::Simple,
                                                         corrida.aErrores, corrida.diario.rutaErrores));
}

void MainWindow::corridaArmado()
{
    const QString plantilla = ui->editFormatoSMS->toPlainText();
    if (!guardarPlantillaYComprobarLista(plantilla))
        return;
    if (!rutasDeCorridaValidas(corrida_lista::Modo::Armado))
        return;
    const QString rutaLista = ui->ingresoLista->text();
    QStringList lineas;
    const lista::Lectura lectura = lista::leerLista(rutaLista, lineas);
    if (lectura == lista::Lectura::NoAbre) {
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
    if (rechazarLista(lectura, rutaLista))
        return;
    empezarPasadas(corrida_lista::Modo::Armado, lineas);
    const QString referencia = verificarCampos();
    if (referencia != QLatin1String("true"))
        return error(tr("No existe columna '%1' en la lista seleccionada").arg(referencia));
    if (!validarColumnas())
        return;
    if (plantilla.isEmpty())
        return error(tr("Debe ingresar un mensaje"));
    if (!preguntarYContar(lineas))
        return;
    if (!abrirDiario())
        return;
    const int agregados = pasadaEscritura(lineas, 0);
    cerrarCorrida(agregados, corrida_lista::textoReporte(agregados, corrida_lista::Modo::Armado,
                                                         corrida.aErrores, corrida.diario.rutaErrores));
}

// Every row is checked once, and the operator sees what will happen before anything is written.
bool MainWindow::preguntarYContar(const QStringList &lineas)
{
    if (CuadroMensaje::mostrar(tr("Atencion!"), tr("Desea agregar la lista a la bandeja de salida?"),
                               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return false;
    const lista::ReglasFila reglas(entradasFila());
    lista::RevisionLista revision;
    const int desde = formato.tieneHeader ? 1 : 0;
    {
        // Gone before the question: a progress dialog left alive would pop up over it later.
        ProgresoCorrida progreso(this, qMax(0, lineas.size() - desde));
        for (int i = desde; i < lineas.size(); ++i) {
            revision.agregar(i + 1, lineas.at(i), reglas.evaluar(lineas.at(i)));
            progreso.avanzar(i - desde + 1);
        }
    }
    truncados = revision.truncados();
    faltaObligatorio = revision.porMotivo(lista::Motivo::FaltaObligatorio);
    const QString texto = lista::textoResumen(revision) +
                          corrida_lista::textoConfirmacion(truncados, faltaObligatorio, revision.aEncolar(),
                                                           revision.hayAvisos());
    const auto botones = QMessageBox::Ok | QMessageBox::Cancel;
    if (revision.problemas().isEmpty())
        return CuadroMensaje::mostrar(tr("Atencion!"), texto, botones) == QMessageBox::Ok;
    const auto verDetalle = [&revision] {
        detalle_lista detalle(revision.problemas());
        detalle.exec();
    };
    return CuadroMensaje::mostrarConDetalle(tr("Atencion!"), texto, botones, verDetalle) == QMessageBox::Ok;
}

// Writes the data rows from the one after the first `hechas`; returns the records added. Records
// go out in batches, each batch written before any errors-file line and at the end, so every
// row's line still follows the lines of the rows before it: a crash loses only rows whose lines
// are in neither file, which the journal finds undone.
int MainWindow::pasadaEscritura(const QStringList &lineas, int hechas)
{
    int agregados = 0;
    const int desde = qMin((formato.tieneHeader ? 1 : 0) + hechas, lineas.size());
    const lista::ReglasFila reglas(entradasFila());
    ProgresoCorrida progreso(this, lineas.size() - desde);
    archivos_datos::AnexadorOutbox anexador(corrida.diario.rutaSalidas);
    archivos_datos::AnexadorErrores anexadorErrores(corrida.diario.rutaErrores);
    corrida.anexadorErrores = &anexadorErrores;
    int enLote = 0;
    const auto vaciar = [&] {
        if (enLote == 0)
            return;
        // The batch and the counter move as one step against the worker's recounts.
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        if (anexador.vaciar()) {
            worker->sumarPendientes(enLote);
            agregados += enLote;
        } else {
            detenerEscritura(tr("No se pudo abrir salidas.\n") + archivoSalidas);
        }
        enLote = 0;
    };
    for (int i = desde; i < lineas.size() && !corrida.escrituraFallo; ++i) {
        const lista::ResultadoFila r = reglas.evaluar(lineas.at(i));
        if (r.motivo == lista::Motivo::Ninguno) {
            anexador.acumular(r.numero, r.fecha, r.mensaje);
            ++enLote;
            if (anexador.acumulado() >= archivos_datos::AnexadorOutbox::kLote)
                vaciar();
        } else {
            vaciar();
            if (!corrida.escrituraFallo)
                anotarError(lineas.at(i));
        }
        progreso.avanzar(i - desde + 1);
    }
    vaciar();
    corrida.anexadorErrores = nullptr;
    return agregados;
}

// `compactar` is false while a journal still counts on the outbox's size.
void MainWindow::recontar(bool compactar)
{
    worker->contarEnviados();
    worker->contarRecibidos();
    worker->contarPendientes();
    if (compactar && worker->enviados() > 1000) {
        qCDebug(catApp) << "SIII  COMPACTAR OUTBOX!";
        compactarOutbox();
    }
}

void MainWindow::apartarListaProcesada(const QString &rutaLista)
{
    const QString rutaBackup = ui->ingresoBackups->text();
    if (corrida_lista::apartarLista(rutaLista, rutaBackup))
        return;
    // Left at the watched path it would be imported again at the next tick.
    detenerVigilancia();
    CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo mover la lista procesada %1 a %2.\nSe detuvo la "
                                            "verificacion periodica para no agregarla dos veces.")
                                             .arg(rutaLista, rutaBackup));
}

void MainWindow::detenerVigilancia()
{
    if (leerVerifPer())
        habilitarControlesLista(true);
}

// Everything a row needs, taken once: the list is in memory and the run's inputs are fixed. The
// columns are those of the list as just read: the file may have been replaced since it was chosen.
void MainWindow::empezarPasadas(corrida_lista::Modo modo, const QStringList &lineas)
{
    if (!lineas.isEmpty()) {
        const lista::ColumnasLista columnas = lista::columnasDe(lineas.first(), formato);
        columnasHeader = columnas.nombres;
        cantidadColumnas = columnas.cantidad;
    }
    corrida.listaLeida = true;
    diario_corrida::Diario &d = corrida.diario;
    d.modo = modo;
    d.rutaLista = ui->ingresoLista->text();
    diario_corrida::identidad(d.rutaLista, d.tamanoLista, d.modificadaLista);
    d.huellaLista = diario_corrida::huella(lineas);
    d.rutaSalidas = archivoSalidas;
    d.rutaErrores = ui->ingresoErrores->text();
    d.plantilla = ui->editFormatoSMS->toPlainText();
    d.columnaCelular = ui->comboCelular->currentText();
    d.columnaFecha = ui->comboFecha->currentText();
    d.hoy = hoy();
}

bool MainWindow::listaPresente() const
{
    return corrida.listaLeida || QFile::exists(ui->ingresoLista->text());
}

QString MainWindow::fechaHoy() const
{
    return corrida.listaLeida ? corrida.diario.hoy : hoy();
}

void MainWindow::error(const QString &texto)
{
    CuadroMensaje::mostrar(tr("Error!"), texto);
}

// Keeps only the pending records, written to "compactando.csv" in the data folder, which then
// replaces the outbox in one step.
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
    const QString campo = lista::campoEnMensaje(ui->TextoManual->toPlainText());
    if (!campo.isEmpty()) {
        CuadroMensaje::mostrar(
            titulo,
            tr("El mensaje no se envió: contiene «%1», que el gateway tomaría como parte "
               "del pedido y podría mandar el texto a otro número.\nQuítelo o sepárelo con "
               "un espacio (por ejemplo «& num=») y vuelva a intentarlo.")
                .arg(campo),
            QMessageBox::Ok);
        return;
    }
    // The rows of a run cut short are counted by the outbox's lines: it is finished first, and
    // nothing is appended while it cannot be.
    reanudarCorridaPendiente(true);
    if (QFile::exists(rutaDiario())) {
        error(tr("No se agrego el mensaje: antes debe terminar de agregarse la lista interrumpida."));
        return;
    }
    {
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        // An urgent message goes before every other line, so the worker's scan takes it next.
        const bool urgente = ui->checkUrgente->isChecked();
        const QString temporal =
            carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando));
        const bool agregado = urgente ? outbox::agregarPrimero(archivoSalidas, temporal, numero, hoy(),
                                                               ui->TextoManual->toPlainText()) ==
                                            outbox::ResultadoCompactacion::Hecha
                                      : archivos_datos::agregarRegistroOutbox(archivoSalidas, numero, hoy(),
                                                                              ui->TextoManual->toPlainText());
        if (!agregado) {
            bloqueo.unlock();
            CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo abrir salidas %1").arg(archivoSalidas));
            return;
        }
        worker->sumarPendientes(1);
        // Urgency is for this message only.
        ui->checkUrgente->setChecked(false);
    }
    if (worker->enviados() > 1000)
        compactarOutbox();
}
