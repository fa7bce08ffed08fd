#include "envio/threads.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/reglas_envio.h"
#include "gateway/conexion_ngw.h"
#include "gateway/recibidos.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRecursiveMutex>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// A fetch of received messages starts after more than this many counted cycles.
constexpr int kCiclosEntreRecepciones = 10;
constexpr int kTramoPausaMs = 100;

// Why a send that the gateway did not take ended, for the history.
QString textoFallo(int estado, const QString &errorRed)
{
    if (estado == EST_CONEX_ERROR && !errorRed.isEmpty())
        return errorRed;
    if (estado == EST_CONEX_LIBRE)
        return threads::tr("no se envió: el programa se estaba cerrando");
    if (estado == EST_CONEX_UNKNOW)
        return threads::tr("el gateway no confirmo lugar para el mensaje");
    if (estado == EST_CONEX_SEND_SMS)
        return threads::tr("respuesta del gateway no reconocida");
    if (estado == EST_CONEX_SIN_LUGAR)
        return threads::tr("el gateway no tiene lugar para mas mensajes");
    return textoEstado(estado);
}

QString ahoraTexto()
{
    return reloj::ahora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void descontarPendiente(std::atomic<int> &pendientes)
{
    int actual = pendientes.load();
    while (actual > 0 && !pendientes.compare_exchange_weak(actual, actual - 1)) {
    }
}

} // namespace

threads::threads(const protocolo_ngw::Gateway &gateway, const QString &archivoSalidas)
    : QObject(nullptr), m_archivoSalidas(archivoSalidas),
      m_reintento(ajustes::leerEntero(ajustes::Clave::EsperaReintento))
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - CONSTRUCTOR!!------------------>";
    // The owner waits for the loop to end and deletes the worker and its connection together.
    setAutoDelete(false);
    // The time limits apply from the first connection check on.
    m_conexion = new conexion_ngw(QString(), QString());
    m_conexion->setTiempoLimite(ajustes::leerEntero(ajustes::Clave::LimiteSilencio));
    m_conexion->setPlazoTotal(ajustes::leerEntero(ajustes::Clave::PlazoRespuesta));
    m_conexion->fijarGateway(gateway);
    if (!gateway.sinDireccion())
        m_conexion->consultarEstado();
    m_conexion->fijarAlCompletar([this] { alResponder(); });
    {
        // Beside the outbox: the records it names are that outbox's.
        const QString ruta =
            QFileInfo(archivoSalidas).absoluteDir().filePath(QString::fromLatin1(ajustes::kArchivoEnDuda));
        m_retencionAnotada = ajustes::leerTexto(ajustes::Clave::RegistroEnDuda) == ruta;
        QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
        m_retencion.abrir(ruta, m_retencionAnotada, m_archivoSalidas, ahoraTexto());
        if (m_retencion.confiable() && QFile::exists(ruta))
            anotarRetencion();
    }
    contarRecibidos();
    contarPendientes();
    contarEnviados();
}

threads::~threads()
{
    qCDebug(catEnvio) << "<-------------TEST TAREAS - DESTRUCTOR!------------------>";
    delete m_conexion;
}

void threads::run()
{
    qCDebug(catEnvio) << "TEST TAREAS";
    m_corriendo = true;
    // The window listens by now: records a program ended without the reply of are told once.
    for (const retencion::Entrada &e : m_retencion.recuperadas())
        informarLinea(e.linea, QStringLiteral("en duda: ") + e.motivo);
    for (;;) {
        {
            // An outcome settled while paused reaches the disk all the same.
            QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
            if (m_retencion.sucio())
                guardarRetencion();
        }
        if (m_comando == EST_PLAY)
            procesarCiclo();
        if (m_comando == EST_SALIR) {
            qCDebug(catEnvio) << "TEST TAREAS - EST_SALIR";
            break;
        }
        pausar(1);
    }
    // A reply that could not be marked at once gets one more try before the program ends.
    if (!m_conexion->isOcupado())
        completarPendiente();
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

bool threads::completarPendiente()
{
    // The state is read and freed under the outbox lock, so that the two threads never finish
    // the same reply twice (a second mark could hit an identical pending line).
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    const int estado = m_conexion->getEstado();
    if (estado == EST_CONEX_SEND_SMS_OK) {
        switch (outbox::marcarEnviado(m_archivoSalidas, m_posLinea, m_lineaEnviada)) {
        case outbox::ResultadoMarca::NoAbre:
        case outbox::ResultadoMarca::FalloEscritura:
            return false;
        case outbox::ResultadoMarca::Marcada:
            m_enviados += 1;
            descontarPendiente(m_pendientes);
            if (m_enMano)
                informarIntento(QStringLiteral("enviado"));
            break;
        case outbox::ResultadoMarca::NoEncontrada:
            qCDebug(catEnvio) << "outbox - registro enviado no encontrado, no se marca";
            break;
        }
        if (m_enMano)
            m_retencion.resolver(m_lineaEnviada, false, QString(), ahoraTexto());
        m_enMano = false;
        m_conexion->setEstado(EST_CONEX_LIBRE);
    } else if (estado == EST_CONEX_GET_SMS_OK) {
        m_recibidos += m_conexion->tomarRecibidos();
        qCDebug(catEnvio, "EST_CONEX_GET_SMS_OK num= %d", m_recibidos.load());
        m_conexion->setEstado(EST_CONEX_LIBRE);
    }
    return true;
}

void threads::alResponder()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    completarPendiente();
    // A send that ended in any other way than taken: the record stays pending, and is held when
    // the gateway may have sent it.
    const int estado = m_conexion->getEstado();
    if (m_enMano && estado != EST_CONEX_SEND_SMS_OK) {
        const QString motivo = textoFallo(estado, m_conexion->errorConexion());
        const bool incierto = m_conexion->desenlace() == protocolo_ngw::Desenlace::Incierto;
        m_retencion.resolver(m_lineaEnviada, incierto, motivo, ahoraTexto());
        informarIntento((incierto ? QStringLiteral("en duda: ") : QStringLiteral("error: ")) + motivo);
        m_enMano = false;
    }
}

