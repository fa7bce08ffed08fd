#include "envio/threads.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/reglas_envio.h"
#include "gateway/conexion_ngw.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QMutexLocker>

#include <algorithm>

namespace {

constexpr int kTramoPausaMs = 100;

} // namespace

threads::threads(const ajustes::AjustesGateway &ajustesGateway, Despacho &despacho)
    : QObject(nullptr), m_despacho(despacho), m_numero(ajustesGateway.numero),
      m_reintento(ajustes::leerEntero(ajustes::Clave::EsperaReintento))
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - CONSTRUCTOR!!------------------>";
    // The owner waits for the loop to end and deletes the worker and its connection together.
    setAutoDelete(false);
    m_monotono.start();
    // The time limits apply from the first connection check on.
    m_conexion = new conexion_ngw(QString(), QString());
    m_conexion->fijarTiempoLimite(ajustes::leerEntero(ajustes::Clave::LimiteSilencio));
    m_conexion->fijarPlazoTotal(ajustes::leerEntero(ajustes::Clave::PlazoRespuesta));
    // Counted before the owner hears of the reply, so the cycle that finds the link free knows it.
    connect(
        m_conexion, &conexion_ngw::terminado, m_conexion,
        [this](const ResultadoPedido &resultado) { alTerminar(resultado); }, Qt::DirectConnection);
    fijarAjustes(ajustesGateway);
    const protocolo_ngw::Gateway gateway =
        protocolo_ngw::gatewayDe(ajustesGateway.direccion, ajustesGateway.clave);
    m_conexion->fijarGateway(gateway);
    if (!gateway.sinDireccion())
        m_conexion->consultarEstado();
}

threads::~threads()
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - DESTRUCTOR!------------------>";
    delete m_conexion;
}

void threads::fijarAjustes(const ajustes::AjustesGateway &gateway)
{
    QMutexLocker bloqueo(&m_mutexRitmo);
    if (gateway.ritmo != m_ritmo.porMinuto())
        m_ritmo = Ritmo(gateway.ritmo);
    m_topes.fijar(gateway.topeHora, gateway.topeDia);
    m_conexion->fijarEnvioSeguido(m_ritmo.seguido());
}

void threads::sembrarTopes(int enHora, int enDia)
{
    QMutexLocker bloqueo(&m_mutexRitmo);
    m_topes.sembrar(reloj::ahora(), enHora, enDia);
}

void threads::alTerminar(const ResultadoPedido &resultado)
{
    if (resultado.tipo != ResultadoPedido::Tipo::Envio ||
        resultado.desenlace == protocolo_ngw::Desenlace::NadaTomado)
        return;
    QMutexLocker bloqueo(&m_mutexRitmo);
    m_topes.contar(reloj::ahora());
}

void threads::girar()
{
    m_despacho.alGirar();
    m_enMovimiento = false;
    if (m_comando == EST_PLAY)
        procesarCiclo();
}

void threads::run()
{
    qCDebug(catEnvio) << "TEST TAREAS";
    m_corriendo = true;
    for (;;) {
        QElapsedTimer vuelta;
        vuelta.start();
        girar();
        if (m_comando == EST_SALIR) {
            qCDebug(catEnvio) << "TEST TAREAS - EST_SALIR";
            break;
        }
        {
            QMutexLocker bloqueo(&m_mutexRitmo);
            m_ultimoCicloMs = m_ritmo.cicloMs(m_enMovimiento);
        }
        // A short cycle is kept from start to start, so that the work does not slow the pace.
        if (m_ultimoCicloMs >= Ritmo::kCicloMs)
            pausar(1);
        else
            pausarMs(m_ultimoCicloMs - vuelta.elapsed());
    }
    // A reply that could not be settled at once gets one more try before the program ends.
    if (!m_conexion->isOcupado())
        m_despacho.completarPendiente();
    m_corriendo = false;
}

void threads::fijarComando(int valor)
{
    QMutexLocker bloqueo(&m_mutexPausa);
    m_comando = valor;
    m_despertar.wakeAll();
}

void threads::pausar(int segundos)
{
    pausarMs(qint64(segundos) * 1000);
}

void threads::pausarMs(qint64 ms)
{
    // A monotonic deadline: a clock set back (or a change of day) neither stretches nor cuts
    // the pause. Events are taken in slices without waiting on a timer of this thread: once
    // the application object is being torn down no timer event is delivered any more, and a
    // pause that waited for one would keep the program from ending.
    const QDeadlineTimer fin(std::max<qint64>(0, ms));
    QEventLoop bucle;
    while (!fin.hasExpired()) {
        bucle.processEvents(QEventLoop::AllEvents);
        QMutexLocker bloqueo(&m_mutexPausa);
        if (m_comando == EST_SALIR)
            return;
        m_despertar.wait(&m_mutexPausa, QDeadlineTimer(std::min<qint64>(kTramoPausaMs, fin.remainingTime())));
    }
    bucle.processEvents(QEventLoop::AllEvents);
}

