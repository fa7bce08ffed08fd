#include "gateway/conexion_ngw.h"
#include "ajustes/registro.h"

#include "ajustes/reloj.h"

#include "gateway/cliente_http.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/recibidos.h"

#include <QDate>
#include <QDebug>
#include <QTextCodec>
#include <QThread>

namespace {

// The banner lines of the link's trace, without the blank lines around them.
void imprimir(const char *texto)
{
    QByteArray linea(texto);
    while (linea.startsWith('\n'))
        linea.remove(0, 1);
    while (linea.endsWith('\n'))
        linea.chop(1);
    qCDebug(catGateway).noquote() << QString::fromLatin1(linea);
}

const char kNoEnvia[] = "\n_DEBUG: NO ENVIA SMSs\n";
const char kStatsError[] = "\n_DEBUG: REPLY STATS ERROR! EST_CONEX_UNKNOW\n";

} // namespace

conexion_ngw::conexion_ngw(const QString &claveInicial, const QString &ipInicial) : QObject(nullptr)
{
    qCDebug(catGateway) << "Crea CONEXION";
    setConexion(claveInicial, ipInicial);
    fijarEstado(EST_CONEX_UNKNOW);
    if (!claveInicial.isEmpty() && !m_gateway.sinDireccion())
        consultarEstado();
}

conexion_ngw::~conexion_ngw()
{
    qCDebug(catGateway) << "<-------------TEST CONEXION - DESTRUCTOR!------------------>";
}

void conexion_ngw::fijarGateway(const protocolo_ngw::Gateway &gateway)
{
    m_gateway = gateway;
    m_lugar = 0;
    m_sinDireccion = gateway.sinDireccion();
    m_urlBase = protocolo_ngw::urlBase(gateway.direccion);
}

void conexion_ngw::setConexion(const QString &nuevaClave, const QString &nuevaIp)
{
    fijarGateway(protocolo_ngw::gatewayDe(nuevaIp, nuevaClave));
}

void conexion_ngw::setIp(const QString &nuevaIp)
{
    fijarGateway(protocolo_ngw::gatewayDe(nuevaIp, m_gateway.clave));
}

bool conexion_ngw::reclamar()
{
    bool libre = false;
    return m_ocupado.compare_exchange_strong(libre, true);
}

void conexion_ngw::enHiloPropio(std::function<void()> accion)
{
    if (QThread::currentThread() == thread())
        accion();
    else
        QMetaObject::invokeMethod(this, std::move(accion), Qt::QueuedConnection);
}

bool conexion_ngw::consultarEstado()
{
    return consultar(false);
}

bool conexion_ngw::reintentar()
{
    return consultar(true);
}

bool conexion_ngw::consultar(bool reintento)
{
    if (m_sinDireccion || !reclamar())
        return false;
    fijarEstado(EST_CONEX_UNKNOW);
    enHiloPropio([this, reintento] {
        empezar(ResultadoPedido::Tipo::Estado);
        m_esReintento = reintento;
        m_lugar = 0;
        if (rechazarPedido(&conexion_ngw::replyStatsFinished))
            return;
        const QUrl url = protocolo_ngw::urlTransmision(m_urlBase);
        const QByteArray cuerpo = protocolo_ngw::cuerpoEstado(m_gateway.clave);
        qCDebug(catGateway) << url.toString().toLatin1();
        qCDebug(catGateway) << protocolo_ngw::paraRegistro(cuerpo);
        publicar(url, cuerpo, &conexion_ngw::replyStatsFinished);
    });
    return true;
}

bool conexion_ngw::enviarSms(const registro_sms &registro)
{
    if (m_deteniendo || !reclamar())
        return false;
    enHiloPropio([this, registro] {
        empezar(ResultadoPedido::Tipo::Envio);
        m_smsPendiente = registro;
        m_desenlace = protocolo_ngw::Desenlace::NadaTomado;
        if (!m_seguido || m_lugar <= 0) {
            consultarLugar();
            return;
        }
        if (m_deteniendo) {
            // Nothing went out: the record stays pending, as after a room check.
            terminar();
            return;
        }
        transmitirSms(m_smsPendiente);
    });
    return true;
}

void conexion_ngw::consultarLugar()
{
    m_ocupado = true;
    enHiloPropio([this] {
        if (rechazarPedido(&conexion_ngw::replyHayLugarParaSMS))
            return;
        const QUrl url = protocolo_ngw::urlTransmision(m_urlBase);
        const QByteArray cuerpo = protocolo_ngw::cuerpoEstado(m_gateway.clave);
        qCDebug(catGateway) << url.toString().toLatin1();
        qCDebug(catGateway) << protocolo_ngw::paraRegistro(cuerpo);
        publicar(url, cuerpo, &conexion_ngw::replyHayLugarParaSMS);
    });
}

