#include "gateway/conexion_ngw.h"

#include "gateway/protocolo_ngw.h"
#include "gateway/recibidos.h"

#include <QDate>
#include <QDebug>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QTextCodec>
#include <QThread>

#include <cstdio>

namespace {

void imprimir(const char *texto)
{
    std::fputs(texto, stdout);
    std::fflush(stdout);
}

const char kNoEnvia[] = "\n_DEBUG: NO ENVIA SMSs\n";
const char kStatsError[] = "\n_DEBUG: REPLY STATS ERROR! EST_CONEX_UNKNOW\n";

} // namespace

conexion_ngw::conexion_ngw(const QString &claveInicial, const QString &ipInicial)
    : QObject(nullptr), estado(EST_CONEX_UNKNOW), ocupado(false)
{
    qDebug() << "Crea CONEXION";
    red = new QNetworkAccessManager(this);
    // The gateway sits on the local network: never route it through a proxy.
    red->setProxy(QNetworkProxy::NoProxy);
    clave = claveInicial;
    setIp(ipInicial);
    fijarEstado(EST_CONEX_UNKNOW);
    if (!clave.isEmpty() && !ip.isEmpty())
        consultarEstado();
}

conexion_ngw::~conexion_ngw()
{
    qDebug() << "<-------------TEST CONEXION - DESTRUCTOR!------------------>";
}

void conexion_ngw::setConexion(const QString &nuevaClave, const QString &nuevaIp)
{
    clave = nuevaClave;
    setIp(nuevaIp);
}

void conexion_ngw::setIp(const QString &nuevaIp)
{
    ip = nuevaIp;
    url_base = protocolo_ngw::urlBase(ip);
}

bool conexion_ngw::reclamar()
{
    bool libre = false;
    return ocupado.compare_exchange_strong(libre, true);
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
    if (!reclamar())
        return false;
    fijarEstado(EST_CONEX_UNKNOW);
    const QUrl url = protocolo_ngw::urlTransmision(url_base);
    const QByteArray cuerpo = protocolo_ngw::cuerpoEstado(clave);
    qDebug() << url.toString().toLatin1();
    qDebug() << cuerpo;
    enHiloPropio([this, url, cuerpo] { publicar(url, cuerpo, &conexion_ngw::replyStatsFinished); });
    return true;
}

bool conexion_ngw::enviarSms(const registro_sms &registro)
{
    if (!reclamar())
        return false;
    enHiloPropio([this, registro] {
        sms_pendiente = registro;
        consultarLugar();
    });
    return true;
}

void conexion_ngw::consultarLugar()
{
    ocupado = true;
    enHiloPropio([this] {
        const QUrl url = protocolo_ngw::urlTransmision(url_base);
        const QByteArray cuerpo = protocolo_ngw::cuerpoEstado(clave);
        qDebug() << url.toString().toLatin1();
        qDebug() << cuerpo;
        publicar(url, cuerpo, &conexion_ngw::replyHayLugarParaSMS);
    });
}

bool conexion_ngw::transmitirSms(const registro_sms &registro)
{
    fijarEstado(EST_CONEX_SEND_SMS);
    ocupado = true;
    enHiloPropio([this, registro] {
        QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
        const QUrl url = protocolo_ngw::urlTransmision(url_base);
        const QString texto = protocolo_ngw::textoEnvio(clave, registro.numero, registro.mensaje);
        const QByteArray cuerpo = protocolo_ngw::cuerpoEnvio(clave, registro.numero, registro.mensaje);
        qDebug() << "Enviando SMS";
        qDebug() << "url= " << url.toString();
        qDebug() << "data= " << texto;
        qDebug() << "encoded= " << cuerpo;
        qDebug() << "decoded= " << QTextCodec::codecForName("ISO-8859-1")->toUnicode(cuerpo);
        publicar(url, cuerpo, &conexion_ngw::replySmsToNGW);
    });
    return true;
}

bool conexion_ngw::obtenerSms()
{
    if (!reclamar())
        return false;
    imprimir("\n_DEBUG: GET SMS START!! <<----<<< \n");
    fijarEstado(EST_CONEX_GET_SMS);
    enHiloPropio([this] {
        const QUrl url = protocolo_ngw::urlRecepcion(url_base);
        const QByteArray cuerpo = protocolo_ngw::cuerpoRecepcion(clave);
        qDebug() << url;
        qDebug() << cuerpo;
        publicar(url, cuerpo, &conexion_ngw::replyGetSmsFinished);
    });
    return true;
}

int conexion_ngw::getEstado() const
{
    return estado;
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
    return ocupado;
}

void conexion_ngw::fijarAlCompletar(std::function<void()> accion)
{
    alCompletar = std::move(accion);
}

void conexion_ngw::setTiempoLimite(int ms)
{
    limiteMs = ms;
}

void conexion_ngw::fijarEstado(int valor)
{
    estado = valor;
    std::printf("estado= %d\n", valor);
    std::fflush(stdout);
}

