#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "lista/add_word_to_sms.h"
#include "lista/cfg_lista.h"
#include "lista/columnas.h"
#include "lista/lectura_lista.h"
#include "lista/plantilla.h"
#include "lista/separar_linea.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QDebug>
#include <QFile>
#include <QTextCursor>

// List format, column detection, template and preview. The work is done by the pure functions
// in lista/; these members only take their inputs from the window and show the results.

namespace {

const char kSinColumnas[] = "NO EXISTE ARCHIVO! SIN COLUMNAS!!";

void moverCursorAlFinal(QTextEdit *editor)
{
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    editor->setTextCursor(cursor);
}

} // namespace

QStringList MainWindow::separarLinea(const QString &linea) const
{
    return lista::separarLinea(linea, formato);
}

// With a header the line is stored and its names come first; without one only "#1".."#n" are
// offered, plus "--inmediato--" for the date. A list that cannot be read leaves the combos as
// they were.
void MainWindow::detectarColumnas(const QString &ruta, bool mostrarErrores, bool conHeader)
{
    lista::FormatoLista segun = formato;
    segun.tieneHeader = conHeader;
    lista::ColumnasLista columnas;
    switch (lista::detectarColumnas(ruta, segun, columnas)) {
    case lista::Deteccion::NoAbre:
        qCDebug(catApp) << " Could not open the file for read/write" << ruta;
        if (mostrarErrores) {
            CuadroMensaje::mostrar(tr("Error!"),
                                   conHeader ? tr("No se pudo abrir el archivo para detectar el header.")
                                             : tr("No se pudo abrir el archivo para detectar la cebecera."));
        }
        return;
    case lista::Deteccion::ListaVacia:
        return;
    case lista::Deteccion::Detectadas:
        break;
    }
    if (conHeader)
        ajustes::escribir(ajustes::Clave::HeaderList, columnas.primeraLinea);
    cantidadColumnas = columnas.cantidad;
    // Emptying and refilling the combos is the program's doing, not the operator's choice.
    sinGuardar(ui->comboCelular, [&] {
        ui->comboCelular->clear();
        ui->comboCelular->addItems(columnas.nombres);
    });
    sinGuardar(ui->comboFecha, [&] {
        ui->comboFecha->clear();
        ui->comboFecha->addItems(columnas.nombres);
        if (!conHeader)
            ui->comboFecha->addItem(QString::fromUtf8(ajustes::kInmediato));
    });
    columnasHeader = columnas.nombres;
}

void MainWindow::detectarSegunFormato(const QString &ruta, bool mostrarErrores)
{
    detectarColumnas(ruta, mostrarErrores, formato.tieneHeader);
}

void MainWindow::detectarColumnasConHeader(const QString &ruta, bool mostrarErrores)
{
    detectarColumnas(ruta, mostrarErrores, true);
}

void MainWindow::detectarColumnasSinHeader(const QString &ruta, bool mostrarErrores)
{
    detectarColumnas(ruta, mostrarErrores, false);
}

int MainWindow::buscarColumna(const QString &referencia) const
{
    if (!listaPresente()) {
        qCDebug(catApp) << kSinColumnas;
        return -1;
    }
    return lista::resolverColumna(referencia, columnasHeader, cantidadColumnas);
}

// A row shorter than the chosen column, or a column that no longer resolves, gives no number,
// which sends the row to the errors file.
QString MainWindow::valorCelular(const QStringList &campos) const
{
    const int d =
        buscarColumna(corrida.listaLeida ? corrida.diario.columnaCelular : ui->comboCelular->currentText());
    return d >= 0 && d < campos.size() ? campos.at(d) : QString();
}

QString MainWindow::valorFecha(const QStringList &campos) const
{
    const int d =
        buscarColumna(corrida.listaLeida ? corrida.diario.columnaFecha : ui->comboFecha->currentText());
    if (d < 0 || d >= campos.size())
        return fechaHoy();
    return campos.at(d);
}