bool conexion_ngw::transmitirSms(const registro_sms &registro)
{
    fijarEstado(EST_CONEX_SEND_SMS);
    m_ocupado = true;
    enHiloPropio([this, registro] {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        if (rechazarPedido(&conexion_ngw::replySmsToNGW))
            return;
        const QUrl url = protocolo_ngw::urlTransmision(m_urlBase);
        const QString texto = protocolo_ngw::textoEnvio(m_gateway.clave, registro.numero, registro.mensaje);
        const QByteArray cuerpo =
            protocolo_ngw::cuerpoEnvio(m_gateway.clave, registro.numero, registro.mensaje);
        qCDebug(catGateway) << "Enviando SMS";
        qCDebug(catGateway) << "url= " << url.toString();
        qCDebug(catGateway) << "data= " << protocolo_ngw::paraRegistro(texto);
        qCDebug(catGateway) << "encoded= " << protocolo_ngw::paraRegistro(cuerpo);
        qCDebug(catGateway) << "decoded= "
                            << protocolo_ngw::paraRegistro(
                                   QTextCodec::codecForName("ISO-8859-1")->toUnicode(cuerpo));
        publicar(url, cuerpo, &conexion_ngw::replySmsToNGW);
    });
    return true;
}

bool conexion_ngw::obtenerSms()
{
    if (m_deteniendo || !reclamar())
        return false;
    imprimir("\n_DEBUG: GET SMS START!! <<----<<< \n");
    fijarEstado(EST_CONEX_GET_SMS);
    enHiloPropio([this] {
        empezar(ResultadoPedido::Tipo::Recepcion);
        guardarRecibidos(0, m_resultado);
        if (!m_retenidos.isEmpty()) {
            // Messages the gateway still holds are safer there than in memory beside these.
            qCDebug(catGateway) << "recepcion postergada: mensajes recibidos sin guardar"
                                << m_retenidos.size();
            fijarEstado(EST_CONEX_LIBRE);
            terminar();
            return;
        }
        if (rechazarPedido(&conexion_ngw::replyGetSmsFinished))
            return;
        const QUrl url = protocolo_ngw::urlRecepcion(m_urlBase);
        const QByteArray cuerpo = protocolo_ngw::cuerpoRecepcion(m_gateway.clave);
        qCDebug(catGateway) << url;
        qCDebug(catGateway) << protocolo_ngw::paraRegistro(cuerpo);
        publicar(url, cuerpo, &conexion_ngw::replyGetSmsFinished);
    });
    return true;
}

int conexion_ngw::getEstado() const
{
    return m_estado;
}

void conexion_ngw::setEstado(int valor)
{
    if (!estadoValido(valor)) {
        imprimir("estado= INVALIDO\n");
        return;
    }
    fijarEstado(valor);
}

bool conexion_ngw::isOcupado() const
{
    return m_ocupado;
}

void conexion_ngw::fijarTiempoLimite(int ms)
{
    m_limiteMs = ms;
}

void conexion_ngw::fijarPlazoTotal(int ms)
{
    m_plazoMs = ms;
}

void conexion_ngw::empezar(ResultadoPedido::Tipo tipo)
{
    m_resultado = ResultadoPedido();
    m_resultado.tipo = tipo;
}

void conexion_ngw::terminar()
{
    m_resultado.estado = m_estado;
    if (m_resultado.estado == EST_CONEX_ERROR)
        m_resultado.texto = m_errorConexion;
    if (m_resultado.tipo == ResultadoPedido::Tipo::Envio) {
        m_resultado.registro = m_smsPendiente;
        m_resultado.desenlace = m_desenlace;
    }
    emit terminado(m_resultado);
    m_resultado = ResultadoPedido();
    // Counted before the link is free: whoever sees it free also sees the request ended.
    m_terminados += 1;
    m_ocupado = false;
}

void conexion_ngw::fijarEstado(int valor)
{
    m_estado = valor;
    qCDebug(catGateway, "estado= %d", valor);
}

cliente_http *conexion_ngw::nuevoPedido(Manejador manejador)
{
    auto *cliente = new cliente_http({m_limiteMs, m_plazoMs, kLimiteRespuesta}, this);
    connect(cliente, &cliente_http::terminado, this,
            [this, cliente, manejador] { (this->*manejador)(cliente); });
    return cliente;
}

bool conexion_ngw::rechazarPedido(Manejador manejador)
{
    QString error;
    switch (m_gateway.falla()) {
    case protocolo_ngw::Gateway::Falla::Direccion:
        error = tr("Dirección del gateway no válida: \"%1\" (se espera IP o nombre, con :puerto opcional)")
                    .arg(protocolo_ngw::paraRegistro(m_gateway.direccion));
        break;
    case protocolo_ngw::Gateway::Falla::Clave:
        error = tr("Clave del gateway no válida: no puede contener &, saltos de línea ni caracteres nulos");
        break;
    case protocolo_ngw::Gateway::Falla::Ninguna:
        return false;
    }
    nuevoPedido(manejador)->rechazar(error);
    return true;
}

