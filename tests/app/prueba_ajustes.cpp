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
};

NBSMS_TEST_MAIN(PruebaAjustes)
#include "prueba_ajustes.moc"