QString MainWindow::transformarSms(const QString &plantilla, const QStringList &campos)
{
    // The list cannot come or go while one message is filled: look for it once.
    const bool hayLista = listaPresente();
    const lista::BuscadorColumna buscar = [&](QStringView referencia) {
        if (!hayLista) {
            qCDebug(catApp) << kSinColumnas;
            return -1;
        }
        return lista::resolverColumna(referencia, columnasHeader, cantidadColumnas);
    };
    const lista::MensajeLlenado r = lista::llenarPlantilla(plantilla, campos, buscar);
    if (r.faltaObligatorio)
        ++faltaObligatorio;
    if (r.truncado)
        ++truncados;
    return r.mensaje;
}

QString MainWindow::verificarCampos() const
{
    return lista::verificarCampos(ui->editFormatoSMS->toPlainText(), [this](QStringView referencia) {
        return buscarColumna(referencia.toString());
    });
}

QStringList MainWindow::obtenerColumnas() const
{
    if (listaPresente())
        return columnasHeader;
    qCDebug(catApp) << kSinColumnas;
    return columnasDefecto;
}

void MainWindow::on_cfgLista_clicked()
{
    cfg_lista dialogo;
    if (dialogo.exec() != QDialog::Accepted)
        return;
    formato = lista::formatoGuardado();
    const QString ruta = ui->ingresoLista->text();
    if (!ruta.isEmpty())
        detectarSegunFormato(ruta, true);
    on_editFormatoSMS_textChanged();
}

void MainWindow::on_BuscarArchivo_clicked()
{
    const QString ruta =
        DialogoArchivo::abrir(this, tr("Abrir lista"), carpetaDatos.absolutePath(), tr("CSV Files (*.csv)"));
    if (ruta.isEmpty())
        return;
    qCDebug(catApp) << "SETEA FILENAME=" << ruta;
    ui->ingresoLista->setText(ruta);
    ajustes::escribir(ajustes::Clave::ListaNombreFila, ruta);
    detectarSegunFormato(ruta, true);
}

// The reference always goes at the end of the template, wherever the cursor was.
void MainWindow::on_pushAgregarCampo_clicked()
{
    add_word_to_sms dialogo;
    dialogo.cargarEtiquetas(obtenerColumnas());
    if (dialogo.exec() != QDialog::Accepted)
        return;
    moverCursorAlFinal(ui->editFormatoSMS);
    ui->editFormatoSMS->insertPlainText(dialogo.getEtiqueta());
    moverCursorAlFinal(ui->editFormatoSMS);
}

// Preview of the message for line `filaVistaPrevia` of the list (never the header). A list
// shorter than that shows its last line; the step buttons stop at either end.
void MainWindow::on_editFormatoSMS_textChanged()
{
    const QString ruta = ui->ingresoLista->text();
    QStringList campos;
    lista::LineaLista linea;
    const int primeraDeDatos = formato.tieneHeader ? 1 : 0;
    const int pedida = qMax(filaVistaPrevia, primeraDeDatos);
    if (lista::leerLineaLista(ruta, pedida, linea)) {
        if (primeraDeDatos >= filaVistaPrevia) {
            filaVistaPrevia = primeraDeDatos;
            ui->SmsListaDown->setEnabled(false);
        }
        if (linea.esUltima)
            ui->SmsListaUp->setEnabled(false);
        campos = separarLinea(linea.texto);
    } else {
        qCDebug(catApp) << " Could not open the file for read/write" << ruta;
    }
    ui->TransformadaSMS->clear();
    ui->TransformadaSMS->append(transformarSms(ui->editFormatoSMS->toPlainText(), campos));
}

void MainWindow::on_SmsListaUp_clicked()
{
    ++filaVistaPrevia;
    ui->SmsListaDown->setEnabled(true);
    on_editFormatoSMS_textChanged();
}

void MainWindow::on_SmsListaDown_clicked()
{
    --filaVistaPrevia;
    ui->SmsListaUp->setEnabled(true);
    on_editFormatoSMS_textChanged();
}
