#include "servicio/servicio_envio.h"
#include "ajustes/registro.h"
#include "servicio/corrida_en_curso.h"
#include "servicio/puesto_gateway.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "envio/reglas_envio.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/recibidos.h"
#include "historial/consultas.h"
#include "lista/archivos_datos.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QEventLoop>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThreadPool>

#include <climits>
#include <cstring>
#include <utility>

namespace servicio {

namespace {

// Longest wait for the workers and the requests in flight when the program ends; the requests'
// own time-outs are shorter.
constexpr int kEsperaSalidaMs = 90000;
// Threads for the workers: one per gateway, and room for those of gateways taken away whose
// request is still in flight.
constexpr int kHilosTrabajadores = 4 * ajustes::kMaxGateways;
// Lines waiting for the errors file beyond this many: the oldest go.
constexpr int kMaxLineas = 100;

// Why a send that the gateway did not take ended, for the history.
QString textoFallo(int estado, const QString &errorRed)
{
    if (estado == EST_CONEX_ERROR && !errorRed.isEmpty())
        return errorRed;
    if (estado == EST_CONEX_LIBRE)
        return ServicioEnvio::tr("no se envió: el programa se estaba cerrando");
    if (estado == EST_CONEX_UNKNOW)
        return ServicioEnvio::tr("el gateway no confirmó lugar para el mensaje");
    if (estado == EST_CONEX_SEND_SMS)
        return ServicioEnvio::tr("respuesta del gateway no reconocida");
    if (estado == EST_CONEX_SIN_LUGAR)
        return ServicioEnvio::tr("el gateway no tiene lugar para más mensajes");
    return textoEstado(estado);
}

QString ahoraTexto()
{
    return reloj::ahora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void descontar(std::atomic<int> &cuenta)
{
    int actual = cuenta.load();
    while (actual > 0 && !cuenta.compare_exchange_weak(actual, actual - 1)) {
    }
}

} // namespace

bool Instantanea::operator==(const Instantanea &o) const
{
    const SituacionEnvio &a = situacion;
    const SituacionEnvio &b = o.situacion;
    return a.estado == b.estado && a.ocupado == b.ocupado && a.enPausa == b.enPausa &&
           a.fueraDeHorario == b.fueraDeHorario && a.sinGateway == b.sinGateway &&
           a.segundosReintento == b.segundosReintento && a.enDuda == b.enDuda &&
           a.retencionIlegible == b.retencionIlegible && a.retencionSinEscribir == b.retencionSinEscribir &&
           a.bajasIlegibles == b.bajasIlegibles && texto == o.texto && enviados == o.enviados &&
           pendientes == o.pendientes && recibidos == o.recibidos && detenidoPorFalla == o.detenidoPorFalla &&
           retencionConfiable == o.retencionConfiable && versionRetencion == o.versionRetencion &&
           motivoFalla == o.motivoFalla && gateways == o.gateways;
}

bool EstadoGateway::operator==(const EstadoGateway &o) const
{
    const SituacionEnvio &a = situacion;
    const SituacionEnvio &b = o.situacion;
    return numero == o.numero && direccion == o.direccion && activo == o.activo && texto == o.texto &&
           detenidoPorFalla == o.detenidoPorFalla && motivoFalla == o.motivoFalla && a.estado == b.estado &&
           a.ocupado == b.ocupado && a.ritmo == b.ritmo && a.topeHora == b.topeHora &&
           a.topeDia == b.topeDia && a.enviadosHora == b.enviadosHora && a.enviadosDia == b.enviadosDia &&
           a.topeHasta == b.topeHasta && a.topeDiario == b.topeDiario;
}

ServicioEnvio::ServicioEnvio(const QDir &carpetaDatos, const protocolo_ngw::Gateway &gateway, QObject *padre)
    : QObject(padre), m_carpeta(carpetaDatos),
      m_rutaSalidas(carpetaDatos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas))),
      m_bajas(ajustes::leerEntero(ajustes::Clave::DigitosNumero)), m_digitosNumero(m_bajas.digitos())
{
    qRegisterMetaType<servicio::Instantanea>();
    qRegisterMetaType<servicio::ResultadoCorrida>();
    {
        // Gateway 1's address and key are the ones given; its pace and caps are stored.
        ajustes::AjustesGateway primero = ajustes::leerGateway(1);
        primero.numero = 1;
        primero.direccion = gateway.direccion;
        primero.clave = gateway.clave;
        primero.activo = true;
        m_trabajador = agregarPuesto(primero)->trabajador;
        for (int n = 2; n <= ajustes::kMaxGateways; ++n) {
            const ajustes::AjustesGateway otro = ajustes::leerGateway(n);
            if (otro.activo && !otro.direccion.trimmed().isEmpty())
                agregarPuesto(otro);
            else if (!otro.direccion.trimmed().isEmpty())
                m_sinServicio.append(otro);
        }
        m_mismoGateway = ajustes::leerBool(ajustes::Clave::MismoGatewayPorNumero);
    }
    {
        // Beside the outbox: the records it names are that outbox's.
        const QString ruta = m_carpeta.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoEnDuda));
        m_retencionAnotada = ajustes::leerTexto(ajustes::Clave::RegistroEnDuda) == ruta;
        QMutexLocker bloqueo(&m_bloqueo);
        m_retencion.abrir(ruta, m_retencionAnotada, m_rutaSalidas, ahoraTexto());
        if (m_retencion.confiable() && QFile::exists(ruta))
            anotarRetencion();
    }
    // The reports reach the history on this thread, after the step that made them.
    connect(&m_historial, &historial::Historial::bajasCambiadas, this, &ServicioEnvio::leerBajas);
    m_historial.abrir(rutaHistorial());
    leerBajas();
    for (const auto &p : m_puestos)
        sembrarTopes(m_historial, *p->trabajador);
    if (m_puestos.size() > 1)
        leerGatewaysPorNumero();
    connect(this, &ServicioEnvio::intentoTerminado, &m_historial, &historial::Historial::agregarEnviado,
            Qt::QueuedConnection);
    connect(this, &ServicioEnvio::mensajesRecibidos, &m_historial, &historial::Historial::agregarRecibidos,
            Qt::QueuedConnection);
    // Records a program ended without the reply of are told once.
    for (const retencion::Entrada &e : m_retencion.recuperadas())
        informarLinea(e.linea, QStringLiteral("en duda: ") + e.motivo, qMax(1, e.gateway));
    contarRecibidos();
    contarPendientes();
    contarEnviados();
    m_reloj.setInterval(1000);
    connect(&m_reloj, &QTimer::timeout, this, &ServicioEnvio::revisarCambio);
}

