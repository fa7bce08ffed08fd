#include "app/pagina_lista.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "lista/add_word_to_sms.h"
#include "lista/cfg_lista.h"
#include "lista/columnas.h"
#include "lista/lectura_lista.h"
#include "lista/plantilla.h"
#include "lista/revision_lista.h"
#include "lista/separar_linea.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextCharFormat>
#include <QTextCursor>

namespace {

const char kSinColumnas[] = "NO EXISTE ARCHIVO! SIN COLUMNAS!!";

void moverCursorAlFinal(QTextEdit *editor)
{
    QTextCursor cursor = editor->textCursor();
    cursor.movePosition(QTextCursor::End);
    editor->setTextCursor(cursor);
}

} // namespace

QStringList PaginaLista::separarLinea(const QString &linea) const
{
    return lista::separarLinea(linea, m_formato);
}

// With a header the line is stored and its names come first; without one only "#1".."#n" are
// offered. "--inmediato--" is always offered for the date. A list that cannot be read leaves the
// combos as they were.
bool PaginaLista::detectarColumnas(const QString &ruta, bool mostrarErrores, bool conHeader)
{
    lista::FormatoLista segun = m_formato;
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
        return false;
    case lista::Deteccion::ListaVacia:
        return false;
    case lista::Deteccion::Detectadas:
        break;
    }
    if (conHeader)
        ajustes::escribir(ajustes::Clave::HeaderList, columnas.primeraLinea);
    m_cantidadColumnas = columnas.cantidad;
    // Emptying and refilling the combos is the program's doing, not the operator's choice.
    formulario::sinGuardar(m_ui->comboCelular, [&] {
        m_ui->comboCelular->clear();
        m_ui->comboCelular->addItems(columnas.nombres);
    });
    formulario::sinGuardar(m_ui->comboFecha, [&] {
        m_ui->comboFecha->clear();
        m_ui->comboFecha->addItems(columnas.nombres);
        m_ui->comboFecha->addItem(QString::fromUtf8(ajustes::kInmediato));
    });
    m_columnasHeader = columnas.nombres;
    return true;
}

bool PaginaLista::detectarSegunFormato(const QString &ruta, bool mostrarErrores)
{
    return detectarColumnas(ruta, mostrarErrores, m_formato.tieneHeader);
}

