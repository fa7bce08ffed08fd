#include "common/archivos_prueba.h"

#include "lista/archivos_datos.h"

#include <QFile>
#include <QtTest>

namespace archivos_prueba {

QByteArray leer(const QString &ruta)
{
    QFile f(ruta);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QByteArray> lineas(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> salida = f.readAll().split('\n');
    if (!salida.isEmpty() && salida.last().isEmpty())
        salida.removeLast();
    if (qstrcmp(archivos_datos::kFinLinea, "\r\n") == 0) {
        for (QByteArray &linea : salida) {
            if (linea.endsWith('\r'))
                linea.chop(1);
        }
    }
    return salida;
}

bool escribir(const QString &ruta, const QByteArray &bytes, bool anexar)
{
    QFile f(ruta);
    const bool bien = f.open(QIODevice::WriteOnly | (anexar ? QIODevice::Append : QIODevice::Truncate)) &&
                      f.write(bytes) == bytes.size();
    if (!bien)
        QTest::qFail(qPrintable(QStringLiteral("no se pudo escribir ") + ruta), __FILE__, __LINE__);
    return bien;
}

QByteArray bytes(const std::string &texto)
{
    return QByteArray(texto.data(), static_cast<int>(texto.size()));
}

QByteArray conFinDeLinea(const QByteArray &texto)
{
    QByteArray salida = texto;
    return salida.replace('\n', archivos_datos::kFinLinea);
}

} // namespace archivos_prueba