ServicioEnvio::~ServicioEnvio()
{
    terminar();
    QCoreApplication::sendPostedEvents(&m_historial, QEvent::MetaCall);
}

void ServicioEnvio::iniciar()
{
    if (m_pool || !m_trabajador)
        return;
    // A pool of its own, so that the end waits for this worker only.
    m_pool = new QThreadPool(this);
    m_pool->setMaxThreadCount(kHilosTrabajadores);
    for (const auto &p : m_puestos)
        m_pool->start(p->trabajador, 0);
    m_reloj.start();
    // Told while the service was being built, before anyone could listen.
    if (!m_avisoBajasAlIniciar.isEmpty())
        emit avisoBajas(std::exchange(m_avisoBajasAlIniciar, QString()));
}

void ServicioEnvio::terminar()
{
    if (!m_trabajador)
        return;
    m_reloj.stop();
    std::vector<Puesto *> todos;
    for (const auto &p : m_puestos)
        todos.push_back(p.get());
    for (const auto &p : m_retirados)
        todos.push_back(p.get());
    for (Puesto *p : todos) {
        p->trabajador->fijarComando(EST_SALIR);
        p->trabajador->conexion()->detener();
    }
    // The replies of requests in flight are still handled here (the connections live in this
    // thread); the requests' own time-outs bound the wait, this limit only guards against a bug.
    const QDeadlineTimer limite(kEsperaSalidaMs);
    const auto listo = [&todos] {
        for (const Puesto *p : todos) {
            if (p->trabajador->enBucle() || p->trabajador->conexion()->isOcupado())
                return false;
        }
        return true;
    };
    if (!listo()) {
        QEventLoop bucle;
        QTimer sondeo;
        connect(&sondeo, &QTimer::timeout, &bucle, [&] {
            if (listo() || limite.hasExpired())
                bucle.quit();
        });
        sondeo.start(20);
        // Another quit (a second "Salir", a signal) makes every exec() return at once without
        // taking events, so the reply would never be handled: the events are taken directly.
        while (!listo() && !limite.hasExpired())
            bucle.processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!listo()) {
        // Deleting them now would pull a connection from under a live request or loop.
        qCWarning(catApp) << "El envio no termino a tiempo; se abandona sin esperar mas";
        for (auto &p : m_puestos)
            p.release();
        for (auto &p : m_retirados)
            p.release();
        m_puestos.clear();
        m_retirados.clear();
        m_trabajador = nullptr;
        return;
    }
    // The loops have left run(); the pool's own bookkeeping after them is waited for too.
    if (m_pool)
        m_pool->waitForDone(kEsperaSalidaMs);
    m_ultima = instantanea();

    // What cannot be settled at the end is at least said, in the log and in the errors file: a
    // message a gateway took but that could not be marked would otherwise go out again at the
    // next start unseen, and received messages no file took would be gone without a word.
    QStringList lineas;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        for (Puesto *p : todos) {
            if (!completarBloqueado(*p) && p->enMano)
                lineas
                    << tr("El gateway aceptó el SMS \"%1\" pero no se pudo marcar como enviado en %2: queda "
                          "en duda y no se envía otra vez; márquelo como enviado en la pestaña Bandeja.")
                           .arg(QString::fromUtf8(p->lineaEnMano).trimmed(), m_rutaSalidas);
        }
        cerrarRetencion();
    }
    for (Puesto *p : todos) {
        QList<registro_sms> sinGuardar;
        const ResultadoPedido guardados = p->trabajador->conexion()->guardarRetenidos(sinGuardar);
        guardadosAlHistorial(guardados, p->numero());
        for (const registro_sms &r : qAsConst(sinGuardar))
            lineas << tr("SMS recibido que no se pudo guardar: %1, %2").arg(r.numero, r.mensaje);
    }
    for (const QString &linea : qAsConst(lineas)) {
        qCWarning(catApp).noquote() << linea;
        emit lineaOperador(linea);
        archivos_datos::agregarLineaErrores(m_rutas.errores, linea);
    }
    // Rows reported just before the end are written before the history closes.
    QCoreApplication::sendPostedEvents(&m_historial, QEvent::MetaCall);
    {
        QMutexLocker bloqueo(&m_bloqueo);
        m_puestos.clear();
        m_retirados.clear();
    }
    m_trabajador = nullptr;
}