void conexion_ngw::publicar(const QUrl &url, const QByteArray &cuerpo, Manejador manejador)
{
    nuevoPedido(manejador)->publicar(url, QByteArray(protocolo_ngw::kTipoContenido), cuerpo);
}

QByteArray conexion_ngw::abrirRespuesta(cliente_http *reply, const char *lineaEntrada, const char *lineaError)
{
    QByteArray cuerpo;
    if (reply->fallo()) {
        imprimir(lineaError);
        m_errorConexion = reply->textoError();
        qCDebug(catGateway) << m_errorConexion;
        fijarEstado(EST_CONEX_ERROR);
    } else {
        imprimir(lineaEntrada);
        cuerpo = reply->cuerpo();
    }
    // Requests go once their handler is done, so nothing piles up over a long run.
    reply->deleteLater();
    return cuerpo;
}

ResultadoPedido conexion_ngw::guardarRetenidos(QList<registro_sms> &sinGuardar)
{
    ResultadoPedido resultado;
    resultado.tipo = ResultadoPedido::Tipo::Recepcion;
    resultado.estado = m_estado;
    guardarRecibidos(0, resultado);
    sinGuardar = m_retenidos;
    return resultado;
}

void conexion_ngw::guardarRecibidos(int nuevos, ResultadoPedido &resultado)
{
    if (m_retenidos.isEmpty())
        return;
    const QString ruta = recibidos::rutaArchivo();
    const QString defecto = recibidos::rutaPorDefecto();
    const recibidos::Guardado g = recibidos::guardarEnOrden(m_retenidos, ruta, defecto);
    const QString ahora = reloj::ahora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (g.guardados > 0) {
        resultado.fechaGuardados = ahora;
        resultado.guardados += m_retenidos.mid(0, g.guardados);
    }
    m_retenidos.erase(m_retenidos.begin(), m_retenidos.begin() + g.guardados);
    const int nuevosEnEspera = qMin(nuevos, m_retenidos.size());
    if (g.enDefecto == 0 && nuevosEnEspera == 0)
        return;
    QString linea = tr("No se pudo escribir en el archivo de SMS recibidos %1").arg(ruta);
    if (g.enDefecto > 0)
        linea += tr("; %1 mensaje(s) recibido(s) guardado(s) en %2").arg(g.enDefecto).arg(defecto);
    if (!m_retenidos.isEmpty())
        linea += tr("; %1 mensaje(s) recibido(s) sin guardar (tampoco en %2): quedan en memoria y se "
                    "guardan antes de la próxima recepción")
                     .arg(m_retenidos.size())
                     .arg(defecto);
    qCDebug(catGateway) << linea;
    resultado.lineas.append(linea);
}

void conexion_ngw::noReconocida(const QString &texto, int codigoHttp)
{
    QString visible;
    for (const QChar c : texto.left(80))
        visible += c.isSpace() ? QChar(u' ') : (c.isPrint() ? c : QChar(u'?'));
    visible = visible.trimmed();
    m_errorConexion = visible.isEmpty()
                          ? tr("El gateway respondió HTTP %1 sin texto").arg(codigoHttp)
                          : tr("El gateway respondió un texto que no se reconoce: \"%1\"").arg(visible);
    qCDebug(catGateway) << m_errorConexion;
}

void conexion_ngw::replyStatsFinished(cliente_http *reply)
{
    const QString texto =
        protocolo_ngw::decodificarEstado(abrirRespuesta(reply, "\n_DEBUG: replyStatsFinished <<----<<< \n",
                                                        "\n_DEBUG: replyStatsFinished <<--ERROR--<<< \n"));
    const int nuevo = m_esReintento ? protocolo_ngw::clasificarReintento(texto, m_estado)
                                    : protocolo_ngw::clasificarEstado(texto, m_estado);
    if (protocolo_ngw::traeRecibidos(texto)) {
        imprimir(nuevo == EST_CONEX_NO_ENVIA_SMS ? kNoEnvia : "\n_DEBUG: CONEX_LIBRE!\n");
    } else {
        qCDebug(catGateway) << kStatsError;
        qCDebug(catGateway) << "reply=" << protocolo_ngw::paraRegistro(texto);
    }
    if (nuevo != m_estado)
        fijarEstado(nuevo);
    // Freed last, so the worker never sees a free link with a state not yet decided.
    terminar();
}

