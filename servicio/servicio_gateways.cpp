// The gateways' workers: built at start for every gateway on with an address, changed, added and
// ended by the configuration's "Guardar" without a restart; the claim of the next record by one
// gateway, the rule that keeps a number on the gateway it went through, each one's reads of its
// connection, and the snapshot's lines.
#include "servicio/puesto_gateway.h"
#include "servicio/servicio_envio.h"

#include "ajustes/registro.h"
#include "ajustes/reloj.h"
#include "envio/reglas_envio.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "historial/consultas.h"
#include "lista/bajas.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QSet>
#include <QSqlDatabase>
#include <QThreadPool>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace {

QString ahoraTexto()
{
    return reloj::ahora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

namespace servicio {

// The caps count on from what the history holds of this hour and this day for the worker's
// gateway, so that a restart does not give them back. Nothing while the history is not open.
void sembrarTopes(historial::Historial &h, threads &trabajador)
{
    const QSqlDatabase db = h.base();
    if (!db.isValid())
        return;
    const QDateTime ahora = reloj::ahora();
    const int gateway = trabajador.numero();
    const qint64 enHora =
        historial::contarSalidosDesde(db, ahora.toString(QStringLiteral("yyyy-MM-dd HH:00:00")), gateway);
    const qint64 enDia =
        historial::contarSalidosDesde(db, ahora.toString(QStringLiteral("yyyy-MM-dd 00:00:00")), gateway);
    const auto acotar = [](qint64 n) { return static_cast<int>(qBound<qint64>(0, n, INT_MAX)); };
    trabajador.sembrarTopes(acotar(enHora), acotar(enDia));
}

ServicioEnvio::Puesto::Puesto(ServicioEnvio &servicio, const ajustes::AjustesGateway &ajustes)
    : servicio(servicio), config(ajustes), activo(ajustes.activo),
      buscador([](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); })
{
}

ServicioEnvio::Puesto::~Puesto()
{
    delete trabajador;
}

ServicioEnvio::Puesto *ServicioEnvio::agregarPuesto(const ajustes::AjustesGateway &ajustes)
{
    auto nuevo = std::make_unique<Puesto>(*this, ajustes);
    Puesto *p = nuevo.get();
    p->trabajador = new threads(ajustes, *p);
    connect(
        p->trabajador->conexion(), &conexion_ngw::terminado, this,
        [this, p](const ResultadoPedido &resultado) { alTerminarPedido(*p, resultado); },
        Qt::DirectConnection);
    {
        QMutexLocker bloqueo(&m_bloqueo);
        const auto antes = std::find_if(m_puestos.begin(), m_puestos.end(),
                                        [&ajustes](const auto &q) { return q->numero() > ajustes.numero; });
        m_puestos.insert(antes, std::move(nuevo));
    }
    // Built after start: its caps count on from the history (at start that comes once it is open).
    sembrarTopes(m_historial, *p->trabajador);
    if (m_comando != 0)
        p->trabajador->fijarComando(m_comando);
    if (m_pool)
        m_pool->start(p->trabajador, 0);
    return p;
}

ServicioEnvio::Puesto *ServicioEnvio::puesto(int numero) const
{
    for (const auto &p : m_puestos) {
        if (p->numero() == numero)
            return p.get();
    }
    return nullptr;
}

threads *ServicioEnvio::trabajador(int numero) const
{
    const Puesto *p = puesto(numero);
    return p ? p->trabajador : nullptr;
}

QVector<int> ServicioEnvio::gatewaysEnServicio() const
{
    QVector<int> numeros;
    for (const auto &p : m_puestos)
        numeros.append(p->numero());
    return numeros;
}

// Its worker is told to leave; a record in hand is settled when its reply comes, and the worker
// is deleted at the end, when every loop is waited for.
void ServicioEnvio::retirarPuesto(int numero)
{
    std::unique_ptr<Puesto> retirado;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        const auto it = std::find_if(m_puestos.begin(), m_puestos.end(),
                                     [numero](const auto &p) { return p->numero() == numero; });
        if (it == m_puestos.end() || numero == 1)
            return;
        retirado = std::move(*it);
        m_puestos.erase(it);
        retirado->activo = false;
        retirado->trabajador->fijarComando(EST_SALIR);
        retirado->trabajador->conexion()->detener();
        m_retirados.push_back(std::move(retirado));
    }
    qCDebug(catEnvio) << "gateway" << numero << "fuera de servicio";
}

