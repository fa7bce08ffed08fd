#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "historial/base_historial.h"
#include "historial/consultas.h"
#include "historial/exportar_csv.h"
#include "historial/modelo_bandeja.h"
#include "historial/modelo_paginado.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"
#include "lista/retencion.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>

// The three tabs after the first five: the history of sent and failed messages, the queue of
// pending outbox records, and the received messages. What they show is fetched only while they
// are looked at, and never more than once a poll, so that an idle window costs nothing.

namespace {

// A filter applies this long after the last key, so that typing a number asks once.
constexpr int kDemoraFiltroMs = 300;

void prepararTabla(QTableView *tabla, QAbstractItemModel *modelo, int columnaEstirada)
{
    tabla->setModel(modelo);
    tabla->verticalHeader()->setVisible(false);
    // Rows of one fixed height: the view never measures a million of them.
    tabla->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tabla->verticalHeader()->setDefaultSectionSize(tabla->fontMetrics().height() + 6);
    tabla->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tabla->horizontalHeader()->setStretchLastSection(false);
    tabla->horizontalHeader()->setSectionResizeMode(columnaEstirada, QHeaderView::Stretch);
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

QChar separadorDe(const QComboBox *combo)
{
    const QString texto = combo->currentText();
    return texto.isEmpty() ? QLatin1Char(';') : texto.at(0);
}

} // namespace

struct MainWindow::VistasHistorial
{
    explicit VistasHistorial(historial::Historial &historial) : base(historial) {}
    historial::Historial &base;
    historial::ModeloPaginado enviados{historial::tablaEnviados()};
    historial::ModeloPaginado recibidos{historial::tablaRecibidos()};
    historial::ModeloBandeja bandeja;
    QTimer demoraHistorial;
    QTimer demoraBandeja;
    QTimer demoraRecibidos;
    bool historialSucio = true;
    bool recibidosSucio = true;
    bool bandejaSucia = true;
    // The outbox and the records in doubt as last read for the queue: a change of any means it
    // changed.
    qint64 tamanoSalidas = -1;
    QDateTime fechaSalidas;
    unsigned versionRetencion = 0;
    // How long a tab's last read took and when: while sending marks a record a second, a long
    // queue, or a text filter over a year of history, is read again for the poll only after ten
    // times that, so the window stays free nine tenths of the time.
    struct Ritmo
    {
        QElapsedTimer desde;
        qint64 ms = 0;
        bool libre() const { return !desde.isValid() || desde.elapsed() >= 10 * ms; }
    };
    Ritmo ritmoBandeja;
    Ritmo ritmoHistorial;
};

void MainWindow::iniciarHistorial()
{
    m_vistas = new VistasHistorial(m_servicio->historial());
    connect(&m_vistas->base, &historial::Historial::agregados, this, [this](bool recibidos) {
        if (recibidos) {
            m_vistas->recibidosSucio = true;
            actualizarTituloRecibidos();
        } else {
            m_vistas->historialSucio = true;
        }
    });

    prepararTabla(m_ui->tablaHistorial, &m_vistas->enviados, 2);
    prepararTabla(m_ui->tablaBandeja, &m_vistas->bandeja, 2);
    prepararTabla(m_ui->tablaRecibidos, &m_vistas->recibidos, 2);
    const int anchoFecha =
        m_ui->tablaHistorial->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00 "));
    m_ui->tablaHistorial->setColumnWidth(0, anchoFecha);
    m_ui->tablaRecibidos->setColumnWidth(0, anchoFecha);

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

    const std::pair<QTimer *, void (MainWindow::*)()> demoras[] = {
        {&m_vistas->demoraHistorial, &MainWindow::aplicarFiltroHistorial},
        {&m_vistas->demoraBandeja, &MainWindow::aplicarFiltroBandeja},
        {&m_vistas->demoraRecibidos, &MainWindow::aplicarFiltroRecibidos}};
    for (const auto &d : demoras) {
        d.first->setSingleShot(true);
        d.first->setInterval(kDemoraFiltroMs);
        connect(d.first, &QTimer::timeout, this, d.second);
    }
    for (QLineEdit *campo : {m_ui->filtroNumeroHistorial, m_ui->filtroTextoHistorial})
        connect(campo, &QLineEdit::textChanged, &m_vistas->demoraHistorial, qOverload<>(&QTimer::start));
    connect(m_ui->desdeHistorial, &QDateEdit::dateChanged, &m_vistas->demoraHistorial,
            qOverload<>(&QTimer::start));
    connect(m_ui->hastaHistorial, &QDateEdit::dateChanged, &m_vistas->demoraHistorial,
            qOverload<>(&QTimer::start));
    connect(m_ui->filtroBandeja, &QLineEdit::textChanged, &m_vistas->demoraBandeja,
            qOverload<>(&QTimer::start));
    connect(m_ui->filtroRecibidos, &QLineEdit::textChanged, &m_vistas->demoraRecibidos,
            qOverload<>(&QTimer::start));

    actualizarTituloRecibidos();
    mostrarEnDuda();
    on_tabWidget_currentChanged(m_ui->tabWidget->currentIndex());
    // The names of the tabs are never shortened ("...torial"): the window is at least as tall as
    // the whole tab bar, and made so at start.
    m_ui->tabWidget->setElideMode(Qt::ElideNone);
    m_ui->tabWidget->setUsesScrollButtons(false);
    const QMargins margenes = m_ui->gridLayout->contentsMargins();
    const int alto = m_ui->tabWidget->tabBar()->sizeHint().height() + margenes.top() + margenes.bottom() +
                     statusBar()->sizeHint().height() + m_ui->tabWidget->fontMetrics().height();
    if (alto > height())
        resize(width(), alto);
}

void MainWindow::liberarHistorial()
{
    if (!m_vistas)
        return;
    for (QTableView *tabla : {m_ui->tablaHistorial, m_ui->tablaBandeja, m_ui->tablaRecibidos})
        tabla->setModel(nullptr);
    delete m_vistas;
    m_vistas = nullptr;
}

void MainWindow::on_tabWidget_currentChanged(int indice)
{
    if (!m_vistas)
        return;
    QWidget *pagina = m_ui->tabWidget->widget(indice);
    if (pagina == m_ui->tabHistorial) {
        if (m_vistas->historialSucio)
            refrescarHistorial();
        m_ui->labelEstadoHistorial->setText(m_vistas->base.textoEstado());
    } else if (pagina == m_ui->tabBandeja) {
        m_vistas->bandejaSucia = true;
        refrescarPestanaActual();
    } else if (pagina == m_ui->tabRecibidos) {
        m_vistas->recibidosSucio = true;
        refrescarPestanaActual();
    }
}

// From the poll: only what changed is asked for again, so that an open tab costs nothing idle.
void MainWindow::refrescarPestanaActual()
{
    if (!m_vistas)
        return;
    QWidget *pagina = m_ui->tabWidget->currentWidget();
    if (pagina == m_ui->tabHistorial) {
        // Rows arriving while the operator reads further down do not pull the list from under
        // him: it is brought up to date once he is back at the top.
        if (m_vistas->historialSucio && m_ui->tablaHistorial->verticalScrollBar()->value() == 0 &&
            m_vistas->ritmoHistorial.libre())
            refrescarHistorial();
        else
            m_ui->labelEstadoHistorial->setText(m_vistas->base.textoEstado());
    } else if (pagina == m_ui->tabBandeja) {
        const QFileInfo salidas(m_servicio->rutaSalidas());
        const bool cambio = salidas.size() != m_vistas->tamanoSalidas ||
                            salidas.lastModified() != m_vistas->fechaSalidas ||
                            m_servicio->instantanea().versionRetencion != m_vistas->versionRetencion;
        if (m_vistas->bandejaSucia || (cambio && m_vistas->ritmoBandeja.libre()))
            refrescarBandeja();
    } else if (pagina == m_ui->tabRecibidos && m_vistas->recibidosSucio) {
        refrescarRecibidos();
        // Looked at: what is there now is no longer new.
        const QSqlDatabase db = m_vistas->base.base();
        const qint64 ultimo = historial::ultimoId(db, historial::tablaRecibidos().nombre);
        if (db.isValid() && ultimo != ajustes::leerEntero(ajustes::Clave::RecibidosVistos))
            ajustes::escribir(ajustes::Clave::RecibidosVistos, ultimo);
        actualizarTituloRecibidos();
    }
}

void MainWindow::aplicarFiltroHistorial()
{
    if (!m_vistas)
        return;
    m_vistas->demoraHistorial.stop();
    m_vistas->historialSucio = true;
    if (m_ui->tabWidget->currentWidget() == m_ui->tabHistorial)
        refrescarHistorial();
}

void MainWindow::aplicarFiltroBandeja()
{
    if (!m_vistas)
        return;
    m_vistas->demoraBandeja.stop();
    m_vistas->bandeja.filtrar(m_ui->filtroBandeja->text(), m_ui->checkSoloEnDuda->isChecked());
    const int total = m_vistas->bandeja.total();
    const int vistos = m_vistas->bandeja.rowCount();
    QString cuenta = vistos == total ? tr("%n pendiente(s)", nullptr, total)
                                     : tr("%1 de %n pendiente(s)", nullptr, total).arg(vistos);
    if (m_vistas->bandeja.totalEnDuda() > 0)
        cuenta += tr(", %n en duda", nullptr, m_vistas->bandeja.totalEnDuda());
    m_ui->labelCuentaBandeja->setText(cuenta);
}

void MainWindow::aplicarFiltroRecibidos()
{
    if (!m_vistas)
        return;
    m_vistas->demoraRecibidos.stop();
    m_vistas->recibidosSucio = true;
    if (m_ui->tabWidget->currentWidget() == m_ui->tabRecibidos)
        refrescarRecibidos();
}

void MainWindow::refrescarHistorial()
{
    m_vistas->historialSucio = false;
    m_vistas->ritmoHistorial.desde.start();
    historial::Filtro f;
    f.numero = m_ui->filtroNumeroHistorial->text();
    f.texto = m_ui->filtroTextoHistorial->text();
    if (m_ui->checkFechasHistorial->isChecked()) {
        f.desde = m_ui->desdeHistorial->date();
        f.hasta = m_ui->hastaHistorial->date();
    }
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = m_vistas->base.base();
    qint64 total = 0;
    qint64 errores = 0;
    if (db.isValid())
        historial::contarEnviados(db, c, total, errores);
    historial::elegirPlan(c, total);
    m_vistas->enviados.mostrar(db, c);
    m_ui->labelCuentaHistorial->setText(tr("%1 mensajes, %2 con error").arg(total).arg(errores));
    m_ui->labelEstadoHistorial->setText(m_vistas->base.textoEstado());
    m_vistas->ritmoHistorial.ms = m_vistas->ritmoHistorial.desde.elapsed();
}

void MainWindow::refrescarRecibidos()
{
    m_vistas->recibidosSucio = false;
    historial::Filtro f;
    f.numeroOTexto = m_ui->filtroRecibidos->text();
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = m_vistas->base.base();
    const qint64 total = db.isValid() ? historial::contar(db, historial::tablaRecibidos().nombre, c) : 0;
    m_vistas->recibidos.mostrar(db, c);
    m_ui->labelCuentaRecibidos->setText(tr("%1 mensajes").arg(qMax<qint64>(total, 0)));
}

void MainWindow::actualizarTituloRecibidos()
{
    const int indice = m_ui->tabWidget->indexOf(m_ui->tabRecibidos);
    qint64 nuevos = 0;
    const QSqlDatabase db = m_vistas->base.base();
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
void MainWindow::refrescarBandeja()
{
    m_vistas->bandejaSucia = false;
    m_vistas->ritmoBandeja.desde.start();
    QVector<outbox::Referencia> elegidos;
    for (const int fila : filasElegidas(m_ui->tablaBandeja)) {
        const outbox::RegistroPendiente &r = m_vistas->bandeja.registro(fila);
        elegidos.append({r.posicion, r.linea});
    }
    const QFileInfo salidas(m_servicio->rutaSalidas());
    m_vistas->tamanoSalidas = salidas.size();
    m_vistas->fechaSalidas = salidas.lastModified();
    QVector<outbox::RegistroPendiente> pendientes;
    QVector<retencion::Entrada> retenidos;
    m_vistas->versionRetencion = m_servicio->instantanea().versionRetencion;
    m_servicio->leerBandeja(pendientes, retenidos);
    const int desplazamiento = m_ui->tablaBandeja->verticalScrollBar()->value();
    m_vistas->bandeja.cargar(std::move(pendientes), retenidos);
    aplicarFiltroBandeja();
    m_ui->tablaBandeja->verticalScrollBar()->setValue(desplazamiento);
    m_vistas->ritmoBandeja.ms = m_vistas->ritmoBandeja.desde.elapsed();
    if (elegidos.isEmpty())
        return;
    QVector<int> filas;
    for (const outbox::Referencia &r : qAsConst(elegidos)) {
        const int fila = m_vistas->bandeja.filaDe(r.posicion, r.linea);
        if (fila >= 0)
            filas.append(fila);
    }
    std::sort(filas.begin(), filas.end());
    QItemSelection seleccion;
    const int ultimaColumna = m_vistas->bandeja.columnCount() - 1;
    for (int i = 0; i < filas.size();) {
        int j = i;
        while (j + 1 < filas.size() && filas.at(j + 1) == filas.at(j) + 1)
            ++j;
        seleccion.select(m_vistas->bandeja.index(filas.at(i), 0),
                         m_vistas->bandeja.index(filas.at(j), ultimaColumna));
        i = j + 1;
    }
    m_ui->tablaBandeja->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
}

void MainWindow::on_botonCancelarBandeja_clicked()
{
    if (!m_vistas)
        return;
    const QVector<int> filas = filasElegidas(m_ui->tablaBandeja);
    if (filas.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione los mensajes a cancelar."));
        return;
    }
    // A list run counts its rows by the outbox's size: nothing is taken out under it. Asked again
    // after the question, since the poll goes on while it is open.
    const auto corridaAbierta = [this] {
        if (!m_corridaEnCurso && !m_servicio->corridaAbierta())
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
        const outbox::RegistroPendiente &r = m_vistas->bandeja.registro(fila);
        registros.append({r.posicion, r.linea});
    }
    if (CuadroMensaje::mostrar(tr("Atencion!"),
                               tr("¿Cancelar %n mensaje(s) pendiente(s)? Se quitan de la bandeja de salida y "
                                  "no se enviarán.",
                                  nullptr, filas.size()),
                               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        !m_vistas || corridaAbierta())
        return;
    const outbox::ResultadoCancelacion r = m_servicio->cancelar(registros);
    m_ui->tablaBandeja->clearSelection();
    refrescarBandeja();
    if (r.resultado != outbox::ResultadoCompactacion::Hecha) {
        error(tr("No se pudo cancelar: no se pudo reescribir la bandeja de salida %1. No se quitó ningún "
                 "mensaje.")
                  .arg(m_servicio->rutaSalidas()));
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

QVector<outbox::Referencia> MainWindow::elegidosEnDuda() const
{
    QVector<outbox::Referencia> registros;
    if (!m_vistas)
        return registros;
    for (const QModelIndex &indice : m_ui->tablaBandeja->selectionModel()->selectedRows()) {
        if (!m_vistas->bandeja.enDuda(indice.row()))
            continue;
        const outbox::RegistroPendiente &r = m_vistas->bandeja.registro(indice.row());
        registros.append({r.posicion, r.linea});
    }
    return registros;
}

void MainWindow::on_botonExportarHistorial_clicked()
{
    exportarTabla(false);
}

void MainWindow::on_botonExportarRecibidos_clicked()
{
    exportarTabla(true);
}

void MainWindow::exportarTabla(bool recibidos)
{
    if (!m_vistas)
        return;
    const QSqlDatabase db = m_vistas->base.base();
    if (!db.isValid()) {
        error(tr("El historial no está disponible: %1").arg(m_vistas->base.textoEstado()));
        return;
    }
    const QString ruta =
        DialogoArchivo::guardar(this, tr("Exportar"), m_carpetaDatos.absolutePath(), tr("CSV Files (*.csv)"));
    if (ruta.isEmpty())
        return;
    // Saving over one of the program's own files would destroy it.
    if (!motivoRutaRechazada(ruta, nullptr).isEmpty() ||
        archivos_datos::mismoArchivo(ruta, m_ui->ingresoLista->text())) {
        error(tr("%1 es un archivo de datos del programa: elija otro nombre.").arg(ruta));
        return;
    }
    // What is shown is what the filters say now, even if their pause has not run out.
    if (recibidos && (m_vistas->demoraRecibidos.isActive() || m_vistas->recibidosSucio))
        refrescarRecibidos();
    else if (!recibidos && (m_vistas->demoraHistorial.isActive() || m_vistas->historialSucio))
        refrescarHistorial();
    m_vistas->demoraRecibidos.stop();
    m_vistas->demoraHistorial.stop();
    const historial::ModeloPaginado &modelo = recibidos ? m_vistas->recibidos : m_vistas->enviados;
    const historial::Tabla &tabla = recibidos ? historial::tablaRecibidos() : historial::tablaEnviados();
    const QChar separador = separadorDe(recibidos ? m_ui->separadorRecibidos : m_ui->separadorHistorial);
    QString fallo;
    qint64 filas = 0;
    if (!historial::exportar(db, tabla, modelo.condicionActual(), separador, ruta, fallo, &filas)) {
        error(tr("No se pudo exportar a %1: %2").arg(ruta, fallo));
        return;
    }
    statusBar()->showMessage(tr("%n fila(s) exportada(s) a %1", nullptr, int(filas)).arg(ruta), 10000);
}
