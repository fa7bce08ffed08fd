#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "historial/base_historial.h"
#include "historial/consultas.h"
#include "historial/exportar_csv.h"
#include "historial/modelo_bandeja.h"
#include "historial/modelo_paginado.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QMutexLocker>
#include <QRecursiveMutex>
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
    historial::Historial base;
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
    QStringList avisos;
};

QString MainWindow::rutaHistorial() const
{
    return carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoHistorial));
}

void MainWindow::iniciarHistorial()
{
    vistas = new VistasHistorial;
    vistas->base.abrir(rutaHistorial());
    // The worker and the connection report; the rows are written here, on this thread.
    connect(worker, &threads::intentoEnvio, &vistas->base, &historial::Historial::agregarEnviado,
            Qt::QueuedConnection);
    connect(worker->conexion(), &conexion_ngw::recibidosGuardados, &vistas->base,
            &historial::Historial::agregarRecibidos, Qt::QueuedConnection);
    connect(&vistas->base, &historial::Historial::agregados, this, [this](bool recibidos) {
        if (recibidos) {
            vistas->recibidosSucio = true;
            actualizarTituloRecibidos();
        } else {
            vistas->historialSucio = true;
        }
    });

    prepararTabla(ui->tablaHistorial, &vistas->enviados, 2);
    prepararTabla(ui->tablaBandeja, &vistas->bandeja, 2);
    prepararTabla(ui->tablaRecibidos, &vistas->recibidos, 2);
    const int anchoFecha =
        ui->tablaHistorial->fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00 00:00:00 "));
    ui->tablaHistorial->setColumnWidth(0, anchoFecha);
    ui->tablaRecibidos->setColumnWidth(0, anchoFecha);

    const QDate hoy = reloj::hoy();
    ui->desdeHistorial->setDate(hoy.addDays(-7));
    ui->hastaHistorial->setDate(hoy);
    ui->desdeHistorial->setEnabled(false);
    ui->hastaHistorial->setEnabled(false);
    connect(ui->checkFechasHistorial, &QCheckBox::toggled, this, [this](bool activo) {
        ui->desdeHistorial->setEnabled(activo);
        ui->hastaHistorial->setEnabled(activo);
        aplicarFiltroHistorial();
    });

    const std::pair<QTimer *, void (MainWindow::*)()> demoras[] = {
        {&vistas->demoraHistorial, &MainWindow::aplicarFiltroHistorial},
        {&vistas->demoraBandeja, &MainWindow::aplicarFiltroBandeja},
        {&vistas->demoraRecibidos, &MainWindow::aplicarFiltroRecibidos}};
    for (const auto &d : demoras) {
        d.first->setSingleShot(true);
        d.first->setInterval(kDemoraFiltroMs);
        connect(d.first, &QTimer::timeout, this, d.second);
    }
    for (QLineEdit *campo : {ui->filtroNumeroHistorial, ui->filtroTextoHistorial})
        connect(campo, &QLineEdit::textChanged, &vistas->demoraHistorial, qOverload<>(&QTimer::start));
    connect(ui->desdeHistorial, &QDateEdit::dateChanged, &vistas->demoraHistorial,
            qOverload<>(&QTimer::start));
    connect(ui->hastaHistorial, &QDateEdit::dateChanged, &vistas->demoraHistorial,
            qOverload<>(&QTimer::start));
    connect(ui->filtroBandeja, &QLineEdit::textChanged, &vistas->demoraBandeja, qOverload<>(&QTimer::start));
    connect(ui->filtroRecibidos, &QLineEdit::textChanged, &vistas->demoraRecibidos,
            qOverload<>(&QTimer::start));

    actualizarTituloRecibidos();
    mostrarEnDuda();
    on_tabWidget_currentChanged(ui->tabWidget->currentIndex());
    // The names of the tabs are never shortened ("...torial"): the window is at least as tall as
    // the whole tab bar, and made so at start.
    ui->tabWidget->setElideMode(Qt::ElideNone);
    ui->tabWidget->setUsesScrollButtons(false);
    const QMargins margenes = ui->gridLayout->contentsMargins();
    const int alto = ui->tabWidget->tabBar()->sizeHint().height() + margenes.top() + margenes.bottom() +
                     statusBar()->sizeHint().height() + ui->tabWidget->fontMetrics().height();
    if (alto > height())
        resize(width(), alto);
}

void MainWindow::volcarHistorial()
{
    if (vistas)
        QCoreApplication::sendPostedEvents(&vistas->base, QEvent::MetaCall);
}

