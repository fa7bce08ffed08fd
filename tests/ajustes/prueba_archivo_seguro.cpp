// Opening data files whatever stands at their path, and creating the program's temporaries.

#include "ajustes/archivo_seguro.h"
#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"

#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

Q_DECLARE_METATYPE(archivo_seguro::Apertura)

using archivos_prueba::escribir;
using archivos_prueba::leer;

namespace {
#ifdef Q_OS_WIN
const char kDispositivo[] = "//./NUL";
#else
const char kDispositivo[] = "/dev/null";
#endif
} // namespace

class PruebaArchivoSeguro : public QObject
{
    Q_OBJECT

private slots:
    // Only a regular file is opened, for reading or appending alike; a pipe is refused at once
    // (opened for reading it would wait for a writer), and a link only where links are followed.
    void abrir_data()
    {
        using A = archivo_seguro::Apertura;
        QTest::addColumn<QString>("que");
        QTest::addColumn<bool>("anexar");
        QTest::addColumn<bool>("seguirEnlaces");
        QTest::addColumn<A>("esperado");
        for (const bool anexar : {false, true}) {
            const char *modo = anexar ? " (anexar)" : " (leer)";
            QTest::addRow("archivo%s", modo) << "archivo" << anexar << false << A::Bien;
            QTest::addRow("carpeta%s", modo) << "carpeta" << anexar << false << A::NoEsArchivo;
            QTest::addRow("tuberia%s", modo) << "tuberia" << anexar << false << A::NoEsArchivo;
            QTest::addRow("dispositivo%s", modo) << kDispositivo << anexar << false << A::NoEsArchivo;
            QTest::addRow("enlace%s", modo) << "enlace" << anexar << false << A::Enlace;
            QTest::addRow("enlace seguido%s", modo) << "enlace" << anexar << true << A::Bien;
        }
    }
    void abrir()
    {
        QFETCH(QString, que);
        QFETCH(bool, anexar);
        QFETCH(bool, seguirEnlaces);
        QFETCH(archivo_seguro::Apertura, esperado);
        QTemporaryDir dir;
        const QString archivo = dir.filePath(QStringLiteral("archivo"));
        QVERIFY(escribir(archivo, "uno\n"));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("carpeta")));
#ifdef Q_OS_UNIX
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("tuberia"))).constData(), 0600), 0);
        QVERIFY(QFile::link(archivo, dir.filePath(QStringLiteral("enlace"))));
#else
        if (que == QLatin1String("tuberia"))
            QSKIP("Windows' named pipes are not files in a folder");
        if (que == QLatin1String("enlace"))
            QSKIP("a symbolic link on Windows needs a privilege the user has not");
#endif
        const QString ruta = que == QLatin1String(kDispositivo) ? que : dir.filePath(que);
        QFile f;
        const QIODevice::OpenMode modo =
            anexar ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::ReadOnly;
        QCOMPARE(archivo_seguro::abrir(f, ruta, modo,
                                       seguirEnlaces ? archivo_seguro::Enlaces::Seguir
                                                     : archivo_seguro::Enlaces::Rechazar),
                 esperado);
        QCOMPARE(f.isOpen(), esperado == archivo_seguro::Apertura::Bien);
        if (f.isOpen() && anexar) {
            QCOMPARE(f.write("dos\n"), qint64(4));
            f.close();
            QCOMPARE(leer(archivo), QByteArray("uno\ndos\n"));
        } else if (f.isOpen()) {
            QCOMPARE(f.readAll(), QByteArray("uno\n"));
        }
    }

    // A temporary is a new file: what stands at its name (a link planted there, a leftover) is
    // removed, never written through; a folder there makes it fail.
    void crearExclusivo_data()
    {
        QTest::addColumn<QString>("plantado");
        QTest::addColumn<bool>("creado");
        QTest::newRow("nada") << "" << true;
        QTest::newRow("resto de una caida") << "archivo" << true;
        QTest::newRow("enlace a un archivo ajeno") << "enlace" << true;
        QTest::newRow("enlace a ninguna parte") << "colgante" << true;
        QTest::newRow("carpeta") << "carpeta" << false;
    }
    void crearExclusivo()
    {
        QFETCH(QString, plantado);
        QFETCH(bool, creado);
        QTemporaryDir dir;
        QTemporaryDir fuera;
        const QString ajeno = fuera.filePath(QStringLiteral("ajeno.csv"));
        QVERIFY(escribir(ajeno, "de otro\n"));
        const QString temporal = dir.filePath(QStringLiteral("compactando.csv"));
        if (plantado == QLatin1String("archivo"))
            QVERIFY(escribir(temporal, "viejo\n"));
        else if (plantado == QLatin1String("enlace"))
            QVERIFY(QFile::link(ajeno, temporal));
        else if (plantado == QLatin1String("colgante"))
            QVERIFY(QFile::link(fuera.filePath(QStringLiteral("nuevo.csv")), temporal));
        else if (plantado == QLatin1String("carpeta"))
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("compactando.csv")));
        QFile f;
        QCOMPARE(archivo_seguro::crearExclusivo(f, temporal), creado);
        if (creado) {
            QCOMPARE(f.write("nuevo\n"), qint64(6));
            f.close();
            QVERIFY(!archivo_seguro::esEnlace(temporal));
            QCOMPARE(leer(temporal), QByteArray("nuevo\n"));
        }
        QCOMPARE(leer(ajeno), QByteArray("de otro\n"));
        QVERIFY(!QFile::exists(fuera.filePath(QStringLiteral("nuevo.csv"))));
    }
};

NBSMS_TEST_MAIN(PruebaArchivoSeguro)
#include "prueba_archivo_seguro.moc"
