#include "gateway/protocolo_ngw.h"

#include "ajustes/ajustes.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

#include <algorithm>

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

bool esDigito(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool soloDigitos(QStringView texto)
{
    return !texto.isEmpty() && std::all_of(texto.begin(), texto.end(), esDigito);
}

// Four decimal parts of 0-255, without leading zeros (which some readers take as octal).
bool esIpv4(const QString &host)
{
    const QStringList partes = host.split(QLatin1Char('.'));
    if (partes.size() != 4)
        return false;
    for (const QString &p : partes) {
        if (!soloDigitos(p) || p.size() > 3 || (p.size() > 1 && p.startsWith(QLatin1Char('0'))) ||
            p.toInt() > 255)
            return false;
    }
    return true;
}

// Labels of letters, digits and inner hyphens, 1-63 each, 253 in all; the last one not all
// digits, so that a mistyped IPv4 address is no host name either.
bool esNombre(const QString &host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    const QStringList etiquetas = host.split(QLatin1Char('.'));
    for (const QString &e : etiquetas) {
        if (e.isEmpty() || e.size() > 63 || e.startsWith(QLatin1Char('-')) || e.endsWith(QLatin1Char('-')))
            return false;
        for (QChar c : e) {
            if (c.unicode() > 0x7f || !(c.isLetterOrNumber() || c == QLatin1Char('-')))
                return false;
        }
    }
    return !soloDigitos(etiquetas.last());
}

bool esGrupoHex(const QString &grupo)
{
    if (grupo.isEmpty() || grupo.size() > 4)
        return false;
    for (QChar c : grupo) {
        const QChar m = c.toLower();
        if (!esDigito(c) && !(m >= QLatin1Char('a') && m <= QLatin1Char('f')))
            return false;
    }
    return true;
}

// Groups of 1-4 hex digits, eight in all or fewer around one "::", the last two of them
// optionally written as an IPv4 address; no zone index, which a URL cannot carry as typed.
bool esIpv6(const QString &host)
{
    const int doble = host.indexOf(QLatin1String("::"));
    if (doble >= 0 && host.indexOf(QLatin1String("::"), doble + 1) >= 0)
        return false;
    auto grupos = [](const QString &parte, int &cuenta, bool admiteIpv4) {
        if (parte.isEmpty())
            return true;
        const QStringList g = parte.split(QLatin1Char(':'));
        for (int i = 0; i < g.size(); ++i) {
            if (admiteIpv4 && i == g.size() - 1 && g.at(i).contains(QLatin1Char('.'))) {
                if (!esIpv4(g.at(i)))
                    return false;
                cuenta += 2;
            } else if (esGrupoHex(g.at(i))) {
                cuenta += 1;
            } else {
                return false;
            }
        }
        return true;
    };
    int cuenta = 0;
    if (doble < 0)
        return grupos(host, cuenta, true) && cuenta == 8;
    return grupos(host.left(doble), cuenta, false) && grupos(host.mid(doble + 2), cuenta, true) && cuenta < 8;
}

bool puertoValido(const QString &puerto)
{
    return soloDigitos(puerto) && puerto.size() <= 5 && puerto.toInt() >= 1 && puerto.toInt() <= 65535;
}

// The log's view of the first kLargoRegistro units of `texto`: every "key=" value, up to the
// next "&", becomes "***". The view stays within a few units of kLargoRegistro however many
// keys it masks (a run of short ones would otherwise lengthen it): no key is begun past it.
// `usados` tells how much of `texto` the view covers.
template <typename Texto, typename Caracter>
Texto enmascarar(const Texto &texto, const Texto &prefijo, Caracter amp, int &usados)
{
    const int limite = int(qMin<qsizetype>(texto.size(), kLargoRegistro));
    Texto salida;
    int desde = 0;
    for (;;) {
        const int libre = kLargoRegistro - int(salida.size());
        if (desde >= limite || libre <= 0) {
            usados = desde;
            return salida;
        }
        int k = int(texto.indexOf(prefijo, desde));
        if (k < 0 || k >= limite)
            k = limite;
        if (k - desde > libre) {
            salida += texto.mid(desde, libre);
            usados = desde + libre;
            return salida;
        }
        salida += texto.mid(desde, k - desde);
        desde = k;
        if (k == limite || int(salida.size()) >= kLargoRegistro)
            continue;
        int fin = int(texto.indexOf(amp, k + int(prefijo.size())));
        if (fin < 0)
            fin = int(texto.size());
        salida += prefijo;
        salida += Texto("***");
        desde = fin;
    }
}

} // namespace

QString recortarEspacios(const QString &texto)
{
    int inicio = 0;
    int fin = texto.size();
    while (inicio < fin && texto.at(inicio) == QLatin1Char(' '))
        ++inicio;
    while (fin > inicio && texto.at(fin - 1) == QLatin1Char(' '))
        --fin;
    return texto.mid(inicio, fin - inicio);
}