void threads::informarIntento(const QString &resultado)
{
    emit intentoEnvio(ahoraTexto(), m_registroEnMano.numero, m_registroEnMano.mensaje, resultado);
}

void threads::informarLinea(const QByteArray &linea, const QString &resultado)
{
    // "e,numero,fecha,mensaje": the message runs to the end of the line.
    const QString texto = QString::fromUtf8(linea);
    emit intentoEnvio(ahoraTexto(), texto.section(QLatin1Char(','), 1, 1), texto.section(QLatin1Char(','), 3),
                      resultado);
}

bool threads::registroEnMano(qint64 &posicion, QByteArray &linea) const
{
    if (!m_enMano)
        return false;
    posicion = m_posLinea;
    linea = m_lineaEnviada;
    return true;
}

// 1. Nothing while a request is in flight.
// 2. In a state in which the connection gave up, the wait before retrying (reintento.h) runs and,
//    once over, a status query tries again; no record goes out meanwhile. Uncounted.
// 3. A reply whose mark or count could not be finished when it arrived is finished now.
// 4. After more than 10 counted cycles, fetch received messages (at any hour).
// 5. Within the allowed hours, hand the first due pending record to the connection.
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

    if (!completarPendiente() || m_conexion->getEstado() != EST_CONEX_LIBRE) {
        return;
    }
    if (m_contadorCiclos > kCiclosEntreRecepciones) {
        // Claimed by the window meanwhile: try again at the next free cycle.
        if (m_conexion->obtenerSms())
            m_contadorCiclos = 0;
        return;
    }
    const bool permitido = horarioPermitido();
    m_fueraDeHorario = !permitido;
    if (!permitido)
        return;

    // Found and handed over under one hold of the lock: a cancellation on the queue either
    // removes the record before the scan or sees it in hand.
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    if (!m_retencion.confiable())
        return;
    outbox::Pendiente pendiente;
    if (!elegir(pendiente)) {
        guardarRetencion();
        return;
    }
    // On disk before the request goes out: a kill from here on leaves the record held.
    m_retencion.anotarEnVuelo(pendiente.linea, ahoraTexto());
    if (!guardarRetencion()) {
        m_retencion.resolver(pendiente.linea, false, QString(), QString());
        return;
    }
    registro_sms registro;
    registro.numero = pendiente.numero;
    registro.fecha = pendiente.fecha;
    registro.mensaje = pendiente.mensaje;
    m_posLinea = pendiente.posicion;
    m_lineaEnviada = pendiente.linea;
    if (m_conexion->enviarSms(registro)) {
        m_registroEnMano = registro;
        m_enMano = true;
        qCDebug(catEnvio) << "outbox - DETECTA ENVIAR!!! <--<<";
    } else {
        m_retencion.resolver(pendiente.linea, false, QString(), QString());
    }
}

