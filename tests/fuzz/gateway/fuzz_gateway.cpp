// Arbitrary bytes as a gateway reply: read as HTTP whole and in slices, classified as each kind
// of reply, its received messages turned into lines of the received-messages file, and shown
// in the log. Nothing may crash; the HTTP reading may not depend on how the bytes arrive; every
// state must be a connection state; a stored line must be one clean CSV record that reads back
// as its three fields; the log view must stay short and keyless.

#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/recibidos.h"
#include "gateway/registro_sms.h"
#include "gateway/respuesta_http.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

namespace {

namespace pn = protocolo_ngw;

constexpr qint64 kLimite = 4096;

void fallar(const char *que, const QByteArray &detalle)
{
    std::fprintf(stderr, "%s: %s\n", que, detalle.toPercentEncoding().constData());
    std::abort();
}

void comprobarHttp(const QByteArray &bytes, int tramo, bool cerrada)
{
    respuesta_http::Lector entero(kLimite);
    respuesta_http::Lector partido(kLimite);
    entero.agregar(bytes);
    for (int i = 0; i < bytes.size(); i += tramo)
        partido.agregar(bytes.mid(i, tramo));
    if (cerrada) {
        entero.cerrar();
        partido.cerrar();
    }
    if (entero.estado() != partido.estado() || entero.codigo() != partido.codigo() ||
        entero.cuerpo() != partido.cuerpo() || entero.razon() != partido.razon())
        fallar("http en tramos", bytes);
    if (entero.cuerpo().size() > kLimite || entero.recibidos() > kLimite)
        fallar("http limite", bytes);
    if (entero.estado() == respuesta_http::Estado::Completa &&
        (entero.codigo() < 100 || entero.codigo() > 599))
        fallar("http codigo", bytes);
}

void comprobarClasificacion(const QString &texto, int actual)
{
    const int estados[] = {pn::clasificarEstado(texto, actual), pn::clasificarEnvio(texto, actual),
                           pn::clasificarRecepcion(texto, actual)};
    for (int e : estados) {
        if (!estadoValido(e))
            fallar("estado", texto.toUtf8());
    }
    const int lugar = pn::clasificarLugar(texto);
    if (lugar != EST_CONEX_NO_ENVIA_SMS && lugar != EST_CONEX_SIN_LUGAR && lugar != EST_CONEX_UNKNOW &&
        lugar != EST_CONEX_SEND_SMS)
        fallar("lugar", texto.toUtf8());
}

// "a","b","c" with doubled inner quotes back into its fields; false when it is no such line.
bool leerLinea(const QString &linea, QStringList &campos)
{
    campos.clear();
    int i = 0;
    while (i < linea.size()) {
        if (linea.at(i) != QLatin1Char('"'))
            return false;
        QString campo;
        for (++i;; ++i) {
            if (i >= linea.size())
                return false;
            if (linea.at(i) == QLatin1Char('"')) {
                if (i + 1 < linea.size() && linea.at(i + 1) == QLatin1Char('"')) {
                    campo += QLatin1Char('"');
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            campo += linea.at(i);
        }
        campos << campo;
        if (i < linea.size() && linea.at(i++) != QLatin1Char(','))
            return false;
    }
    return true;
}

QString limpio(QString campo)
{
    for (QChar &c : campo) {
        if (c != QLatin1Char('\t') && c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    return campo;
}

void comprobarRecibidos(const QString &texto)
{
    const QString fecha = QStringLiteral("07/12/2026");
    for (const registro_sms &r : pn::leerRecibidos(texto, fecha)) {
        if (r.numero.contains(QLatin1Char(',')) || r.numero.contains(QLatin1Char('\n')) ||
            r.mensaje.contains(QLatin1Char('\n')) || r.fecha != fecha)
            fallar("mensaje", texto.toUtf8());
        const QString linea = recibidos::lineaRecibido(r.fecha, r.numero, r.mensaje);
        for (QChar c : linea) {
            if (c != QLatin1Char('\t') && c.category() == QChar::Other_Control)
                fallar("control en la linea", linea.toUtf8());
        }
        QStringList campos;
        if (!leerLinea(linea, campos) || campos != QStringList{fecha, limpio(r.numero), limpio(r.mensaje)})
            fallar("linea ilegible", linea.toUtf8());
    }
}

void comprobarRegistro(const QByteArray &bytes)
{
    const QByteArray visto = pn::paraRegistro(bytes);
    if (visto.size() > pn::kLargoRegistro + 32)
        fallar("registro largo", bytes);
    for (int k = visto.indexOf("key="); k >= 0; k = visto.indexOf("key=", k + 1)) {
        if (visto.mid(k + 4, 3) != "***")
            fallar("clave a la vista", bytes);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *datos, size_t largo)
{
    FuzzedDataProvider fuente(datos, largo);
    const int actual = fuente.ConsumeIntegralInRange<int>(EST_CONEX_UNKNOW, EST_CONEX_CLAVE_INCORRECTA);
    const int tramo = fuente.ConsumeIntegralInRange<int>(1, 64);
    const bool cerrada = fuente.ConsumeBool();
    const std::string resto = fuente.ConsumeRemainingBytesAsString();
    const QByteArray bytes(resto.data(), int(resto.size()));

    comprobarHttp(bytes, tramo, cerrada);
    const QString estado = pn::decodificarEstado(bytes);
    const QString recepcion = pn::decodificarRecepcion(bytes);
    comprobarClasificacion(estado, actual);
    comprobarClasificacion(recepcion, actual);
    comprobarRecibidos(recepcion);
    comprobarRegistro(bytes);
    QString direccion;
    if (pn::normalizarDireccion(estado, &direccion) &&
        pn::urlTransmision(pn::urlBase(direccion)).host().isEmpty())
        fallar("direccion sin host", bytes);
    return 0;
}
