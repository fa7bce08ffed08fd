#include "app/pestanas_historial.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "app/conversacion.h"
#include "historial/base_historial.h"
#include "historial/consultas.h"
#include "historial/exportar_csv.h"
#include "historial/modelo_bandeja.h"
#include "historial/modelo_paginado.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"
#include "lista/retencion.h"
#include "servicio/servicio_envio.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QMainWindow>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

// A filter applies this long after the last key, so that typing a number asks once.
constexpr int kDemoraFiltroMs = 300;

// A column's first width: as wide as `muestra` (a typical value) or its title, whichever is wider.
// Measured, not asked of the rows: the view never reads a million of them to size a column.
int anchoPara(const QTableView *tabla, int columna, const QString &muestra)
{
    const QFontMetrics medida = tabla->fontMetrics();
    const QString titulo = tabla->model()->headerData(columna, Qt::Horizontal).toString();
    const int margen = 2 * medida.horizontalAdvance(QLatin1Char('0'));
    return qMax(medida.horizontalAdvance(muestra), medida.horizontalAdvance(titulo) + margen) + margen;
}

// The columns' first widths (`muestras`, one per column; the message's, empty, takes the rest),
// then the operator's own, kept under `clave`.
void prepararTabla(QTableView *tabla, QAbstractItemModel *modelo, int columnaEstirada,
                   const QStringList &muestras, ajustes::Clave clave)
{
    tabla->setModel(modelo);
    tabla->verticalHeader()->setVisible(false);
    // Rows of one fixed height: the view never measures a million of them.
    tabla->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tabla->verticalHeader()->setDefaultSectionSize(tabla->fontMetrics().height() + 6);
    QHeaderView *cabecera = tabla->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::Interactive);
    cabecera->setStretchLastSection(false);
    for (int c = 0; c < muestras.size() && c < modelo->columnCount(); ++c) {
        if (c != columnaEstirada)
            tabla->setColumnWidth(c, anchoPara(tabla, c, muestras.at(c)));
    }
    cabecera->setSectionResizeMode(columnaEstirada, QHeaderView::Stretch);
    const QByteArray guardado = QByteArray::fromBase64(ajustes::leerTexto(clave).toLatin1());
    if (!guardado.isEmpty() && !cabecera->restoreState(guardado))
        qCDebug(catApp) << "anchos de columnas guardados ilegibles:" << ajustes::nombre(clave);
    // The stretched column always fills what the others leave, whatever was stored.
    cabecera->setSectionResizeMode(columnaEstirada, QHeaderView::Stretch);
}

// The selected rows, sorted, each once. Read from the selection's ranges: asking row by row
// whether it is selected costs the square of the ranges, and an operator may select thousands.
QVector<int> filasElegidas(const QTableView *tabla)
{
    QVector<int> filas;
    for (const QItemSelectionRange &rango : tabla->selectionModel()->selection()) {
        for (int fila = rango.top(); fila <= rango.bottom(); ++fila)
            filas.append(fila);
    }
    std::sort(filas.begin(), filas.end());
    filas.erase(std::unique(filas.begin(), filas.end()), filas.end());
    return filas;
}

void mostrarFila(const QTableView *tabla, int fila)
{
    const QAbstractItemModel *modelo = tabla->model();
    QStringList lineas;
    for (int c = 0; c < modelo->columnCount(); ++c) {
        const QString valor = modelo->index(fila, c).data(Qt::ToolTipRole).toString();
        if (!valor.isEmpty())
            lineas << modelo->headerData(c, Qt::Horizontal).toString() + QStringLiteral(": ") + valor;
    }
    if (!lineas.isEmpty())
        CuadroMensaje::mostrar(PestanasHistorial::tr("Detalle"), lineas.join(QLatin1Char('\n')));
}

QChar separadorDe(const QComboBox *combo)
{
    const QString texto = combo->currentText();
    return texto.isEmpty() ? QLatin1Char(';') : texto.at(0);
}

} // namespace