void PaginaLista::ofrecerSeparador(const QString &ruta)
{
    QString primera;
    bool hayLinea = false;
    if (m_cantidadColumnas != 1 || lista::leerPrimeraLinea(ruta, primera, hayLinea) != lista::Lectura::Bien)
        return;
    const QChar sugerido = lista::separadorSugerido(primera, m_formato);
    if (sugerido.isNull())
        return;
    auto nombre = [](QChar separador) {
        if (separador == u';')
            return tr("punto y coma");
        if (separador == u'\t')
            return tr("tabulador");
        if (separador == u',')
            return tr("coma");
        return tr("ninguno");
    };
    const QString texto = tr("La lista se lee como una sola columna con el separador elegido (%1), pero su "
                             "primera línea tiene %2.\n¿Desea cambiar el formato de la lista a %2?")
                              .arg(nombre(lista::separadorDe(m_formato)), nombre(sugerido));
    if (CuadroMensaje::mostrar(tr("Atencion!"), texto, QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok)
        return;
    m_formato = lista::conSeparador(m_formato, sugerido);
    lista::guardarSeparador(m_formato);
    detectarSegunFormato(ruta, true);
}

// What is shown is stored: a watched run takes its columns from the store.
void PaginaLista::elegirColumnasDeLista()
{
    const lista::EleccionColumnas e = lista::elegirColumnas(
        ajustes::leerTexto(ajustes::Clave::ColumnaCelular), ajustes::leerTexto(ajustes::Clave::ColumnaFecha),
        m_columnasHeader, m_cantidadColumnas);
    formulario::sinGuardar(m_ui->comboCelular, [&] { m_ui->comboCelular->setCurrentText(e.celular); });
    formulario::sinGuardar(m_ui->comboFecha, [&] { m_ui->comboFecha->setCurrentText(e.fecha); });
    ajustes::escribir(ajustes::Clave::ColumnaCelular, e.celular);
    ajustes::escribir(ajustes::Clave::ColumnaFecha, e.fecha);
}

void PaginaLista::detectarColumnasConHeader(const QString &ruta, bool mostrarErrores)
{
    detectarColumnas(ruta, mostrarErrores, true);
}

void PaginaLista::detectarColumnasSinHeader(const QString &ruta, bool mostrarErrores)
{
    detectarColumnas(ruta, mostrarErrores, false);
}

int PaginaLista::buscarColumna(const QString &referencia) const
{
    if (!listaPresente()) {
        qCDebug(catApp) << kSinColumnas;
        return -1;
    }
    return lista::resolverColumna(referencia, m_columnasHeader, m_cantidadColumnas);
}

// A row shorter than the chosen column, or a column that no longer resolves, gives no number,
// which sends the row to the errors file.
QString PaginaLista::valorCelular(const QStringList &campos) const
{
    const int d = buscarColumna(m_ui->comboCelular->currentText());
    return d >= 0 && d < campos.size() ? campos.at(d) : QString();
}

QString PaginaLista::valorFecha(const QStringList &campos) const
{
    const int d = buscarColumna(m_ui->comboFecha->currentText());
    if (d < 0 || d >= campos.size())
        return reloj::hoyTexto();
    return campos.at(d);
}

// The list cannot come or go while one template is resolved: it is looked for once.
lista::BuscadorColumna PaginaLista::buscadorColumnas() const
{
    const bool hayLista = listaPresente();
    return [this, hayLista](QStringView referencia) {
        if (!hayLista) {
            qCDebug(catApp) << kSinColumnas;
            return -1;
        }
        return lista::resolverColumna(referencia, m_columnasHeader, m_cantidadColumnas);
    };
}

QString PaginaLista::transformarSms(const QString &plantilla, const QStringList &campos)
{
    const lista::MensajeLlenado r = lista::llenarPlantilla(plantilla, campos, buscadorColumnas());
    if (r.faltaObligatorio)
        ++m_faltaObligatorio;
    if (r.truncado)
        ++m_truncados;
    return r.mensaje;
}

QString PaginaLista::verificarCampos() const
{
    return lista::verificarCampos(m_ui->editFormatoSMS->toPlainText(), [this](QStringView referencia) {
        return buscarColumna(referencia.toString());
    });
}

bool PaginaLista::listaPresente() const
{
    return QFile::exists(m_ui->ingresoLista->text());
}

// What turns a row into a record, from the window's entries.
lista::EntradasFila PaginaLista::entradasFila() const
{
    lista::EntradasFila e;
    e.plantilla = m_ui->editFormatoSMS->toPlainText();
    if (listaPresente()) {
        e.columnas = m_columnasHeader;
        e.cantidadColumnas = m_cantidadColumnas;
    }
    e.columnaCelular = m_ui->comboCelular->currentText();
    e.columnaFecha = m_ui->comboFecha->currentText();
    e.separador = lista::separadorDe(m_formato);
    e.hoy = reloj::hoyTexto();
    return e;
}

bool PaginaLista::agregarFilaOutbox(const QString &linea)
{
    const lista::ResultadoFila r = lista::ReglasFila(entradasFila()).evaluar(linea);
    if (r.truncado)
        ++m_truncados;
    if (r.motivo == lista::Motivo::FaltaObligatorio)
        ++m_faltaObligatorio;
    return true;
}

QStringList PaginaLista::obtenerColumnas() const
{
    if (listaPresente())
        return m_columnasHeader;
    qCDebug(catApp) << kSinColumnas;
    return m_columnasDefecto;
}

void PaginaLista::configurarFormato()
{
    cfg_lista dialogo;
    if (dialogo.exec() != QDialog::Accepted)
        return;
    m_formato = lista::formatoGuardado();
    const QString ruta = m_ui->ingresoLista->text();
    if (!ruta.isEmpty() && detectarSegunFormato(ruta, true))
        elegirColumnasDeLista();
    mostrarPlantilla();
}

void PaginaLista::buscarArchivo()
{
    // Where the last list came from, else the documents folder: lists are the user's files, the
    // data folder holds the program's own.
    const QFileInfo anterior(m_ui->ingresoLista->text());
    QString carpeta = anterior.absoluteDir().exists() && !m_ui->ingresoLista->text().isEmpty()
                          ? anterior.absolutePath()
                          : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (carpeta.isEmpty() || !QFileInfo(carpeta).isDir())
        carpeta = ajustes::carpetaUsuario().absolutePath();
    const QString ruta = DialogoArchivo::abrir(m_ventana, tr("Abrir lista"), carpeta,
                                               tr("Listas (*.csv *.txt);;Todos los archivos (*)"));
    if (ruta.isEmpty())
        return;
    abrirLista(ruta);
}

void PaginaLista::leerListaEscrita()
{
    const QString ruta = m_ui->ingresoLista->text().trimmed();
    if (ruta.isEmpty())
        return;
    if (!QFileInfo(ruta).isFile()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("No se encontró la lista «%1».").arg(ruta));
        return;
    }
    abrirLista(ruta);
}

