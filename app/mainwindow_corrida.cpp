#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "envio/threads.h"
#include "lista/archivos_datos.h"
#include "lista/corrida_lista.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QScopeGuard>

// A list run under its journal (lista/diario_corrida.h): the journal is written before the
// writing pass, marked complete after it, and removed once the list has gone to the backup path.
// A run cut short (the program killed, a write failure) is finished from its next row. Also the
// rule that no data file is ever another one.

QString MainWindow::rutaDiario() const
{
    return carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCorrida));
}

QString MainWindow::motivoRutaRechazada(const QString &ruta, const QLineEdit *campo) const
{
    struct Entrada
    {
        const QLineEdit *campo;
        archivos_datos::ArchivoDatos archivo;
    };
    const Entrada entradas[] = {
        {nullptr, {archivoSalidas, tr("la bandeja de salida")}},
        {nullptr,
         {carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando)),
          tr("el temporal de compactacion")}},
        {nullptr, {rutaDiario(), tr("el registro de la corrida de lista")}},
        {nullptr,
         {carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoEnDuda)),
          tr("el registro de SMS en duda")}},
        {nullptr, {rutaHistorial(), tr("el historial")}},
        {ui->ingresoErrores, {ui->ingresoErrores->text(), tr("el archivo de errores")}},
        {ui->ingresoBackups, {ui->ingresoBackups->text(), tr("el backup de la lista")}},
        {ui->ingresoInbox, {ui->ingresoInbox->text(), tr("el archivo de recibidos")}},
    };
    QString rol = tr("la lista a agregar");
    QVector<archivos_datos::ArchivoDatos> otros;
    for (const Entrada &e : entradas) {
        if (campo && e.campo == campo)
            rol = e.archivo.nombre;
        else
            otros << e.archivo;
    }
    const QString otro = archivos_datos::archivoCoincidente(ruta, otros);
    if (otro.isEmpty())
        return QString();
    return tr("%1 no puede ser %2: ese archivo ya es %3.").arg(ruta, rol, otro);
}

// A list is never moved onto, and no row is written into, another data file.
bool MainWindow::rutasDeCorridaValidas(corrida_lista::Modo modo)
{
    QString motivo = motivoRutaRechazada(ui->ingresoLista->text(), nullptr);
    if (motivo.isEmpty())
        motivo = motivoRutaRechazada(ui->ingresoErrores->text(), ui->ingresoErrores);
    if (motivo.isEmpty() && modo != corrida_lista::Modo::Simple)
        motivo = motivoRutaRechazada(ui->ingresoBackups->text(), ui->ingresoBackups);
    if (motivo.isEmpty())
        return true;
    // Told once: a watched run would otherwise meet the same path at every tick.
    detenerVigilancia();
    error(motivo);
    return false;
}

bool MainWindow::rechazarLista(lista::Lectura lectura, const QString &ruta)
{
    const QString texto = corrida_lista::textoListaRechazada(lectura, ruta);
    if (texto.isEmpty())
        return false;
    detenerVigilancia();
    error(texto);
    return true;
}

// Before the first row: the run's inputs and the sizes of the two files its rows go to.
bool MainWindow::abrirDiario()
{
    diario_corrida::Diario &d = corrida.diario;
    d.tamanoSalidas = diario_corrida::tamanoActual(d.rutaSalidas);
    d.tamanoErrores = diario_corrida::tamanoActual(d.rutaErrores);
    d.columnas = columnasHeader;
    d.cantidadColumnas = cantidadColumnas;
    d.tieneHeader = formato.tieneHeader;
    d.usarComa = formato.usarComa;
    d.usarTab = formato.usarTab;
    d.usarPuntoComa = formato.usarPuntoComa;
    d.completa = false;
    if (diario_corrida::guardar(rutaDiario(), d))
        return true;
    // Without it a crash could add rows twice: nothing is written.
    detenerVigilancia();
    error(tr("No se pudo escribir %1: la lista %2 no se agrego.").arg(rutaDiario(), d.rutaLista));
    return false;
}

// After the writing pass. A pass stopped by a write failure keeps its journal, so the rest of the
// list is added later from the row where it stopped, never from its first row.
void MainWindow::cerrarCorrida(int agregados, const QString &reporte)
{
    diario_corrida::Diario &d = corrida.diario;
    if (corrida.escrituraFallo) {
        recontar(false);
        if (d.modo == corrida_lista::Modo::Simple) {
            error(corrida.textoFallo);
            CuadroMensaje::mostrar(tr("Atencion!"),
                                   corrida_lista::textoReporte(agregados, corrida_lista::Modo::Simple,
                                                               corrida.aErrores, d.rutaErrores));
            return;
        }
        detenerVigilancia();
        error(corrida_lista::textoEscrituraDetenida(corrida.textoFallo, d.rutaLista, agregados, d.modo));
        return;
    }
    d.completa = true;
    // A journal that cannot be marked goes: the recount may compact the outbox, after which its
    // recorded size would count the wrong lines.
    if (d.modo == corrida_lista::Modo::Simple || !diario_corrida::guardar(rutaDiario(), d))
        QFile::remove(rutaDiario());
    recontar();
    if (!reporte.isEmpty())
        CuadroMensaje::mostrar(tr("Atencion!"), reporte);
    terminarCorridaEscrita();
}