PestanasHistorial::PestanasHistorial(Ui::MainWindow *ui, servicio::ServicioEnvio &servicio,
                                     QMainWindow *ventana)
    : QObject(nullptr), m_ui(ui), m_servicio(servicio), m_historial(servicio.historial()), m_ventana(ventana),
      m_recibidos(historial::tablaRecibidosConContexto(servicio.digitosNumero()))
{
    connect(&m_historial, &historial::Historial::agregados, this, [this](bool recibidos) {
        if (recibidos) {
            m_recibidosSucio = true;
            actualizarTituloRecibidos();
        } else {
            m_historialSucio = true;
        }
    });

    const QString fechaHora = QStringLiteral("0000-00-00 00:00:00");
    const QString numero = QStringLiteral("+5491155667788");
    prepararTabla(m_ui->tablaHistorial, &m_enviados, 2,
                  {fechaHora, numero, QString(), tr("error: el gateway no respondió")},
                  ajustes::Clave::AnchosHistorial);
    prepararTabla(
        m_ui->tablaBandeja, &m_bandeja, 2,
        {numero, QStringLiteral("00/00/0000"), QString(), QStringLiteral("00000"), tr("Enviándose")},
        ajustes::Clave::AnchosBandeja);
    prepararTabla(m_ui->tablaRecibidos, &m_recibidos, 2, {fechaHora, numero, QString()},
                  ajustes::Clave::AnchosRecibidos);
    // A row read whole: every column, the message unshortened, in a box of its own.
    for (QTableView *tabla : {m_ui->tablaHistorial, m_ui->tablaBandeja, m_ui->tablaRecibidos})
        connect(tabla, &QTableView::doubleClicked, this,
                [tabla](const QModelIndex &indice) { mostrarFila(tabla, indice.row()); });

    const QDate hoy = reloj::hoy();
    m_ui->desdeHistorial->setDate(hoy.addDays(-7));
    m_ui->hastaHistorial->setDate(hoy);
    m_ui->desdeHistorial->setEnabled(false);
    m_ui->hastaHistorial->setEnabled(false);
    connect(m_ui->checkFechasHistorial, &QCheckBox::toggled, this, [this](bool activo) {
        m_ui->desdeHistorial->setEnabled(activo);
        m_ui->hastaHistorial->setEnabled(activo);
        aplicarFiltroHistorial();
    });

    const std::pair<QTimer *, void (PestanasHistorial::*)()> demoras[] = {
        {&m_demoraHistorial, &PestanasHistorial::aplicarFiltroHistorial},
        {&m_demoraBandeja, &PestanasHistorial::aplicarFiltroBandeja},
        {&m_demoraRecibidos, &PestanasHistorial::aplicarFiltroRecibidos}};
    for (const auto &d : demoras) {
        d.first->setSingleShot(true);
        d.first->setInterval(kDemoraFiltroMs);
        connect(d.first, &QTimer::timeout, this, d.second);
    }
    for (QLineEdit *campo : {m_ui->filtroNumeroHistorial, m_ui->filtroTextoHistorial})
        connect(campo, &QLineEdit::textChanged, &m_demoraHistorial, qOverload<>(&QTimer::start));
    connect(m_ui->desdeHistorial, &QDateEdit::dateChanged, &m_demoraHistorial, qOverload<>(&QTimer::start));
    connect(m_ui->hastaHistorial, &QDateEdit::dateChanged, &m_demoraHistorial, qOverload<>(&QTimer::start));
    connect(m_ui->filtroBandeja, &QLineEdit::textChanged, &m_demoraBandeja, qOverload<>(&QTimer::start));
    connect(m_ui->filtroRecibidos, &QLineEdit::textChanged, &m_demoraRecibidos, qOverload<>(&QTimer::start));

    actualizarTituloRecibidos();
    mostrarEnDuda(m_servicio.instantanea());
    pestanaCambiada(m_ui->tabWidget->currentIndex());
    // The names of the tabs are never shortened ("...torial"): the window is at least as tall as
    // the whole tab bar, and made so at start.
    m_ui->tabWidget->setElideMode(Qt::ElideNone);
    m_ui->tabWidget->setUsesScrollButtons(false);
    const QMargins margenes = m_ui->gridLayout->contentsMargins();
    const int alto = m_ui->tabWidget->tabBar()->sizeHint().height() + margenes.top() + margenes.bottom() +
                     m_ventana->statusBar()->sizeHint().height() + m_ui->tabWidget->fontMetrics().height();
    if (alto > m_ventana->height())
        m_ventana->resize(m_ventana->width(), alto);
}

PestanasHistorial::~PestanasHistorial()
{
    guardarAnchos();
    for (QTableView *tabla : {m_ui->tablaHistorial, m_ui->tablaBandeja, m_ui->tablaRecibidos})
        tabla->setModel(nullptr);
}