void ServicioEnvio::reanudar()
{
    if (!m_trabajador)
        return;
    m_comando = EST_PLAY;
    for (const auto &p : m_puestos)
        p->trabajador->fijarComando(EST_PLAY);
}

void ServicioEnvio::pausar()
{
    if (!m_trabajador)
        return;
    m_comando = EST_PAUSA;
    for (const auto &p : m_puestos)
        p->trabajador->fijarComando(EST_PAUSA);
}

Actualizacion ServicioEnvio::actualizarConexion(const protocolo_ngw::Gateway &gateway)
{
    conexion_ngw *conexion = m_trabajador->conexion();
    if (conexion->isOcupado())
        return Actualizacion::Ocupada;
    // The status query replaces the state: what the last reply left (a record the gateway took)
    // is settled first, or the update waits.
    if (!completarPendiente(*m_puestos.front()))
        return Actualizacion::SinMarcar;
    conexion->fijarGateway(gateway);
    // The worker may have taken the link since the check above.
    return conexion->consultarEstado() ? Actualizacion::Hecha : Actualizacion::Atendiendo;
}

int ServicioEnvio::estadoConexion() const
{
    return m_trabajador ? m_trabajador->conexion()->getEstado() : m_ultima.situacion.estado;
}

bool ServicioEnvio::conexionOcupada() const
{
    return m_trabajador && m_trabajador->conexion()->isOcupado();
}

