// Times the worker's opt-out check with 100,000 numbers on the list:
//   the check of one outbox line (the number field's last digits looked up in the set), over
//   lines to numbers on the list and not, in several written forms;
//   a scan of an outbox of 100,000 pending lines whose every number is on the list but the last,
//   per line (what a hand-over costs when the whole queue is opted out);
//   building the list from the history's 100,000 rows (at start).
// Prints the best and the median of several runs.

#include "lista/bajas.h"
#include "lista/outbox.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kNumeros = 100000;

QString numero(int i, int forma)
{
    const QString d = QString::number(1140000000LL + i * 7LL);
    switch (forma % 3) {
    case 0:
        return d;
    case 1:
        return QStringLiteral("+54 9 ") + d.left(2) + QLatin1Char(' ') + d.mid(2, 4) + QLatin1Char('-') +
               d.mid(6);
    default:
        return QStringLiteral("0") + d;
    }
}

void medir(const char *nombre, const char *unidad, double divisor, int repeticiones,
           const std::function<void()> &operacion)
{
    std::vector<double> tiempos;
    for (int i = 0; i < repeticiones; ++i) {
        QElapsedTimer t;
        t.start();
        operacion();
        tiempos.push_back(double(t.nsecsElapsed()) / divisor);
    }
    std::sort(tiempos.begin(), tiempos.end());
    std::printf("%-58s mejor %10.3f %s   mediana %10.3f %s\n", nombre, tiempos.front(), unidad,
                tiempos.at(tiempos.size() / 2), unidad);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    bajas::Lista lista(10);
    medir("armar la lista (100.000 numeros)", "ms", 1e6, 5, [&] {
        lista.vaciar();
        for (int i = 0; i < kNumeros; ++i)
            lista.agregar(numero(i, i));
    });

    // Outbox lines: half to numbers on the list (in the outbox's form), half to others.
    std::vector<QByteArray> lineas;
    for (int i = 0; i < kNumeros; ++i) {
        const QString n =
            i % 2 ? QString::number(5491140000000LL + i * 7LL) : QString::number(1150000000LL + i);
        lineas.push_back("e," + n.toUtf8() +
                         ",15/06/2026,Hola, le recordamos su turno del lunes&enter&Gracias");
    }
    volatile int encontrados = 0;
    medir("control de un registro (100.000 en la lista)", "us", 1e3 * double(lineas.size()), 9, [&] {
        int n = 0;
        for (const QByteArray &l : lineas)
            n += lista.contieneLinea(l.constData(), l.size()) ? 1 : 0;
        encontrados = n;
    });
    std::printf("  (%d de %zu registros en la lista)\n", int(encontrados), lineas.size());

    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
    {
        QFile f(ruta);
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(ruta));
        for (int i = 0; i < kNumeros - 1; ++i)
            f.write("e," + QString::number(1140000000LL + i * 7LL).toUtf8() + ",15/06/2026,Hola " +
                    QByteArray::number(i) + '\n');
        f.write("e,1150000000,15/06/2026,ultimo\n");
    }
    const auto siempre = [](const char *, int) { return true; };
    const auto omitir = [&lista](const char *l, int largo) { return lista.contieneLinea(l, largo); };
    medir("busqueda con la cola entera dada de baja, por registro", "us", 1e3 * kNumeros, 5, [&] {
        outbox::Pendiente p;
        if (outbox::buscarPendiente(ruta, siempre, p, omitir) != outbox::ResultadoBusqueda::Encontrado)
            qFatal("the last record was not found");
    });
    return 0;
}
