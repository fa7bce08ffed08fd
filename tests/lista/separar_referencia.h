#pragma once
// Line splitting done the slow, literal way: split at every separator, then glue the pieces of a
// quoted field back together. The fast splitter must agree with it on every input.

#include <QString>
#include <QStringList>

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

} // namespace referencia