void PaginaLista::abrirLista(const QString &ruta)
{
    qCDebug(catApp) << "SETEA FILENAME=" << ruta;
    m_ui->ingresoLista->setText(ruta);
    ajustes::escribir(ajustes::Clave::ListaNombreFila, ruta);
    if (detectarSegunFormato(ruta, true)) {
        ofrecerSeparador(ruta);
        elegirColumnasDeLista();
    }
    // The preview starts again at the first row of the new list.
    m_filaVistaPrevia = 0;
    m_ui->SmsListaUp->setEnabled(true);
    mostrarPlantilla();
}

// The reference always goes at the end of the template, wherever the cursor was.
void PaginaLista::agregarCampo()
{
    add_word_to_sms dialogo;
    dialogo.cargarEtiquetas(obtenerColumnas());
    if (dialogo.exec() != QDialog::Accepted)
        return;
    moverCursorAlFinal(m_ui->editFormatoSMS);
    m_ui->editFormatoSMS->insertPlainText(dialogo.getEtiqueta());
    moverCursorAlFinal(m_ui->editFormatoSMS);
}

// Preview of the message for line `m_filaVistaPrevia` of the list (never the header). A list
// shorter than that shows its last line; the step buttons stop at either end.
void PaginaLista::mostrarPlantilla()
{
    const QString ruta = m_ui->ingresoLista->text();
    QStringList campos;
    lista::LineaLista linea;
    const int primeraDeDatos = m_formato.tieneHeader ? 1 : 0;
    const int pedida = qMax(m_filaVistaPrevia, primeraDeDatos);
    m_filaMostrada.clear();
    m_filaRechazada = false;
    if (lista::leerLineaLista(ruta, pedida, linea)) {
        if (primeraDeDatos >= m_filaVistaPrevia) {
            m_filaVistaPrevia = primeraDeDatos;
            m_ui->SmsListaDown->setEnabled(false);
        }
        if (linea.esUltima)
            m_ui->SmsListaUp->setEnabled(false);
        campos = separarLinea(linea.texto);
        // Which row this is, and what the run would make of it.
        const int fila = m_filaVistaPrevia - primeraDeDatos + 1;
        const int total = m_largosLista.actualizar(ruta, m_formato) ? m_largosLista.filas() : 0;
        m_filaMostrada = total >= fila ? tr("fila %1 de %2").arg(fila).arg(total) : tr("fila %1").arg(fila);
        const lista::Motivo motivo = lista::ReglasFila(entradasFila()).evaluar(linea.texto).motivo;
        m_filaRechazada = motivo != lista::Motivo::Ninguno;
        if (m_filaRechazada)
            m_filaMostrada += tr(": no se agregará (%1)").arg(lista::textoMotivo(motivo));
    } else {
        qCDebug(catApp) << " Could not open the file for read/write" << ruta;
    }
    mostrarVistaPrevia(lista::PlantillaCompilada(m_ui->editFormatoSMS->toPlainText(), buscadorColumnas()),
                       campos);
}

