#include "servicio/servicio_envio.h"
#include "ajustes/registro.h"
#include "servicio/corrida_en_curso.h"

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

// Longest wait for the worker and a request in flight when the program ends; the requests'
// own time-outs are shorter.
constexpr int kEsperaSalidaMs = 90000;
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

// The caps count on from what the history holds of this hour and this day, so that a restart
// does not give them back.
void sembrarTopes(historial::Historial &h, threads &trabajador)
{
    const QSqlDatabase db = h.base();
    if (!db.isValid())
        return;
    const QDateTime ahora = reloj::ahora();
    const qint64 enHora =
        historial::contarSalidosDesde(db, ahora.toString(QStringLiteral("yyyy-MM-dd HH:00:00")));
    const qint64 enDia =
        historial::contarSalidosDesde(db, ahora.toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    const auto acotar = [](qint64 n) { return static_cast<int>(qBound<qint64>(0, n, INT_MAX)); };
    trabajador.sembrarTopes(acotar(enHora), acotar(enDia));
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
      m_buscador([](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); }),
      m_bajas(ajustes::leerEntero(ajustes::Clave::DigitosNumero)), m_digitosNumero(m_bajas.digitos())
{
    qRegisterMetaType<servicio::Instantanea>();
    qRegisterMetaType<servicio::ResultadoCorrida>();
    // The address and key given; the pace and caps stored.
    ajustes::AjustesGateway ajustesGateway = ajustes::leerGateway(1);
    ajustesGateway.direccion = gateway.direccion;
    ajustesGateway.clave = gateway.clave;
    m_trabajador = new threads(ajustesGateway, *this);
    connect(m_trabajador->conexion(), &conexion_ngw::terminado, this, &ServicioEnvio::alTerminarPedido,
            Qt::DirectConnection);
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
    sembrarTopes(m_historial, *m_trabajador);
    connect(this, &ServicioEnvio::intentoTerminado, &m_historial, &historial::Historial::agregarEnviado,
            Qt::QueuedConnection);
    connect(this, &ServicioEnvio::mensajesRecibidos, &m_historial, &historial::Historial::agregarRecibidos,
            Qt::QueuedConnection);
    // Records a program ended without the reply of are told once.
    for (const retencion::Entrada &e : m_retencion.recuperadas())
        informarLinea(e.linea, QStringLiteral("en duda: ") + e.motivo);
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
    m_pool->setMaxThreadCount(1);
    m_pool->start(m_trabajador, 0);
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
    m_trabajador->fijarComando(EST_SALIR);
    conexion_ngw *conexion = m_trabajador->conexion();
    conexion->detener();
    // The reply of a request in flight is still handled here (the connection lives in this
    // thread); the request's own time-outs bound the wait, this limit only guards against a bug.
    const QDeadlineTimer limite(kEsperaSalidaMs);
    const auto listo = [this, conexion] { return !m_trabajador->enBucle() && !conexion->isOcupado(); };
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
        // Deleting it now would pull the connection from under a live request or loop.
        qCWarning(catApp) << "El envio no termino a tiempo; se abandona sin esperar mas";
        m_trabajador = nullptr;
        return;
    }
    // The loop has left run(); the pool's own bookkeeping after it is waited for too.
    if (m_pool)
        m_pool->waitForDone(kEsperaSalidaMs);
    m_ultima = instantanea();

    // What cannot be settled at the end is at least said, in the log and in the errors file: a
    // message the gateway took but that could not be marked would otherwise go out again at the
    // next start unseen, and received messages no file took would be gone without a word.
    QStringList lineas;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        if (!completarBloqueado() && m_enMano)
            lineas << tr("El gateway aceptó el SMS \"%1\" pero no se pudo marcar como enviado en %2: queda "
                         "en duda y no se envía otra vez; márquelo como enviado en la pestaña Bandeja.")
                          .arg(QString::fromUtf8(m_lineaEnMano).trimmed(), m_rutaSalidas);
        cerrarRetencion();
    }
    QList<registro_sms> sinGuardar;
    const ResultadoPedido guardados = conexion->guardarRetenidos(sinGuardar);
    guardadosAlHistorial(guardados);
    for (const registro_sms &r : qAsConst(sinGuardar))
        lineas << tr("SMS recibido que no se pudo guardar: %1, %2").arg(r.numero, r.mensaje);
    for (const QString &linea : qAsConst(lineas)) {
        qCWarning(catApp).noquote() << linea;
        emit lineaOperador(linea);
        archivos_datos::agregarLineaErrores(m_rutas.errores, linea);
    }
    // Rows reported just before the end are written before the history closes.
    QCoreApplication::sendPostedEvents(&m_historial, QEvent::MetaCall);
    delete m_trabajador;
    m_trabajador = nullptr;
}