// A mark a retired gateway's reply could not write is tried again here, once a second, and a
// change of address a busy gateway could not take yet is given to it.
void ServicioEnvio::terminarRetirados()
{
    for (const auto &p : m_puestos) {
        if (p->numero() != 1)
            aplicarGateway(*p);
    }
    QMutexLocker bloqueo(&m_bloqueo);
    for (const auto &p : m_retirados) {
        if (p->marcaPendiente && !p->trabajador->conexion()->isOcupado())
            completarBloqueado(*p);
    }
}

// The address and key reach the connection once its last reply is settled: now, or at the next
// tick of the snapshot (terminarRetirados), so that a change made while it was busy is not lost.
void ServicioEnvio::actualizarPuesto(Puesto &p, const ajustes::AjustesGateway &ajustes)
{
    p.config = ajustes;
    p.activo = ajustes.activo;
    p.trabajador->fijarAjustes(ajustes);
    // Asked again, as gateway 1 is, so that its connection test shows a fresh answer.
    p.consultar = true;
    aplicarGateway(p);
}

void ServicioEnvio::aplicarGateway(Puesto &p)
{
    conexion_ngw *conexion = p.trabajador->conexion();
    const protocolo_ngw::Gateway g = protocolo_ngw::gatewayDe(p.config.direccion, p.config.clave);
    const bool otro = g.direccion != conexion->ip() || g.clave != conexion->clave();
    if ((!otro && !p.consultar) || conexion->isOcupado() || !completarPendiente(p))
        return;
    if (otro)
        conexion->fijarGateway(g);
    p.consultar = !conexion->consultarEstado();
}

Actualizacion ServicioEnvio::actualizarGateways(const QVector<ajustes::AjustesGateway> &gateways)
{
    if (!m_trabajador)
        return Actualizacion::Hecha;
    Actualizacion primero = Actualizacion::Hecha;
    QSet<int> dados;
    m_sinServicio.clear();
    for (const ajustes::AjustesGateway &g : gateways) {
        if (g.numero < 1 || g.numero > ajustes::kMaxGateways || dados.contains(g.numero))
            continue;
        dados.insert(g.numero);
        const bool conDireccion = !g.direccion.trimmed().isEmpty();
        if (g.numero == 1) {
            // Always a worker; turned off it has no address to ask, so it sends and fetches nothing.
            Puesto &p = *m_puestos.front();
            p.config = g;
            p.activo = g.activo;
            p.trabajador->fijarAjustes(g);
            if (g.activo) {
                primero = actualizarConexion(protocolo_ngw::gatewayDe(g.direccion, g.clave));
                continue;
            }
            conexion_ngw *conexion = p.trabajador->conexion();
            if (conexion->isOcupado()) {
                primero = Actualizacion::Ocupada;
            } else if (!completarPendiente(p)) {
                primero = Actualizacion::SinMarcar;
            } else {
                conexion->fijarGateway(protocolo_ngw::Gateway());
                conexion->setEstado(EST_CONEX_UNKNOW);
            }
            continue;
        }
        Puesto *p = puesto(g.numero);
        if (!g.activo || !conDireccion) {
            if (p)
                retirarPuesto(g.numero);
            if (conDireccion)
                m_sinServicio.append(g);
        } else if (p) {
            actualizarPuesto(*p, g);
        } else {
            agregarPuesto(g);
        }
    }
    for (const int numero : gatewaysEnServicio()) {
        if (numero != 1 && !dados.contains(numero))
            retirarPuesto(numero);
    }
    if (m_puestos.size() > 1 && !m_gatewaysLeidos)
        leerGatewaysPorNumero();
    {
        QMutexLocker bloqueo(&m_bloqueo);
        m_mismoGateway = ajustes::leerBool(ajustes::Clave::MismoGatewayPorNumero);
        // Records another gateway's rule passed over may be free now, and the other way round.
        olvidarBusquedas();
    }
    return primero;
}

