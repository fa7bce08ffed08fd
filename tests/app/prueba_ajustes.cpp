// The settings store: identity, data folder and the not-configured marker.

#include "common/entorno_prueba.h"

#include <QSettings>

class PruebaAjustes : public QObject
{
    Q_OBJECT

private slots:
    void identidadYGrupo()
    {
        ajustes::escribir(ajustes::kIpGateway, QStringLiteral("10.0.0.1"));
        QSettings s(QStringLiteral("Velquor S.A."), QStringLiteral("NBsms"));
        QCOMPARE(s.value(QStringLiteral("cfg_lista/str_ip_gateway")).toString(), QStringLiteral("10.0.0.1"));
        // The store is the user's own, inside the test's private config folder.
        QVERIFY(s.fileName().startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
        QCOMPARE(ajustes::leer(ajustes::kUsarTab, ajustes::kUsarTabDefecto).toBool(), false);
    }

    void carpetaDatos()
    {
        const QString nbsms = QDir::homePath() + QStringLiteral("/NBsms");
        QDir(nbsms).removeRecursively();
        // Without the folder, the home folder itself serves.
        QCOMPARE(ajustes::carpetaDatos().absolutePath(), QDir::homePath());
        QCOMPARE(ajustes::prepararCarpetaDatos().absolutePath(), nbsms);
        QVERIFY(QDir(nbsms).exists());
        QCOMPARE(ajustes::rutaPorDefecto(ajustes::kArchivoErrores), nbsms + QStringLiteral("/errores.csv"));
    }

    void marcaVacio_data()
    {
        QTest::addColumn<QString>("guardado");
        QTest::addColumn<QString>("esperado");
        QTest::addColumn<bool>("escribe");
        QTest::newRow("vacio") << "vacio"
                               << "/d/backup.csv" << true;
        QTest::newRow("ruta") << "/x/mio.csv"
                              << "/x/mio.csv" << false;
        QTest::newRow("mayusculas") << "Vacio"
                                    << "Vacio" << false;
        QTest::newRow("con espacio") << "vacio "
                                     << "vacio " << false;
        QTest::newRow("vacia") << ""
                               << "" << false;
    }

    void marcaVacio()
    {
        QFETCH(QString, guardado);
        QFETCH(QString, esperado);
        QFETCH(bool, escribe);
        ajustes::escribir(ajustes::kFolderBackups, QStringLiteral("sin tocar"));
        QCOMPARE(ajustes::resolverVacio(guardado, ajustes::kFolderBackups, QStringLiteral("/d/backup.csv")),
                 esperado);
        QCOMPARE(ajustes::leer(ajustes::kFolderBackups).toString(),
                 escribe ? QStringLiteral("/d/backup.csv") : QStringLiteral("sin tocar"));
    }

    // An unreadable value means the key's default, never what a conversion makes of it.
    void valoresNoValidos_data()
    {
        QTest::addColumn<QVariant>("guardado");
        QTest::addColumn<int>("mascara");
        QTest::addColumn<bool>("minimizado");
        QTest::newRow("validos") << QVariant(QStringLiteral("255")) << 255 << true;
        QTest::newRow("cero es una mascara") << QVariant(0) << 0 << false;
        QTest::newRow("texto") << QVariant(QStringLiteral("todas")) << ajustes::kCheckHorariosDefecto
                               << false;
        QTest::newRow("fraccion") << QVariant(QStringLiteral("3.5")) << ajustes::kCheckHorariosDefecto
                                  << false;
        QTest::newRow("negativo") << QVariant(-1) << ajustes::kCheckHorariosDefecto << false;
        QTest::newRow("mas de 24 bits") << QVariant(1 << 24) << ajustes::kCheckHorariosDefecto << false;
    }
    void valoresNoValidos()
    {
        QFETCH(QVariant, guardado);
        QFETCH(int, mascara);
        QFETCH(bool, minimizado);
        ajustes::escribir(ajustes::kCheckHorarios, guardado);
        QCOMPARE(ajustes::leerMascaraHorarios(), mascara);
        // The same value in a bool key: only true/false (or 1/0) read as such.
        ajustes::escribir(ajustes::kStartMinimized,
                          guardado.toString() == QLatin1String("255") ? QVariant(true) : guardado);
        QCOMPARE(ajustes::leerBool(ajustes::kStartMinimized, ajustes::kStartMinimizedDefecto), minimizado);
    }
};

NBSMS_TEST_MAIN(PruebaAjustes)
#include "prueba_ajustes.moc"