protocolo_ngw::Gateway ServicioEnvio::gateway() const
{
    if (!m_trabajador)
        return protocolo_ngw::Gateway();
    return protocolo_ngw::gatewayDe(m_trabajador->conexion()->ip(), m_trabajador->conexion()->clave());
}

Instantanea ServicioEnvio::instantanea() const
{
    if (!m_trabajador)
        return m_ultima;
    Instantanea i;
    i.situacion = m_trabajador->situacion();
    i.situacion.enDuda = m_retencion.enDuda();
    i.situacion.retencionIlegible = !m_retencion.confiable();
    i.situacion.retencionSinEscribir = m_retencionSinEscribir;
    i.situacion.bajasIlegibles = !m_bajasConocidas;
    i.texto = textoSituacion(i.situacion);
    i.enviados = m_enviados;
    i.pendientes = m_pendientes;
    i.recibidos = m_recibidos;
    i.detenidoPorFalla = m_trabajador->detenidoPorFalla();
    if (i.detenidoPorFalla && i.situacion.estado == EST_CONEX_ERROR)
        i.motivoFalla = m_puestos.front()->motivoFalla;
    i.retencionConfiable = m_retencion.confiable();
    i.versionRetencion = m_retencion.version();
    i.gateways = estadosGateways(i);
    return i;
}

void ServicioEnvio::revisarCambio()
{
    confirmarBajas();
    terminarRetirados();
    const Instantanea i = instantanea();
    if (i == m_ultima)
        return;
    m_ultima = i;
    emit cambioEstado(i);
}

QString ServicioEnvio::rutaRetencion() const
{
    return m_retencion.ruta();
}

// The one way a reply reaches the records: the moment it is classified, on this thread, so that
// no quit, kill or update can come between the gateway's "0: OK" and the mark.
void ServicioEnvio::alTerminarPedido(Puesto &puesto, const ResultadoPedido &resultado)
{
    // Before the link is free: the workers' next hand-over already knows the new opt-outs.
    bajasPorRespuesta(resultado.traidos);
    guardadosAlHistorial(resultado, puesto.numero());
    // Gateway 1's lines read as they always did; another's say which gateway they are about.
    const QString prefijo = puesto.numero() == 1 ? QString() : tr("Gateway %1: ").arg(puesto.numero());
    for (const QString &linea : resultado.lineas)
        agregarLinea(prefijo + linea);
    if (resultado.estado == EST_CONEX_ERROR && !resultado.texto.isEmpty()) {
        puesto.errorConexion = prefijo + resultado.texto;
        puesto.motivoFalla = resultado.texto;
    }
    conexion_ngw *conexion = puesto.trabajador->conexion();
    if (resultado.tipo != ResultadoPedido::Tipo::Envio) {
        if (resultado.estado == EST_CONEX_GET_SMS_OK)
            conexion->setEstado(EST_CONEX_LIBRE);
        return;
    }
    QMutexLocker bloqueo(&m_bloqueo);
    if (resultado.estado == EST_CONEX_SEND_SMS_OK) {
        // No record of ours was in hand: nothing to mark.
        puesto.marcaPendiente = puesto.enMano;
        if (puesto.marcaPendiente)
            completarBloqueado(puesto);
        else
            conexion->setEstado(EST_CONEX_LIBRE);
        return;
    }
    // A send that ended in any other way than taken: the record stays pending, and is held when
    // the gateway may have sent it (for no other gateway to take).
    if (!puesto.enMano)
        return;
    const QString motivo = textoFallo(resultado.estado, resultado.texto);
    const bool incierto = resultado.desenlace == protocolo_ngw::Desenlace::Incierto;
    m_retencion.resolver(puesto.lineaEnMano, incierto, motivo, ahoraTexto(), puesto.numero());
    if (!incierto)
        devolverGatewayDeNumero(puesto);
    informarIntento(puesto, (incierto ? QStringLiteral("en duda: ") : QStringLiteral("error: ")) + motivo);
    puesto.enMano = false;
}