void PestanasHistorial::guardarAnchos() const
{
    const std::pair<QTableView *, ajustes::Clave> tablas[] = {
        {m_ui->tablaHistorial, ajustes::Clave::AnchosHistorial},
        {m_ui->tablaBandeja, ajustes::Clave::AnchosBandeja},
        {m_ui->tablaRecibidos, ajustes::Clave::AnchosRecibidos}};
    for (const auto &t : tablas) {
        if (t.first->model())
            ajustes::escribir(t.second,
                              QString::fromLatin1(t.first->horizontalHeader()->saveState().toBase64()));
    }
}

void PestanasHistorial::pestanaCambiada(int indice)
{
    QWidget *pagina = m_ui->tabWidget->widget(indice);
    if (pagina == m_ui->tabHistorial) {
        if (m_historialSucio)
            refrescarHistorial();
        m_ui->labelEstadoHistorial->setText(m_historial.textoEstado());
    } else if (pagina == m_ui->tabBandeja) {
        m_bandejaSucia = true;
        refrescarPestanaActual(m_servicio.instantanea());
    } else if (pagina == m_ui->tabRecibidos) {
        m_recibidosSucio = true;
        refrescarPestanaActual(m_servicio.instantanea());
    }
}

// From the poll: only what changed is asked for again, so that an open tab costs nothing idle.
void PestanasHistorial::refrescarPestanaActual(const servicio::Instantanea &instantanea)
{
    QWidget *pagina = m_ui->tabWidget->currentWidget();
    if (pagina == m_ui->tabHistorial) {
        // Rows arriving while the operator reads further down do not pull the list from under
        // him: it is brought up to date once he is back at the top.
        if (m_historialSucio && m_ui->tablaHistorial->verticalScrollBar()->value() == 0 &&
            m_ritmoHistorial.libre())
            refrescarHistorial();
        else
            m_ui->labelEstadoHistorial->setText(m_historial.textoEstado());
    } else if (pagina == m_ui->tabBandeja) {
        const QFileInfo salidas(m_servicio.rutaSalidas());
        const bool cambio = salidas.size() != m_tamanoSalidas || salidas.lastModified() != m_fechaSalidas ||
                            instantanea.versionRetencion != m_versionRetencion;
        if (m_bandejaSucia || (cambio && m_ritmoBandeja.libre()))
            refrescarBandeja();
    } else if (pagina == m_ui->tabRecibidos && m_recibidosSucio) {
        refrescarRecibidos();
        // Looked at: what is there now is no longer new.
        const QSqlDatabase db = m_historial.base();
        const qint64 ultimo = historial::ultimoId(db, historial::tablaRecibidos().nombre);
        if (db.isValid() && ultimo != ajustes::leerEntero(ajustes::Clave::RecibidosVistos))
            ajustes::escribir(ajustes::Clave::RecibidosVistos, ultimo);
        actualizarTituloRecibidos();
    }
}

void PestanasHistorial::aplicarFiltroHistorial()
{
    m_demoraHistorial.stop();
    m_historialSucio = true;
    if (m_ui->tabWidget->currentWidget() == m_ui->tabHistorial)
        refrescarHistorial();
}

void PestanasHistorial::aplicarFiltroBandeja()
{
    m_demoraBandeja.stop();
    m_bandeja.filtrar(m_ui->filtroBandeja->text(), m_ui->checkSoloEnDuda->isChecked());
    const int total = m_bandeja.total();
    const int vistos = m_bandeja.rowCount();
    QString cuenta = vistos == total ? tr("%n pendiente(s)", nullptr, total)
                                     : tr("%1 de %n pendiente(s)", nullptr, total).arg(vistos);
    if (m_bandeja.totalEnDuda() > 0)
        cuenta += tr(", %n en duda", nullptr, m_bandeja.totalEnDuda());
    m_ui->labelCuentaBandeja->setText(cuenta);
}

void PestanasHistorial::aplicarFiltroRecibidos()
{
    m_demoraRecibidos.stop();
    m_recibidosSucio = true;
    if (m_ui->tabWidget->currentWidget() == m_ui->tabRecibidos)
        refrescarRecibidos();
}

void PestanasHistorial::refrescarHistorial()
{
    m_historialSucio = false;
    m_ritmoHistorial.desde.start();
    historial::Filtro f;
    f.numero = m_ui->filtroNumeroHistorial->text();
    f.digitos = m_servicio.digitosNumero();
    f.texto = m_ui->filtroTextoHistorial->text();
    if (m_ui->checkFechasHistorial->isChecked()) {
        f.desde = m_ui->desdeHistorial->date();
        f.hasta = m_ui->hastaHistorial->date();
    }
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = m_historial.base();
    qint64 total = 0;
    qint64 errores = 0;
    if (db.isValid())
        historial::contarEnviados(db, c, total, errores);
    historial::elegirPlan(c, total);
    m_enviados.mostrar(db, c);
    m_ui->labelCuentaHistorial->setText(tr("%1 mensajes, %2 con error").arg(total).arg(errores));
    m_ui->labelEstadoHistorial->setText(m_historial.textoEstado());
    m_ritmoHistorial.ms = m_ritmoHistorial.desde.elapsed();
}