// Found and handed over under one hold of the lock: a cancellation on the queue either removes
// the record before the scan or sees it in hand, and no other gateway can choose it meanwhile;
// from then on the hold names it, so every other gateway's search passes over it.
bool ServicioEnvio::entregarSiguiente(Puesto &puesto, const Despacho::Entrega &entrega)
{
    if (!puesto.activo)
        return false;
    QMutexLocker bloqueo(&m_bloqueo);
    if (!m_retencion.confiable() || !m_bajasConocidas)
        return false;
    outbox::Pendiente pendiente;
    if (!elegir(puesto, pendiente)) {
        guardarRetencion();
        return false;
    }
    const int numero = puesto.numero();
    // On disk before the request goes out: a kill from here on leaves the record held.
    m_retencion.anotarEnVuelo(pendiente.linea, ahoraTexto(), numero);
    if (!guardarRetencion()) {
        m_retencion.resolver(pendiente.linea, false, QString(), QString(), numero);
        return false;
    }
    registro_sms registro;
    registro.numero = pendiente.numero;
    registro.fecha = pendiente.fecha;
    registro.mensaje = pendiente.mensaje;
    puesto.posicionEnMano = pendiente.posicion;
    puesto.lineaEnMano = pendiente.linea;
    if (!entrega(registro)) {
        m_retencion.resolver(pendiente.linea, false, QString(), QString(), numero);
        return false;
    }
    puesto.registroEnMano = registro;
    puesto.enMano = true;
    // Its number's next records wait for this gateway while the send may reach the phone.
    puesto.gatewayAnterior = anotarGatewayDeNumero(registro.numero, numero);
    return true;
}

// A resend the operator asked for, else the first due record not held. A record to a number on
// the opt-out list is passed over; once no list run is open, those passed over are cancelled and
// the search starts again on the outbox rewritten.
bool ServicioEnvio::elegir(Puesto &puesto, outbox::Pendiente &pendiente)
{
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        QVector<QByteArray> deBaja;
        const bool hay = elegirUna(puesto, pendiente, deBaja);
        if (deBaja.isEmpty())
            return hay;
        if (corridaAbierta() || !cancelarDeBaja(deBaja)) {
            // Left pending: the next choice reads them again, to take them out once it can.
            puesto.buscador.olvidar();
            return hay;
        }
    }
    return false;
}

void ServicioEnvio::olvidarBusquedas()
{
    for (const auto &p : m_puestos)
        p->buscador.olvidar();
}