// The part past the limit stays visible, struck through and greyed: it is what the cut takes off.
void PaginaLista::mostrarVistaPrevia(const lista::PlantillaCompilada &plantilla, const QStringList &campos)
{
    const lista::MensajeLlenado m = plantilla.llenar(campos);
    m_ui->TransformadaSMS->clear();
    QTextCursor cursor(m_ui->TransformadaSMS->document());
    cursor.insertText(m.mensaje);
    if (!m.resto.isEmpty()) {
        QTextCharFormat cortado;
        cortado.setFontStrikeOut(true);
        cortado.setForeground(QColor(Qt::gray));
        cursor.insertText(m.resto, cortado);
    }
    const int largo = m.mensaje.size() + m.resto.size();
    const int masLargo = m_largosLista.actualizar(m_ui->ingresoLista->text(), m_formato)
                             ? m_largosLista.masLargo(plantilla)
                             : -1;
    QString texto = tr("%1/%2 caracteres").arg(largo).arg(lista::kLargoMaximoSms);
    if (masLargo >= 0)
        texto += tr("\nel más largo de la lista: %1").arg(masLargo);
    if (!m_filaMostrada.isEmpty())
        texto += QLatin1Char('\n') + m_filaMostrada;
    m_ui->labelContadorSms->setText(texto);
    const bool excede = qMax(largo, masLargo) > lista::kLargoMaximoSms || m_filaRechazada;
    m_ui->labelContadorSms->setStyleSheet(excede ? QStringLiteral("color: #b00000;") : QString());
}

// Manual messages are not cut: the counter only tells when one runs past the limit of list messages.
void PaginaLista::contarManual()
{
    const int largo = m_ui->TextoManual->toPlainText().size();
    QString texto = tr("%1 caracteres").arg(largo);
    if (largo > lista::kLargoMaximoSms)
        texto += tr(" (más de %1)").arg(lista::kLargoMaximoSms);
    m_ui->labelContadorManual->setText(texto);
    m_ui->labelContadorManual->setStyleSheet(
        largo > lista::kLargoMaximoSms ? QStringLiteral("color: #b00000;") : QString());
}

void PaginaLista::filaSiguiente()
{
    ++m_filaVistaPrevia;
    m_ui->SmsListaDown->setEnabled(true);
    mostrarPlantilla();
}

void PaginaLista::filaAnterior()
{
    --m_filaVistaPrevia;
    m_ui->SmsListaUp->setEnabled(true);
    mostrarPlantilla();
}

PaginaLista::PaginaLista(Ui::MainWindow *ui, QWidget *ventana, const QString &carpetaDatos)
    : m_ui(ui), m_ventana(ventana), m_carpetaDatos(carpetaDatos),
      m_formato(lista::formatoGuardado()), m_columnasDefecto{QStringLiteral("#1"), QStringLiteral("#2"),
                                                             QStringLiteral("#3"), QStringLiteral("#4")}
{
}

void PaginaLista::cargar()
{
    m_formato = lista::formatoGuardado();
    m_columnasHeader = separarLinea(ajustes::leerTexto(ajustes::Clave::HeaderList));
    if (!m_ui->ingresoLista->text().isEmpty())
        detectarSegunFormato(m_ui->ingresoLista->text(), false);
    restaurarColumnas();
    // The template was loaded before the list's columns were known.
    mostrarPlantilla();
    contarManual();
}

void PaginaLista::restaurarColumnas()
{
    formulario::sinGuardar(m_ui->comboCelular, [this] {
        m_ui->comboCelular->setCurrentText(ajustes::leerTexto(ajustes::Clave::ColumnaCelular));
    });
    const QString fecha = ajustes::leerTexto(ajustes::Clave::ColumnaFecha);
    formulario::sinGuardar(m_ui->comboFecha, [&] {
        // The first item added to an empty combo becomes its current text: the date column just
        // restored is set again after it.
        m_ui->comboFecha->setCurrentText(fecha);
        if (m_ui->comboFecha->findText(QString::fromLatin1(ajustes::kInmediato)) < 0)
            m_ui->comboFecha->addItem(QString::fromLatin1(ajustes::kInmediato));
        m_ui->comboFecha->setCurrentText(fecha);
    });
}

void PaginaLista::anotarConteo(int truncados, int faltaObligatorio)
{
    m_truncados = truncados;
    m_faltaObligatorio = faltaObligatorio;
}
