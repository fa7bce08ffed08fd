// The window's thread appends and compacts while the worker's thread scans and marks, thousands
// of times: every record is handed over exactly once and the mark always lands on it.

#include "common/vencida.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include "common/entorno_prueba.h"

#include <QAtomicInt>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

class PruebaOutboxConcurrencia : public QObject
{
    Q_OBJECT

private slots:
    void marcasYCompactacionesIntercaladas()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
        const QString temporal = dir.filePath(QStringLiteral("compactando.csv"));
        const QDate hoy(2026, 6, 15);
        constexpr int kRegistros = 3000;

        std::atomic<bool> agregadorTermino{false};
        QVector<int> entregas(kRegistros, 0);
        int marcasReubicadas = 0;
        int marcasFallidas = 0;
        int idsInvalidos = 0;

        // The worker's side: scan, hand over, sometimes let a compaction run, then mark.
        std::unique_ptr<QThread> trabajador(QThread::create([&] {
            int vuelta = 0;
            for (;;) {
                const bool ultimo = agregadorTermino.load();
                outbox::Pendiente p;
                const auto r = outbox::buscarPendiente(ruta, vencidaEl(hoy), p);
                if (r != outbox::ResultadoBusqueda::Encontrado) {
                    if (ultimo)
                        return;
                    QThread::yieldCurrentThread();
                    continue;
                }
                const int id = p.numero.toInt();
                if (id < 0 || id >= kRegistros ||
                    p.mensaje != QStringLiteral("mensaje %1, con coma").arg(id)) {
                    ++idsInvalidos;
                    return;
                }
                ++entregas[id];
                // The gateway holds the message meanwhile; now and then the window compacts.
                if (++vuelta % 3 == 0)
                    outbox::compactar(ruta, temporal);
                else
                    QThread::yieldCurrentThread();
                qint64 marcada = -1;
                if (outbox::marcarEnviado(ruta, p.posicion, p.linea, &marcada) !=
                    outbox::ResultadoMarca::Marcada)
                    ++marcasFallidas;
                else if (marcada != p.posicion)
                    ++marcasReubicadas;
            }
        }));
        trabajador->start();

        // The window's side: appends, a compaction every 40 records, and counts.
        for (int i = 0; i < kRegistros; ++i) {
            QVERIFY(archivos_datos::agregarRegistroOutbox(ruta, QString::number(i),
                                                          QStringLiteral("01/01/2020"),
                                                          QStringLiteral("mensaje %1, con coma").arg(i)));
            if (i % 40 == 39)
                QCOMPARE(outbox::compactar(ruta, temporal), outbox::ResultadoCompactacion::Hecha);
            if (i % 100 == 0) {
                int pendientes = -1;
                QVERIFY(outbox::contarPorEstado(ruta, 'e', pendientes));
                QVERIFY(pendientes >= 0 && pendientes <= i + 1);
            }
        }
        agregadorTermino = true;
        QVERIFY(trabajador->wait(60000));

        QCOMPARE(idsInvalidos, 0);
        QCOMPARE(marcasFallidas, 0);
        for (int i = 0; i < kRegistros; ++i)
            QVERIFY2(entregas.at(i) == 1,
                     qPrintable(QStringLiteral("registro %1 entregado %2 veces").arg(i).arg(entregas.at(i))));
        QVERIFY2(marcasReubicadas > 0, "no mark had to find its record again");

        // Nothing is left pending; every sent line is there once, marked.
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QSet<QByteArray> vistas;
        for (const QByteArray &linea : f.readAll().split('\n')) {
            if (linea.isEmpty())
                continue;
            QVERIFY2(linea.startsWith("E,"), linea.constData());
            QVERIFY2(!vistas.contains(linea), linea.constData());
            vistas.insert(linea);
        }
        f.close();
        QCOMPARE(outbox::compactar(ruta, temporal), outbox::ResultadoCompactacion::Hecha);
        QCOMPARE(QFileInfo(ruta).size(), qint64(0));
    }
};

NBSMS_TEST_MAIN(PruebaOutboxConcurrencia)
#include "prueba_outbox_concurrencia.moc"
