#pragma once
// What is sent to the gateway and how its replies are read, without any networking: the
// three requests (URL and body bytes) and the classification of each kind of reply into a
// connection state. `conexion_ngw` wires these to the network.

#include "gateway/estados.h"
#include "gateway/registro_sms.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

namespace protocolo_ngw {

// The one header the program sets on every request, although the body is form-like.
inline constexpr char kTipoContenido[] = "text/html; charset=utf-8";

// Reply texts the program recognises, searched anywhere in the reply, case-sensitive.
inline constexpr char kOk[] = "0: OK";
inline constexpr char kLleno[] = "1: FULL";
inline constexpr char kSinSms[] = "1: NOSMS";
inline constexpr char kSinGsm[] = "2: NOGSM";
inline constexpr char kDatos[] = "3: DATA?";
// Counters read as plain text when a reply carries no counters line.
inline constexpr char kSinModulo[] = "0 0";
inline constexpr char kSinLugar[] = "50 0";

// Only space characters, and only at the ends: the operator's entries of address and key
// reach the connection trimmed this way, inner spaces kept.
QString recortarEspacios(const QString &texto);

// A gateway address is host[:port] and nothing else: an IPv4 address, a host name or a
// bracketed IPv6 address, with a port of 1-65535. A leading "http://" and a trailing "/" are
// taken away. True and the address without them in `direccion`, or false.
bool normalizarDireccion(const QString &texto, QString *direccion = nullptr);
// The key parameter: after its "key=" prefix it holds no "&", line break or NUL, so it can
// never add parameters to a body ("=" is only a character of the key: the body is not encoded,
// and the gateway reads a parameter's value up to the next "&").
bool claveValida(const QString &clave);

// The gateway a connection talks to, as one value: the address and the key as the operator
// gave them, put into the form every request uses. The one rule for both entries: outer spaces
// go, the key gets its "key=" prefix unless it holds it already, and an address is used only
// when it is host[:port] (normalizarDireccion), "http://" and a final "/" taken away.
struct Gateway
{
    // Trimmed; normalized when valid, else as written (the connection then refuses requests).
    QString direccion;
    // With its prefix.
    QString clave;
    bool direccionValida = false;

    enum class Falla { Ninguna, Direccion, Clave };
    // The first entry that keeps requests from going out.
    Falla falla() const;
    bool sinDireccion() const { return direccion.isEmpty(); }
};
Gateway gatewayDe(const QString &direccion, const QString &clave);
// The key as its entry shows it: without the prefix.
QString claveSinPrefijo(const QString &clave);

// What the debug log may show of a body or a reply: the first kLargoRegistro bytes (or
// characters), every key value as "key=***", and how much was left out.
inline constexpr int kLargoRegistro = 200;
QByteArray paraRegistro(const QByteArray &bytes);
QString paraRegistro(const QString &texto);

// "http://" + ip + "/cgi-bin"; `ip` as given (normalizarDireccion decides whether it is usable).
QString urlBase(const QString &ip);
// url_base + "/txsms.cgi" (status query and send) and url_base + "/rxsms.cgi" (fetch). The
// text goes through Latin-1 and back and is parsed tolerantly.
QUrl urlTransmision(const QString &urlBase);
QUrl urlRecepcion(const QString &urlBase);

// clave (UTF-8) + "&stat".
QByteArray cuerpoEstado(const QString &clave);
// clave (UTF-8) + "&max=10".
QByteArray cuerpoRecepcion(const QString &clave);
// clave + "&num=" + numero + "&msg=" + mensaje as text, before encoding.
QString textoEnvio(const QString &clave, const QString &numero, const QString &mensaje);
// textoEnvio in Latin-1: nothing escaped, "?" for every UTF-16 unit outside Latin-1.
QByteArray cuerpoEnvio(const QString &clave, const QString &numero, const QString &mensaje);

// Status and send replies are UTF-8; the fetch reply is Latin-1.
QString decodificarEstado(const QByteArray &cuerpo);
QString decodificarRecepcion(const QByteArray &cuerpo);

// A counters line is a line of exactly two integers, "<queued> <free>".
struct Contadores
{
    bool presentes = false;
    qint64 enCola = 0;
    qint64 libres = 0;
};
Contadores buscarContadores(const QString &respuesta);

// Connection check (status query): EST_CONEX_NO_ENVIA_SMS, EST_CONEX_LIBRE,
// EST_CONEX_CLAVE_INCORRECTA, or `actual` when nothing is recognised.
int clasificarEstado(const QString &respuesta, int actual);
// Status query of a retry after the connection gave up: as a connection check, except that a
// gateway with no free place stays EST_CONEX_SIN_LUGAR, so a full gateway is not taken for a
// free one and retried at once.
int clasificarReintento(const QString &respuesta, int actual);
// Room check before a send: EST_CONEX_NO_ENVIA_SMS, EST_CONEX_SIN_LUGAR, EST_CONEX_UNKNOW,
// or EST_CONEX_SEND_SMS when there is room and the pending message goes out now.
int clasificarLugar(const QString &respuesta);
// Send reply: EST_CONEX_NO_ENVIA_SMS, EST_CONEX_SEND_SMS_OK, EST_CONEX_SEND_SMS_ERROR,
// EST_CONEX_CLAVE_INCORRECTA, or `actual`.
int clasificarEnvio(const QString &respuesta, int actual);
// How a request ended, as the HTTP client saw it.
enum class FinPedido {
    Respuesta,    // a whole reply with a 2xx status
    Estado,       // a whole reply with another status (its code is given apart)
    SinEnviar,    // it failed before the whole request had been written
    SinRespuesta, // it failed after that, without a whole reply: cut, silent, too slow, not HTTP
};

// What the end of a send request says about the message.
enum class Desenlace {
    Tomado,     // the gateway took it
    NadaTomado, // the gateway cannot have sent it: trying again is safe
    Incierto,   // the gateway may have sent it: it must never be sent again by itself
};

// `estado` is clasificarEnvio's reading of a 2xx reply. A refusal the gateway words (full, no
// module, wrong key), a 4xx or a 503 (the program behind the address did not run) or a request
// that never went out whole took nothing; a reply not understood, cut or late, or any other
// status, leaves the outcome unknown.
Desenlace desenlaceEnvio(FinPedido fin, int codigoHttp, int estado);

// Fetch reply: EST_CONEX_NO_ENVIA_SMS, EST_CONEX_GET_SMS_OK, EST_CONEX_LIBRE,
// EST_CONEX_GET_SMS_ERROR, EST_CONEX_CLAVE_INCORRECTA, or `actual`.
int clasificarRecepcion(const QString &respuesta, int actual);

// Whether a fetch reply carries a block of received messages.
bool traeRecibidos(const QString &respuesta);
// The messages of a fetch reply: every line after the status line with at least one comma;
// the number runs to the first comma, the text is the rest of the line without its line end
// (control characters inside are left to the writer of the file). Each record gets `fecha`.
QList<registro_sms> leerRecibidos(const QString &respuesta, const QString &fecha);

} // namespace protocolo_ngw
