#pragma once
// Slow, literal versions of line splitting and template filling, written straight from their
// step-by-step descriptions. The fast versions must agree with them on every input.

#include <QString>
#include <QStringList>

#include <functional>

namespace referencia {

inline QStringList separarLinea(const QString &linea, bool usarComa, bool usarTab)
{
    const QChar sep = usarComa ? QChar(u',') : usarTab ? QChar(u'\t') : QChar(u'\0');
    QStringList campos = linea.split(sep, Qt::KeepEmptyParts);
    for (int i = 0; i < campos.size(); ++i) {
        if (!campos[i].startsWith(QLatin1Char('"')))
            continue;
        campos[i].remove(0, 1);
        if (campos[i].endsWith(QLatin1Char('"'))) {
            campos[i].chop(1);
            continue;
        }
        while (i + 1 < campos.size()) {
            campos[i] += sep + campos[i + 1];
            campos.removeAt(i + 1);
            if (campos[i].endsWith(QLatin1Char('"'))) {
                campos[i].chop(1);
                break;
            }
        }
    }
    return campos;
}

using Buscar = std::function<int(const QString &)>;

struct Llenado
{
    QString mensaje;
    bool truncado = false;
    bool falta = false;
};

// A field missing from the row reads as empty; the cut never splits a surrogate pair.
inline Llenado transformarSms(const QString &plantilla, const QStringList &campos, const Buscar &buscar)
{
    Llenado r;
    bool fallo = false;
    int i = 0;
    while (i < plantilla.size()) {
        const QChar c = plantilla.at(i);
        if (c != QLatin1Char('[') && c != QLatin1Char('{')) {
            r.mensaje += c;
            ++i;
            continue;
        }
        const QChar cierre = c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('}');
        const int j = plantilla.indexOf(cierre, i + 1);
        if (j < 0) {
            ++i;
            continue;
        }
        const int d = buscar(plantilla.mid(i + 1, j - i - 1));
        if (d == -1) {
            fallo = true;
        } else {
            const QString valor = d < campos.size() ? campos.at(d) : QString();
            if (c == QLatin1Char('{') && valor.isEmpty()) {
                fallo = true;
                r.falta = true;
            }
            r.mensaje += valor;
        }
        i = j + 1;
    }
    if (fallo)
        r.mensaje.clear();
    if (r.mensaje.size() > 140) {
        const bool parPartido = r.mensaje.at(139).isHighSurrogate() && r.mensaje.at(140).isLowSurrogate();
        r.mensaje.truncate(parPartido ? 139 : 140);
        r.truncado = true;
    }
    return r;
}

inline QString verificarCampos(const QString &plantilla, const Buscar &buscar)
{
    for (int i = 0; i < plantilla.size(); ++i) {
        const QChar c = plantilla.at(i);
        if (c != QLatin1Char('[') && c != QLatin1Char('{'))
            continue;
        const int j = plantilla.indexOf(c == QLatin1Char('[') ? QLatin1Char(']') : QLatin1Char('}'), i + 1);
        if (j < 0)
            continue;
        const QString nombre = plantilla.mid(i + 1, j - i - 1);
        if (buscar(nombre) == -1)
            return nombre;
    }
    return QStringLiteral("true");
}

} // namespace referencia
