#include "gateway/respuesta_http.h"

#include <algorithm>

namespace respuesta_http {

namespace {

bool soloDigitos(const QByteArray &texto)
{
    return !texto.isEmpty() &&
           std::all_of(texto.begin(), texto.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

Lector::Lector(qint64 limiteBytes) : limite(limiteBytes) {}

Estado Lector::agregar(const QByteArray &datos)
{
    if (actual != Estado::Incompleta || datos.isEmpty())
        return actual;
    // Only what fits within the limit is parsed: a reply that ends inside it is whole, whatever
    // follows; one that does not is too large.
    const qint64 cabe = limite - total;
    const bool sobra = datos.size() > cabe;
    const QByteArray parte = sobra ? datos.left(int(cabe)) : datos;
    total += parte.size();
    pendiente += parte;
    actual = avanzar();
    if (inicio > 0) {
        pendiente.remove(0, inicio);
        buscado = std::max(0, buscado - inicio);
        inicio = 0;
    }
    if (actual == Estado::Incompleta && sobra)
        actual = Estado::Excedida;
    return actual;
}

Estado Lector::cerrar()
{
    if (actual != Estado::Incompleta)
        return actual;
    if (fase == Fase::HastaCierre) {
        fase = Fase::Hecho;
        actual = Estado::Completa;
    } else {
        actual = Estado::Cortada;
    }
    return actual;
}

bool Lector::tomarLinea(QByteArray &linea)
{
    const int fin = pendiente.indexOf('\n', std::max(inicio, buscado));
    if (fin < 0) {
        buscado = pendiente.size();
        return false;
    }
    int largoLinea = fin - inicio;
    if (largoLinea > 0 && pendiente.at(fin - 1) == '\r')
        --largoLinea;
    linea = pendiente.mid(inicio, largoLinea);
    inicio = fin + 1;
    buscado = inicio;
    return true;
}

void Lector::tomarCuerpo()
{
    const qint64 n = std::min<qint64>(faltan, pendiente.size() - inicio);
    contenido.append(pendiente.constData() + inicio, int(n));
    inicio += int(n);
    faltan -= n;
}

Estado Lector::leerLineaEstado(const QByteArray &linea)
{
    // "HTTP/1.1 200 OK": "HTTP/" digit "." digit, a code of 100-599, an optional reason phrase.
    const QByteArray version = linea.left(8);
    const QByteArray codigo = linea.mid(9, 3);
    if (!version.startsWith("HTTP/") || !soloDigitos(version.mid(5, 1)) || version.mid(6, 1) != "." ||
        !soloDigitos(version.mid(7, 1)) || linea.size() < 12 || linea.at(8) != ' ' || !soloDigitos(codigo) ||
        codigo.toInt() < 100 || codigo.toInt() > 599 || (linea.size() > 12 && linea.at(12) != ' '))
        return Estado::Invalida;
    codigoHttp = codigo.toInt();
    textoRazon = linea.mid(13).trimmed();
    hayLargo = false;
    trozos = false;
    fase = Fase::Cabeceras;
    return Estado::Incompleta;
}

Estado Lector::leerCabecera(const QByteArray &linea)
{
    const int dosPuntos = linea.indexOf(':');
    if (dosPuntos <= 0)
        return Estado::Invalida;
    const QByteArray nombre = linea.left(dosPuntos).trimmed().toLower();
    const QByteArray valor = linea.mid(dosPuntos + 1).trimmed();
    if (nombre == "content-length") {
        // 18 digits still fit a qint64.
        if (!soloDigitos(valor) || valor.size() > 18)
            return Estado::Invalida;
        const qint64 v = valor.toLongLong();
        if (hayLargo && v != largo)
            return Estado::Invalida;
        hayLargo = true;
        largo = v;
    } else if (nombre == "transfer-encoding") {
        // Chunked only when it is the last coding; otherwise the body runs to the close.
        trozos = valor.toLower().endsWith("chunked");
    }
    return Estado::Incompleta;
}

Estado Lector::finCabeceras()
{
    if (codigoHttp >= 100 && codigoHttp < 200) {
        // An interim reply: the final one follows.
        fase = Fase::LineaEstado;
        return Estado::Incompleta;
    }
    if (codigoHttp == 204 || codigoHttp == 304) {
        fase = Fase::Hecho;
        return Estado::Completa;
    }
    if (trozos) {
        fase = Fase::TamanoTrozo;
        return Estado::Incompleta;
    }
    if (hayLargo) {
        if (largo > limite)
            return Estado::Excedida;
        faltan = largo;
        fase = Fase::Largo;
        return Estado::Incompleta;
    }
    fase = Fase::HastaCierre;
    return Estado::Incompleta;
}

Estado Lector::avanzar()
{
    QByteArray linea;
    for (;;) {
        Estado e = Estado::Incompleta;
        switch (fase) {
        case Fase::LineaEstado:
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            // Empty lines before the status line are tolerated.
            if (!linea.isEmpty())
                e = leerLineaEstado(linea);
            break;
        case Fase::Cabeceras:
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            e = linea.isEmpty() ? finCabeceras() : leerCabecera(linea);
            break;
        case Fase::Largo:
            tomarCuerpo();
            if (faltan > 0)
                return Estado::Incompleta;
            fase = Fase::Hecho;
            return Estado::Completa;
        case Fase::HastaCierre:
            faltan = pendiente.size() - inicio;
            tomarCuerpo();
            return Estado::Incompleta;
        case Fase::TamanoTrozo: {
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            const int extension = linea.indexOf(';');
            const QByteArray hex = (extension < 0 ? linea : linea.left(extension)).trimmed();
            bool ok = false;
            const qint64 tamano = hex.size() <= 15 ? hex.toLongLong(&ok, 16) : 0;
            if (!ok || hex.startsWith('-') || hex.startsWith('+') || hex.startsWith("0x") ||
                hex.startsWith("0X"))
                return Estado::Invalida;
            if (tamano > limite)
                return Estado::Excedida;
            faltan = tamano;
            fase = tamano == 0 ? Fase::Cola : Fase::Trozo;
            break;
        }
        case Fase::Trozo:
            tomarCuerpo();
            if (faltan > 0)
                return Estado::Incompleta;
            fase = Fase::FinTrozo;
            break;
        case Fase::FinTrozo:
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            if (!linea.isEmpty())
                return Estado::Invalida;
            fase = Fase::TamanoTrozo;
            break;
        case Fase::Cola:
            // Trailer fields are read and ignored up to the empty line.
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            if (linea.isEmpty()) {
                fase = Fase::Hecho;
                return Estado::Completa;
            }
            break;
        case Fase::Hecho:
            return Estado::Completa;
        }
        if (e != Estado::Incompleta)
            return e;
    }
}

} // namespace respuesta_http
