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

// A fetch of received messages starts after more than this many counted cycles.
constexpr int kCiclosEntreRecepciones = 10;
constexpr int kTramoPausaMs = 100;

} // namespace

threads::threads(const protocolo_ngw::Gateway &gateway, Despacho &despacho) : threads(gateway, despacho, 1) {}

threads::threads(const protocolo_ngw::Gateway &gateway, Despacho &despacho, int numero)
    : QObject(nullptr), m_despacho(despacho), m_numero(numero),
      m_reintento(ajustes::leerEntero(ajustes::Clave::EsperaReintento))
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - CONSTRUCTOR!!------------------>";
    // The owner waits for the loop to end and deletes the worker and its connection together.
    setAutoDelete(false);
    // The time limits apply from the first connection check on.
    m_conexion = new conexion_ngw(QString(), QString());
    m_conexion->fijarTiempoLimite(ajustes::leerEntero(ajustes::Clave::LimiteSilencio));
    m_conexion->fijarPlazoTotal(ajustes::leerEntero(ajustes::Clave::PlazoRespuesta));
    m_conexion->fijarGateway(gateway);
    if (!gateway.sinDireccion())
        m_conexion->consultarEstado();
}

threads::threads(const ajustes::AjustesGateway &ajustes, Despacho &despacho)
    : threads(protocolo_ngw::gatewayDe(ajustes.direccion, ajustes.clave), despacho, ajustes.numero)
{
    m_ajustes = ajustes;
}

threads::~threads()
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - DESTRUCTOR!------------------>";
    delete m_conexion;
}

void threads::girar()
{
    m_despacho.alGirar();
    if (m_comando == EST_PLAY)
        procesarCiclo();
}

void threads::run()
{
    qCDebug(catEnvio) << "TEST TAREAS";
    m_corriendo = true;
    for (;;) {
        girar();
        if (m_comando == EST_SALIR) {
            qCDebug(catEnvio) << "TEST TAREAS - EST_SALIR";
            break;
        }
        pausar(1);
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
    // A monotonic deadline: a clock set back (or a change of day) neither stretches nor cuts
    // the pause. Events are taken in slices without waiting on a timer of this thread: once
    // the application object is being torn down no timer event is delivered any more, and a
    // pause that waited for one would keep the program from ending.
    const QDeadlineTimer fin(qint64(segundos) * 1000);
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
// 4. After more than 10 counted cycles, fetch received messages (at any hour).
// 5. Within the allowed hours, hand the next record the owner gives to the connection.
void threads::procesarCiclo()
{
    if (m_conexion->isOcupado())
        return;
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

    if (!m_despacho.completarPendiente() || m_conexion->getEstado() != EST_CONEX_LIBRE)
        return;
    if (m_contadorCiclos > kCiclosEntreRecepciones) {
        // Claimed meanwhile: try again at the next free cycle.
        if (m_conexion->obtenerSms())
            m_contadorCiclos = 0;
        return;
    }
    const bool permitido = horarioPermitido();
    m_fueraDeHorario = !permitido;
    if (!permitido)
        return;
    if (m_despacho.entregarSiguiente([this](const registro_sms &r) { return m_conexion->enviarSms(r); }))
        qCDebug(catEnvio) << "outbox - DETECTA ENVIAR!!! <--<<";
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
    const qint64 vence = m_venceReintento;
    if (vence >= 0)
        s.segundosReintento = Reintento::segundosHasta(vence, reloj::ahora().toMSecsSinceEpoch());
    return s;
}

bool threads::horarioPermitido() const
{
    const int mascara = ajustes::leerEntero(ajustes::Clave::CheckHorarios);
    return reglas_envio::horarioPermitido(mascara, reloj::ahora().time());
}

ajustes::AjustesGateway threads::ajustesGateway() const
{
    QMutexLocker bloqueo(&m_mutexPausa);
    return m_ajustes;
}

void threads::fijarAjustesGateway(const ajustes::AjustesGateway &ajustes)
{
    QMutexLocker bloqueo(&m_mutexPausa);
    m_ajustes = ajustes;
}