bool normalizarDireccion(const QString &texto, QString *direccion)
{
    QString d = texto;
    if (d.startsWith(QLatin1String("http://"), Qt::CaseInsensitive))
        d.remove(0, 7);
    if (d.endsWith(QLatin1Char('/')))
        d.chop(1);
    QString host = d;
    QString puerto;
    bool hostValido = false;
    if (d.startsWith(QLatin1Char('['))) {
        const int cierre = d.indexOf(QLatin1Char(']'));
        if (cierre < 0)
            return false;
        host = d.mid(1, cierre - 1);
        const QString resto = d.mid(cierre + 1);
        if (!resto.isEmpty() && (!resto.startsWith(QLatin1Char(':')) || !puertoValido(resto.mid(1))))
            return false;
        hostValido = esIpv6(host);
    } else {
        const int dosPuntos = d.indexOf(QLatin1Char(':'));
        if (dosPuntos >= 0) {
            host = d.left(dosPuntos);
            puerto = d.mid(dosPuntos + 1);
            if (!puertoValido(puerto))
                return false;
        }
        hostValido = esIpv4(host) || esNombre(host);
    }
    if (!hostValido)
        return false;
    if (direccion)
        *direccion = d;
    return true;
}

bool claveValida(const QString &clave)
{
    const QString prefijo = QStringLiteral("key=");
    const QStringView valor =
        clave.startsWith(prefijo) ? QStringView(clave).mid(prefijo.size()) : QStringView(clave);
    for (QChar c : valor) {
        if (c == QLatin1Char('&') || c == QLatin1Char('\n') || c == QLatin1Char('\r') || c.isNull())
            return false;
    }
    return true;
}

Gateway gatewayDe(const QString &direccion, const QString &clave)
{
    Gateway g;
    g.direccion = recortarEspacios(direccion);
    QString normalizada;
    g.direccionValida = normalizarDireccion(g.direccion, &normalizada);
    if (g.direccionValida)
        g.direccion = normalizada;
    const QString prefijo = QString::fromLatin1(ajustes::kPrefijoClave);
    g.clave = recortarEspacios(clave);
    if (!clave.contains(prefijo))
        g.clave.insert(0, prefijo);
    return g;
}

Gateway::Falla Gateway::falla() const
{
    if (!direccionValida)
        return Falla::Direccion;
    if (!claveValida(clave))
        return Falla::Clave;
    return Falla::Ninguna;
}

QString claveSinPrefijo(const QString &clave)
{
    return QString(clave).remove(QString::fromLatin1(ajustes::kPrefijoClave));
}

QByteArray paraRegistro(const QByteArray &bytes)
{
    // Only the first kLargoRegistro bytes are looked at: a key cut there is masked all the same,
    // and nothing past the cut is shown.
    int usados = 0;
    QByteArray salida = enmascarar(bytes, QByteArray("key="), '&', usados);
    if (usados < bytes.size() || bytes.size() > kLargoRegistro)
        salida += "... [" + QByteArray::number(bytes.size()) + " bytes]";
    return salida;
}

QString paraRegistro(const QString &texto)
{
    int usados = 0;
    QString salida = enmascarar(texto, QStringLiteral("key="), QLatin1Char('&'), usados);
    if (usados < texto.size() || texto.size() > kLargoRegistro)
        salida += QStringLiteral("... [%1 caracteres]").arg(texto.size());
    return salida;
}

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

int clasificarReintento(const QString &respuesta, int actual)
{
    const int estado = clasificarEstado(respuesta, actual);
    if (estado == EST_CONEX_LIBRE && clasificarLugar(respuesta) == EST_CONEX_SIN_LUGAR)
        return EST_CONEX_SIN_LUGAR;
    return estado;
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

Desenlace desenlaceEnvio(FinPedido fin, int codigoHttp, int estado)
{
    switch (fin) {
    case FinPedido::SinEnviar:
        return Desenlace::NadaTomado;
    case FinPedido::SinRespuesta:
        return Desenlace::Incierto;
    case FinPedido::Estado:
        return (codigoHttp >= 400 && codigoHttp < 500) || codigoHttp == 503 ? Desenlace::NadaTomado
                                                                            : Desenlace::Incierto;
    case FinPedido::Respuesta:
        break;
    }
    switch (estado) {
    case EST_CONEX_SEND_SMS_OK:
        return Desenlace::Tomado;
    case EST_CONEX_SEND_SMS_ERROR:
    case EST_CONEX_NO_ENVIA_SMS:
    case EST_CONEX_CLAVE_INCORRECTA:
        return Desenlace::NadaTomado;
    default:
        return Desenlace::Incierto;
    }
}

int clasificarRecepcion(const QString &respuesta, int actual)
{
    if (contiene(respuesta, kOk)) {
        // Received messages may contain any digits: only the status line speaks for the gateway.
        const QString lineaEstado = respuesta.section(QLatin1Char('\n'), 0, 0);
        return sinModulo(buscarContadores(lineaEstado), lineaEstado) ? EST_CONEX_NO_ENVIA_SMS
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
        if (r.mensaje.endsWith(QLatin1Char('\r')))
            r.mensaje.chop(1);
        r.fecha = fecha;
        mensajes.append(r);
    }
    return mensajes;
}

} // namespace protocolo_ngw