// 1. Nothing while a request is in flight.
// 2. In a state in which the connection gave up, the wait before retrying (reintento.h) runs and,
//    once over, a status query tries again; no record goes out meanwhile. Uncounted.
// 3. A reply whose mark or count could not be finished when it arrived is finished now.
// 4. Once the counted cycles add up to more than 10 s (11 cycles of a second), fetch received
//    messages (at any hour).
// 5. Within the allowed hours, below the caps and at the pace, hand the next record the owner
//    gives to the connection.
void threads::procesarCiclo()
{
    if (m_conexion->isOcupado()) {
        m_enMovimiento = true;
        // Back to back, a slow reply must not hold the fetch back by cycles that are short.
        if (m_ultimoCicloMs < Ritmo::kCicloMs)
            m_msContados += m_ultimoCicloMs;
        return;
    }
    // Without an address there is nothing to retry: the state label says so and waits.
    if (m_conexion->sinDireccion() && m_conexion->getEstado() == EST_CONEX_UNKNOW) {
        m_venceReintento = kSinEspera;
        return;
    }
    const unsigned terminados = m_conexion->pedidosTerminados();
    const bool pedidoTerminado = terminados != m_terminadosVistos;
    m_terminadosVistos = terminados;
    if (estadoDetenido(m_conexion->getEstado())) {
        esperarReintento(pedidoTerminado);
        return;
    }
    m_reintento.exito();
    m_venceReintento = kSinEspera;
    m_contadorCiclos += 1;
    m_msContados += m_ultimoCicloMs;

    if (!m_despacho.completarPendiente() || m_conexion->getEstado() != EST_CONEX_LIBRE)
        return;
    if (m_msContados > Ritmo::kMsEntreRecepciones) {
        // Claimed meanwhile: try again at the next free cycle.
        if (m_conexion->obtenerSms()) {
            m_contadorCiclos = 0;
            m_msContados = 0;
            m_enMovimiento = true;
        }
        return;
    }
    const bool permitido = horarioPermitido();
    m_fueraDeHorario = !permitido;
    if (!permitido || !ritmoYTopesPermiten())
        return;
    if (m_despacho.entregarSiguiente([this](const registro_sms &r) { return m_conexion->enviarSms(r); })) {
        entregado();
        qCDebug(catEnvio) << "outbox - DETECTA ENVIAR!!! <--<<";
    }
}

bool threads::ritmoYTopesPermiten()
{
    QMutexLocker bloqueo(&m_mutexRitmo);
    if (m_topes.hasta(reloj::ahora()) > 0)
        return false;
    if (m_ritmo.toca(m_monotono.elapsed()))
        return true;
    // Not yet at this pace: the cycle stays short for the record that waits.
    m_enMovimiento = true;
    return false;
}

void threads::entregado()
{
    m_enMovimiento = true;
    QMutexLocker bloqueo(&m_mutexRitmo);
    m_ritmo.entregado(m_monotono.elapsed());
}

void threads::esperarReintento(bool pedidoTerminado)
{
    const qint64 ahora = reloj::ahora().toMSecsSinceEpoch();
    m_reintento.fallo(ahora, pedidoTerminado);
    // A send that failed may still have reached the gateway: its record stays pending and goes
    // again only after a retry has found the gateway working, never sooner than the first wait.
    if (m_reintento.toca(ahora) && m_conexion->reintentar()) {
        m_reintento.intentado();
        qCDebug(catEnvio) << "reintento de conexion tras" << m_reintento.espera() / 1000 << "s";
    }
    m_venceReintento = m_reintento.vence();
}

SituacionEnvio threads::situacion() const
{
    SituacionEnvio s;
    s.ocupado = m_conexion->isOcupado();
    s.estado = m_conexion->getEstado();
    s.enPausa = m_comando != EST_PLAY;
    s.fueraDeHorario = m_fueraDeHorario;
    s.sinGateway = m_conexion->sinDireccion() && s.estado == EST_CONEX_UNKNOW;
    const QDateTime ahora = reloj::ahora();
    const qint64 vence = m_venceReintento;
    if (vence >= 0)
        s.segundosReintento = Reintento::segundosHasta(vence, ahora.toMSecsSinceEpoch());
    QMutexLocker bloqueo(&m_mutexRitmo);
    s.ritmo = m_ritmo.porMinuto();
    s.topeHora = m_topes.porHora();
    s.topeDia = m_topes.porDia();
    s.enviadosHora = m_topes.enHora(ahora);
    s.enviadosDia = m_topes.enDia(ahora);
    s.topeHasta = m_topes.hasta(ahora, &s.topeDiario);
    return s;
}

bool threads::horarioPermitido() const
{
    const int mascara = ajustes::leerEntero(ajustes::Clave::CheckHorarios);
    return reglas_envio::horarioPermitido(mascara, reloj::ahora().time());
}
