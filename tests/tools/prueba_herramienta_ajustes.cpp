// nbsms-ajustes: what it writes holds the gateway key in clear, so it is private as the
// program's own settings are.

#include "common/entorno_prueba.h"

#include <QProcess>
#include <QSettings>

class PruebaHerramientaAjustes : public QObject
{
    Q_OBJECT

private slots:
    void archivoPrivado_data()
    {
        QTest::addColumn<bool>("existia");
        QTest::newRow("nuevo") << false;
        QTest::newRow("abierto a todos") << true;
    }
    void archivoPrivado()
    {
#ifndef Q_OS_UNIX
        QSKIP("modes of Unix; on Windows the settings are a key of the user's own registry");
#else
        QFETCH(bool, existia);
        const QString archivo = QSettings().fileName();
        const QString carpeta = QFileInfo(archivo).absolutePath();
        QDir(carpeta).removeRecursively();
        const QFileDevice::Permissions abierto = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                 QFileDevice::ReadGroup | QFileDevice::ReadOther;
        if (existia) {
            ajustes::escribir(ajustes::Clave::IpGateway, QStringLiteral("10.0.0.1"));
            QVERIFY(QFile::setPermissions(archivo, abierto));
        }
        QProcess herramienta;
        herramienta.start(
            QStringLiteral(NBSMS_AJUSTES_EXE),
            {QStringLiteral("escribir"), QStringLiteral("str_key_gateway"), QStringLiteral("key=secreta")});
        QVERIFY(herramienta.waitForFinished(10000));
        QCOMPARE(herramienta.exitCode(), 0);
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::KeyGateway), QStringLiteral("key=secreta"));
        // Owner, group and others (the "user" bits only repeat the owner's for us).
        const QFileDevice::Permissions todos = QFileDevice::Permissions(0x7077);
        QCOMPARE(QFileInfo(archivo).permissions() & todos, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        if (!existia)
            QCOMPARE(QFileInfo(carpeta).permissions() & todos,
                     QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
#endif
    }
};

NBSMS_TEST_MAIN(PruebaHerramientaAjustes)
#include "prueba_herramienta_ajustes.moc"