// Every row has its line: the arming run turns the watch on, and the list goes to the backup path.
void MainWindow::terminarCorridaEscrita()
{
    const diario_corrida::Diario &d = corrida.diario;
    if (d.modo == corrida_lista::Modo::Armado)
        habilitarControlesLista(false);
    // Only the list that was read: one dropped at the path since then waits for its own run.
    if (d.modo != corrida_lista::Modo::Simple && diario_corrida::mismaLista(d))
        apartarListaProcesada(d.rutaLista);
    QFile::remove(rutaDiario());
}

bool MainWindow::reanudarCorridaPendiente(bool avisar)
{
    // The journal of the run in progress is no run cut short (the poll fires inside its boxes).
    const QString ruta = rutaDiario();
    if (corridaEnCurso || !QFile::exists(ruta))
        return false;
    corridaEnCurso = true;
    corrida = EstadoCorrida();
    if (diario_corrida::leer(ruta, corrida.diario)) {
        completarCorrida(avisar || corrida.diario.modo != corrida_lista::Modo::Vigilada);
    } else {
        // Which rows were done is lost with it: a watched list read again would add them twice.
        qCDebug(catApp).noquote() << "Registro de corrida ilegible, se descarta:" << ruta;
        QFile::remove(ruta);
        detenerVigilancia();
        error(tr("No se pudo leer el registro de una lista que habia quedado a medio agregar (%1). Se "
                 "desactivo la verificacion periodica: revise la bandeja de salida antes de agregar esa "
                 "lista otra vez.")
                  .arg(ruta));
    }
    corrida = EstadoCorrida();
    corridaEnCurso = false;
    return true;
}

void MainWindow::completarCorrida(bool avisar)
{
    diario_corrida::Diario &d = corrida.diario;
    if (d.completa)
        return terminarCorridaEscrita();

    // The run goes on exactly as it began, whatever the window shows now: the journal's format
    // and columns split the list and its inputs make the records. The window's own come back after.
    const auto restaurar =
        qScopeGuard([this, f = formato, c = columnasHeader, n = cantidadColumnas]() mutable {
            formato = f;
            columnasHeader = std::move(c);
            cantidadColumnas = n;
        });
    formato.tieneHeader = d.tieneHeader;
    formato.usarComa = d.usarComa;
    formato.usarTab = d.usarTab;
    formato.usarPuntoComa = d.usarPuntoComa;
    columnasHeader = d.columnas;
    cantidadColumnas = d.cantidadColumnas;
    corrida.listaLeida = true;

    // The rows done are recognised by the records they wrote, never by the errors file alone.
    QStringList lineas;
    diario_corrida::Avance avance;
    if (lista::leerLista(d.rutaLista, lineas) == lista::Lectura::Bien &&
        diario_corrida::mismasLineas(d, lineas)) {
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        avance = diario_corrida::reconocerAvance(d, lineas, lista::ReglasFila(entradasFila()));
    } else {
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        if (!diario_corrida::contarLineasDesde(d.rutaSalidas, d.tamanoSalidas, avance.lineasNuevas))
            avance.lineasNuevas = -1;
    }
    if (!avance.reconocido) {
        // Which rows went in cannot be told: the list is never added again by itself.
        QString texto =
            tr("La lista %1 había quedado a medio agregar y no se puede completar: la lista cambió "
               "o ya no está, o la bandeja de salida no muestra qué filas se agregaron.")
                .arg(d.rutaLista);
        if (avance.lineasNuevas >= 0)
            texto += QLatin1Char('\n') + tr("Se habían agregado %1 SMS a la bandeja de salida.")
                                             .arg(d.agregadosPrevios + avance.lineasNuevas);
        texto +=
            QLatin1Char('\n') + tr("Se desactivó la verificación periódica y la lista quedó donde estaba: "
                                   "revise la bandeja de salida antes de agregarla otra vez.");
        QFile::remove(rutaDiario());
        detenerVigilancia();
        recontar(false);
        return error(texto);
    }
    const int hechas = d.filasPrevias + avance.hechas;
    const int agregadosAntes = d.agregadosPrevios + avance.agregados;

    // The errors file is the one configured now, since a failing one may have been replaced.
    // Journaled again first, from the rows done so far.
    const QString errores = ui->ingresoErrores->text();
    const QString motivo = motivoRutaRechazada(errores, ui->ingresoErrores);
    if (!motivo.isEmpty()) {
        detenerVigilancia();
        return error(motivo);
    }
    d.filasPrevias = hechas;
    d.agregadosPrevios = agregadosAntes;
    d.rutaErrores = errores;
    if (!abrirDiario())
        return;
    const int agregados = agregadosAntes + pasadaEscritura(lineas, hechas);
    qCDebug(catApp).noquote() << "Corrida de lista completada:" << d.rutaLista << "filas ya hechas" << hechas;
    // Every row done has its line in one of the two files.
    const int aErrores = hechas - agregadosAntes + corrida.aErrores;
    cerrarCorrida(agregados, avisar ? corrida_lista::textoCorridaCompletada(d.rutaLista, hechas, agregados,
                                                                            aErrores, d.rutaErrores)
                                    : QString());
}
