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

Lector::Lector(qint64 limiteBytes) : m_limite(limiteBytes) {}

Estado Lector::agregar(const QByteArray &datos)
{
    if (m_actual != Estado::Incompleta || datos.isEmpty())
        return m_actual;
    // Only what fits within the limit is parsed: a reply that ends inside it is whole, whatever
    // follows; one that does not is too large.
    const qint64 cabe = m_limite - m_total;
    const bool sobra = datos.size() > cabe;
    const QByteArray parte = sobra ? datos.left(int(cabe)) : datos;
    m_total += parte.size();
    m_pendiente += parte;
    m_actual = avanzar();
    if (m_inicio > 0) {
        m_pendiente.remove(0, m_inicio);
        m_buscado = std::max(0, m_buscado - m_inicio);
        m_inicio = 0;
    }
    if (m_actual == Estado::Incompleta && sobra)
        m_actual = Estado::Excedida;
    return m_actual;
}

Estado Lector::cerrar()
{
    if (m_actual != Estado::Incompleta)
        return m_actual;
    if (m_fase == Fase::HastaCierre) {
        m_fase = Fase::Hecho;
        m_actual = Estado::Completa;
    } else {
        m_actual = Estado::Cortada;
    }
    return m_actual;
}

bool Lector::tomarLinea(QByteArray &linea)
{
    const int fin = m_pendiente.indexOf('\n', std::max(m_inicio, m_buscado));
    if (fin < 0) {
        m_buscado = m_pendiente.size();
        return false;
    }
    int largoLinea = fin - m_inicio;
    if (largoLinea > 0 && m_pendiente.at(fin - 1) == '\r')
        --largoLinea;
    linea = m_pendiente.mid(m_inicio, largoLinea);
    m_inicio = fin + 1;
    m_buscado = m_inicio;
    return true;
}

void Lector::tomarCuerpo()
{
    const qint64 n = std::min<qint64>(m_faltan, m_pendiente.size() - m_inicio);
    m_contenido.append(m_pendiente.constData() + m_inicio, int(n));
    m_inicio += int(n);
    m_faltan -= n;
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
    m_codigoHttp = codigo.toInt();
    m_textoRazon = linea.mid(13).trimmed();
    m_hayLargo = false;
    m_trozos = false;
    m_fase = Fase::Cabeceras;
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
        if (m_hayLargo && v != m_largo)
            return Estado::Invalida;
        m_hayLargo = true;
        m_largo = v;
    } else if (nombre == "transfer-encoding") {
        // Chunked only when it is the last coding; otherwise the body runs to the close.
        m_trozos = valor.toLower().endsWith("chunked");
    }
    return Estado::Incompleta;
}

Estado Lector::finCabeceras()
{
    if (m_codigoHttp >= 100 && m_codigoHttp < 200) {
        // An interim reply: the final one follows.
        m_fase = Fase::LineaEstado;
        return Estado::Incompleta;
    }
    if (m_codigoHttp == 204 || m_codigoHttp == 304) {
        m_fase = Fase::Hecho;
        return Estado::Completa;
    }
    if (m_trozos) {
        m_fase = Fase::TamanoTrozo;
        return Estado::Incompleta;
    }
    if (m_hayLargo) {
        if (m_largo > m_limite)
            return Estado::Excedida;
        m_faltan = m_largo;
        m_fase = Fase::Largo;
        return Estado::Incompleta;
    }
    m_fase = Fase::HastaCierre;
    return Estado::Incompleta;
}

Estado Lector::avanzar()
{
    QByteArray linea;
    for (;;) {
        Estado e = Estado::Incompleta;
        switch (m_fase) {
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
            if (m_faltan > 0)
                return Estado::Incompleta;
            m_fase = Fase::Hecho;
            return Estado::Completa;
        case Fase::HastaCierre:
            m_faltan = m_pendiente.size() - m_inicio;
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
            if (tamano > m_limite)
                return Estado::Excedida;
            m_faltan = tamano;
            m_fase = tamano == 0 ? Fase::Cola : Fase::Trozo;
            break;
        }
        case Fase::Trozo:
            tomarCuerpo();
            if (m_faltan > 0)
                return Estado::Incompleta;
            m_fase = Fase::FinTrozo;
            break;
        case Fase::FinTrozo:
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            if (!linea.isEmpty())
                return Estado::Invalida;
            m_fase = Fase::TamanoTrozo;
            break;
        case Fase::Cola:
            // Trailer fields are read and ignored up to the empty line.
            if (!tomarLinea(linea))
                return Estado::Incompleta;
            if (linea.isEmpty()) {
                m_fase = Fase::Hecho;
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