void MainWindow::liberarHistorial()
{
    if (!vistas)
        return;
    volcarHistorial();
    for (QTableView *tabla : {ui->tablaHistorial, ui->tablaBandeja, ui->tablaRecibidos})
        tabla->setModel(nullptr);
    delete vistas;
    vistas = nullptr;
}

void MainWindow::poleoHistorial()
{
    if (!vistas)
        return;
    vistas->base.reintentar();
    vistas->avisos += vistas->base.tomarAvisos();
    // The errors file as the connection's lines use it: not while a list run counts its lines.
    if (!vistas->avisos.isEmpty() && !cajaErroresAbierta && !corridaEnCurso && !QFile::exists(rutaDiario())) {
        const QString ruta = ui->ingresoErrores->text();
        if (motivoRutaRechazada(ruta, ui->ingresoErrores).isEmpty()) {
            while (!vistas->avisos.isEmpty() &&
                   archivos_datos::agregarLineaErrores(ruta, vistas->avisos.first()))
                vistas->avisos.removeFirst();
        }
    }
    refrescarPestanaActual();
}

void MainWindow::on_tabWidget_currentChanged(int indice)
{
    if (!vistas)
        return;
    QWidget *pagina = ui->tabWidget->widget(indice);
    if (pagina == ui->tabHistorial) {
        if (vistas->historialSucio)
            refrescarHistorial();
        ui->labelEstadoHistorial->setText(vistas->base.textoEstado());
    } else if (pagina == ui->tabBandeja) {
        vistas->bandejaSucia = true;
        refrescarPestanaActual();
    } else if (pagina == ui->tabRecibidos) {
        vistas->recibidosSucio = true;
        refrescarPestanaActual();
    }
}

// From the poll: only what changed is asked for again, so that an open tab costs nothing idle.
void MainWindow::refrescarPestanaActual()
{
    QWidget *pagina = ui->tabWidget->currentWidget();
    if (pagina == ui->tabHistorial) {
        // Rows arriving while the operator reads further down do not pull the list from under
        // him: it is brought up to date once he is back at the top.
        if (vistas->historialSucio && ui->tablaHistorial->verticalScrollBar()->value() == 0 &&
            vistas->ritmoHistorial.libre())
            refrescarHistorial();
        else
            ui->labelEstadoHistorial->setText(vistas->base.textoEstado());
    } else if (pagina == ui->tabBandeja) {
        const QFileInfo salidas(archivoSalidas);
        const bool cambio = salidas.size() != vistas->tamanoSalidas ||
                            salidas.lastModified() != vistas->fechaSalidas ||
                            (worker && worker->versionRetencion() != vistas->versionRetencion);
        if (vistas->bandejaSucia || (cambio && vistas->ritmoBandeja.libre()))
            refrescarBandeja();
    } else if (pagina == ui->tabRecibidos && vistas->recibidosSucio) {
        refrescarRecibidos();
        // Looked at: what is there now is no longer new.
        const QSqlDatabase db = vistas->base.base();
        const qint64 ultimo = historial::ultimoId(db, historial::tablaRecibidos().nombre);
        if (db.isValid() && ultimo != ajustes::leerEntero(ajustes::Clave::RecibidosVistos))
            ajustes::escribir(ajustes::Clave::RecibidosVistos, ultimo);
        actualizarTituloRecibidos();
    }
}

void MainWindow::aplicarFiltroHistorial()
{
    if (!vistas)
        return;
    vistas->demoraHistorial.stop();
    vistas->historialSucio = true;
    if (ui->tabWidget->currentWidget() == ui->tabHistorial)
        refrescarHistorial();
}

void MainWindow::aplicarFiltroBandeja()
{
    if (!vistas)
        return;
    vistas->demoraBandeja.stop();
    vistas->bandeja.filtrar(ui->filtroBandeja->text(), ui->checkSoloEnDuda->isChecked());
    const int total = vistas->bandeja.total();
    const int vistos = vistas->bandeja.rowCount();
    QString cuenta = vistos == total ? tr("%n pendiente(s)", nullptr, total)
                                     : tr("%1 de %n pendiente(s)", nullptr, total).arg(vistos);
    if (vistas->bandeja.totalEnDuda() > 0)
        cuenta += tr(", %n en duda", nullptr, vistas->bandeja.totalEnDuda());
    ui->labelCuentaBandeja->setText(cuenta);
}