void ServicioEnvio::guardadosAlHistorial(const ResultadoPedido &resultado, int gateway)
{
    if (resultado.guardados.isEmpty())
        return;
    m_recibidos += resultado.guardados.size();
    QStringList numeros;
    QStringList mensajes;
    numeros.reserve(resultado.guardados.size());
    mensajes.reserve(resultado.guardados.size());
    for (const registro_sms &r : resultado.guardados) {
        numeros << r.numero;
        mensajes << r.mensaje;
    }
    emit mensajesRecibidos(resultado.fechaGuardados, numeros, mensajes, gateway);
}

bool ServicioEnvio::completarPendiente(Puesto &puesto)
{
    QMutexLocker bloqueo(&m_bloqueo);
    return completarBloqueado(puesto);
}

// Marks "E" on the record the gateway took. False when the mark could not be written: it is
// tried again, and nothing may go out through that gateway meanwhile.
bool ServicioEnvio::completarBloqueado(Puesto &puesto)
{
    if (!puesto.marcaPendiente)
        return true;
    switch (outbox::marcarEnviado(m_rutaSalidas, puesto.posicionEnMano, puesto.lineaEnMano)) {
    case outbox::ResultadoMarca::NoAbre:
    case outbox::ResultadoMarca::FalloEscritura:
        return false;
    case outbox::ResultadoMarca::Marcada:
        m_enviados += 1;
        descontar(m_pendientes);
        m_exentos.remove(puesto.lineaEnMano);
        if (puesto.enMano) {
            informarIntento(puesto, QStringLiteral("enviado"));
            anotarGatewayDeNumero(puesto.registroEnMano.numero, puesto.numero());
            puesto.gatewayAnterior = -1;
        }
        break;
    case outbox::ResultadoMarca::NoEncontrada:
        qCDebug(catEnvio) << "outbox - registro enviado no encontrado, no se marca";
        break;
    }
    if (puesto.enMano)
        m_retencion.resolver(puesto.lineaEnMano, false, QString(), ahoraTexto(), puesto.numero());
    puesto.enMano = false;
    puesto.marcaPendiente = false;
    if (puesto.trabajador)
        puesto.trabajador->conexion()->setEstado(EST_CONEX_LIBRE);
    return true;
}

void ServicioEnvio::alGirar()
{
    // An outcome settled while paused reaches the disk all the same.
    QMutexLocker bloqueo(&m_bloqueo);
    if (m_retencion.sucio())
        guardarRetencion();
    purgarBajas();
}

bool ServicioEnvio::guardarRetencion()
{
    const bool escrita = m_retencion.guardar();
    m_retencionSinEscribir = !escrita && m_retencion.confiable();
    if (escrita)
        anotarRetencion();
    return escrita;
}

void ServicioEnvio::anotarRetencion()
{
    // From now on a missing file means it was lost, not that there never was one.
    if (m_retencionAnotada)
        return;
    ajustes::escribir(ajustes::Clave::RegistroEnDuda, m_retencion.ruta());
    m_retencionAnotada = true;
}

void ServicioEnvio::informarIntento(const Puesto &puesto, const QString &resultado)
{
    emit intentoTerminado(ahoraTexto(), puesto.registroEnMano.numero, puesto.registroEnMano.mensaje,
                          resultado, puesto.numero());
}

