#include "ajustes/registro.h"
#include "servicio/puesto_gateway.h"
#include "servicio/servicio_envio.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/reglas_envio.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "historial/modelo_bandeja.h"
#include "lista/archivos_datos.h"

#include <QDebug>
#include <QFile>
#include <QMutexLocker>

// The data files around the outbox: their paths and the rule that no data file is ever another
// one, the errors file's lines, the queue's reading and cancellation, manual sends, compaction.

namespace servicio {

QString ServicioEnvio::rutaDiario() const
{
    return m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCorrida));
}

QString ServicioEnvio::rutaHistorial() const
{
    return m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoHistorial));
}

void ServicioEnvio::fijarRutas(const RutasOperador &rutas)
{
    m_rutas = rutas;
}

QString ServicioEnvio::motivoRutaRechazada(const QString &ruta, Rol rol) const
{
    struct Entrada
    {
        Rol rol;
        archivos_datos::ArchivoDatos archivo;
    };
    const Rol ninguno = Rol::Lista;
    const Entrada entradas[] = {
        {ninguno, {m_rutaSalidas, tr("la bandeja de salida")}},
        {ninguno,
         {m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando)),
          tr("el temporal de compactación")}},
        {ninguno, {rutaDiario(), tr("el registro de la corrida de lista")}},
        {ninguno,
         {m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoEnDuda)),
          tr("el registro de SMS en duda")}},
        {ninguno, {rutaHistorial(), tr("el historial")}},
        {Rol::Errores, {m_rutas.errores, tr("el archivo de errores")}},
        {Rol::Backup, {m_rutas.backup, tr("el backup de la lista")}},
        {Rol::Recibidos, {m_rutas.recibidos, tr("el archivo de recibidos")}},
    };
    QString nombre = tr("la lista a agregar");
    QVector<archivos_datos::ArchivoDatos> otros;
    for (const Entrada &e : entradas) {
        if (rol != Rol::Lista && e.rol == rol)
            nombre = e.archivo.nombre;
        else
            otros << e.archivo;
    }
    const QString otro = archivos_datos::archivoCoincidente(ruta, otros);
    if (otro.isEmpty())
        return QString();
    return tr("%1 no puede ser %2: ese archivo ya es %3.").arg(ruta, nombre, otro);
}

bool ServicioEnvio::corridaAbierta() const
{
    return m_enCorrida || QFile::exists(rutaDiario());
}

// The connections' lines in any state; a connection's failure only in state 8, and not again
// while the retries fail with the same text before the connection has worked again. A list run
// counts its rows by the lines it adds to the errors file: lines wait while one is in progress or
// unfinished.
QString ServicioEnvio::escribirLineas()
{
    if (!m_trabajador)
        return QString();
    QVector<Puesto *> conError;
    for (const auto &p : m_puestos) {
        const conexion_ngw *conexion = p->trabajador->conexion();
        const int estado = conexion->getEstado();
        if (!conexion->isOcupado() && !estadoDetenido(estado))
            p->ultimoErrorConexion.clear();
        else if (estado == EST_CONEX_ERROR && p->errorConexion == p->ultimoErrorConexion)
            p->errorConexion.clear();
        if (estado == EST_CONEX_ERROR && !p->errorConexion.isEmpty())
            conError.append(p.get());
    }
    m_historial.reintentar();
    m_avisosHistorial += m_historial.tomarAvisos();
    if (corridaAbierta())
        return QString();
    const QString ruta = m_rutas.errores;
    const bool hayLineas = !m_lineas.isEmpty() || !conError.isEmpty();
    const QString motivo = motivoRutaRechazada(ruta, Rol::Errores);
    if (!motivo.isEmpty()) {
        if (!hayLineas || ruta == m_rutaErroresRechazada)
            return QString();
        m_rutaErroresRechazada = ruta;
        return motivo;
    }
    bool escrito = true;
    while (escrito && !m_lineas.isEmpty()) {
        escrito = archivos_datos::agregarLineaErrores(ruta, m_lineas.first());
        if (escrito)
            m_lineas.removeFirst();
    }
    for (Puesto *p : qAsConst(conError)) {
        if (!escrito)
            break;
        escrito = archivos_datos::agregarLineaErrores(ruta, p->errorConexion);
        if (escrito) {
            p->ultimoErrorConexion = p->errorConexion;
            p->errorConexion.clear();
        }
    }
    // The history's lines are retried quietly.
    while (!m_avisosHistorial.isEmpty() &&
           archivos_datos::agregarLineaErrores(ruta, m_avisosHistorial.first()))
        m_avisosHistorial.removeFirst();
    if (escrito)
        return QString();
    return tr("No se pudo abrir errores %1").arg(ruta);
}