void MainWindow::aplicarFiltroRecibidos()
{
    if (!vistas)
        return;
    vistas->demoraRecibidos.stop();
    vistas->recibidosSucio = true;
    if (ui->tabWidget->currentWidget() == ui->tabRecibidos)
        refrescarRecibidos();
}

void MainWindow::refrescarHistorial()
{
    vistas->historialSucio = false;
    vistas->ritmoHistorial.desde.start();
    historial::Filtro f;
    f.numero = ui->filtroNumeroHistorial->text();
    f.texto = ui->filtroTextoHistorial->text();
    if (ui->checkFechasHistorial->isChecked()) {
        f.desde = ui->desdeHistorial->date();
        f.hasta = ui->hastaHistorial->date();
    }
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = vistas->base.base();
    qint64 total = 0;
    qint64 errores = 0;
    if (db.isValid())
        historial::contarEnviados(db, c, total, errores);
    historial::elegirPlan(c, total);
    vistas->enviados.mostrar(db, c);
    ui->labelCuentaHistorial->setText(tr("%1 mensajes, %2 con error").arg(total).arg(errores));
    ui->labelEstadoHistorial->setText(vistas->base.textoEstado());
    vistas->ritmoHistorial.ms = vistas->ritmoHistorial.desde.elapsed();
}

void MainWindow::refrescarRecibidos()
{
    vistas->recibidosSucio = false;
    historial::Filtro f;
    f.numeroOTexto = ui->filtroRecibidos->text();
    historial::Condicion c = historial::condicion(f);
    const QSqlDatabase db = vistas->base.base();
    const qint64 total = db.isValid() ? historial::contar(db, historial::tablaRecibidos().nombre, c) : 0;
    vistas->recibidos.mostrar(db, c);
    ui->labelCuentaRecibidos->setText(tr("%1 mensajes").arg(qMax<qint64>(total, 0)));
}

void MainWindow::actualizarTituloRecibidos()
{
    const int indice = ui->tabWidget->indexOf(ui->tabRecibidos);
    qint64 nuevos = 0;
    const QSqlDatabase db = vistas->base.base();
    if (db.isValid() && ui->tabWidget->currentIndex() != indice) {
        qint64 vistos = ajustes::leerEntero(ajustes::Clave::RecibidosVistos);
        // A history begun anew (the old file set aside as damaged) numbers its rows from 1 again.
        if (vistos > historial::ultimoId(db, historial::tablaRecibidos().nombre)) {
            vistos = 0;
            ajustes::escribir(ajustes::Clave::RecibidosVistos, vistos);
        }
        nuevos = qMax<qint64>(0, historial::contarDesde(db, historial::tablaRecibidos().nombre, vistos));
    }
    ui->tabWidget->setTabText(indice, nuevos > 0 ? tr("Recibidos (%1)").arg(nuevos) : tr("Recibidos"));
}

// The pending records anew; the rows the operator had selected stay selected.
void MainWindow::refrescarBandeja()
{
    vistas->bandejaSucia = false;
    vistas->ritmoBandeja.desde.start();
    QVector<outbox::Referencia> elegidos;
    for (const int fila : filasElegidas(ui->tablaBandeja)) {
        const outbox::RegistroPendiente &r = vistas->bandeja.registro(fila);
        elegidos.append({r.posicion, r.linea});
    }
    const QFileInfo salidas(archivoSalidas);
    vistas->tamanoSalidas = salidas.size();
    vistas->fechaSalidas = salidas.lastModified();
    const int desplazamiento = ui->tablaBandeja->verticalScrollBar()->value();
    {
        // Read together, so that the marks fall on the records they name.
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        QVector<retencion::Entrada> retenidos;
        if (worker) {
            vistas->versionRetencion = worker->versionRetencion();
            retenidos = worker->entradasRetenidas();
        }
        vistas->bandeja.actualizar(archivoSalidas, retenidos, vistas->versionRetencion);
    }
    aplicarFiltroBandeja();
    ui->tablaBandeja->verticalScrollBar()->setValue(desplazamiento);
    vistas->ritmoBandeja.ms = vistas->ritmoBandeja.desde.elapsed();
    if (elegidos.isEmpty())
        return;
    QVector<int> filas;
    for (const outbox::Referencia &r : qAsConst(elegidos)) {
        const int fila = vistas->bandeja.filaDe(r.posicion, r.linea);
        if (fila >= 0)
            filas.append(fila);
    }
    std::sort(filas.begin(), filas.end());
    QItemSelection seleccion;
    const int ultimaColumna = vistas->bandeja.columnCount() - 1;
    for (int i = 0; i < filas.size();) {
        int j = i;
        while (j + 1 < filas.size() && filas.at(j + 1) == filas.at(j) + 1)
            ++j;
        seleccion.select(vistas->bandeja.index(filas.at(i), 0),
                         vistas->bandeja.index(filas.at(j), ultimaColumna));
        i = j + 1;
    }
    ui->tablaBandeja->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
}

