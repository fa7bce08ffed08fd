#include "gateway/protocolo_ngw.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

namespace protocolo_ngw {

namespace {

QUrl urlTolerante(const QString &texto)
{
    return QUrl(QString::fromLatin1(texto.toLatin1()), QUrl::TolerantMode);
}

bool contiene(const QString &texto, const char *buscado)
{
    return texto.contains(QLatin1String(buscado), Qt::CaseSensitive);
}

// No module enabled for sending: decided on the counters line when there is one, else on the
// plain text "0 0" inside `zona`.
bool sinModulo(const Contadores &c, const QString &zona)
{
    if (c.presentes)
        return c.enCola == 0 && c.libres == 0;
    return contiene(zona, kSinModulo);
}

} // namespace

QString urlBase(const QString &ip)
{
    return QStringLiteral("http://") + ip + QStringLiteral("/cgi-bin");
}

QUrl urlTransmision(const QString &urlBase)
{
    return urlTolerante(urlBase + QStringLiteral("/txsms.cgi"));
}

QUrl urlRecepcion(const QString &urlBase)
{
    return urlTolerante(urlBase + QStringLiteral("/rxsms.cgi"));
}

QByteArray cuerpoEstado(const QString &clave)
{
    return clave.toUtf8() + QByteArrayLiteral("&stat");
}

QByteArray cuerpoRecepcion(const QString &clave)
{
    return clave.toUtf8() + QByteArrayLiteral("&max=10");
}

QString textoEnvio(const QString &clave, const QString &numero, const QString &mensaje)
{
    const QByteArray utf8 = clave.toUtf8() + QByteArrayLiteral("&num=") + numero.toUtf8() +
                            QByteArrayLiteral("&msg=") + mensaje.toUtf8();
    return QString::fromUtf8(utf8);
}

QByteArray cuerpoEnvio(const QString &clave, const QString &numero, const QString &mensaje)
{
    QTextCodec *latin1 = QTextCodec::codecForName("ISO-8859-1");
    return latin1->fromUnicode(textoEnvio(clave, numero, mensaje));
}

QString decodificarEstado(const QByteArray &cuerpo)
{
    return QString::fromUtf8(cuerpo);
}

QString decodificarRecepcion(const QByteArray &cuerpo)
{
    return QTextCodec::codecForName("ISO-8859-1")->toUnicode(cuerpo);
}

Contadores buscarContadores(const QString &respuesta)
{
    static const QRegularExpression linea(QStringLiteral("^\\s*(\\d+)\\s+(\\d+)\\s*$"));
    Contadores c;
    const QStringList lineas = respuesta.split(QLatin1Char('\n'));
    for (const QString &l : lineas) {
        const QRegularExpressionMatch m = linea.match(l);
        if (!m.hasMatch())
            continue;
        bool okCola = false;
        bool okLibres = false;
        const qint64 enCola = m.captured(1).toLongLong(&okCola);
        const qint64 libres = m.captured(2).toLongLong(&okLibres);
        if (!okCola || !okLibres)
            continue;
        c.presentes = true;
        c.enCola = enCola;
        c.libres = libres;
        break;
    }
    return c;
}

int clasificarEstado(const QString &respuesta, int actual)
{
    if (contiene(respuesta, kOk))
        return sinModulo(buscarContadores(respuesta), respuesta) ? EST_CONEX_NO_ENVIA_SMS : EST_CONEX_LIBRE;
    if (contiene(respuesta, kDatos))
        return EST_CONEX_CLAVE_INCORRECTA;
    if (contiene(respuesta, kSinGsm))
        return EST_CONEX_NO_ENVIA_SMS;
    return actual;
}

int clasificarLugar(const QString &respuesta)
{
    if (!contiene(respuesta, kOk))
        return EST_CONEX_UNKNOW;
    const Contadores c = buscarContadores(respuesta);
    if (sinModulo(c, respuesta))
        return EST_CONEX_NO_ENVIA_SMS;
    if (c.presentes ? c.libres == 0 : contiene(respuesta, kSinLugar))
        return EST_CONEX_SIN_LUGAR;
    return EST_CONEX_SEND_SMS;
}

int clasificarEnvio(const QString &respuesta, int actual)
{
    if (contiene(respuesta, kOk))
        return sinModulo(buscarContadores(respuesta), respuesta) ? EST_CONEX_NO_ENVIA_SMS
                                                                 : EST_CONEX_SEND_SMS_OK;
    if (contiene(respuesta, kLleno) || contiene(respuesta, kSinGsm))
        return EST_CONEX_SEND_SMS_ERROR;
    if (contiene(respuesta, kDatos))
        return EST_CONEX_CLAVE_INCORRECTA;
    return actual;
}

int clasificarRecepcion(const QString &respuesta, int actual)
{
    if (contiene(respuesta, kOk)) {
        // Received messages may contain any digits: only the status line speaks for the gateway.
        const QString lineaEstado = respuesta.section(QLatin1Char('\n'), 0, 0);
        return sinModulo(buscarContadores(respuesta), lineaEstado) ? EST_CONEX_NO_ENVIA_SMS
                                                                   : EST_CONEX_GET_SMS_OK;
    }
    if (contiene(respuesta, kSinSms))
        return EST_CONEX_LIBRE;
    if (contiene(respuesta, kLleno) || contiene(respuesta, kSinGsm))
        return EST_CONEX_GET_SMS_ERROR;
    if (contiene(respuesta, kDatos))
        return EST_CONEX_CLAVE_INCORRECTA;
    return actual;
}

bool traeRecibidos(const QString &respuesta)
{
    return contiene(respuesta, kOk);
}

QList<registro_sms> leerRecibidos(const QString &respuesta, const QString &fecha)
{
    QList<registro_sms> mensajes;
    const QStringList partes = respuesta.split(QLatin1Char('\n'), Qt::KeepEmptyParts);
    for (int i = 1; i < partes.size(); ++i) {
        const QString &parte = partes.at(i);
        const int coma = parte.indexOf(QLatin1Char(','));
        if (coma < 0)
            continue;
        registro_sms r;
        r.numero = parte.left(coma);
        r.mensaje = parte.mid(coma + 1);
        r.mensaje.remove(QLatin1Char('\r'));
        r.mensaje.remove(QLatin1Char('\n'));
        r.fecha = fecha;
        mensajes.append(r);
    }
    return mensajes;
}

} // namespace protocolo_ngw