void ServicioEnvio::reanudar()
{
    if (m_trabajador)
        m_trabajador->fijarComando(EST_PLAY);
}

void ServicioEnvio::pausar()
{
    if (m_trabajador)
        m_trabajador->fijarComando(EST_PAUSA);
}

Actualizacion ServicioEnvio::actualizarConexion(const protocolo_ngw::Gateway &gateway)
{
    conexion_ngw *conexion = m_trabajador->conexion();
    if (conexion->isOcupado())
        return Actualizacion::Ocupada;
    // The status query replaces the state: what the last reply left (a record the gateway took)
    // is settled first, or the update waits.
    if (!completarPendiente())
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

// Gateways 2 and on have no worker yet: they read as not configured.
int ServicioEnvio::estadoConexion(int numero) const
{
    return numero == 1 ? estadoConexion() : EST_CONEX_UNKNOW;
}

bool ServicioEnvio::conexionOcupada(int numero) const
{
    return numero == 1 && conexionOcupada();
}

protocolo_ngw::Gateway ServicioEnvio::gateway(int numero) const
{
    return numero == 1 ? gateway() : protocolo_ngw::Gateway();
}

Actualizacion ServicioEnvio::actualizarGateways(const QVector<ajustes::AjustesGateway> &gateways)
{
    for (const ajustes::AjustesGateway &g : gateways) {
        if (g.numero != 1)
            continue;
        // The pace and caps need no reply settled: they hold from the worker's next cycle.
        if (m_trabajador)
            m_trabajador->fijarAjustes(g);
        return actualizarConexion(protocolo_ngw::gatewayDe(g.direccion, g.clave));
    }
    return Actualizacion::Hecha;
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
        i.motivoFalla = m_motivoFalla;
    i.retencionConfiable = m_retencion.confiable();
    i.versionRetencion = m_retencion.version();
    EstadoGateway g;
    g.numero = 1;
    g.direccion = gateway().direccion;
    g.situacion = i.situacion;
    g.texto = i.texto;
    g.detenidoPorFalla = i.detenidoPorFalla;
    g.motivoFalla = i.motivoFalla;
    i.gateways.append(g);
    return i;
}

void ServicioEnvio::revisarCambio()
{
    confirmarBajas();
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
void ServicioEnvio::alTerminarPedido(const ResultadoPedido &resultado)
{
    // Before the link is free: the worker's next hand-over already knows the new opt-outs.
    bajasPorRespuesta(resultado.traidos);
    guardadosAlHistorial(resultado);
    for (const QString &linea : resultado.lineas)
        agregarLinea(linea);
    if (resultado.estado == EST_CONEX_ERROR && !resultado.texto.isEmpty()) {
        m_errorConexion = resultado.texto;
        m_motivoFalla = resultado.texto;
    }
    if (resultado.tipo != ResultadoPedido::Tipo::Envio) {
        if (resultado.estado == EST_CONEX_GET_SMS_OK)
            m_trabajador->conexion()->setEstado(EST_CONEX_LIBRE);
        return;
    }
    QMutexLocker bloqueo(&m_bloqueo);
    if (resultado.estado == EST_CONEX_SEND_SMS_OK) {
        // No record of ours was in hand: nothing to mark.
        m_marcaPendiente = m_enMano;
        if (m_marcaPendiente)
            completarBloqueado();
        else
            m_trabajador->conexion()->setEstado(EST_CONEX_LIBRE);
        return;
    }
    // A send that ended in any other way than taken: the record stays pending, and is held when
    // the gateway may have sent it.
    if (!m_enMano)
        return;
    const QString motivo = textoFallo(resultado.estado, resultado.texto);
    const bool incierto = resultado.desenlace == protocolo_ngw::Desenlace::Incierto;
    m_retencion.resolver(m_lineaEnMano, incierto, motivo, ahoraTexto());
    informarIntento((incierto ? QStringLiteral("en duda: ") : QStringLiteral("error: ")) + motivo);
    m_enMano = false;
}

void ServicioEnvio::guardadosAlHistorial(const ResultadoPedido &resultado)
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
    emit mensajesRecibidos(resultado.fechaGuardados, numeros, mensajes);
}

bool ServicioEnvio::completarPendiente()
{
    QMutexLocker bloqueo(&m_bloqueo);
    return completarBloqueado();
}

// Marks "E" on the record the gateway took. False when the mark could not be written: it is
// tried again, and nothing may go out meanwhile.
bool ServicioEnvio::completarBloqueado()
{
    if (!m_marcaPendiente)
        return true;
    switch (outbox::marcarEnviado(m_rutaSalidas, m_posicionEnMano, m_lineaEnMano)) {
    case outbox::ResultadoMarca::NoAbre:
    case outbox::ResultadoMarca::FalloEscritura:
        return false;
    case outbox::ResultadoMarca::Marcada:
        m_enviados += 1;
        descontar(m_pendientes);
        m_exentos.remove(m_lineaEnMano);
        if (m_enMano)
            informarIntento(QStringLiteral("enviado"));
        break;
    case outbox::ResultadoMarca::NoEncontrada:
        qCDebug(catEnvio) << "outbox - registro enviado no encontrado, no se marca";
        break;
    }
    if (m_enMano)
        m_retencion.resolver(m_lineaEnMano, false, QString(), ahoraTexto());
    m_enMano = false;
    m_marcaPendiente = false;
    if (m_trabajador)
        m_trabajador->conexion()->setEstado(EST_CONEX_LIBRE);
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

// Found and handed over under one hold of the lock: a cancellation on the queue either removes
// the record before the scan or sees it in hand.
bool ServicioEnvio::entregarSiguiente(const Entrega &entrega)
{
    QMutexLocker bloqueo(&m_bloqueo);
    if (!m_retencion.confiable() || !m_bajasConocidas)
        return false;
    outbox::Pendiente pendiente;
    if (!elegir(pendiente)) {
        guardarRetencion();
        return false;
    }
    // On disk before the request goes out: a kill from here on leaves the record held.
    m_retencion.anotarEnVuelo(pendiente.linea, ahoraTexto());
    if (!guardarRetencion()) {
        m_retencion.resolver(pendiente.linea, false, QString(), QString());
        return false;
    }
    registro_sms registro;
    registro.numero = pendiente.numero;
    registro.fecha = pendiente.fecha;
    registro.mensaje = pendiente.mensaje;
    m_posicionEnMano = pendiente.posicion;
    m_lineaEnMano = pendiente.linea;
    if (!entrega(registro)) {
        m_retencion.resolver(pendiente.linea, false, QString(), QString());
        return false;
    }
    m_registroEnMano = registro;
    m_enMano = true;
    return true;
}

// A resend the operator asked for, else the first due record not held. A record to a number on
// the opt-out list is passed over; once no list run is open, those passed over are cancelled and
// the search starts again on the outbox rewritten.
bool ServicioEnvio::elegir(outbox::Pendiente &pendiente)
{
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        QVector<QByteArray> deBaja;
        const bool hay = elegirUna(pendiente, deBaja);
        if (deBaja.isEmpty())
            return hay;
        if (corridaAbierta() || !cancelarDeBaja(deBaja)) {
            // Left pending: the next choice reads them again, to take them out once it can.
            m_buscador.olvidar();
            return hay;
        }
    }
    return false;
}

bool ServicioEnvio::elegirUna(outbox::Pendiente &pendiente, QVector<QByteArray> &deBaja)
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
    while (m_retencion.reenvioPedido(pedida)) {
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
    // The search passes over the held records itself; opted-out numbers are told it this way.
    outbox::Omitir omitir;
    if (conBajas)
        omitir = anotarBaja;
    return m_buscador.buscar(m_rutaSalidas, reloj::hoy(), m_retencion.entradas(), m_retencion.version(),
                             pendiente, omitir) == ResultadoBusqueda::Encontrado;
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

void ServicioEnvio::informarIntento(const QString &resultado)
{
    emit intentoTerminado(ahoraTexto(), m_registroEnMano.numero, m_registroEnMano.mensaje, resultado);
}

void ServicioEnvio::informarLinea(const QByteArray &linea, const QString &resultado)
{
    // "e,numero,fecha,mensaje": the message runs to the end of the line.
    const QString texto = QString::fromUtf8(linea);
    emit intentoTerminado(ahoraTexto(), texto.section(QLatin1Char(','), 1, 1),
                          texto.section(QLatin1Char(','), 3), resultado);
}

int ServicioEnvio::reenviarEnDuda(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&m_bloqueo);
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

int ServicioEnvio::marcarEnDudaEnviados(const QVector<outbox::Referencia> &registros)
{
    QMutexLocker bloqueo(&m_bloqueo);
    int marcados = 0;
    for (const outbox::Referencia &r : registros) {
        if (!m_retencion.retiene(r.linea) ||
            outbox::marcarEnviado(m_rutaSalidas, r.posicion, r.linea) != outbox::ResultadoMarca::Marcada)
            continue;
        m_retencion.quitar(r.linea);
        m_enviados += 1;
        descontar(m_pendientes);
        ++marcados;
        informarLinea(r.linea, tr("marcado como enviado por el operador"));
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
    if (m_enMano && m_marcaPendiente) {
        const QString motivo = tr("el gateway lo tomó, pero no se pudo marcar como enviado");
        m_retencion.resolver(m_lineaEnMano, true, motivo, ahoraTexto());
        informarIntento(QStringLiteral("en duda: ") + motivo);
    }
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