bool ServicioEnvio::elegirUna(Puesto &puesto, outbox::Pendiente &pendiente, QVector<QByteArray> &deBaja)
{
    using outbox::ResultadoBusqueda;
    const bool conBajas = m_bajas.cantidad() > 0;
    const auto anotarBaja = [&](const char *linea, int largo) {
        if (!conBajas || !this->deBaja(linea, largo))
            return false;
        deBaja.append(QByteArray(linea, largo));
        return true;
    };
    const auto siempre = [](const char *, int) { return true; };
    QByteArray pedida;
    // A resend goes through the gateway that held the record while that one serves.
    while (m_retencion.reenvioPedido(pedida) && !deOtroGatewayRetenido(puesto, pedida)) {
        const auto otra = [&pedida, &anotarBaja](const char *linea, int largo) {
            return largo != pedida.size() || std::memcmp(linea, pedida.constData(), size_t(largo)) != 0 ||
                   anotarBaja(linea, largo);
        };
        const ResultadoBusqueda r = outbox::buscarPendiente(m_rutaSalidas, siempre, pendiente, otra);
        if (r == ResultadoBusqueda::Encontrado)
            return true;
        if (r == ResultadoBusqueda::NoAbre)
            return false;
        // Cancelled or marked meanwhile (or its number opted out): nothing left to send again.
        m_retencion.olvidarReenvio(pedida);
    }
    // The search passes over the held records (those in hand on any gateway among them) itself;
    // opted-out numbers and numbers bound to another gateway are told it this way.
    const bool conGateways = m_mismoGateway && m_puestos.size() > 1 && !m_gatewayDeNumero.isEmpty();
    outbox::Omitir omitir;
    if (conGateways)
        omitir = [&](const char *linea, int largo) {
            return anotarBaja(linea, largo) || deOtroGateway(puesto, linea, largo);
        };
    else if (conBajas)
        omitir = anotarBaja;
    return puesto.buscador.buscar(m_rutaSalidas, reloj::hoy(), m_retencion.entradas(), m_retencion.version(),
                                  pendiente, omitir) == ResultadoBusqueda::Encontrado;
}

// Gateway 1's reads are those of before; a gateway without a worker reads as not configured.
int ServicioEnvio::estadoConexion(int numero) const
{
    if (numero == 1)
        return estadoConexion();
    const Puesto *p = puesto(numero);
    return p ? p->trabajador->conexion()->getEstado() : EST_CONEX_UNKNOW;
}

bool ServicioEnvio::conexionOcupada(int numero) const
{
    if (numero == 1)
        return conexionOcupada();
    const Puesto *p = puesto(numero);
    return p && p->trabajador->conexion()->isOcupado();
}

protocolo_ngw::Gateway ServicioEnvio::gateway(int numero) const
{
    if (numero == 1)
        return gateway();
    const Puesto *p = puesto(numero);
    if (!p)
        return protocolo_ngw::Gateway();
    return protocolo_ngw::gatewayDe(p->trabajador->conexion()->ip(), p->trabajador->conexion()->clave());
}

// Under the lock.
bool ServicioEnvio::sirve(int numero) const
{
    const Puesto *p = puesto(numero);
    return p && p->activo;
}

// Under the lock: the line's number (its second field) last went through another gateway that
// still serves.
bool ServicioEnvio::deOtroGateway(const Puesto &p, const char *linea, int largo) const
{
    const char *desde = nullptr;
    const char *hasta = nullptr;
    if (!bajas::campoNumero(linea, largo, desde, hasta))
        return false;
    const QString numero = QString::fromUtf8(desde, int(hasta - desde));
    const int gateway = m_gatewayDeNumero.value(bajas::claveNumero(numero, m_digitosNumero), 0);
    return gateway != 0 && gateway != p.numero() && sirve(gateway);
}

int ServicioEnvio::gatewayRetenido(const QByteArray &linea) const
{
    for (const retencion::Entrada &e : m_retencion.entradas()) {
        if (e.linea == linea && e.estado != retencion::Estado::EnVuelo)
            return qMax(1, e.gateway);
    }
    return 1;
}

// Under the lock: a resend the operator asked for is the gateway's that held the record, while
// that one serves.
bool ServicioEnvio::deOtroGatewayRetenido(const Puesto &p, const QByteArray &linea) const
{
    for (const retencion::Entrada &e : m_retencion.entradas()) {
        if (e.linea == linea && e.estado == retencion::Estado::Reenviar)
            return e.gateway != 0 && e.gateway != p.numero() && sirve(e.gateway);
    }
    return false;
}

// Under the lock. Only once the history's pairs were read: until there is a second gateway the
// history alone keeps them. The gateway the number had before (0: none), -1 when none is noted.
int ServicioEnvio::anotarGatewayDeNumero(const QString &numero, int gateway)
{
    if (!m_gatewaysLeidos)
        return -1;
    const QString clave = bajas::claveNumero(numero, m_digitosNumero);
    if (clave.isEmpty())
        return -1;
    const int antes = m_gatewayDeNumero.value(clave, 0);
    m_gatewayDeNumero.insert(clave, gateway);
    return antes;
}

