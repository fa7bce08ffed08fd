// The real program is killed in the middle of a large watched list and started again: every row
// ends up exactly once in the outbox or the errors file, in order, none twice and none lost, and
// the list goes to the backup path.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include "app/instancia_unica.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
using archivos_prueba::leer;

constexpr int kFilas = 300000;
// A row in ten has no number and goes to the errors file.
bool filaSinNumero(int k)
{
    return k % 10 == 7;
}

qint64 tamano(const QString &ruta)
{
    return QFileInfo(ruta).size();
}

} // namespace

class PruebaCorteLista : public QObject
{
    Q_OBJECT

    QTemporaryDir carpeta;
    ProcesoHijo programa;

    QString ruta(const char *nombre) const { return carpeta.filePath(QLatin1String(nombre)); }
    QString enDatos(const char *nombre) const
    {
        return ajustes::carpetaUsuario().path() + QLatin1Char('/') + QLatin1String(ajustes::kCarpetaDatos) +
               QLatin1Char('/') + QLatin1String(nombre);
    }

    void arrancar(const char *registro)
    {
        QProcessEnvironment entorno = QProcessEnvironment::systemEnvironment();
        entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        entorno.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        programa.setProcessEnvironment(entorno);
        programa.setProcessChannelMode(QProcess::MergedChannels);
        programa.setStandardOutputFile(ruta(registro));
        programa.setProgram(qEnvironmentVariable("NBSMS_BIN_DIR") + QStringLiteral("/nbsms"));
        programa.start();
        QVERIFY2(programa.waitForStarted(10000), qPrintable(programa.errorString()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(carpeta.isValid());
        QVERIFY2(!qEnvironmentVariableIsEmpty("NBSMS_BIN_DIR"), "NBSMS_BIN_DIR names the program's folder");
        // No gateway: the worker stays idle and only the list run touches the outbox.
        using namespace ajustes;
        escribir(Clave::CheckVerifPer, true);
        escribir(Clave::ListaNombreFila, ruta("lista.csv"));
        escribir(Clave::TieneHeader, true);
        escribir(Clave::ColumnaCelular, QStringLiteral("celular"));
        escribir(Clave::ColumnaFecha, QString::fromLatin1(kInmediato));
        escribir(Clave::FormatoSms, QStringLiteral("Hola [nombre], su turno es el [dia]"));
        escribir(Clave::FolderErrores, ruta("errores.csv"));
        escribir(Clave::FolderBackups, ruta("backup.csv"));
        escribir(Clave::FolderInbox, ruta("recibidos.csv"));
    }

    void matarEnMedioDeUnaListaVigilada()
    {
        QByteArray lista("nombre,celular,dia\n");
        lista.reserve(kFilas * 32);
        for (int k = 0; k < kFilas; ++k) {
            lista += "Nombre " + QByteArray::number(k) + ',' +
                     (filaSinNumero(k) ? QByteArray() : QByteArray::number(1140000000 + k)) + ",lunes\n";
        }
        {
            QFile f(ruta("lista.tmp"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(lista), qint64(lista.size()));
        }
        QVERIFY(QFile::rename(ruta("lista.tmp"), ruta("lista.csv")));

        const QString salidas = enDatos(ajustes::kArchivoSalidas);
        const QString diario = enDatos(ajustes::kArchivoCorrida);
        arrancar("nbsms-1.log");
        QVERIFY(QTest::qWaitFor([&] { return tamano(salidas) > (1 << 20); }, 60000));
        programa.kill();
        QVERIFY(programa.waitForFinished(10000));
        // Cut in the middle: the list is still there, part of it in the outbox, the journal kept.
        QVERIFY(QFile::exists(ruta("lista.csv")));
        QVERIFY(QFile::exists(diario));
        const int antes = leer(salidas).count('\n');
        QVERIFY2(antes < kFilas * 9 / 10, qPrintable(QString::number(antes)));

        arrancar("nbsms-2.log");
        QVERIFY(QTest::qWaitFor([&] { return !QFile::exists(ruta("lista.csv")) && !QFile::exists(diario); },
                                60000));
        QCOMPARE(leer(ruta("backup.csv")), lista);

        const QList<QByteArray> registros = leer(salidas).split('\n');
        QVERIFY(!registros.isEmpty());
        const QByteArray fecha = registros.first().split(',').value(2);
        QCOMPARE(fecha.size(), 10);
        QByteArray esperadas;
        QByteArray erroresEsperados;
        for (int k = 0; k < kFilas; ++k) {
            const QByteArray nombre = "Nombre " + QByteArray::number(k);
            if (filaSinNumero(k))
                erroresEsperados += nombre + ",,lunes\n";
            else
                esperadas += "e," + QByteArray::number(1140000000 + k) + ',' + fecha + ",Hola " + nombre +
                             ", su turno es el lunes\n";
        }
        esperadas = archivos_prueba::conFinDeLinea(esperadas);
        erroresEsperados = archivos_prueba::conFinDeLinea(erroresEsperados);
        const QByteArray escritas = leer(salidas);
        QCOMPARE(escritas.count('\n'), esperadas.count('\n'));
        QVERIFY2(escritas == esperadas, "the outbox differs from one record per good row, in order");
        QVERIFY2(leer(ruta("errores.csv")) == erroresEsperados,
                 "the errors file differs from one line per bad row, in order");
        qInfo("records before the kill: %d", antes);
    }

    void cleanupTestCase() { programa.matar(); }
};

NBSMS_TEST_MAIN(PruebaCorteLista)

#include "prueba_corte_lista.moc"