void PestanasHistorial::refrescarRecibidos()
{
    m_recibidosSucio = false;
    historial::Filtro f;
    f.numeroOTexto = m_ui->filtroRecibidos->text();
    f.digitos = m_servicio.digitosNumero();
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = m_historial.base();
    const qint64 total = db.isValid() ? historial::contar(db, historial::tablaRecibidos().nombre, c) : 0;
    m_recibidos.mostrar(db, c);
    m_ui->labelCuentaRecibidos->setText(tr("%1 mensajes").arg(qMax<qint64>(total, 0)));
}

void PestanasHistorial::actualizarTituloRecibidos()
{
    const int indice = m_ui->tabWidget->indexOf(m_ui->tabRecibidos);
    qint64 nuevos = 0;
    const QSqlDatabase db = m_historial.base();
    if (db.isValid() && m_ui->tabWidget->currentIndex() != indice) {
        qint64 vistos = ajustes::leerEntero(ajustes::Clave::RecibidosVistos);
        // A history begun anew (the old file set aside as damaged) numbers its rows from 1 again.
        if (vistos > historial::ultimoId(db, historial::tablaRecibidos().nombre)) {
            vistos = 0;
            ajustes::escribir(ajustes::Clave::RecibidosVistos, vistos);
        }
        nuevos = qMax<qint64>(0, historial::contarDesde(db, historial::tablaRecibidos().nombre, vistos));
    }
    m_ui->tabWidget->setTabText(indice, nuevos > 0 ? tr("Recibidos (%1)").arg(nuevos) : tr("Recibidos"));
}

// The pending records anew; the rows the operator had selected stay selected.
void PestanasHistorial::refrescarBandeja()
{
    m_bandejaSucia = false;
    m_ritmoBandeja.desde.start();
    QVector<outbox::Referencia> elegidos;
    for (const int fila : filasElegidas(m_ui->tablaBandeja)) {
        const outbox::RegistroPendiente &r = m_bandeja.registro(fila);
        elegidos.append({r.posicion, r.linea});
    }
    const QFileInfo salidas(m_servicio.rutaSalidas());
    m_tamanoSalidas = salidas.size();
    m_fechaSalidas = salidas.lastModified();
    m_versionRetencion = m_servicio.instantanea().versionRetencion;
    const int desplazamiento = m_ui->tablaBandeja->verticalScrollBar()->value();
    m_servicio.actualizarBandeja(m_bandeja);
    aplicarFiltroBandeja();
    m_ui->tablaBandeja->verticalScrollBar()->setValue(desplazamiento);
    m_ritmoBandeja.ms = m_ritmoBandeja.desde.elapsed();
    if (elegidos.isEmpty())
        return;
    QVector<int> filas;
    for (const outbox::Referencia &r : qAsConst(elegidos)) {
        const int fila = m_bandeja.filaDe(r.posicion, r.linea);
        if (fila >= 0)
            filas.append(fila);
    }
    std::sort(filas.begin(), filas.end());
    QItemSelection seleccion;
    const int ultimaColumna = m_bandeja.columnCount() - 1;
    for (int i = 0; i < filas.size();) {
        int j = i;
        while (j + 1 < filas.size() && filas.at(j + 1) == filas.at(j) + 1)
            ++j;
        seleccion.select(m_bandeja.index(filas.at(i), 0), m_bandeja.index(filas.at(j), ultimaColumna));
        i = j + 1;
    }
    m_ui->tablaBandeja->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
}