// Under the lock: a send that took nothing leaves its number bound to the gateway it had, not to
// one it never went through (which may be failing), and the searches that passed its records
// over look again.
void ServicioEnvio::devolverGatewayDeNumero(Puesto &p)
{
    const int antes = std::exchange(p.gatewayAnterior, -1);
    if (antes < 0)
        return;
    const QString clave = bajas::claveNumero(p.registroEnMano.numero, m_digitosNumero);
    if (m_gatewayDeNumero.value(clave, 0) != p.numero())
        return;
    if (antes == 0)
        m_gatewayDeNumero.remove(clave);
    else
        m_gatewayDeNumero.insert(clave, antes);
    olvidarBusquedas();
}

// Interface thread (the history's own), once there is more than one gateway.
void ServicioEnvio::leerGatewaysPorNumero()
{
    QVector<QPair<QString, int>> pares;
    if (m_historial.disponible() && !historial::gatewaysPorNumero(m_historial.base(), pares))
        qCWarning(catEnvio) << "no se pudo leer del historial por qué gateway salió cada número";
    QMutexLocker bloqueo(&m_bloqueo);
    for (const auto &par : qAsConst(pares)) {
        const QString clave = bajas::claveNumero(par.first, m_digitosNumero);
        if (!clave.isEmpty())
            m_gatewayDeNumero.insert(clave, par.second);
    }
    m_gatewaysLeidos = true;
    olvidarBusquedas();
}

QVector<EstadoGateway> ServicioEnvio::estadosGateways(const Instantanea &general) const
{
    QVector<EstadoGateway> lineas;
    for (const auto &p : m_puestos) {
        EstadoGateway g;
        g.numero = p->numero();
        g.activo = p->activo;
        if (g.numero == 1) {
            g.direccion = gateway().direccion;
            g.situacion = general.situacion;
            // Records held by a file without gateways were gateway 1's.
            if (m_puestos.size() > 1)
                g.situacion.enDuda = m_retencion.enDudaDe(1) + m_retencion.enDudaDe(0);
            g.texto =
                g.situacion.enDuda == general.situacion.enDuda ? general.texto : textoSituacion(g.situacion);
            g.detenidoPorFalla = general.detenidoPorFalla;
            g.motivoFalla = general.motivoFalla;
        } else {
            g.direccion = p->trabajador->conexion()->ip();
            g.situacion = p->trabajador->situacion();
            g.situacion.enDuda = m_retencion.enDudaDe(g.numero);
            g.situacion.retencionIlegible = general.situacion.retencionIlegible;
            g.situacion.retencionSinEscribir = general.situacion.retencionSinEscribir;
            g.situacion.bajasIlegibles = general.situacion.bajasIlegibles;
            g.texto = textoSituacion(g.situacion);
            g.detenidoPorFalla = p->trabajador->detenidoPorFalla();
            if (g.detenidoPorFalla && g.situacion.estado == EST_CONEX_ERROR)
                g.motivoFalla = p->motivoFalla;
        }
        lineas.append(g);
    }
    for (const ajustes::AjustesGateway &a : m_sinServicio) {
        EstadoGateway g;
        g.numero = a.numero;
        g.direccion = a.direccion;
        g.activo = false;
        g.situacion.sinGateway = true;
        // What it left in doubt waits for the operator all the same.
        g.situacion.enDuda = m_retencion.enDudaDe(a.numero);
        g.texto = tr("Desactivado");
        lineas.append(g);
    }
    std::stable_sort(lineas.begin(), lineas.end(),
                     [](const EstadoGateway &a, const EstadoGateway &b) { return a.numero < b.numero; });
    return lineas;
}

} // namespace servicio
