// A process compacting a large outbox is killed at random moments: the outbox left behind is
// always complete, either as it was or compacted, with every pending record in its order.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"

#include "lista/outbox.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

class PruebaOutboxCaida : public QObject
{
    Q_OBJECT

private slots:
    void matarDuranteLaCompactacion()
    {
        QTemporaryDir dir;
        const QString ruta = dir.filePath(QStringLiteral("salidas.csv"));
        const QString temporal = dir.filePath(QStringLiteral("compactando.csv"));

        // 60,000 lines, one in three pending, with messages long enough to take a while to copy.
        QByteArray original;
        QByteArray compactado;
        for (int i = 0; i < 60000; ++i) {
            const QByteArray linea = (i % 3 == 0 ? "e," : "E,") + QByteArray::number(i) +
                                     ",01/01/2020,mensaje numero " + QByteArray::number(i) +
                                     ", con comas y acentos: \xc3\xb1\xc3\xa1\xc3\xa9 " + QByteArray(40, 'x');
            original += linea + '\n';
            if (i % 3 == 0)
                compactado += linea + '\n';
        }

        QRandomGenerator azar(20260615);
        int cortesAntes = 0;
        int cortesDespues = 0;
        for (int ronda = 0; ronda < 25; ++ronda) {
            {
                QFile f(ruta);
                QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
                QCOMPARE(f.write(original), qint64(original.size()));
            }
            QProcess hijo;
            hijo.start(QStringLiteral(COMPACTAR_HIJO), {ruta, temporal});
            QVERIFY(hijo.waitForStarted());
            QVERIFY(hijo.waitForReadyRead(10000));
            QVERIFY(hijo.readLine().startsWith("listo"));
            // The delay only picks the moment of the kill: somewhere within the first compactions.
            QThread::usleep(azar.bounded(12000));
            hijo.kill(); // SIGKILL; on Windows TerminateProcess
            QVERIFY(hijo.waitForFinished(10000));
            QCOMPARE(hijo.exitStatus(), QProcess::CrashExit);

            QFile f(ruta);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray ahora = f.readAll();
            if (ahora == original)
                ++cortesAntes;
            else if (ahora == archivos_prueba::conFinDeLinea(compactado))
                ++cortesDespues;
            else
                QFAIL(qPrintable(QStringLiteral("round %1: outbox of %2 bytes is neither whole nor compacted")
                                     .arg(ronda)
                                     .arg(ahora.size())));
        }
        // A kill may leave the save's temporary beside the outbox; the next compaction takes
        // it away, so none piles up for the operator to find.
        QCOMPARE(outbox::compactar(ruta, temporal), outbox::ResultadoCompactacion::Hecha);
        const QStringList archivos = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(archivos == QStringList{QStringLiteral("salidas.csv")}, qPrintable(archivos.join(' ')));
        qInfo("kills before the first replace: %d, after it: %d", cortesAntes, cortesDespues);
    }
};

NBSMS_TEST_MAIN(PruebaOutboxCaida)
#include "prueba_outbox_caida.moc"
