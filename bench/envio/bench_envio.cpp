// Times the outbox operations of the worker and the window on large files:
//   one scan cycle, worst case (every line pending but dated in the future, the due one last);
//   an idle cycle over a million lines dated later, reading the whole outbox and with the search
//   that remembers what it read (outbox::Buscador), and that search's first cycle after an append;
//   one compaction; one recount.
// Prints the best and the median of several runs, in milliseconds.

#include "lista/archivos_datos.h"
#include "lista/buscador_outbox.h"
#include "lista/outbox.h"
#include "tests/common/vencida.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const QDate kHoy(2026, 6, 15);

QByteArray linea(char estado, int i, const char *fecha)
{
    return estado + QByteArray(",") + QByteArray::number(1150000000 + i) + ',' + fecha +
           ",Hola, le recordamos su turno del lunes a las 10:30 en la sucursal centro&enter&Gracias " +
           QByteArray::number(i);
}

void escribir(const QString &ruta, const QByteArray &bytes)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(ruta));
}

// Every line pending and dated tomorrow; only the last one is due.
QByteArray peorCaso(int lineas)
{
    QByteArray bytes;
    bytes.reserve(lineas * 120);
    for (int i = 0; i < lineas - 1; ++i)
        bytes += linea('e', i, "16/06/2026") + '\n';
    bytes += linea('e', lineas - 1, "15/06/2026") + '\n';
    return bytes;
}

// Half sent, half pending, interleaved.
QByteArray mitadEnviados(int lineas)
{
    QByteArray bytes;
    bytes.reserve(lineas * 120);
    for (int i = 0; i < lineas; ++i)
        bytes += linea(i % 2 ? 'E' : 'e', i, "01/01/2020") + '\n';
    return bytes;
}

void medir(const char *nombre, int repeticiones, const std::function<void()> &preparar,
           const std::function<void()> &operacion)
{
    std::vector<double> tiempos;
    for (int i = 0; i < repeticiones; ++i) {
        preparar();
        QElapsedTimer reloj;
        reloj.start();
        operacion();
        tiempos.push_back(reloj.nsecsElapsed() / 1e6);
    }
    std::sort(tiempos.begin(), tiempos.end());
    std::printf("%-44s best %8.3f ms   median %8.3f ms   (%d runs)\n", nombre, tiempos.front(),
                tiempos[tiempos.size() / 2], repeticiones);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
    const QString temporal = dir.filePath(QStringLiteral("compactando.csv"));

    for (int lineas : {10000, 100000}) {
        escribir(ruta, peorCaso(lineas));
        const QByteArray titulo = "scan cycle, worst case, " + QByteArray::number(lineas) + " lines";
        medir(
            titulo.constData(), 30, [] {},
            [&] {
                outbox::Pendiente p;
                if (outbox::buscarPendiente(ruta, vencidaEl(kHoy), p) !=
                        outbox::ResultadoBusqueda::Encontrado ||
                    p.numero != QString::number(1150000000 + lineas - 1))
                    qFatal("scan found the wrong record");
            });
    }

    {
        // A million lines dated tomorrow: nothing is due, the worker looks every second.
        escribir(ruta, peorCaso(1000000).replace("15/06/2026", "16/06/2026"));
        medir(
            "idle cycle, 1000000 later lines, whole read", 10, [] {},
            [&] {
                outbox::Pendiente p;
                if (outbox::buscarPendiente(ruta, vencidaEl(kHoy), p) != outbox::ResultadoBusqueda::NoHay)
                    qFatal("scan found a record");
            });
        // Written by the bench, not through the program: one append of the program's own first, so
        // that the appends after it are known to follow it.
        archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("1150000000"),
                                              QStringLiteral("16/06/2026"), QStringLiteral("Uno"));
        outbox::Buscador buscador(
            [](const char *fecha, int largo) { return reglas_envio::leerFecha(fecha, largo); });
        outbox::Pendiente p;
        QElapsedTimer primera;
        primera.start();
        buscador.buscar(ruta, kHoy, {}, 0, p);
        std::printf("%-44s %8.2f ms\n", "idle search, first cycle (reads all)", primera.nsecsElapsed() / 1e6);
        medir(
            "idle cycle, 1000000 later lines, remembered", 1000, [] {},
            [&] {
                outbox::Pendiente q;
                if (buscador.buscar(ruta, kHoy, {}, 0, q) != outbox::ResultadoBusqueda::NoHay)
                    qFatal("search found a record");
            });
        medir(
            "cycle after an append, remembered", 30,
            [&] {
                archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("1150000001"),
                                                      QStringLiteral("16/06/2026"), QStringLiteral("Otro"));
            },
            [&] {
                outbox::Pendiente q;
                buscador.buscar(ruta, kHoy, {}, 0, q);
            });
        if (buscador.lecturas().completas != 1)
            qFatal("the search read everything again");
    }

    const QByteArray mitad = mitadEnviados(100000);
    medir(
        "compaction, 100000 lines (half sent)", 15, [&] { escribir(ruta, mitad); },
        [&] {
            if (outbox::compactar(ruta, temporal) != outbox::ResultadoCompactacion::Hecha)
                qFatal("compaction failed");
        });

    escribir(ruta, mitad);
    medir(
        "recount (pending), 100000 lines", 30, [] {},
        [&] {
            int n = 0;
            if (!outbox::contarPorEstado(ruta, 'e', n) || n != 50000)
                qFatal("wrong count");
        });
    medir(
        "recount (all three counters), 100000 lines", 30, [] {},
        [&] {
            int e = 0;
            int s = 0;
            int l = 0;
            outbox::contarPorEstado(ruta, 'e', e);
            outbox::contarPorEstado(ruta, 'E', s);
            outbox::contarLineas(ruta, l);
            if (e + s != l)
                qFatal("wrong count");
        });
    return 0;
}
