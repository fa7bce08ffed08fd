// Outbox and errors-file writers, and the outbox scan, mark, counts and compaction, on real
// files in a private folder: exact bytes in, exact bytes out.

#include "ajustes/archivo_seguro.h"
#include "app/mainwindow.h"
#include "common/vencida.h"
#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/montaje.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#ifdef Q_OS_LINUX
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {
using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

QString avisoApertura(const QString &ruta)
{
    return QStringLiteral(" Could not open the file for read/write ") + ruta;
}

#ifdef Q_OS_LINUX
// Lowers the soft limit of open files so that exactly one more can be opened, until destroyed.
class LimiteDescriptores
{
public:
    explicit LimiteDescriptores(bool activo)
    {
        if (!activo)
            return;
        // The two lowest free descriptors: with the limit at the second, only the first is free.
        const int primero = ::dup(0);
        const int segundo = ::dup(0);
        ::close(primero);
        ::close(segundo);
        getrlimit(RLIMIT_NOFILE, &anterior);
        rlimit nuevo = anterior;
        nuevo.rlim_cur = rlim_t(segundo);
        activado = primero >= 0 && segundo > primero && setrlimit(RLIMIT_NOFILE, &nuevo) == 0;
    }
    ~LimiteDescriptores()
    {
        if (activado)
            setrlimit(RLIMIT_NOFILE, &anterior);
    }

private:
    rlimit anterior{};
    bool activado = false;
};
#else
struct LimiteDescriptores
{
    explicit LimiteDescriptores(bool) {}
};
#endif

} // namespace

class PruebaOutbox : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QString salidas() const { return dir.filePath(QStringLiteral("salidas.csv")); }