void ServicioEnvio::informarLinea(const QByteArray &linea, const QString &resultado, int gateway)
{
    // "e,numero,fecha,mensaje": the message runs to the end of the line.
    const QString texto = QString::fromUtf8(linea);
    emit intentoTerminado(ahoraTexto(), texto.section(QLatin1Char(','), 1, 1),
                          texto.section(QLatin1Char(','), 3), resultado, gateway);
}

int ServicioEnvio::reenviarEnDuda(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&m_bloqueo);
    int pedidos = 0;
    for (const outbox::Referencia &r : registros) {
        if (!m_retencion.pedirReenvio(r.linea))
            continue;
        ++pedidos;
        informarLinea(r.linea, tr("en duda: el operador pidió enviarlo otra vez"), gatewayRetenido(r.linea));
    }
    guardarRetencion();
    return pedidos;
}

int ServicioEnvio::marcarEnDudaEnviados(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&m_bloqueo);
    int marcados = 0;
    for (const outbox::Referencia &r : registros) {
        if (!m_retencion.retiene(r.linea) ||
            outbox::marcarEnviado(m_rutaSalidas, r.posicion, r.linea) != outbox::ResultadoMarca::Marcada)
            continue;
        const int gateway = gatewayRetenido(r.linea);
        m_retencion.quitar(r.linea);
        m_enviados += 1;
        descontar(m_pendientes);
        ++marcados;
        informarLinea(r.linea, tr("marcado como enviado por el operador"), gateway);
    }
    guardarRetencion();
    return marcados;
}

bool ServicioEnvio::empezarRetencionDeNuevo()
{
    QMutexLocker bloqueo(&m_bloqueo);
    m_retencion.empezarDeNuevo();
    return guardarRetencion();
}

// After a rewrite of the outbox that removed records (under the lock).
void ServicioEnvio::conciliarRetencion()
{
    m_retencion.conciliar(m_rutaSalidas);
    guardarRetencion();
}

// At the end, once nothing is in flight (under the lock): a record the gateway took that could not
// be marked stays in doubt, and the hold goes to disk.
void ServicioEnvio::cerrarRetencion()
{
    const auto cerrar = [this](Puesto &p) {
        if (!p.enMano || !p.marcaPendiente)
            return;
        const QString motivo = tr("el gateway lo tomó, pero no se pudo marcar como enviado");
        m_retencion.resolver(p.lineaEnMano, true, motivo, ahoraTexto(), p.numero());
        informarIntento(p, QStringLiteral("en duda: ") + motivo);
    };
    for (const auto &p : m_puestos)
        cerrar(*p);
    for (const auto &p : m_retirados)
        cerrar(*p);
    guardarRetencion();
}

void ServicioEnvio::contarRecibidos()
{
    // The path and default the received-messages writer uses.
    int cuenta = 0;
    outbox::contarLineas(::recibidos::rutaArchivo(), cuenta);
    m_recibidos = cuenta;
    qCDebug(catEnvio) << "inbox= " << cuenta;
}

void ServicioEnvio::contarPendientes()
{
    QMutexLocker bloqueo(&m_bloqueo);
    int cuenta = 0;
    outbox::contarPorEstado(m_rutaSalidas, 'e', cuenta);
    m_pendientes = cuenta;
    qCDebug(catEnvio) << "outbox= " << cuenta;
}

void ServicioEnvio::contarEnviados()
{
    QMutexLocker bloqueo(&m_bloqueo);
    int cuenta = 0;
    outbox::contarPorEstado(m_rutaSalidas, 'E', cuenta);
    m_enviados = cuenta;
    qCDebug(catEnvio) << "enviados= " << cuenta;
}

void ServicioEnvio::agregarLinea(const QString &linea)
{
    emit lineaOperador(linea);
    m_lineas.append(linea);
    while (m_lineas.size() > kMaxLineas)
        m_lineas.removeFirst();
}

} // namespace servicio