void conexion_ngw::replyGetSmsFinished(cliente_http *reply)
{
    const protocolo_ngw::FinPedido fin = reply->fin();
    const int codigo = reply->codigoHttp();
    const QByteArray crudo = abrirRespuesta(reply, "\n_DEBUG: replyGetSmsFinished <<----<<< \n",
                                            "\n_DEBUG: replyGetSmsFinished <<--ERROR--<<< \n");
    const QString texto = protocolo_ngw::decodificarRecepcion(crudo);
    qCDebug(catGateway) << "encoded= " << protocolo_ngw::paraRegistro(crudo);
    qCDebug(catGateway) << "decoded= " << protocolo_ngw::paraRegistro(texto);
    qCDebug(catGateway) << "reply= " << protocolo_ngw::paraRegistro(texto);
    if (protocolo_ngw::traeRecibidos(texto)) {
        qCDebug(catGateway) << "size= " << texto.count(QLatin1Char('\n')) + 1;
        qCDebug(catGateway) << "GET_SMS_OK";
        const QString hoy = reloj::hoyTexto();
        const QList<registro_sms> mensajes = protocolo_ngw::leerRecibidos(texto, hoy);
        m_retenidos += mensajes;
        m_resultado.traidos = mensajes;
        guardarRecibidos(mensajes.size(), m_resultado);
    }
    int nuevo = protocolo_ngw::clasificarRecepcion(texto, m_estado);
    if (nuevo == EST_CONEX_GET_SMS && fin == protocolo_ngw::FinPedido::Respuesta) {
        noReconocida(texto, codigo);
        nuevo = EST_CONEX_ERROR;
    }
    if (nuevo != m_estado)
        fijarEstado(nuevo);
    terminar();
}

void conexion_ngw::errorConexion_TO(QNetworkReply::NetworkError)
{
    qCDebug(catGateway) << "conexion_ngw::errorConexion_TO";
    imprimir("\nconexion_ngw::errorConexion_TO\n");
    fijarEstado(EST_CONEX_ERROR);
}

void conexion_ngw::replySmsToNGW(cliente_http *reply)
{
    const protocolo_ngw::FinPedido fin = reply->fin();
    const int codigo = reply->codigoHttp();
    const QString texto = protocolo_ngw::decodificarEstado(abrirRespuesta(
        reply, "\n_DEBUG: replySmsToNGW <<----<<< \n", "\n_DEBUG: replySmsToNGW <<--ERROR--<<< \n"));
    qCDebug(catGateway) << "reply= " << protocolo_ngw::paraRegistro(texto);
    int nuevo = protocolo_ngw::clasificarEnvio(texto, m_estado);
    m_desenlace = protocolo_ngw::desenlaceEnvio(fin, codigo, nuevo);
    qCDebug(catGateway) << "desenlace=" << int(m_desenlace);
    // Each message taken uses a place; anything else may mean the room is gone: ask again.
    m_lugar = m_desenlace == protocolo_ngw::Desenlace::Tomado ? qMax<qint64>(0, m_lugar - 1) : 0;
    if (fin == protocolo_ngw::FinPedido::Respuesta && m_desenlace == protocolo_ngw::Desenlace::Incierto) {
        noReconocida(texto, codigo);
        nuevo = EST_CONEX_ERROR;
    }
    if (nuevo != m_estado)
        fijarEstado(nuevo);
    terminar();
}

void conexion_ngw::replyHayLugarParaSMS(cliente_http *reply)
{
    const bool fallo = reply->fallo();
    const QString texto =
        protocolo_ngw::decodificarEstado(abrirRespuesta(reply, "\n_DEBUG: replyHayLugarParaSMS <<----<<< \n",
                                                        "\n_DEBUG: replyHayLugarParaSMS <<--ERROR--<<< \n"));
    // A failed room check is a network error like any other, not an unknown state.
    const int nuevo = fallo ? int(EST_CONEX_ERROR) : protocolo_ngw::clasificarLugar(texto);
    m_desenlace = protocolo_ngw::Desenlace::NadaTomado;
    // Room without counters is room for this one message.
    const protocolo_ngw::Contadores contadores = protocolo_ngw::buscarContadores(texto);
    m_lugar = nuevo != EST_CONEX_SEND_SMS ? 0 : (contadores.presentes ? contadores.libres : 1);
    if (nuevo == EST_CONEX_SEND_SMS && m_deteniendo) {
        // Nothing went out: the record's sender hears so, and the record stays pending.
        terminar();
        return;
    }
    if (nuevo == EST_CONEX_SEND_SMS) {
        // The link stays claimed from the room check through the send: no other request
        // can slip in between.
        transmitirSms(m_smsPendiente);
        return;
    }
    if (nuevo == EST_CONEX_NO_ENVIA_SMS)
        imprimir(kNoEnvia);
    else if (nuevo == EST_CONEX_UNKNOW)
        imprimir(kStatsError);
    fijarEstado(nuevo);
    // The record went nowhere: its sender hears of it as of a refused send.
    terminar();
}
