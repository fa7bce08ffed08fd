#include "ajustes/registro.h"
#include "servicio/corrida_en_curso.h"
#include "servicio/servicio_envio.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "lista/archivos_datos.h"
#include "lista/columnas.h"
#include "lista/diario_corrida.h"
#include "lista/guardia_lista.h"
#include "lista/plantilla.h"

#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QSqlError>
#include <QSqlQuery>

// A list run under its journal (lista/diario_corrida.h): the journal is written before the
// writing pass, marked complete after it, and removed once the list has gone to the backup path.
// A run cut short (the program killed, a write failure) is finished from its next row.

namespace servicio {

namespace {

int desdeFila(const lista::FormatoLista &formato, int hechas, int cantidad)
{
    return qMin((formato.tieneHeader ? 1 : 0) + hechas, cantidad);
}

} // namespace

// What turns a row into a record: what the run began with, and the opt-out list as it is now.
lista::EntradasFila ServicioEnvio::entradasFila(bool conBajas) const
{
    const diario_corrida::Diario &d = m_corrida->diario;
    lista::EntradasFila e;
    e.plantilla = d.plantilla;
    e.columnas = m_corrida->columnas;
    e.cantidadColumnas = m_corrida->cantidadColumnas;
    e.columnaCelular = d.columnaCelular;
    e.columnaFecha = d.columnaFecha;
    e.separador = lista::separadorDe(m_corrida->formato);
    e.hoy = d.hoy;
    e.bajas = conBajas ? &m_bajas : nullptr;
    return e;
}

ResultadoCorrida ServicioEnvio::terminarCorrida(ResultadoCorrida r)
{
    if (r.paso == Paso::Detenida) {
        m_corrida.reset();
        m_enCorrida = false;
        emit corridaTerminada(r);
    }
    return r;
}

ResultadoCorrida ServicioEnvio::prepararCorrida(const PedidoCorrida &pedido)
{
    using corrida_lista::Modo;
    ResultadoCorrida r;
    if (m_enCorrida)
        return r;
    m_enCorrida = true;
    m_corrida = std::make_unique<Corrida>();
    m_corrida->pedido = pedido;
    m_corrida->formato = pedido.formato;
    if (pedido.modo != Modo::Vigilada) {
        // Saved before any check.
        ajustes::escribir(ajustes::Clave::FormatoSms, pedido.plantilla);
        if (pedido.rutaLista.isEmpty())
            r.error = tr("Debe ingresar una lista a procesar");
        else if (pedido.columnaCelular.isEmpty())
            r.error = tr("Debe ingresar o seleccionar un campo celular");
        else if (pedido.modo == Modo::Simple && pedido.plantilla.isEmpty())
            r.error = tr("Debe ingresar un mensaje");
        if (!r.error.isEmpty())
            return terminarCorrida(r);
    }
    if (!rutasDeCorridaValidas(r))
        return terminarCorrida(r);
    const lista::Lectura lectura = m_corrida->filas.leer(pedido.rutaLista);
    if (lectura == lista::Lectura::NoAbre) {
        // A watched list is tried again at the next tick; an arming run asks the operator.
        if (pedido.modo == Modo::Simple)
            r.error = tr("No se pudo abrir lista a procesar");
        else
            r.paso = Paso::NoAbre;
        m_corrida.reset();
        m_enCorrida = false;
        return r.paso == Paso::NoAbre ? r : terminarCorrida(r);
    }
    if (rechazarLista(lectura, r))
        return terminarCorrida(r);
    empezarPasadas();
    if (pedido.modo != Modo::Vigilada && !validarColumnas(r))
        return terminarCorrida(r);
    r.paso = Paso::Seguir;
    return r;
}

// A list is never moved onto, and no row is written into, another data file.
bool ServicioEnvio::rutasDeCorridaValidas(ResultadoCorrida &r)
{
    const PedidoCorrida &p = m_corrida->pedido;
    QString motivo = motivoRutaRechazada(p.rutaLista, Rol::Lista);
    if (motivo.isEmpty())
        motivo = motivoRutaRechazada(p.rutaErrores, Rol::Errores);
    if (motivo.isEmpty() && p.modo != corrida_lista::Modo::Simple)
        motivo = motivoRutaRechazada(p.rutaBackup, Rol::Backup);
    if (motivo.isEmpty())
        return true;
    // Told once: a watched run would otherwise meet the same path at every tick.
    r.detenerVigilancia = true;
    r.error = motivo;
    return false;
}

bool ServicioEnvio::rechazarLista(lista::Lectura lectura, ResultadoCorrida &r)
{
    const QString texto = corrida_lista::textoListaRechazada(lectura, m_corrida->pedido.rutaLista);
    if (texto.isEmpty())
        return false;
    r.detenerVigilancia = true;
    r.error = texto;
    return true;
}

bool ServicioEnvio::validarColumnas(ResultadoCorrida &r)
{
    const PedidoCorrida &p = m_corrida->pedido;
    const auto buscar = [this](QStringView referencia) {
        return lista::resolverColumna(referencia, m_corrida->columnas, m_corrida->cantidadColumnas);
    };
    const QString campos = lista::verificarCampos(p.plantilla, buscar);
    QString faltante;
    if (p.modo == corrida_lista::Modo::Armado && campos != QLatin1String("true"))
        faltante = campos;
    else if (buscar(p.columnaCelular) == -1)
        faltante = p.columnaCelular;
    else if (!p.columnaFecha.isEmpty() && p.columnaFecha != QLatin1String(ajustes::kInmediato) &&
             buscar(p.columnaFecha) == -1)
        faltante = p.columnaFecha;
    else if (campos != QLatin1String("true"))
        faltante = campos;
    else if (p.modo == corrida_lista::Modo::Armado && p.plantilla.isEmpty())
        r.error = tr("Debe ingresar un mensaje");
    if (!faltante.isEmpty())
        r.error = tr("No existe columna '%1' en la lista seleccionada").arg(faltante);
    return r.error.isEmpty();
}

// Everything a row needs, taken once. The columns are those of the list as just read: the file
// may have been replaced since it was chosen.
void ServicioEnvio::empezarPasadas()
{
    Corrida &c = *m_corrida;
    if (!c.filas.vacia()) {
        const lista::ColumnasLista columnas = lista::columnasDe(c.filas.fila(0), c.formato);
        c.columnas = columnas.nombres;
        c.cantidadColumnas = columnas.cantidad;
    }
    diario_corrida::Diario &d = c.diario;
    d.modo = c.pedido.modo;
    d.rutaLista = c.pedido.rutaLista;
    diario_corrida::identidad(d.rutaLista, d.tamanoLista, d.modificadaLista);
    d.huellaLista = diario_corrida::huella(c.filas.lista());
    d.rutaSalidas = m_rutaSalidas;
    d.rutaErrores = c.pedido.rutaErrores;
    d.plantilla = c.pedido.plantilla;
    d.columnaCelular = c.pedido.columnaCelular;
    d.columnaFecha = c.pedido.columnaFecha;
    d.hoy = reloj::hoyTexto();
}

// Every row is checked once, and the operator sees what will happen before anything is written.
// The messages queued (pending in the outbox) or tried (the history, a cancellation aside) in the
// last days, by number and text: a list imported again would repeat them.
QSet<quint64> ServicioEnvio::mensajesRecientes()
{
    QSet<quint64> recientes;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        outbox::recorrerPendientes(m_rutaSalidas, [&recientes](outbox::RegistroPendiente &p) {
            recientes.insert(lista::claveMensaje(p.numero, p.mensaje));
        });
    }
    if (!m_historial.disponible())
        return recientes;
    QSqlQuery consulta(m_historial.base());
    consulta.prepare(
        QStringLiteral("SELECT numero, mensaje FROM enviados WHERE fecha_hora >= ? AND resultado <> ?"));
    consulta.addBindValue(
        reloj::ahora().addDays(-lista::kDiasRecientes).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    consulta.addBindValue(tr("cancelado"));
    if (!consulta.exec()) {
        qCDebug(catApp) << "no se pudo leer el historial reciente:" << consulta.lastError().text();
        return recientes;
    }
    while (consulta.next())
        recientes.insert(lista::claveMensaje(consulta.value(0).toString(), consulta.value(1).toString()));
    return recientes;
}

ResumenCorrida ServicioEnvio::resumirCorrida()
{
    ResumenCorrida resumen;
    if (!m_corrida)
        return resumen;
    const FilasLista &filas = m_corrida->filas;
    const lista::ReglasFila reglas(entradasFila());
    // A problem row's text is read again from the list when the operator looks at it.
    const std::shared_ptr<const lista::ListaEnDisco> enDisco = filas.compartida();
    auto revision =
        std::make_shared<lista::RevisionLista>([enDisco](int linea) { return enDisco->linea(linea - 1); });
    const int desde = desdeFila(m_corrida->formato, 0, filas.cantidad());
    const int total = filas.cantidad() - desde;
    lista::ResultadoFila resultado;
    lista::GuardiaLista guardia(reloj::hoy(), mensajesRecientes());
    lista::ListaEnDisco::Recorrido recorrido = filas.recorrer(desde);
    while (recorrido.siguiente()) {
        const int i = recorrido.numero();
        reglas.evaluar(recorrido.linea(), resultado);
        if (resultado.motivo == lista::Motivo::Ninguno)
            guardia.agregar(resultado.numero, resultado.fecha, resultado.mensaje);
        revision->agregar(i + 1, recorrido.linea(), resultado);
        // Every row would make a progress display repaint too often; a step of 256 is invisible.
        if (((i - desde + 1) & 0xFF) == 0)
            emit progresoCorrida(i - desde + 1, total);
    }
    if (recorrido.cambio()) {
        resumen.error = tr("La lista %1 cambió mientras se revisaba: no se agregó nada. Vuelva a "
                           "elegirla para agregarla.")
                            .arg(m_corrida->pedido.rutaLista);
        return resumen;
    }
    resumen.truncados = revision->truncados();
    resumen.faltaObligatorio = revision->porMotivo(lista::Motivo::FaltaObligatorio);
    resumen.aEncolar = revision->aEncolar();
    if (revision->cantidadProblemas() > 0)
        resumen.revision = revision;
    resumen.texto = lista::textoResumen(*revision) + lista::textoGuardia(guardia) +
                    corrida_lista::textoConfirmacion(resumen.truncados, resumen.faltaObligatorio,
                                                     resumen.aEncolar, revision->hayAvisos());
    return resumen;
}

void ServicioEnvio::abandonarCorrida()
{
    m_corrida.reset();
    m_enCorrida = false;
}

ResultadoCorrida ServicioEnvio::escribirCorrida()
{
    ResultadoCorrida r;
    if (!m_corrida)
        return r;
    const corrida_lista::Modo modo = m_corrida->pedido.modo;
    if (modo == corrida_lista::Modo::Simple)
        ajustes::escribir(ajustes::Clave::FormatoSms, m_corrida->pedido.plantilla);
    if (!abrirDiario(r))
        return terminarCorrida(r);
    const int agregados = pasadaEscritura(0);
    const diario_corrida::Diario &d = m_corrida->diario;
    if (modo == corrida_lista::Modo::Vigilada) {
        const bool completa = !m_corrida->escrituraFallo;
        // Every data row went to the outbox or to the errors file.
        const int cantidad = m_corrida->filas.cantidad();
        const int filas = cantidad - qMin(m_corrida->formato.tieneHeader ? 1 : 0, cantidad);
        cerrarCorrida(agregados, QString(), r);
        r.importada = completa;
        r.aErrores = filas - agregados;
    } else {
        cerrarCorrida(agregados,
                      corrida_lista::textoReporte(agregados, modo, m_corrida->aErrores, d.rutaErrores), r);
    }
    r.agregados = agregados;
    return terminarCorrida(r);
}

// Before the first row: the run's inputs and the sizes of the two files its rows go to.
bool ServicioEnvio::abrirDiario(ResultadoCorrida &r)
{
    diario_corrida::Diario &d = m_corrida->diario;
    d.tamanoSalidas = diario_corrida::tamanoActual(d.rutaSalidas);
    d.tamanoErrores = diario_corrida::tamanoActual(d.rutaErrores);
    d.columnas = m_corrida->columnas;
    d.cantidadColumnas = m_corrida->cantidadColumnas;
    d.tieneHeader = m_corrida->formato.tieneHeader;
    d.usarComa = m_corrida->formato.usarComa;
    d.usarTab = m_corrida->formato.usarTab;
    d.usarPuntoComa = m_corrida->formato.usarPuntoComa;
    d.completa = false;
    if (diario_corrida::guardar(rutaDiario(), d))
        return true;
    // Without it a crash could add rows twice: nothing is written.
    r.detenerVigilancia = true;
    r.error = tr("No se pudo escribir %1: la lista %2 no se agregó.").arg(rutaDiario(), d.rutaLista);
    return false;
}

// Writes the data rows from the one after the first `hechas`; returns the records added. Records
// go out in batches, each batch written before any errors-file line and at the end, so every
// row's line still follows the lines of the rows before it: a crash loses only rows whose lines
// are in neither file, which the journal finds undone.
int ServicioEnvio::pasadaEscritura(int hechas)
{
    Corrida &c = *m_corrida;
    int agregados = 0;
    const int desde = desdeFila(c.formato, hechas, c.filas.cantidad());
    const int total = c.filas.cantidad() - desde;
    const lista::ReglasFila reglas(entradasFila());
    archivos_datos::AnexadorOutbox anexador(c.diario.rutaSalidas);
    archivos_datos::AnexadorErrores anexadorErrores(c.diario.rutaErrores);
    c.anexadorErrores = &anexadorErrores;
    int enLote = 0;
    const auto vaciar = [&] {
        if (enLote == 0)
            return;
        // The batch and the counter move as one step against the worker's recounts.
        QMutexLocker bloqueo(&m_bloqueo);
        if (anexador.vaciar()) {
            m_pendientes += enLote;
            agregados += enLote;
        } else {
            detenerEscritura(tr("No se pudo abrir salidas.\n") + m_rutaSalidas);
        }
        enLote = 0;
    };
    lista::ResultadoFila r;
    lista::ListaEnDisco::Recorrido recorrido = c.filas.recorrer(desde);
    while (!c.escrituraFallo && recorrido.siguiente()) {
        const int i = recorrido.numero();
        reglas.evaluar(recorrido.linea(), r);
        if (r.motivo == lista::Motivo::Ninguno) {
            anexador.acumular(r.numero, r.fecha, r.mensaje);
            ++enLote;
            if (anexador.acumulado() >= archivos_datos::AnexadorOutbox::kLote)
                vaciar();
        } else {
            vaciar();
            if (!c.escrituraFallo)
                anotarError(recorrido.linea().toString());
        }
        if (((i - desde + 1) & 0xFF) == 0)
            emit progresoCorrida(i - desde + 1, total);
    }
    if (recorrido.cambio() && !c.escrituraFallo) {
        vaciar();
        // The rows after it are left undone: the journal tells the next start which went in.
        detenerEscritura(tr("La lista %1 cambió mientras se agregaba.").arg(c.diario.rutaLista));
    }
    vaciar();
    c.anexadorErrores = nullptr;
    return agregados;
}

bool ServicioEnvio::anotarError(const QString &linea)
{
    Corrida &c = *m_corrida;
    const bool anotada = c.anexadorErrores ? c.anexadorErrores->agregar(linea)
                                           : archivos_datos::agregarLineaErrores(c.diario.rutaErrores, linea);
    if (anotada) {
        ++c.aErrores;
        return true;
    }
    // A row with a line in neither file would be lost, and after a crash the rows done would be
    // miscounted: stop as for the outbox.
    detenerEscritura(tr("No se pudo abrir el archivo de errores."));
    return false;
}

// The rows after it are not written either; the run tells it once at its end.
void ServicioEnvio::detenerEscritura(const QString &causa)
{
    m_corrida->escrituraFallo = true;
    m_corrida->textoFallo = causa;
}

// After the writing pass. A pass stopped by a write failure keeps its journal, so the rest of the
// list is added later from the row where it stopped, never from its first row.
void ServicioEnvio::cerrarCorrida(int agregados, const QString &reporte, ResultadoCorrida &r)
{
    Corrida &c = *m_corrida;
    diario_corrida::Diario &d = c.diario;
    if (c.escrituraFallo) {
        recontar(false);
        if (d.modo == corrida_lista::Modo::Simple) {
            r.error = c.textoFallo;
            r.reporte = corrida_lista::textoReporte(agregados, corrida_lista::Modo::Simple, c.aErrores,
                                                    d.rutaErrores);
            return;
        }
        r.detenerVigilancia = true;
        r.error = corrida_lista::textoEscrituraDetenida(c.textoFallo, d.rutaLista, agregados, d.modo);
        return;
    }
    d.completa = true;
    // A journal that cannot be marked goes: the recount may compact the outbox, after which its
    // recorded size would count the wrong lines.
    if (d.modo == corrida_lista::Modo::Simple || !diario_corrida::guardar(rutaDiario(), d))
        QFile::remove(rutaDiario());
    r.error = recontar();
    r.reporte = reporte;
    terminarCorridaEscrita(r);
}

// Every row has its line: the arming run turns the watch on, and the list goes to the backup path.
void ServicioEnvio::terminarCorridaEscrita(ResultadoCorrida &r)
{
    const diario_corrida::Diario &d = m_corrida->diario;
    if (d.modo == corrida_lista::Modo::Armado)
        r.armarVigilancia = true;
    m_corrida->filas.cerrar();
    // Only the list that was read: one dropped at the path since then waits for its own run.
    const QString backup =
        m_corrida->pedido.rutaBackup.isEmpty() ? m_rutas.backup : m_corrida->pedido.rutaBackup;
    if (d.modo != corrida_lista::Modo::Simple && diario_corrida::mismaLista(d) &&
        !corrida_lista::apartarLista(d.rutaLista, backup)) {
        // Left at the watched path it would be imported again at the next tick.
        r.detenerVigilancia = true;
        r.errorApartado =
            tr("No se pudo mover la lista procesada %1 a %2.\nSe detuvo la verificación periódica "
               "para no agregarla dos veces.")
                .arg(d.rutaLista, backup);
    }
    QFile::remove(rutaDiario());
}

ResultadoCorrida ServicioEnvio::reanudarCorrida(bool avisar)
{
    ResultadoCorrida r;
    r.paso = Paso::Seguir;
    // The journal of the run in progress is no run cut short (the poll runs inside its boxes).
    const QString ruta = rutaDiario();
    if (m_enCorrida || !QFile::exists(ruta))
        return r;
    r.paso = Paso::Detenida;
    m_enCorrida = true;
    m_corrida = std::make_unique<Corrida>();
    if (diario_corrida::leer(ruta, m_corrida->diario)) {
        completarCorrida(avisar || m_corrida->diario.modo != corrida_lista::Modo::Vigilada, r);
    } else {
        // Which rows were done is lost with it: a watched list read again would add them twice.
        qCDebug(catApp).noquote() << "Registro de corrida ilegible, se descarta:" << ruta;
        QFile::remove(ruta);
        r.detenerVigilancia = true;
        r.error = tr("No se pudo leer el registro de una lista que había quedado a medio agregar (%1). Se "
                     "desactivó la verificación periódica: revise la bandeja de salida antes de agregar esa "
                     "lista otra vez.")
                      .arg(ruta);
    }
    return terminarCorrida(r);
}

// The run goes on exactly as it began, whatever the window shows now: the journal's format and
// columns split the list and its inputs make the records.
void ServicioEnvio::completarCorrida(bool avisar, ResultadoCorrida &r)
{
    Corrida &c = *m_corrida;
    diario_corrida::Diario &d = c.diario;
    c.pedido.modo = d.modo;
    c.pedido.rutaLista = d.rutaLista;
    if (d.completa)
        return terminarCorridaEscrita(r);
    c.formato.tieneHeader = d.tieneHeader;
    c.formato.usarComa = d.usarComa;
    c.formato.usarTab = d.usarTab;
    c.formato.usarPuntoComa = d.usarPuntoComa;
    c.columnas = d.columnas;
    c.cantidadColumnas = d.cantidadColumnas;

    // The rows done are recognised by the records they wrote, never by the errors file alone.
    diario_corrida::Avance avance;
    if (c.filas.leer(d.rutaLista) == lista::Lectura::Bien &&
        diario_corrida::mismasLineas(d, c.filas.lista())) {
        QMutexLocker bloqueo(&m_bloqueo);
        avance = diario_corrida::reconocerAvance(d, c.filas.lista(), lista::ReglasFila(entradasFila(false)));
    } else {
        QMutexLocker bloqueo(&m_bloqueo);
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
        r.detenerVigilancia = true;
        recontar(false);
        r.error = texto;
        return;
    }
    const int hechas = d.filasPrevias + avance.hechas;
    const int agregadosAntes = d.agregadosPrevios + avance.agregados;

    // The errors file is the one configured now, since a failing one may have been replaced.
    // Journaled again first, from the rows done so far.
    const QString errores = m_rutas.errores;
    const QString motivo = motivoRutaRechazada(errores, Rol::Errores);
    if (!motivo.isEmpty()) {
        r.detenerVigilancia = true;
        r.error = motivo;
        return;
    }
    d.filasPrevias = hechas;
    d.agregadosPrevios = agregadosAntes;
    d.rutaErrores = errores;
    if (!abrirDiario(r))
        return;
    const int agregados = agregadosAntes + pasadaEscritura(hechas);
    qCDebug(catApp).noquote() << "Corrida de lista completada:" << d.rutaLista << "filas ya hechas" << hechas;
    // Every row done has its line in one of the two files.
    const int aErrores = hechas - agregadosAntes + c.aErrores;
    cerrarCorrida(agregados,
                  avisar ? corrida_lista::textoCorridaCompletada(d.rutaLista, hechas, agregados, aErrores,
                                                                 d.rutaErrores)
                         : QString(),
                  r);
    r.agregados = agregados;
}

} // namespace servicio