void ServicioEnvio::actualizarBandeja(historial::ModeloBandeja &modelo)
{
    // Read together, so that the marks fall on the records they name.
    QMutexLocker bloqueo(&m_bloqueo);
    modelo.actualizar(m_rutaSalidas, m_retencion.entradas(), m_retencion.version());
}

int ServicioEnvio::pendientesAhora()
{
    if (!m_trabajador || m_trabajador->situacion().enPausa)
        return 0;
    QMutexLocker bloqueo(&m_bloqueo);
    QVector<outbox::RegistroPendiente> pendientes;
    if (!outbox::leerPendientes(m_rutaSalidas, pendientes))
        return 0;
    const QDate hoy = reloj::hoy();
    retencion::Omision omision(m_retencion.entradas());
    int cuenta = 0;
    for (const outbox::RegistroPendiente &p : qAsConst(pendientes)) {
        // In file order, as the worker meets them: a held record is never sent by itself.
        if (!omision.vacia() && omision.retenida(p.linea.constData(), p.linea.size()) >= 0)
            continue;
        if (reglas_envio::fechaVencida(p.fecha, hoy))
            ++cuenta;
    }
    return cuenta;
}

outbox::ResultadoCancelacion ServicioEnvio::cancelar(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&m_bloqueo);
    const outbox::ResultadoCancelacion r = quitarDeSalida(registros);
    // The history keeps what never went out and why.
    for (const QByteArray &linea : r.quitadas)
        informarLinea(linea, tr("cancelado"));
    return r;
}

outbox::ResultadoCancelacion ServicioEnvio::quitarDeSalida(const QVector<outbox::Referencia> &registros)
{
    const QString temporal = m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando));
    // Every record with a gateway stays, those of gateways taken away whose reply is awaited too.
    QVector<outbox::Referencia> enMano;
    for (const auto *puestos : {&m_puestos, &m_retirados}) {
        for (const auto &p : *puestos) {
            if (p->enMano)
                enMano.append({p->posicionEnMano, p->lineaEnMano});
        }
    }
    const outbox::ResultadoCancelacion r = outbox::cancelar(m_rutaSalidas, temporal, registros, enMano);
    int cuenta = 0;
    outbox::contarPorEstado(m_rutaSalidas, 'e', cuenta);
    m_pendientes = cuenta;
    // A record in doubt cancelled is no longer held.
    conciliarRetencion();
    return r;
}

Manual ServicioEnvio::agregarManual(const QString &numero, const QString &mensaje, bool urgente,
                                    bool aunqueDeBaja)
{
    if (corridaAbierta())
        return Manual::CorridaPendiente;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        // An urgent message goes before every other line, so the worker's scan takes it next.
        const QString temporal =
            m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando));
        const QString hoy = reloj::hoyTexto();
        const bool agregado =
            urgente ? outbox::agregarPrimero(m_rutaSalidas, temporal, numero, hoy, mensaje) ==
                          outbox::ResultadoCompactacion::Hecha
                    : archivos_datos::agregarRegistroOutbox(m_rutaSalidas, numero, hoy, mensaje);
        if (!agregado)
            return Manual::NoAbre;
        m_pendientes += 1;
        if (aunqueDeBaja)
            m_exentos.insert(archivos_datos::lineaRegistroOutbox(numero, hoy, mensaje).toUtf8());
    }
    return Manual::Agregado;
}

QString ServicioEnvio::recontar(bool compactar)
{
    contarEnviados();
    contarRecibidos();
    contarPendientes();
    if (!compactar || m_enviados <= 1000)
        return QString();
    qCDebug(catApp) << "SIII  COMPACTAR OUTBOX!";
    return compactarOutbox();
}

// Keeps only the pending records, written to "compactando.csv" in the data folder, which then
// replaces the outbox in one step.
QString ServicioEnvio::compactarOutbox()
{
    const QString temporal = m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoCompactando));
    QMutexLocker bloqueo(&m_bloqueo);
    switch (outbox::compactar(m_rutaSalidas, temporal)) {
    case outbox::ResultadoCompactacion::NoAbreSalidas:
        return tr("No se pudo abrir salidas");
    case outbox::ResultadoCompactacion::NoAbreTemporal:
        return tr("No se pudo abrir temporal para compactar");
    case outbox::ResultadoCompactacion::Hecha:
    case outbox::ResultadoCompactacion::FalloEscritura:
        // A failed replace leaves the outbox as it was, as a failed rename always did: not reported.
        break;
    }
    return QString();
}

} // namespace servicio