void PestanasHistorial::cancelarElegidos(const std::function<bool()> &corridaEnCurso)
{
    const QVector<int> filas = filasElegidas(m_ui->tablaBandeja);
    if (filas.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione los mensajes a cancelar."));
        return;
    }
    // A list run counts its rows by the outbox's size: nothing is taken out under it. Asked again
    // after the question, since the poll goes on while it is open.
    const auto corridaAbierta = [this, &corridaEnCurso] {
        if (!corridaEnCurso() && !m_servicio.corridaAbierta())
            return false;
        error(tr("No se puede cancelar mientras se agrega una lista a la bandeja de salida."));
        return true;
    };
    if (corridaAbierta())
        return;
    // The records are taken before the question: the poll may reload the table under it, and a
    // row number would then name another record.
    QVector<outbox::Referencia> registros;
    registros.reserve(filas.size());
    for (const int fila : filas) {
        const outbox::RegistroPendiente &r = m_bandeja.registro(fila);
        registros.append({r.posicion, r.linea});
    }
    if (!CuadroMensaje::preguntar(
            tr("Atencion!"),
            tr("¿Cancelar %n mensaje(s) pendiente(s)? Se quitan de la bandeja de salida y "
               "no se enviarán.",
               nullptr, filas.size()),
            tr("Cancelar envío"), tr("Volver")) ||
        corridaAbierta())
        return;
    const outbox::ResultadoCancelacion r = m_servicio.cancelar(registros);
    m_ui->tablaBandeja->clearSelection();
    refrescarBandeja();
    if (r.resultado != outbox::ResultadoCompactacion::Hecha) {
        error(tr("No se pudo cancelar: no se pudo reescribir la bandeja de salida %1. No se quitó ningún "
                 "mensaje.")
                  .arg(m_servicio.rutaSalidas()));
        return;
    }
    qCDebug(catApp) << "cancelados" << r.cancelados << "en envio" << r.enMano << "ya no pendientes"
                    << r.noEncontrados;
    if (r.enMano == 0 && r.noEncontrados == 0)
        return;
    QString texto = tr("Se cancelaron %n mensaje(s).", nullptr, r.cancelados);
    if (r.enMano > 0)
        texto += QLatin1Char('\n') + tr("Uno se está enviando en este momento y no se canceló.");
    if (r.noEncontrados > 0)
        texto += QLatin1Char('\n') +
                 tr("%n ya no estaba(n) pendiente(s) (enviados mientras tanto).", nullptr, r.noEncontrados);
    CuadroMensaje::mostrar(tr("Atencion!"), texto);
}

void PestanasHistorial::verConversacion(bool responder)
{
    const QModelIndexList filas = m_ui->tablaRecibidos->selectionModel()->selectedRows(1);
    if (filas.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione un mensaje recibido."));
        return;
    }
    DialogoConversacion dialogo(m_servicio, filas.first().data().toString(), m_ventana);
    if (responder)
        dialogo.enfocarRespuesta();
    dialogo.exec();
}

QVector<outbox::Referencia> PestanasHistorial::elegidosEnDuda() const
{
    QVector<outbox::Referencia> registros;
    for (const QModelIndex &indice : m_ui->tablaBandeja->selectionModel()->selectedRows()) {
        if (!m_bandeja.enDuda(indice.row()))
            continue;
        const outbox::RegistroPendiente &r = m_bandeja.registro(indice.row());
        registros.append({r.posicion, r.linea});
    }
    return registros;
}

QString elegirRutaExportacion(QMainWindow *ventana, servicio::ServicioEnvio &servicio,
                              const QString &rutaLista, const std::function<void(const QString &)> &error)
{
    if (!servicio.historial().base().isValid()) {
        error(PestanasHistorial::tr("El historial no está disponible: %1")
                  .arg(servicio.historial().textoEstado()));
        return QString();
    }
    const QString ruta = DialogoArchivo::guardar(ventana, PestanasHistorial::tr("Exportar"),
                                                 servicio.carpetaDatos().absolutePath(),
                                                 PestanasHistorial::tr("CSV Files (*.csv)"));
    if (ruta.isEmpty())
        return QString();
    // Saving over one of the program's own files would destroy it.
    if (!servicio.motivoRutaRechazada(ruta, servicio::Rol::Lista).isEmpty() ||
        archivos_datos::mismoArchivo(ruta, rutaLista)) {
        error(PestanasHistorial::tr("%1 es un archivo de datos del programa: elija otro nombre.").arg(ruta));
        return QString();
    }
    return ruta;
}