private slots:
    void init()
    {
        QFile::remove(salidas());
        CuadroMensaje::limpiar();
    }

    void lineaRegistro_data()
    {
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QString>("fecha");
        QTest::addColumn<QString>("mensaje");
        QTest::addColumn<QString>("linea");
        QTest::newRow("comas en el mensaje") << "123"
                                             << "05/03/2016"
                                             << "a,b"
                                             << "e,123,05/03/2016,a,b";
        QTest::newRow("dos lineas") << "123"
                                    << "05/03/2016"
                                    << "Hola Ana\nSu turno es el lunes"
                                    << "e,123,05/03/2016,Hola Ana&enter&Su turno es el lunes";
        QTest::newRow("tres lineas") << "1"
                                     << "07/06/2016"
                                     << "a\nb\nc"
                                     << "e,1,07/06/2016,a&enter&b&enter&c";
        QTest::newRow("mensaje vacio") << "123"
                                       << "07/06/2016"
                                       << ""
                                       << "e,123,07/06/2016,";
        QTest::newRow("salto al final") << "9"
                                        << "01/01/2020"
                                        << "fin\n"
                                        << "e,9,01/01/2020,fin&enter&";
    }
    void lineaRegistro()
    {
        QFETCH(QString, numero);
        QFETCH(QString, fecha);
        QFETCH(QString, mensaje);
        QFETCH(QString, linea);
        QCOMPARE(archivos_datos::lineaRegistroOutbox(numero, fecha, mensaje), linea);
    }

    void agregarRegistroEscribeUtf8YAnexa()
    {
        escribir(salidas(), "E,1,01/01/2016,viejo\n");
        QVERIFY(archivos_datos::agregarRegistroOutbox(salidas(), QStringLiteral("123"),
                                                      QStringLiteral("07/06/2016"),
                                                      QStringLiteral("Ñandú €\nadiós")));
        QVERIFY(archivos_datos::agregarRegistroOutbox(salidas(), QStringLiteral("5"),
                                                      QStringLiteral("08/06/2016"), QStringLiteral("x,y")));
        QCOMPARE(leer(salidas()),
                 "E,1,01/01/2016,viejo\n" + conFinDeLinea("e,123,07/06/2016,\xc3\x91"
                                                          "and\xc3\xba \xe2\x82\xac&enter&adi\xc3\xb3s\n"
                                                          "e,5,08/06/2016,x,y\n"));
    }

    void agregarFallaSinCarpeta()
    {
        const QString ruta = dir.filePath(QStringLiteral("no-existe/salidas.csv"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(ruta)));
        QVERIFY(!archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("1"), QStringLiteral("d"),
                                                       QStringLiteral("m")));
        QVERIFY(!QFile::exists(ruta));
    }

    void agregarLineaErroresTalCual()
    {
        const QString errores = dir.filePath(QStringLiteral("errores.csv"));
        QFile::remove(errores);
        QVERIFY(archivos_datos::agregarLineaErrores(errores, QStringLiteral("\"Ana\",\"\",\"hola\"\t;")));
        QVERIFY(archivos_datos::agregarLineaErrores(errores, QStringLiteral("José,,x")));
        QCOMPARE(leer(errores), conFinDeLinea("\"Ana\",\"\",\"hola\"\t;\nJos\xc3\xa9,,x\n"));

        const QString mala = dir.filePath(QStringLiteral("no-existe/errores.csv"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(mala)));
        QVERIFY(!archivos_datos::agregarLineaErrores(mala, QStringLiteral("x")));
    }

    void buscarPendiente_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<int>("faltaColumna"); // debug lines expected
        QTest::addColumn<int>("numeroMalo");   // debug lines expected
        QTest::addColumn<QByteArray>("linea"); // empty: none found
        QTest::addColumn<QString>("mensaje");

        QTest::newRow("vacio") << QByteArray() << 0 << 0 << QByteArray() << QString();
        QTest::newRow("el primero") << QByteArray("e,1,01/01/2020,uno\ne,2,01/01/2020,dos\n") << 0 << 0
                                    << QByteArray("e,1,01/01/2020,uno") << "uno";
        QTest::newRow("enviado, ex, sin numero, espacio, falta columna, futura")
            << QByteArray("E,1,01/01/2020,a\n"
                          "ex,2,01/01/2020,b\n"
                          "e,,01/01/2020,c\n"
                          " e,3,01/01/2020,d\n"
                          "e,4,01/01/2020\n"
                          "e,5,01/01/2099,f\n"
                          "\n"
                          "e,6,--inmediato--,g\n")
            << 2 << 0 << QByteArray("e,6,--inmediato--,g") << "g";
        QTest::newRow("numero con & o =") << QByteArray("e,1&x=2,01/01/2020,a\ne,3=4,,b\ne,7,,c\n") << 0 << 2
                                          << QByteArray("e,7,,c") << "c";
        QTest::newRow("numero con NUL o CR")
            << QByteArray("e,1") + '\0' + "11,01/01/2020,a\ne,2\r3,,b\ne,7,,c\n"
            << 0 << 2 << QByteArray("e,7,,c") << "c";
        QTest::newRow("numero malo pero futuro: sin aviso")
            << QByteArray("e,1&x,01/01/2099,a\n") << 0 << 0 << QByteArray() << QString();
        QTest::newRow("comas del mensaje enteras") << QByteArray("e,9,05/03/2016,a,b,,c\n") << 0 << 0
                                                   << QByteArray("e,9,05/03/2016,a,b,,c") << "a,b,,c";
        QTest::newRow("fin de linea CRLF")
            << QByteArray("E,1,,x\r\ne,2,,hola\r\n") << 0 << 0 << QByteArray("e,2,,hola") << "hola";
        QTest::newRow("ultima linea sin salto")
            << QByteArray("E,1,,x\ne,2,,fin") << 0 << 0 << QByteArray("e,2,,fin") << "fin";
        QTest::newRow("utf8") << QByteArray("e,2,,\xc3\xb1"
                                            "and\xc3\xba \xe2\x82\xac\n")
                              << 0 << 0
                              << QByteArray("e,2,,\xc3\xb1"
                                            "and\xc3\xba \xe2\x82\xac")
                              << QString::fromUtf8("ñandú €");
        QTest::newRow("solo futuros") << QByteArray("e,1,02/01/2020,a\ne,2,2/1/2020,b\ne,3,02012020,c\n") << 0
                                      << 0 << QByteArray() << QString();
        QTest::newRow("d/M/yyyy vencida") << QByteArray("e,1,2/1/2020,a\ne,2,1/1/2020,b\n") << 0 << 0
                                          << QByteArray("e,2,1/1/2020,b") << "b";
    }
    void buscarPendiente()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(int, faltaColumna);
        QFETCH(int, numeroMalo);
        QFETCH(QByteArray, linea);
        QFETCH(QString, mensaje);
        escribir(salidas(), contenido);
        for (int i = 0; i < faltaColumna; ++i)
            QTest::ignoreMessage(QtDebugMsg, "outbox - falta columna...");
        for (int i = 0; i < numeroMalo; ++i)
            QTest::ignoreMessage(
                QtDebugMsg, QRegularExpression(QStringLiteral("^outbox - numero no valido, no se envia: ")));

        outbox::Pendiente p;
        const auto r = outbox::buscarPendiente(salidas(), vencidaEl(QDate(2020, 1, 1)), p);
        if (linea.isEmpty()) {
            QCOMPARE(r, outbox::ResultadoBusqueda::NoHay);
            return;
        }
        QCOMPARE(r, outbox::ResultadoBusqueda::Encontrado);
        QCOMPARE(p.linea, linea);
        QCOMPARE(p.mensaje, mensaje);
        QCOMPARE(contenido.mid(int(p.posicion), linea.size()), linea);
        QVERIFY(p.posicion == 0 || contenido.at(int(p.posicion) - 1) == '\n');
        const QList<QByteArray> campos = linea.split(',');
        QCOMPARE(p.numero, QString::fromUtf8(campos.at(1)));
        QCOMPARE(p.fecha, QString::fromUtf8(campos.at(2)));
        QCOMPARE(leer(salidas()), contenido); // a scan never writes
    }

    void buscarPendienteSinArchivoLoCrea()
    {
        outbox::Pendiente p;
        QCOMPARE(outbox::buscarPendiente(salidas(), vencidaEl(QDate(2020, 1, 1)), p),
                 outbox::ResultadoBusqueda::NoHay);
        QVERIFY(QFile::exists(salidas()));
        const QString mala = dir.filePath(QStringLiteral("no-existe/salidas.csv"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(mala)));
        QCOMPARE(outbox::buscarPendiente(mala, vencidaEl(QDate(2020, 1, 1)), p),
                 outbox::ResultadoBusqueda::NoAbre);
    }

    void lineaLarga()
    {
        // Lines longer than the read block still come whole, with their offsets.
        const QByteArray largo(200000, 'x');
        const QByteArray contenido = "E,1,," + largo + "\ne,2,," + largo + "\n";
        escribir(salidas(), contenido);
        outbox::Pendiente p;
        QCOMPARE(outbox::buscarPendiente(salidas(), vencidaEl(QDate(2020, 1, 1)), p),
                 outbox::ResultadoBusqueda::Encontrado);
        QCOMPARE(p.posicion, qint64(largo.size() + 6));
        QCOMPARE(p.mensaje.size(), largo.size());
        int e = -1;
        QVERIFY(outbox::contarPorEstado(salidas(), 'e', e));
        QCOMPARE(e, 1);
    }

    void marcar_data()
    {
        QTest::addColumn<QByteArray>("antes"); // file when the record was handed over
        QTest::addColumn<QByteArray>("ahora"); // file when the mark is written
        QTest::addColumn<QByteArray>("entregada");
        QTest::addColumn<int>("resultado");
        QTest::addColumn<QByteArray>("despues");

        const QByteArray base("E,1,,a\ne,2,,b\ne,3,,c\n");
        QTest::newRow("sin cambios") << base << base << QByteArray("e,2,,b")
                                     << int(outbox::ResultadoMarca::Marcada)
                                     << QByteArray("E,1,,a\nE,2,,b\ne,3,,c\n");
        QTest::newRow("compactado entre medio")
            << base << QByteArray("e,2,,b\ne,3,,c\n") << QByteArray("e,2,,b")
            << int(outbox::ResultadoMarca::Marcada) << QByteArray("E,2,,b\ne,3,,c\n");
        QTest::newRow("otro registro en la posicion")
            << QByteArray("E,1,,a\ne,2,,b\ne,3,,c\n") << QByteArray("e,3,,c\ne,4,,d\ne,2,,b\n")
            << QByteArray("e,2,,b") << int(outbox::ResultadoMarca::Marcada)
            << QByteArray("e,3,,c\ne,4,,d\nE,2,,b\n");
        QTest::newRow("la posicion cae dentro de una linea igual al final")
            << QByteArray("E,9,,z\ne,2,,b\n") << QByteArray("xxxxxxee,2,,b\ne,2,,b\n") << QByteArray("e,2,,b")
            << int(outbox::ResultadoMarca::Marcada) << QByteArray("xxxxxxee,2,,b\nE,2,,b\n");
        QTest::newRow("prefijo igual, linea distinta")
            << QByteArray("E,1,,a\ne,2,,b\n") << QByteArray("E,1,,a\ne,2,,bb\ne,2,,b\n")
            << QByteArray("e,2,,b") << int(outbox::ResultadoMarca::Marcada)
            << QByteArray("E,1,,a\ne,2,,bb\nE,2,,b\n");
        QTest::newRow("ya no esta") << base << QByteArray("e,3,,c\n") << QByteArray("e,2,,b")
                                    << int(outbox::ResultadoMarca::NoEncontrada) << QByteArray("e,3,,c\n");
        QTest::newRow("ya marcado no se cuenta dos veces")
            << base << QByteArray("E,1,,a\nE,2,,b\ne,3,,c\n") << QByteArray("e,2,,b")
            << int(outbox::ResultadoMarca::NoEncontrada) << QByteArray("E,1,,a\nE,2,,b\ne,3,,c\n");
        QTest::newRow("CRLF") << QByteArray("E,1,,a\r\ne,2,,b\r\n") << QByteArray("E,1,,a\r\ne,2,,b\r\n")
                              << QByteArray("e,2,,b") << int(outbox::ResultadoMarca::Marcada)
                              << QByteArray("E,1,,a\r\nE,2,,b\r\n");
        QTest::newRow("sin salto final")
            << QByteArray("E,1,,a\ne,2,,b") << QByteArray("E,1,,a\ne,2,,b") << QByteArray("e,2,,b")
            << int(outbox::ResultadoMarca::Marcada) << QByteArray("E,1,,a\nE,2,,b");
        QTest::newRow("archivo acortado")
            << base << QByteArray("E,1,,a\n") << QByteArray("e,2,,b")
            << int(outbox::ResultadoMarca::NoEncontrada) << QByteArray("E,1,,a\n");
    }
    void marcar()
    {
        QFETCH(QByteArray, antes);
        QFETCH(QByteArray, ahora);
        QFETCH(QByteArray, entregada);
        QFETCH(int, resultado);
        QFETCH(QByteArray, despues);
        escribir(salidas(), antes);
        const qint64 posicion = antes.indexOf("\n" + entregada) + 1;
        QVERIFY(posicion > 0);
        escribir(salidas(), ahora);
        QCOMPARE(int(outbox::marcarEnviado(salidas(), posicion, entregada)), resultado);
        QCOMPARE(leer(salidas()), despues);
    }

    void marcarSinArchivo()
    {
        const QString mala = dir.filePath(QStringLiteral("no-existe/salidas.csv"));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(mala)));
        QCOMPARE(outbox::marcarEnviado(mala, 0, "e,1,,a"), outbox::ResultadoMarca::NoAbre);
    }

    void contar_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<int>("pendientes");
        QTest::addColumn<int>("enviados");
        QTest::addColumn<int>("lineas");
        QTest::newRow("vacio") << QByteArray() << 0 << 0 << 0;
        QTest::newRow("mezcla") << QByteArray("e,1,,a\nE,2,,b\nex\n\n e,3\nEx\nx\ne") << 3 << 2 << 8;
        QTest::newRow("CRLF y linea vacia final") << QByteArray("e\r\nE\r\n\r\n") << 1 << 1 << 3;
        QTest::newRow("solo salto") << QByteArray("\n") << 0 << 0 << 1;
    }
    void contar()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(int, pendientes);
        QFETCH(int, enviados);
        QFETCH(int, lineas);
        escribir(salidas(), contenido);
        int n = -1;
        QVERIFY(outbox::contarPorEstado(salidas(), 'e', n));
        QCOMPARE(n, pendientes);
        QVERIFY(outbox::contarPorEstado(salidas(), 'E', n));
        QCOMPARE(n, enviados);
        QVERIFY(outbox::contarLineas(salidas(), n));
        QCOMPARE(n, lineas);
    }

    void contarSinArchivo()
    {
        int n = 7;
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(salidas())));
        QVERIFY(!outbox::contarPorEstado(salidas(), 'e', n));
        QCOMPARE(n, 0);
        QVERIFY(!QFile::exists(salidas()));
    }

    void compactar_data()
    {
        QTest::addColumn<QByteArray>("contenido");
        QTest::addColumn<QByteArray>("resultado");
        QByteArray muchos;
        for (int i = 0; i < 1200; ++i)
            muchos += "E," + QByteArray::number(i) + ",01/01/2016,enviado\n";
        muchos.insert(0, "e,a,,1\n");
        muchos.insert(muchos.indexOf("E,600,"), "e,b,,2\n");
        muchos += "e,c,,3";
        QTest::newRow("1200 enviados y 3 pendientes") << muchos << QByteArray("e,a,,1\ne,b,,2\ne,c,,3\n");
        QTest::newRow("ningun pendiente") << QByteArray("E,1,,a\nE,2,,b\n") << QByteArray();
        QTest::newRow("espacio, vacia y otras")
            << QByteArray(" e,1,,a\n\nx\ne,2,,b\nEx\nex,3\n") << QByteArray("e,2,,b\nex,3\n");
        QTest::newRow("CRLF") << QByteArray("e,1,,a\r\nE,2,,b\r\ne,3,,c\r\n")
                              << QByteArray("e,1,,a\ne,3,,c\n");
        QTest::newRow("vacio") << QByteArray() << QByteArray();
    }
    void compactar()
    {
        QFETCH(QByteArray, contenido);
        QFETCH(QByteArray, resultado);
        QTemporaryDir datos;
        const QString ruta = datos.filePath(QStringLiteral("salidas.csv"));
        const QString temporal = datos.filePath(QStringLiteral("compactando.csv"));
        escribir(ruta, contenido);
        escribir(temporal, "e,viejo,,no debe aparecer\n");
        // The operator's own copies look like a save's temporaries: they stay.
        const QStringList copias{QStringLiteral("salidas.csv.050316"), QStringLiteral("salidas.csv.backup")};
        for (const QString &copia : copias)
            escribir(datos.filePath(copia), "copia");
        QCOMPARE(outbox::compactar(ruta, temporal), outbox::ResultadoCompactacion::Hecha);
        QCOMPARE(leer(ruta), conFinDeLinea(resultado));
        QCOMPARE(QDir(datos.path()).entryList(QDir::Files), QStringList{"salidas.csv"} + copias);
        for (const QString &copia : copias)
            QCOMPARE(leer(datos.filePath(copia)), QByteArray("copia"));
    }

    // A full disk in the middle of a record: the record is appended whole or not at all, the call
    // says so, and the next record starts on its own line.
    void discoLleno_data()
    {
        QTest::addColumn<QString>("escritor");
        QTest::newRow("registro suelto") << "registro";
        QTest::newRow("anexador de corrida") << "anexador";
        QTest::newRow("lote de la corrida") << "lote";
        QTest::newRow("archivo de errores") << "errores";
    }
    void discoLleno()
    {
#ifndef Q_OS_LINUX
        QSKIP("needs a small tmpfs");
#else
        QFETCH(QString, escritor);
        QTemporaryDir punto;
        MontajeTmpfs disco(punto.filePath(QStringLiteral("lleno")));
        if (!disco.montado())
            QSKIP("needs root to mount a small tmpfs");

        // The file takes part of a page; the filler takes every other page, so a record longer
        // than the rest of that page can only be written in part.
        const QString ruta = disco.ruta(QStringLiteral("datos.csv"));
        const QByteArray previo = "e,1,01/01/2030,previo\n" + QByteArray(4000, 'x') + '\n';
        escribir(ruta, previo);
        disco.llenar();
        const QString mensaje(500, QLatin1Char('m'));
        QTest::ignoreMessage(QtDebugMsg, qPrintable(avisoApertura(ruta)));
        bool escrito = true;
        if (escritor == QLatin1String("registro")) {
            escrito = archivos_datos::agregarRegistroOutbox(ruta, QStringLiteral("600822"),
                                                            QStringLiteral("07/12/2026"), mensaje);
        } else if (escritor == QLatin1String("anexador")) {
            archivos_datos::AnexadorOutbox anexador(ruta);
            escrito = anexador.agregar(QStringLiteral("600822"), QStringLiteral("07/12/2026"), mensaje);
        } else if (escritor == QLatin1String("lote")) {
            // Two records that fit, one that does not: none of the batch is left behind.
            archivos_datos::AnexadorOutbox anexador(ruta);
            anexador.acumular(QStringLiteral("600821"), QStringLiteral("07/12/2026"), QStringLiteral("a"));
            anexador.acumular(QStringLiteral("600823"), QStringLiteral("07/12/2026"), QStringLiteral("b"));
            anexador.acumular(QStringLiteral("600822"), QStringLiteral("07/12/2026"), mensaje);
            escrito = anexador.vaciar();
            QCOMPARE(anexador.acumulado(), 0);
        } else {
            escrito = archivos_datos::agregarLineaErrores(ruta, mensaje);
        }
        QVERIFY(!escrito);
        QCOMPARE(leer(ruta), previo);
#endif
    }

    // The member the window calls: its boxes, and the outbox untouched on failure.
    void compactarOutboxVentana_data()
    {
        QTest::addColumn<QString>("nombre");
        QTest::addColumn<bool>("existe");
        QTest::addColumn<QString>("caja");
        QTest::addColumn<QByteArray>("despues");
        const QByteArray contenido("E,1,,a\ne,2,,b\n");
        QTest::newRow("bien") << "salidas.csv" << true << QString() << QByteArray("e,2,,b\n");
        QTest::newRow("sin salidas") << "salidas.csv" << false << "No se pudo abrir salidas" << QByteArray();
#ifdef Q_OS_LINUX
        QTest::newRow("sin temporal")
            << "salidas.csv" << true << "No se pudo abrir temporal para compactar" << contenido;
#endif
    }
    void compactarOutboxVentana()
    {
        QFETCH(QString, nombre);
        QFETCH(bool, existe);
        QFETCH(QString, caja);
        QFETCH(QByteArray, despues);
        MainWindow ventana;
        // The window's data folder: the one under this test's private home.
        const QDir datos(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos)));
        const QString salidas = datos.filePath(nombre);
        QFile::remove(salidas);
        if (existe)
            escribir(salidas, "E,1,,a\ne,2,,b\n");
        if (!caja.isEmpty())
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^ Could not open the file")));
        {
            // Leaves one free descriptor: the outbox opens, the temporary beside it does not.
            LimiteDescriptores limite(caja == QLatin1String("No se pudo abrir temporal para compactar"));
            ventana.compactarOutbox();
        }
        // Compacted, it is written anew; otherwise left as it was.
        QCOMPARE(leer(salidas), caja.isEmpty() ? conFinDeLinea(despues) : despues);
        QCOMPARE(QFile::exists(salidas), existe);
        if (caja.isEmpty()) {
            QVERIFY(CuadroMensaje::mostrados().isEmpty());
        } else {
            QCOMPARE(CuadroMensaje::mostrados().size(), 1);
            QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
            QCOMPARE(CuadroMensaje::mostrados().at(0).texto, caja);
        }
        QVERIFY(!QFile::exists(datos.filePath(QStringLiteral("compactando.csv"))));
    }

    // A line no record can be (a sparse hole, a run of NULs) is passed over at disk speed and
    // without holding it: the records after it are found, counted and kept by a rewrite.
    void lineaEnorme_data()
    {
        QTest::addColumn<bool>("hueco");
        QTest::newRow("hueco de 1 GB") << true;
        QTest::newRow("3 MB de NUL") << false;
    }
    void lineaEnorme()
    {
        QFETCH(bool, hueco);
        QTemporaryDir datos;
        const QString ruta = datos.filePath(QStringLiteral("salidas.csv"));
        {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("E,1,,a\n");
            if (hueco)
                QVERIFY(f.resize(f.size() + (qint64(1) << 30)));
            else
                f.write(QByteArray(3 << 20, '\0'));
            QVERIFY(f.seek(f.size()));
            f.write("\ne,2,,b\n");
        }
        const qint64 posicion = QFileInfo(ruta).size() - 7;
        outbox::Pendiente p;
        QCOMPARE(outbox::buscarPendiente(
                     ruta, [](const char *, int) { return true; }, p),
                 outbox::ResultadoBusqueda::Encontrado);
        QCOMPARE(p.posicion, posicion);
        QCOMPARE(p.linea, QByteArray("e,2,,b"));
        int cuenta = 0;
        QVERIFY(outbox::contarPorEstado(ruta, 'e', cuenta));
        QCOMPARE(cuenta, 1);
        QCOMPARE(outbox::compactar(ruta, datos.filePath(QStringLiteral("compactando.csv"))),
                 outbox::ResultadoCompactacion::Hecha);
        QCOMPARE(leer(ruta), conFinDeLinea("e,2,,b\n"));
    }

    // A link planted among the data files is never written through: the file it names, outside
    // the folder, keeps its bytes, and what the program writes stays in its folder.
    void enlacesPlantados_data()
    {
        QTest::addColumn<QString>("enlace");
        QTest::newRow("temporal de la compactacion") << "compactando.csv";
        QTest::newRow("temporal del diario") << "corrida_lista.json.tmp";
        QTest::newRow("archivo de errores") << "errores.csv";
        QTest::newRow("bandeja de salida") << "salidas.csv";
    }
    void enlacesPlantados()
    {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes a shortcut on Windows, a file nothing opens through; a symbolic link "
              "there needs a privilege the user does not have");
