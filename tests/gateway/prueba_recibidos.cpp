// The received-messages file: where it is, what each line holds, and what happens when it
// cannot be written.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/montaje.h"
#include "gateway/recibidos.h"
#include "gateway/registro_sms.h"

#include <QtTest>

class PruebaRecibidos : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rutaPorDefecto();
    void rutaGuardada();
    void agregaLineasEnOrden();
    void comillasYUtf8();
    void carpetaInexistente();
    void discoLleno();
    void rutaLeidaEnCadaMensaje();

private:
    static registro_sms registro(const QString &numero, const QString &mensaje);
    static QByteArray leer(const QString &ruta);
    QTemporaryDir carpeta;
};

registro_sms PruebaRecibidos::registro(const QString &numero, const QString &mensaje)
{
    registro_sms r;
    r.numero = numero;
    r.fecha = QStringLiteral("07/12/2026");
    r.mensaje = mensaje;
    return r;
}

QByteArray PruebaRecibidos::leer(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<no existe>");
    return f.readAll();
}

void PruebaRecibidos::init()
{
    QSettings().clear();
}

void PruebaRecibidos::rutaPorDefecto()
{
    // Without the data folder the home folder serves; with it, the file goes inside it.
    QCOMPARE(recibidos::rutaArchivo(),
             ajustes::carpetaUsuario().absoluteFilePath(QStringLiteral("sms_recibidos.csv")));
    QVERIFY(ajustes::carpetaUsuario().mkpath(QStringLiteral("NBsms")));
    QCOMPARE(recibidos::rutaArchivo(),
             ajustes::carpetaUsuario().absoluteFilePath(QStringLiteral("NBsms/sms_recibidos.csv")));
    // The never-configured marker is no file name.
    ajustes::escribir(ajustes::Clave::FolderInbox, QStringLiteral("vacio"));
    QCOMPARE(recibidos::rutaArchivo(),
             ajustes::carpetaUsuario().absoluteFilePath(QStringLiteral("NBsms/sms_recibidos.csv")));

    QVERIFY(recibidos::guardar(registro(QStringLiteral("1"), QStringLiteral("a"))));
    QCOMPARE(leer(ajustes::carpetaUsuario().absoluteFilePath(QStringLiteral("NBsms/sms_recibidos.csv"))),
             archivos_prueba::conFinDeLinea("\"07/12/2026\",\"1\",\"a\"\n"));
    QVERIFY(QDir(ajustes::carpetaUsuario().absoluteFilePath(QStringLiteral("NBsms"))).removeRecursively());
}

void PruebaRecibidos::rutaGuardada()
{
    const QString ruta = carpeta.filePath(QStringLiteral("entrada.csv"));
    ajustes::escribir(ajustes::Clave::FolderInbox, ruta);
    QCOMPARE(recibidos::rutaArchivo(), ruta);
}

void PruebaRecibidos::agregaLineasEnOrden()
{
    const QString ruta = carpeta.filePath(QStringLiteral("orden.csv"));
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("previo\n");
    }
    ajustes::escribir(ajustes::Clave::FolderInbox, ruta);
    QVERIFY(recibidos::guardar(registro(QStringLiteral("123"), QStringLiteral("Hola, que tal"))));
    QVERIFY(recibidos::guardar(registro(QStringLiteral("456"), QStringLiteral("Chau"))));
    QCOMPARE(leer(ruta),
             "previo\n" + archivos_prueba::conFinDeLinea("\"07/12/2026\",\"123\",\"Hola, que tal\"\n"
                                                         "\"07/12/2026\",\"456\",\"Chau\"\n"));
}

void PruebaRecibidos::comillasYUtf8()
{
    const QString ruta = carpeta.filePath(QStringLiteral("comillas.csv"));
    QVERIFY(recibidos::guardar(registro(QStringLiteral("1"), QStringLiteral("dijo \"ma\u00f1ana\" \u20ac")),
                               ruta));
    QCOMPARE(leer(ruta), archivos_prueba::conFinDeLinea("\"07/12/2026\",\"1\",\"dijo \"\"ma\xc3\xb1"
                                                        "ana\"\" \xe2\x82\xac\"\n"));
}

void PruebaRecibidos::carpetaInexistente()
{
    const QString ruta = carpeta.filePath(QStringLiteral("no/existe/sms.csv"));
    ajustes::escribir(ajustes::Clave::FolderInbox, ruta);
    QVERIFY(!recibidos::guardar(registro(QStringLiteral("1"), QStringLiteral("a"))));
    QVERIFY(!QFileInfo::exists(carpeta.filePath(QStringLiteral("no"))));
}

// A full disk is a failure, and leaves no partial line for the next message to glue onto.
void PruebaRecibidos::discoLleno()
{
    MontajeTmpfs disco(carpeta.filePath(QStringLiteral("lleno")));
    if (!disco.montado())
        QSKIP("a full disk needs root to mount a small tmpfs");
    const QString ruta = disco.ruta(QStringLiteral("sms.csv"));
    // A few bytes short of a whole page: the start of the next line still fits.
    const QByteArray previo = QByteArray(4089, 'p') + '\n';
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(previo), qint64(previo.size()));
    }
    disco.llenar();
    QVERIFY(!recibidos::guardar(registro(QStringLiteral("1"), QStringLiteral("hola")), ruta));
    QCOMPARE(leer(ruta), previo);
}

void PruebaRecibidos::rutaLeidaEnCadaMensaje()
{
    const QString primera = carpeta.filePath(QStringLiteral("uno.csv"));
    const QString segunda = carpeta.filePath(QStringLiteral("dos.csv"));
    ajustes::escribir(ajustes::Clave::FolderInbox, primera);
    QVERIFY(recibidos::guardar(registro(QStringLiteral("1"), QStringLiteral("a"))));
    ajustes::escribir(ajustes::Clave::FolderInbox, segunda);
    QVERIFY(recibidos::guardar(registro(QStringLiteral("2"), QStringLiteral("b"))));
    QCOMPARE(leer(primera), archivos_prueba::conFinDeLinea("\"07/12/2026\",\"1\",\"a\"\n"));
    QCOMPARE(leer(segunda), archivos_prueba::conFinDeLinea("\"07/12/2026\",\"2\",\"b\"\n"));
}

NBSMS_TEST_MAIN(PruebaRecibidos)
#include "prueba_recibidos.moc"