void conexion_ngw::publicar(const QUrl &url, const QByteArray &cuerpo, Manejador manejador)
{
    QNetworkRequest pedido(url);
    pedido.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(protocolo_ngw::kTipoContenido));
    pedido.setTransferTimeout(limiteMs);
    QNetworkReply *reply = red->post(pedido, cuerpo);
    connect(reply, &QNetworkReply::finished, this, [this, reply, manejador] { (this->*manejador)(reply); });
}

QByteArray conexion_ngw::abrirRespuesta(QNetworkReply *reply, const char *lineaEntrada,
                                        const char *lineaError)
{
    if (reply->error() != QNetworkReply::NoError) {
        imprimir(lineaError);
        error_conexion = reply->errorString();
        qDebug() << error_conexion;
        fijarEstado(EST_CONEX_ERROR);
    } else {
        imprimir(lineaEntrada);
    }
    const QByteArray cuerpo = reply->readAll();
    // Replies go once their handler is done, so nothing piles up over a long run.
    reply->deleteLater();
    return cuerpo;
}

void conexion_ngw::replyStatsFinished(QNetworkReply *reply)
{
    const QString texto =
        protocolo_ngw::decodificarEstado(abrirRespuesta(reply, "\n_DEBUG: replyStatsFinished <<----<<< \n",
                                                        "\n_DEBUG: replyStatsFinished <<--ERROR--<<< \n"));
    const int nuevo = protocolo_ngw::clasificarEstado(texto, estado);
    if (protocolo_ngw::traeRecibidos(texto)) {
        imprimir(nuevo == EST_CONEX_NO_ENVIA_SMS ? kNoEnvia : "\n_DEBUG: CONEX_LIBRE!\n");
    } else {
        qDebug() << kStatsError;
        qDebug() << "reply=" << texto;
    }
    if (nuevo != estado)
        fijarEstado(nuevo);
    // Freed last, so the worker never sees a free link with a state not yet decided.
    ocupado = false;
}

void conexion_ngw::replyGetSmsFinished(QNetworkReply *reply)
{
    const QByteArray crudo = abrirRespuesta(reply, "\n_DEBUG: replyGetSmsFinished <<----<<< \n",
                                            "\n_DEBUG: replyGetSmsFinished <<--ERROR--<<< \n");
    const QString texto = protocolo_ngw::decodificarRecepcion(crudo);
    qDebug() << "encoded= " << crudo;
    qDebug() << "decoded= " << texto;
    qDebug() << "reply= " << texto;
    if (protocolo_ngw::traeRecibidos(texto)) {
        qDebug() << "size= " << texto.count(QLatin1Char('\n')) + 1;
        qDebug() << "GET_SMS_OK";
        std::fflush(stdout);
        const QString hoy = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
        const QList<registro_sms> mensajes = protocolo_ngw::leerRecibidos(texto, hoy);
        int guardados = 0;
        for (const registro_sms &m : mensajes)
            guardados += recibidos::guardar(m) ? 1 : 0;
        ultimosRecibidos = guardados;
    } else {
        ultimosRecibidos = 0;
    }
    const int nuevo = protocolo_ngw::clasificarRecepcion(texto, estado);
    if (nuevo != estado)
        fijarEstado(nuevo);
    if (alCompletar)
        alCompletar();
    ocupado = false;
}

void conexion_ngw::errorConexion_TO(QNetworkReply::NetworkError)
{
    qDebug() << "conexion_ngw::errorConexion_TO";
    imprimir("\nconexion_ngw::errorConexion_TO\n");
    fijarEstado(EST_CONEX_ERROR);
}

void conexion_ngw::replySmsToNGW(QNetworkReply *reply)
{
    const QString texto = protocolo_ngw::decodificarEstado(abrirRespuesta(
        reply, "\n_DEBUG: replySmsToNGW <<----<<< \n", "\n_DEBUG: replySmsToNGW <<--ERROR--<<< \n"));
    qDebug() << "reply= " << texto;
    const int nuevo = protocolo_ngw::clasificarEnvio(texto, estado);
    if (nuevo != estado)
        fijarEstado(nuevo);
    if (alCompletar)
        alCompletar();
    ocupado = false;
}

void conexion_ngw::replyHayLugarParaSMS(QNetworkReply *reply)
{
    const QString texto =
        protocolo_ngw::decodificarEstado(abrirRespuesta(reply, "\n_DEBUG: replyHayLugarParaSMS <<----<<< \n",
                                                        "\n_DEBUG: replyHayLugarParaSMS <<--ERROR--<<< \n"));
    const int nuevo = protocolo_ngw::clasificarLugar(texto);
    if (nuevo == EST_CONEX_SEND_SMS) {
        // The link stays claimed from the room check through the send: no other request
        // can slip in between.
        transmitirSms(sms_pendiente);
        return;
    }
    if (nuevo == EST_CONEX_NO_ENVIA_SMS)
        imprimir(kNoEnvia);
    else if (nuevo == EST_CONEX_UNKNOW)
        imprimir(kStatsError);
    fijarEstado(nuevo);
    ocupado = false;
}