void PestanasHistorial::exportarTabla(bool recibidos)
{
    const QString ruta = elegirRutaExportacion(m_ventana, m_servicio, m_ui->ingresoLista->text(),
                                               [this](const QString &texto) { error(texto); });
    if (ruta.isEmpty())
        return;
    const QSqlDatabase db = m_historial.base();
    // What is shown is what the filters say now, even if their pause has not run out.
    if (recibidos && (m_demoraRecibidos.isActive() || m_recibidosSucio))
        refrescarRecibidos();
    else if (!recibidos && (m_demoraHistorial.isActive() || m_historialSucio))
        refrescarHistorial();
    m_demoraRecibidos.stop();
    m_demoraHistorial.stop();
    const historial::ModeloPaginado &modelo = recibidos ? m_recibidos : m_enviados;
    const historial::Tabla &tabla = recibidos ? historial::tablaRecibidos() : historial::tablaEnviados();
    const QChar separador = separadorDe(recibidos ? m_ui->separadorRecibidos : m_ui->separadorHistorial);
    QString fallo;
    qint64 filas = 0;
    if (!historial::exportar(db, tabla, modelo.condicionActual(), separador, ruta, fallo, &filas)) {
        error(tr("No se pudo exportar a %1: %2").arg(ruta, fallo));
        return;
    }
    m_ventana->statusBar()->showMessage(tr("%n fila(s) exportada(s) a %1", nullptr, int(filas)).arg(ruta),
                                        10000);
}

void PestanasHistorial::mostrarEnDuda(const servicio::Instantanea &i)
{
    const bool ilegible = !i.retencionConfiable;
    const int cantidad = i.situacion.enDuda;
    QString texto;
    if (ilegible)
        texto =
            tr("No se encontró o no se pudo leer el registro de los SMS en duda (%1), así que no se sabe si "
               "el gateway ya envió alguno de los pendientes. No se envía nada hasta que lo revise: compare "
               "la bandeja con el historial, cancele o marque como enviados los que ya salieron y pulse "
               "«Reanudar envío».")
                .arg(m_servicio.rutaRetencion());
    else if (cantidad > 0)
        texto =
            tr("%n SMS en duda: el gateway pudo haberlos enviado, pero no lo confirmó. No se envían otra "
               "vez solos. Si el destinatario no lo recibió, elija «Reenviar»; si lo recibió, «Marcar como "
               "enviado».",
               nullptr, cantidad);
    if (m_ui->labelEnDudaBandeja->text() != texto)
        m_ui->labelEnDudaBandeja->setText(texto);
    m_ui->labelEnDudaBandeja->setVisible(!texto.isEmpty());
    m_ui->botonReanudarEnDuda->setVisible(ilegible);
}

void PestanasHistorial::reenviarEnDuda()
{
    // Taken before the question: the poll may reload the table under it.
    const QVector<outbox::Referencia> registros = elegidosEnDuda();
    if (registros.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione los mensajes en duda que quiere reenviar."));
        return;
    }
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Enviar otra vez %n mensaje(s) en duda? Si el gateway ya lo había enviado, el "
               "destinatario lo recibirá dos veces.",
               nullptr, registros.size()),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio.terminado())
        return;
    const int pedidos = m_servicio.reenviarEnDuda(registros);
    qCDebug(catApp) << "reenvio pedido" << pedidos;
    refrescarBandeja();
    m_ventana->statusBar()->showMessage(
        tr("%n mensaje(s) en duda se enviará(n) otra vez, una sola vez.", nullptr, pedidos), 10000);
}

void PestanasHistorial::marcarEnDuda()
{
    const QVector<outbox::Referencia> registros = elegidosEnDuda();
    if (registros.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"),
                               tr("Seleccione los mensajes en duda que quiere marcar como enviados."));
        return;
    }
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Marcar %n mensaje(s) en duda como enviado(s)? No se enviará(n).", nullptr, registros.size()),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio.terminado())
        return;
    const int marcados = m_servicio.marcarEnDudaEnviados(registros);
    qCDebug(catApp) << "marcados como enviados" << marcados;
    refrescarBandeja();
    m_ventana->statusBar()->showMessage(tr("%n mensaje(s) marcado(s) como enviado(s).", nullptr, marcados),
                                        10000);
}

void PestanasHistorial::reanudarEnDuda()
{
    if (m_servicio.terminado() || m_servicio.instantanea().retencionConfiable)
        return;
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Ya revisó la bandeja de salida? Todos los mensajes pendientes se enviarán, "
               "también los que el gateway pudo haber enviado antes."),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio.terminado())
        return;
    if (!m_servicio.empezarRetencionDeNuevo())
        error(tr("No se pudo escribir %1: el envío sigue detenido.").arg(m_servicio.rutaRetencion()));
    mostrarEnDuda(m_servicio.instantanea());
}

void PestanasHistorial::error(const QString &texto)
{
    CuadroMensaje::mostrar(tr("Error!"), texto);
}
