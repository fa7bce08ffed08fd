#pragma once
// What the million-row benches share: the list they fill, and the process's own figures.
// Linux only (/proc, getrusage).

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/resource.h>

namespace bench_lista {

inline const QString kPlantilla =
    QStringLiteral("Hola [nombre] [apellido], su deuda de $[deuda] vence el [vencimiento]. Gracias.");

// One row in 50 has a number that cannot be used; every date is later than today.
inline void escribirLista(const QString &ruta, int filas)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(ruta));
    QByteArray bloque = "nombre,apellido,celular,deuda,vencimiento\n";
    for (int k = 0; k < filas; ++k) {
        bloque += "Nombre " + QByteArray::number(k) + ",Apellido " + QByteArray::number((k * 7) % 100000) +
                  ",11-" + QByteArray::number(4000 + k / 10000) + '-' + QByteArray::number(k % 10000) +
                  (k % 50 == 49 ? "x" : "") + ',' + QByteArray::number(k % 9000) + ".50,2030-06-" +
                  QByteArray::number(1 + k % 28).rightJustified(2, '0') + '\n';
        if (bloque.size() > (1 << 20)) {
            f.write(bloque);
            bloque.clear();
        }
    }
    f.write(bloque);
}

inline qint64 campoKb(const char *nombre)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &linea : status.readAll().split('\n')) {
        if (linea.startsWith(nombre))
            return linea.mid(int(qstrlen(nombre))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline double cpuDe(const rusage &u)
{
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

} // namespace bench_lista