void MainWindow::on_botonCancelarBandeja_clicked()
{
    if (!vistas)
        return;
    const QVector<int> filas = filasElegidas(ui->tablaBandeja);
    if (filas.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione los mensajes a cancelar."));
        return;
    }
    // A list run counts its rows by the outbox's size: nothing is taken out under it. Asked again
    // after the question, since the poll goes on while it is open.
    const auto corridaAbierta = [this] {
        if (!corridaEnCurso && !QFile::exists(rutaDiario()))
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
        const outbox::RegistroPendiente &r = vistas->bandeja.registro(fila);
        registros.append({r.posicion, r.linea});
    }
    if (CuadroMensaje::mostrar(tr("Atencion!"),
                               tr("¿Cancelar %n mensaje(s) pendiente(s)? Se quitan de la bandeja de salida y "
                                  "no se enviarán.",
                                  nullptr, filas.size()),
                               QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        !vistas || corridaAbierta())
        return;
    const QString temporal = carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando));
    threads *trabajador = worker;
    const outbox::ResultadoCancelacion r =
        outbox::cancelar(archivoSalidas, temporal, registros, [trabajador](outbox::Referencia &enMano) {
            return trabajador && trabajador->registroEnMano(enMano.posicion, enMano.linea);
        });
    if (worker) {
        worker->contarPendientes();
        // A record in doubt cancelled is no longer held.
        worker->conciliarRetencion();
    }
    ui->tablaBandeja->clearSelection();
    refrescarBandeja();
    if (r.resultado != outbox::ResultadoCompactacion::Hecha) {
        error(tr("No se pudo cancelar: no se pudo reescribir la bandeja de salida %1. No se quitó ningún "
                 "mensaje.")
                  .arg(archivoSalidas));
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
    if (!vistas)
        return registros;
    for (const QModelIndex &indice : ui->tablaBandeja->selectionModel()->selectedRows()) {
        if (!vistas->bandeja.enDuda(indice.row()))
            continue;
        const outbox::RegistroPendiente &r = vistas->bandeja.registro(indice.row());
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
    if (!vistas)
        return;
    const QSqlDatabase db = vistas->base.base();
    if (!db.isValid()) {
        error(tr("El historial no está disponible: %1").arg(vistas->base.textoEstado()));
        return;
    }
    const QString ruta =
        DialogoArchivo::guardar(this, tr("Exportar"), carpetaDatos.absolutePath(), tr("CSV Files (*.csv)"));
    if (ruta.isEmpty())
        return;
    // Saving over one of the program's own files would destroy it.
    if (!motivoRutaRechazada(ruta, nullptr).isEmpty() ||
        archivos_datos::mismoArchivo(ruta, ui->ingresoLista->text())) {
        error(tr("%1 es un archivo de datos del programa: elija otro nombre.").arg(ruta));
        return;
    }
    // What is shown is what the filters say now, even if their pause has not run out.
    if (recibidos && (vistas->demoraRecibidos.isActive() || vistas->recibidosSucio))
        refrescarRecibidos();
    else if (!recibidos && (vistas->demoraHistorial.isActive() || vistas->historialSucio))
        refrescarHistorial();
    vistas->demoraRecibidos.stop();
    vistas->demoraHistorial.stop();
    const historial::ModeloPaginado &modelo = recibidos ? vistas->recibidos : vistas->enviados;
    const historial::Tabla &tabla = recibidos ? historial::tablaRecibidos() : historial::tablaEnviados();
    const QChar separador = separadorDe(recibidos ? ui->separadorRecibidos : ui->separadorHistorial);
    QString fallo;
    qint64 filas = 0;
    if (!historial::exportar(db, tabla, modelo.condicionActual(), separador, ruta, fallo, &filas)) {
        error(tr("No se pudo exportar a %1: %2").arg(ruta, fallo));
        return;
    }
    statusBar()->showMessage(tr("%n fila(s) exportada(s) a %1", nullptr, int(filas)).arg(ruta), 10000);
}