bool threads::elegir(outbox::Pendiente &pendiente)
{
    using outbox::ResultadoBusqueda;
    const auto siempre = [](const char *, int) { return true; };
    QByteArray pedida;
    while (m_retencion.reenvioPedido(pedida)) {
        const auto otra = [&pedida](const char *linea, int largo) {
            return largo != pedida.size() || std::memcmp(linea, pedida.constData(), size_t(largo)) != 0;
        };
        const ResultadoBusqueda r = outbox::buscarPendiente(m_archivoSalidas, siempre, pendiente, otra);
        if (r == ResultadoBusqueda::Encontrado)
            return true;
        if (r == ResultadoBusqueda::NoAbre)
            return false;
        // Cancelled or marked meanwhile: nothing left to send again.
        m_retencion.olvidarReenvio(pedida);
    }
    const QDate hoy = reloj::hoy();
    const auto vencida = [&hoy](const char *fecha, int largo) {
        return reglas_envio::fechaVencida(fecha, largo, hoy);
    };
    retencion::Omision omision(m_retencion.entradas());
    outbox::Omitir retenida;
    if (!omision.vacia())
        retenida = [&omision](const char *linea, int largo) { return omision.retenida(linea, largo) >= 0; };
    return outbox::buscarPendiente(m_archivoSalidas, vencida, pendiente, retenida) ==
           ResultadoBusqueda::Encontrado;
}

bool threads::guardarRetencion()
{
    const bool escrita = m_retencion.guardar();
    m_retencionSinEscribir = !escrita && m_retencion.confiable();
    if (escrita)
        anotarRetencion();
    return escrita;
}

void threads::anotarRetencion()
{
    // From now on a missing file means it was lost, not that there never was one.
    if (m_retencionAnotada)
        return;
    ajustes::escribir(ajustes::Clave::RegistroEnDuda, m_retencion.ruta());
    m_retencionAnotada = true;
}

QVector<retencion::Entrada> threads::entradasRetenidas() const
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    return m_retencion.entradas();
}

int threads::reenviarEnDuda(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int pedidos = 0;
    for (const outbox::Referencia &r : registros) {
        if (!m_retencion.pedirReenvio(r.linea))
            continue;
        ++pedidos;
        informarLinea(r.linea, tr("en duda: el operador pidió enviarlo otra vez"));
    }
    guardarRetencion();
    return pedidos;
}

int threads::marcarEnDudaEnviados(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int marcados = 0;
    for (const outbox::Referencia &r : registros) {
        if (!m_retencion.retiene(r.linea) ||
            outbox::marcarEnviado(m_archivoSalidas, r.posicion, r.linea) != outbox::ResultadoMarca::Marcada)
            continue;
        m_retencion.quitar(r.linea);
        m_enviados += 1;
        descontarPendiente(m_pendientes);
        ++marcados;
        informarLinea(r.linea, tr("marcado como enviado por el operador"));
    }
    guardarRetencion();
    return marcados;
}

bool threads::empezarRetencionDeNuevo()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    m_retencion.empezarDeNuevo();
    return guardarRetencion();
}

void threads::conciliarRetencion()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    m_retencion.conciliar(m_archivoSalidas);
    guardarRetencion();
}

void threads::cerrarRetencion()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    if (m_enMano && m_conexion->getEstado() == EST_CONEX_SEND_SMS_OK) {
        const QString motivo = tr("el gateway lo tomó, pero no se pudo marcar como enviado");
        m_retencion.resolver(m_lineaEnviada, true, motivo, ahoraTexto());
        informarIntento(QStringLiteral("en duda: ") + motivo);
    }
    guardarRetencion();
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
    s.enDuda = m_retencion.enDuda();
    s.retencionIlegible = !m_retencion.confiable();
    s.retencionSinEscribir = m_retencionSinEscribir;
    const qint64 vence = m_venceReintento;
    if (vence >= 0)
        s.segundosReintento = Reintento::segundosHasta(vence, reloj::ahora().toMSecsSinceEpoch());
    return s;
}

void threads::contarRecibidos()
{
    // The path and default the received-messages writer uses.
    int cuenta = 0;
    outbox::contarLineas(::recibidos::rutaArchivo(), cuenta);
    m_recibidos = cuenta;
    qCDebug(catEnvio) << "inbox= " << cuenta;
}

void threads::contarPendientes()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int cuenta = 0;
    outbox::contarPorEstado(m_archivoSalidas, 'e', cuenta);
    m_pendientes = cuenta;
    qCDebug(catEnvio) << "outbox= " << cuenta;
}

void threads::contarEnviados()
{
    QMutexLocker bloqueo(&archivos_datos::bloqueoOutbox());
    int cuenta = 0;
    outbox::contarPorEstado(m_archivoSalidas, 'E', cuenta);
    m_enviados = cuenta;
    qCDebug(catEnvio) << "enviados= " << cuenta;
}

bool threads::fechaVencida(const QString &fecha) const
{
    return reglas_envio::fechaVencida(fecha, reloj::hoy());
}

bool threads::horarioPermitido() const
{
    const int mascara = ajustes::leerEntero(ajustes::Clave::CheckHorarios);
    return reglas_envio::horarioPermitido(mascara, reloj::ahora().time());
}