#endif
        QFETCH(QString, enlace);
        QTemporaryDir datos;
        QTemporaryDir fuera;
        const QString ajeno = fuera.filePath(QStringLiteral("ajeno.csv"));
        escribir(ajeno, "e,9,,ajeno\n");
        const QString salidas = datos.filePath(QStringLiteral("salidas.csv"));
        if (enlace != QLatin1String("salidas.csv"))
            escribir(salidas, "E,1,,a\ne,2,,b\n");
        QVERIFY(QFile::link(ajeno, datos.filePath(enlace)));

        outbox::compactar(salidas, datos.filePath(QStringLiteral("compactando.csv")));
        archivos_datos::guardarEntero(datos.filePath(QStringLiteral("corrida_lista.json")), "{}");
        archivos_datos::agregarLineaErrores(datos.filePath(QStringLiteral("errores.csv")),
                                            QStringLiteral("fila"));
        archivos_datos::agregarRegistroOutbox(salidas, QStringLiteral("3"), QString(), QStringLiteral("c"));
        outbox::Pendiente p;
        const outbox::ResultadoBusqueda hallado = outbox::buscarPendiente(
            salidas, [](const char *, int) { return true; }, p);

        QCOMPARE(leer(ajeno), QByteArray("e,9,,ajeno\n"));
        if (enlace == QLatin1String("salidas.csv")) {
            QCOMPARE(hallado, outbox::ResultadoBusqueda::NoAbre);
        } else {
            QCOMPARE(p.linea, QByteArray("e,2,,b"));
            QVERIFY(!archivo_seguro::esEnlace(salidas));
            QCOMPARE(leer(datos.filePath(QStringLiteral("corrida_lista.json"))), QByteArray("{}"));
        }
    }
};

NBSMS_TEST_MAIN(PruebaOutbox)
#include "prueba_outbox.moc"
