#pragma once
// What the million-row benches share: the list they fill, and the process's own figures.
// Linux only (/proc, getrusage).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>

#include <cstdio>
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

// The CPU time of mawk doing the same fill with `script` (llenar.awk) over the list at `ruta`, best
// of three, its files beside the list; -1 (after saying why) when mawk cannot run.
inline double cpuMawk(const QString &ruta, const char *script)
{
    const QDir carpeta = QFileInfo(ruta).absoluteDir();
    double mejor = -1;
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        rusage antes;
        getrusage(RUSAGE_CHILDREN, &antes);
        QProcess p;
        p.start(QStringLiteral("mawk"),
                {QStringLiteral("-v"),
                 QStringLiteral("salidas=") + carpeta.filePath(QStringLiteral("awk-salidas.csv")),
                 QStringLiteral("-v"),
                 QStringLiteral("errores=") + carpeta.filePath(QStringLiteral("awk-errores.csv")),
                 QStringLiteral("-f"), QString::fromLocal8Bit(script), ruta});
        if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
            std::printf("  mawk could not run: %s\n", qPrintable(p.errorString()));
            return -1;
        }
        rusage despues;
        getrusage(RUSAGE_CHILDREN, &despues);
        const double cpu = cpuDe(despues) - cpuDe(antes);
        if (mejor < 0 || cpu < mejor)
            mejor = cpu;
    }
    return mejor;
}

// The two lists a bench compares, `filas` rows and a tenth of them, each in a folder of its own
// under `carpeta`, with the big one's size told.
struct Listas
{
    QString grande;
    QString chica;
};
inline Listas escribirListas(const QString &carpeta, int filas)
{
    const QDir dir(carpeta);
    dir.mkpath(QStringLiteral("grande"));
    dir.mkpath(QStringLiteral("chica"));
    const Listas listas{dir.filePath(QStringLiteral("grande/lista.csv")),
                        dir.filePath(QStringLiteral("chica/lista.csv"))};
    escribirLista(listas.grande, filas);
    escribirLista(listas.chica, filas / 10);
    std::printf("list: %d rows, %lld bytes\n", filas,
                static_cast<long long>(QFileInfo(listas.grande).size()));
    return listas;
}

// mawk's fill over `ruta`, told as it comes.
inline double correrMawk(const QString &ruta, const char *script)
{
    const double mejor = cpuMawk(ruta, script);
    if (mejor >= 0)
        std::printf("  mawk: cpu=%.3f\n", mejor);
    return mejor;
}

} // namespace bench_lista
