// The interface thread appends, compacts and cancels while the worker's thread scans and marks,
// thousands of times, each operation under one lock as the sending service holds it: every record
// is handed over exactly once and the mark always lands on it, also after a compaction moved it;
// a cancelled record is never handed over, and the one with the gateway is never cancelled.

#include "common/vencida.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"

#include <QAtomicInt>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
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

        QMutex bloqueo;
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
                QMutexLocker paraBuscar(&bloqueo);
                const auto r = outbox::buscarPendiente(ruta, vencidaEl(hoy), p);
                paraBuscar.unlock();
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
                if (++vuelta % 3 == 0) {
                    QMutexLocker paraCompactar(&bloqueo);
                    outbox::compactar(ruta, temporal);
                } else {
                    QThread::yieldCurrentThread();
                }
                qint64 marcada = -1;
                QMutexLocker paraMarcar(&bloqueo);
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
            QMutexLocker paraAgregar(&bloqueo);
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

    void cancelacionesContraElTrabajador()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
        const QString temporal = dir.filePath(QStringLiteral("compactando.csv"));
        const QDate hoy(2026, 6, 15);
        constexpr int kRegistros = 2000;
        for (int i = 0; i < kRegistros; ++i)
            QVERIFY(archivos_datos::agregarRegistroOutbox(
                ruta, QString::number(i), QStringLiteral("01/01/2020"), QStringLiteral("mensaje %1").arg(i)));

        // What the worker has with the gateway, as the service keeps it: under its lock.
        QMutex bloqueo;
        outbox::Referencia enMano;
        bool hayEnMano = false;
        std::atomic<bool> canceladorTermino{false};
        QVector<int> entregas(kRegistros, 0);
        int marcasFallidas = 0;
        std::unique_ptr<QThread> trabajador(QThread::create([&] {
            for (;;) {
                const bool ultimo = canceladorTermino.load();
                outbox::Pendiente p;
                {
                    QMutexLocker paraBuscar(&bloqueo);
                    if (outbox::buscarPendiente(ruta, vencidaEl(hoy), p) ==
                        outbox::ResultadoBusqueda::Encontrado) {
                        enMano = {p.posicion, p.linea};
                        hayEnMano = true;
                    }
                }
                if (p.posicion < 0) {
                    if (ultimo)
                        return;
                    QThread::yieldCurrentThread();
                    continue;
                }
                ++entregas[p.numero.toInt()];
                QThread::yieldCurrentThread();
                QMutexLocker paraMarcar(&bloqueo);
                if (outbox::marcarEnviado(ruta, p.posicion, p.linea) != outbox::ResultadoMarca::Marcada)
                    ++marcasFallidas;
                hayEnMano = false;
            }
        }));
        trabajador->start();

        // The window's side: the queue as read, the first record (most often the one in hand)
        // and every third of the next ones cancelled; a compaction now and then.
        int cancelados = 0;
        int vecesEnMano = 0;
        for (int ronda = 0; ronda < 400; ++ronda) {
            QMutexLocker paraLeer(&bloqueo);
            QVector<outbox::RegistroPendiente> pendientes;
            QVERIFY(outbox::leerPendientes(ruta, pendientes));
            paraLeer.unlock();
            if (pendientes.isEmpty())
                break;
            QVector<outbox::Referencia> elegidos;
            for (int i = 0; i < qMin(pendientes.size(), 12); i += (i == 0 ? 1 : 3))
                elegidos.append({pendientes.at(i).posicion, pendientes.at(i).linea});
            QMutexLocker paraCancelar(&bloqueo);
            if (ronda % 7 == 6)
                QCOMPARE(outbox::compactar(ruta, temporal), outbox::ResultadoCompactacion::Hecha);
            const outbox::ResultadoCancelacion r =
                outbox::cancelar(ruta, temporal, elegidos, [&](outbox::Referencia &registro) {
                    registro = enMano;
                    return hayEnMano;
                });
            QCOMPARE(r.resultado, outbox::ResultadoCompactacion::Hecha);
            QCOMPARE(r.cancelados + r.enMano + r.noEncontrados, elegidos.size());
            cancelados += r.cancelados;
            vecesEnMano += r.enMano;
        }
        canceladorTermino = true;
        QVERIFY(trabajador->wait(60000));

        QCOMPARE(marcasFallidas, 0);
        QVERIFY2(vecesEnMano > 0, "no cancellation met the record in hand");
        // Nothing is left pending (compactions took some sent lines away)...
        for (const QByteArray &linea : archivos_prueba::lineas(ruta))
            QVERIFY2(linea.startsWith("E,"), linea.constData());
        // ...and each record was either sent once and marked, or cancelled and never sent.
        int enviados = 0;
        for (int i = 0; i < kRegistros; ++i) {
            QVERIFY(entregas.at(i) <= 1);
            enviados += entregas.at(i);
        }
        QCOMPARE(enviados + cancelados, kRegistros);
    }
};

NBSMS_TEST_MAIN(PruebaOutboxConcurrencia)
#include "prueba_outbox_concurrencia.moc"
