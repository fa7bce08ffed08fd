// Decoding of list files and splitting them into lines.

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "lista/archivos_datos.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"
#include "lista/lista_en_disco.h"

#include <QRandomGenerator>
#include <QTextCodec>
#include <QtTest>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
// Without a byte-order mark of the codec's own: the rows write theirs.
QByteArray codificado(const QString &texto, const char *codec)
{
    QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
    return QTextCodec::codecForName(codec)->fromUnicode(texto.constData(), texto.size(), &estado);
}

void escribir(const QString &ruta, const QByteArray &bytes)
{
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// Random lines of pieces that make every case of the encoding rule: accents in UTF-8 or in an
// 8-bit code page, a sequence cut at the end, CR LF and lone CRs, empty lines.
QByteArray lineasAlAzar(QRandomGenerator &azar, int lineas, const char *codec)
{
    static const char *const piezas[] = {"a",       ",", "Jos\xC3\xA9", "\xF1", "\r",
                                         "\"x,y\"", "",  "\xE2\x82\xAC"};
    QByteArray bytes;
    for (int i = 0; i < lineas; ++i) {
        for (int k = azar.bounded(6); k > 0; --k)
            bytes += piezas[azar.bounded(int(std::size(piezas)))];
        bytes += azar.bounded(4) == 0 ? "\r\n" : "\n";
    }
    if (azar.bounded(2))
        bytes.chop(1);
    if (!codec)
        return bytes;
    // A wide file: the text its bytes read as in Latin-1, in that encoding, maybe cut mid-unit.
    QByteArray ancho = codificado(QString::fromLatin1(bytes), codec);
    if (azar.bounded(3) == 0)
        ancho.chop(1);
    return ancho;
}
} // namespace

Q_DECLARE_METATYPE(lista::Lectura)

class PruebaLectura : public QObject
{
    Q_OBJECT

private slots:
    void decodificar_data();
    void decodificar();
    void ochoBitsDelSistema();
    void lineas_data();
    void lineas();
    void leerArchivo_data();
    void leerArchivo();
    void archivoInexistente();
    void muchasFilas_data();
    void muchasFilas();
    void lineaDeLista_data();
    void lineaDeLista();
    void enBloques_data();
    void enBloques();
    void limites_data();
    void limites();
    void cambioEntrePasadas();
    void reanudacion_data();
    void reanudacion();
};

void PruebaLectura::decodificar_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("ochoBits");
    QTest::addColumn<QString>("texto");

    const QString nandu = QStringLiteral("ñandú,José");
    QTest::newRow("utf8") << nandu.toUtf8() << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("utf8 con BOM") << "\xEF\xBB\xBF" + nandu.toUtf8() << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("latin1") << QByteArray("\xF1"
                                          "and\xFA,Jos\xE9")
                            << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("windows-1252") << QByteArray("\x80 \xF1") << QByteArray("windows-1252")
                                  << QStringLiteral("€ ñ");
    QTest::newRow("ascii") << QByteArray("a,b") << QByteArray("ISO-8859-1") << "a,b";
    QTest::newRow("vacio") << QByteArray() << QByteArray("ISO-8859-1") << "";
    QTest::newRow("solo BOM") << QByteArray("\xEF\xBB\xBF") << QByteArray("ISO-8859-1") << "";
    QTest::newRow("secuencia cortada al final")
        << QByteArray("abc\xC3") << QByteArray("ISO-8859-1") << QStringLiteral("abcÃ");
    QTest::newRow("forma larga") << QByteArray("\xC0\xAF") << QByteArray("ISO-8859-1")
                                 << QStringLiteral("À¯");
    QTest::newRow("sustituto codificado")
        << QByteArray("\xED\xA0\x80") << QByteArray("ISO-8859-1") << QString::fromLatin1("\xED\xA0\x80");
    QTest::newRow("emoji utf8") << QStringLiteral("\U0001F600").toUtf8() << QByteArray("ISO-8859-1")
                                << QStringLiteral("\U0001F600");
    QTest::newRow("BOM solo al inicio")
        << QByteArray("a\xEF\xBB\xBF") << QByteArray("ISO-8859-1") << QStringLiteral("a\uFEFF");
    // "Texto Unicode" exports: the mark names the encoding, whatever the bytes look like.
    QTest::newRow("utf16le") << QByteArray("\xFF\xFE", 2) + codificado(nandu, "UTF-16LE")
                             << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("utf16be") << QByteArray("\xFE\xFF", 2) + codificado(nandu, "UTF-16BE")
                             << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("utf32le") << QByteArray("\xFF\xFE\x00\x00", 4) + codificado(nandu, "UTF-32LE")
                             << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("utf32be") << QByteArray("\x00\x00\xFE\xFF", 4) + codificado(nandu, "UTF-32BE")
                             << QByteArray("ISO-8859-1") << nandu;
    QTest::newRow("utf16le emoji") << QByteArray("\xFF\xFE", 2) +
                                          codificado(QStringLiteral("\U0001F600;1"), "UTF-16LE")
                                   << QByteArray("ISO-8859-1") << QStringLiteral("\U0001F600;1");
    QTest::newRow("utf16 sin marca no se adivina")
        << QByteArray("a\x00", 2) << QByteArray("ISO-8859-1") << QString::fromLatin1("a\0", 2);
}

void PruebaLectura::decodificar()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, ochoBits);
    QFETCH(QString, texto);
    QTextCodec *codec = QTextCodec::codecForName(ochoBits);
    QVERIFY(codec);
    QCOMPARE(lista::decodificarLista(bytes, codec), texto);
}

// Whatever the locale, "ñ" and "á" saved by an 8-bit spreadsheet come back, and the choice does
// not follow a later change of the application's locale codec.
void PruebaLectura::ochoBitsDelSistema()
{
    QTextCodec *antes = lista::codecOchoBits();
    QVERIFY(antes);
    QCOMPARE(lista::decodificarLista(QByteArray("\xF1\xE1")), QStringLiteral("ñá"));
    QTextCodec *localAnterior = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    QCOMPARE(lista::codecOchoBits(), antes);
    QCOMPARE(lista::decodificarLista(QByteArray("\xF1\xE1")), QStringLiteral("ñá"));
    QTextCodec::setCodecForLocale(localAnterior);
}

void PruebaLectura::lineas_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<QStringList>("lineas");
    QTest::newRow("LF") << "a\nb" << QStringList{"a", "b"};
    QTest::newRow("CR LF con final") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("vacio") << "" << QStringList{};
    QTest::newRow("solo LF") << "\n" << QStringList{""};
    QTest::newRow("linea vacia en medio") << "a\n\nb" << QStringList{"a", "", "b"};
    QTest::newRow("CR interior queda") << "a\rb" << QStringList{"a\rb"};
    QTest::newRow("CR al final") << "a\r" << QStringList{"a"};
    QTest::newRow("un solo CR por linea") << "a\r\r\n" << QStringList{"a\r"};
}

void PruebaLectura::lineas()
{
    QFETCH(QString, texto);
    QFETCH(QStringList, lineas);
    QCOMPARE(lista::separarEnLineas(texto), lineas);
}

void PruebaLectura::leerArchivo_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lineas");
    const QStringList esperado{QStringLiteral("nombre,celular"), QStringLiteral("Muñoz,123"),
                               QStringLiteral("Pérez,456")};
    QTest::newRow("utf8") << QStringLiteral("nombre,celular\nMuñoz,123\nPérez,456\n").toUtf8() << esperado;
    QTest::newRow("utf8 BOM CRLF") << "\xEF\xBB\xBF" +
                                          QStringLiteral("nombre,celular\r\nMuñoz,123\r\nPérez,456").toUtf8()
                                   << esperado;
    QTest::newRow("latin1") << QByteArray("nombre,celular\r\nMu\xF1oz,123\r\nP\xE9rez,456\r\n") << esperado;
    QTest::newRow("utf16le CRLF") << QByteArray("\xFF\xFE", 2) +
                                         codificado(
                                             QStringLiteral("nombre,celular\r\nMuñoz,123\r\nPérez,456\r\n"),
                                             "UTF-16LE")
                                  << esperado;
    QTest::newRow("utf16be") << QByteArray("\xFE\xFF", 2) +
                                    codificado(QStringLiteral("nombre,celular\nMuñoz,123\nPérez,456"),
                                               "UTF-16BE")
                             << esperado;
#ifdef Q_OS_WIN
    // Saved by a spreadsheet on a Spanish Windows: its code page, 1252, where 0x80 is the euro.
    QTest::newRow("1252") << QByteArray("nombre,celular\r\nMu\xF1oz \x80,123\r\nP\xE9rez,456\r\n")
                          << QStringList{QStringLiteral("nombre,celular"), QStringLiteral("Muñoz €,123"),
                                         QStringLiteral("Pérez,456")};
#endif
}

void PruebaLectura::leerArchivo()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lineas);
#ifdef Q_OS_WIN
    if (qstrcmp(QTest::currentDataTag(), "1252") == 0 && GetACP() != 1252)
        QSKIP("the system's code page is not 1252 (not a Western European Windows)");
#endif
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("lista.csv"));
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    QStringList leidas;
    QVERIFY(lista::leerLineasLista(ruta, leidas));
    QCOMPARE(leidas, lineas);
}

void PruebaLectura::archivoInexistente()
{
    QStringList lineas{"queda"};
    QVERIFY(!lista::leerLineasLista(QDir::temp().filePath(QStringLiteral("no-existe.csv")), lineas));
    QCOMPARE(lineas, QStringList{"queda"});
}

// A file of line ends is refused by its number of lines, not read into millions of strings.
void PruebaLectura::muchasFilas_data()
{
    QTest::addColumn<int>("filas");
    QTest::addColumn<lista::Lectura>("lectura");
    QTest::newRow("en el limite") << lista::kFilasMaximasLista << lista::Lectura::Bien;
    QTest::newRow("una de mas") << lista::kFilasMaximasLista + 1 << lista::Lectura::MuchasFilas;
}

void PruebaLectura::muchasFilas()
{
    QFETCH(int, filas);
    QFETCH(lista::Lectura, lectura);
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("lista.csv"));
    QFile f(ruta);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(filas, '\n'));
    f.close();
    QStringList leidas;
    QCOMPARE(lista::leerLista(ruta, leidas), lectura);
    QCOMPARE(leidas.size(), lectura == lista::Lectura::Bien ? filas : 0);
}

void PruebaLectura::lineaDeLista_data()
{
    QTest::addColumn<QStringList>("lineas");
    QTest::addColumn<int>("numero");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("ultima");
    const QStringList tres{"h", "a", "b"};
    QTest::newRow("vacia") << QStringList{} << 1 << "" << true;
    QTest::newRow("primera") << tres << 0 << "h" << false;
    QTest::newRow("del medio") << tres << 1 << "a" << false;
    QTest::newRow("ultima") << tres << 2 << "b" << true;
    QTest::newRow("pasada del final") << tres << 7 << "b" << true;
}

void PruebaLectura::lineaDeLista()
{
    QFETCH(QStringList, lineas);
    QFETCH(int, numero);
    QFETCH(QString, texto);
    QFETCH(bool, ultima);
    const lista::LineaLista l = lista::lineaDeLista(lineas, numero);
    QCOMPARE(l.texto, texto);
    QCOMPARE(l.esUltima, ultima);

    // Straight from the text, and from a file, the same line comes back.
    const QString texto2 = lineas.join(QStringLiteral("\r\n"));
    const lista::LineaLista t = lista::lineaDeTexto(texto2, numero);
    QCOMPARE(t.texto, texto);
    QCOMPARE(t.esUltima, ultima);
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("l.csv")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(texto2.toUtf8() + "\n");
    f.close();
    lista::LineaLista a;
    QVERIFY(lista::leerLineaLista(f.fileName(), numero, a));
    QCOMPARE(a.texto, texto);
    QCOMPARE(a.esUltima, ultima);

    // The same from a UTF-16 file, whose line feeds are two bytes.
    QFile ancho(dir.filePath(QStringLiteral("u.csv")));
    QVERIFY(ancho.open(QIODevice::WriteOnly));
    ancho.write(QByteArray("\xFF\xFE", 2) + codificado(texto2 + QLatin1Char('\n'), "UTF-16LE"));
    ancho.close();
    lista::LineaLista u;
    QVERIFY(lista::leerLineaLista(ancho.fileName(), numero, u));
    QCOMPARE(u.texto, texto);
    QCOMPARE(u.esUltima, ultima);
    QString primera;
    bool hayLinea = false;
    QCOMPARE(lista::leerPrimeraLinea(ancho.fileName(), primera, hayLinea), lista::Lectura::Bien);
    QCOMPARE(primera, lineas.value(0));
}

// Read a block at a time, a list gives exactly the lines of the whole file decoded at once,
// whatever falls on a block's edge: the encoding is decided for the whole file (a byte that is
// not UTF-8 near the end makes the whole list 8-bit), and a pass may start at any line.
void PruebaLectura::enBloques_data()
{
    QTest::addColumn<QByteArray>("marca");
    QTest::addColumn<QByteArray>("ancho");
    QTest::newRow("sin marca") << QByteArray() << QByteArray();
    QTest::newRow("marca utf8") << QByteArray("\xEF\xBB\xBF") << QByteArray();
    QTest::newRow("utf16le") << QByteArray("\xFF\xFE", 2) << QByteArray("UTF-16LE");
    QTest::newRow("utf16be") << QByteArray("\xFE\xFF", 2) << QByteArray("UTF-16BE");
    QTest::newRow("utf32le") << QByteArray("\xFF\xFE\x00\x00", 4) << QByteArray("UTF-32LE");
    QTest::newRow("utf32be") << QByteArray("\x00\x00\xFE\xFF", 4) << QByteArray("UTF-32BE");
}

void PruebaLectura::enBloques()
{
    QFETCH(QByteArray, marca);
    QFETCH(QByteArray, ancho);
    QRandomGenerator azar(20240624);
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("lista.csv"));
    for (int vuelta = 0; vuelta < 60; ++vuelta) {
        QByteArray bytes =
            marca + lineasAlAzar(azar, azar.bounded(1, 40), ancho.isEmpty() ? nullptr : ancho.constData());
        // Often UTF-8 throughout, or but for one byte near the end.
        if (ancho.isEmpty() && azar.bounded(2)) {
            bytes.replace("\xF1", "\xC3\xB1");
            if (azar.bounded(2))
                bytes.insert(qMax(marca.size(), bytes.size() - azar.bounded(1, 8)), '\xE9');
        }
        escribir(ruta, bytes);
        const QStringList esperadas = lista::separarEnLineas(lista::decodificarLista(bytes));
        for (const int bloque : {4, 8, 12, 64, lista::ListaEnDisco::kBloque}) {
            lista::ListaEnDisco enDisco(bloque);
            QCOMPARE(enDisco.abrir(ruta), lista::Lectura::Bien);
            QCOMPARE(enDisco.cantidad(), esperadas.size());
            const int desde = azar.bounded(esperadas.size() + 1);
            QStringList leidas;
            lista::ListaEnDisco::Recorrido r = enDisco.recorrer(desde);
            while (r.siguiente()) {
                QCOMPARE(r.numero(), desde + leidas.size());
                leidas << r.linea().toString();
            }
            QVERIFY(!r.cambio());
            QCOMPARE(leidas, esperadas.mid(desde));
            if (desde < esperadas.size())
                QCOMPARE(enDisco.linea(desde), esperadas.at(desde));
        }
    }
}

// The limits judged as over the whole file: a long line wins over too many lines, and a wide line
// is measured in characters.
void PruebaLectura::limites_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<lista::Lectura>("lectura");
    QTest::addColumn<int>("lineas");
    const int largo = lista::kLargoMaximoLinea;
    QTest::newRow("linea en el limite") << QByteArray(largo, 'a') + "\nb" << lista::Lectura::Bien << 2;
    QTest::newRow("linea larga al final")
        << "b\n" + QByteArray(largo + 1, 'a') << lista::Lectura::LineaMuyLarga << 0;
    QTest::newRow("la marca cuenta") << "\xEF\xBB\xBF" + QByteArray(largo - 2, 'a')
                                     << lista::Lectura::LineaMuyLarga << 0;
    QTest::newRow("larga antes que muchas")
        << QByteArray(lista::kFilasMaximasLista + 1, '\n') + QByteArray(largo + 1, 'a')
        << lista::Lectura::LineaMuyLarga << 0;
    QTest::newRow("utf16 en caracteres")
        << QByteArray("\xFF\xFE", 2) + codificado(QString(largo, u'a'), "UTF-16LE") << lista::Lectura::Bien
        << 1;
    QTest::newRow("utf16 larga") << QByteArray("\xFF\xFE", 2) +
                                        codificado(QString(largo + 1, u'a'), "UTF-16LE")
                                 << lista::Lectura::LineaMuyLarga << 0;
}

void PruebaLectura::limites()
{
    QFETCH(QByteArray, bytes);
    QFETCH(lista::Lectura, lectura);
    QFETCH(int, lineas);
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("lista.csv"));
    escribir(ruta, bytes);
    lista::ListaEnDisco enDisco;
    QCOMPARE(enDisco.abrir(ruta), lectura);
    QCOMPARE(enDisco.cantidad(), lineas);
    QCOMPARE(enDisco.abierta(), lectura == lista::Lectura::Bien);
}

// A list changed after it was read stops the next pass before the first line of the changed
// block: the counting pass and the writing pass never see different rows.
void PruebaLectura::cambioEntrePasadas()
{
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("lista.csv"));
    escribir(ruta, "uno\ndos\ntres\ncuatro\n");
    lista::ListaEnDisco enDisco(8);
    QCOMPARE(enDisco.abrir(ruta), lista::Lectura::Bien);
    {
        QFile f(ruta);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.seek(9));
        f.write("T");
    }
    QStringList leidas;
    lista::ListaEnDisco::Recorrido r = enDisco.recorrer();
    while (r.siguiente())
        leidas << r.linea().toString();
    QVERIFY(r.cambio());
    QCOMPARE(leidas, (QStringList{"uno", "dos"})); // the first block, bytes 0 to 7
}

// A run cut short after `hechas` rows (and `previas` before a resume) is recognised the same with
// its list read whole or in blocks; and when the outbox and the errors file were left by a hand
// without their last line end, the run's first lines do not glue onto those.
void PruebaLectura::reanudacion_data()
{
    QTest::addColumn<int>("previas");
    QTest::addColumn<int>("hechas");
    QTest::addColumn<QByteArray>("antes");
    QTest::newRow("tres") << 0 << 3 << QByteArray();
    QTest::newRow("dos y luego tres") << 2 << 3 << QByteArray();
    QTest::newRow("sin el ultimo fin de linea") << 0 << 3 << QByteArray("e,1140000000,01/01/2026,a mano");
}

void PruebaLectura::reanudacion()
{
    QFETCH(int, previas);
    QFETCH(int, hechas);
    QFETCH(QByteArray, antes);
    QTemporaryDir dir;
    diario_corrida::Diario d;
    d.rutaLista = dir.filePath(QStringLiteral("lista.csv"));
    d.rutaSalidas = dir.filePath(QStringLiteral("salidas.csv"));
    d.rutaErrores = dir.filePath(QStringLiteral("errores.csv"));
    d.filasPrevias = previas;
    if (!antes.isEmpty()) {
        escribir(d.rutaSalidas, antes);
        escribir(d.rutaErrores, "Zoe,abc");
    }
    escribir(d.rutaLista, "nombre,celular\nAna,1155667788\nBeto,abc\nCarla,1144556677\n\nDora,1133445566\n");
    const lista::ReglasFila reglas({QStringLiteral("Hola [nombre]"),
                                    {"nombre", "celular"},
                                    2,
                                    QStringLiteral("celular"),
                                    QString(),
                                    QChar(u','),
                                    QStringLiteral("01/06/2030")});
    QStringList lineas;
    QVERIFY(lista::leerLineasLista(d.rutaLista, lineas));
    for (int fila = 1; fila <= previas + hechas; ++fila) {
        if (fila == previas + 1) {
            d.tamanoSalidas = diario_corrida::tamanoActual(d.rutaSalidas);
            d.tamanoErrores = diario_corrida::tamanoActual(d.rutaErrores);
        }
        const lista::ResultadoFila r = reglas.evaluar(lineas.at(fila));
        QVERIFY(r.motivo == lista::Motivo::Ninguno
                    ? archivos_datos::agregarRegistroOutbox(d.rutaSalidas, r.numero, r.fecha, r.mensaje)
                    : archivos_datos::agregarLineaErrores(d.rutaErrores, lineas.at(fila)));
    }
    lista::ListaEnDisco enDisco(8);
    QCOMPARE(enDisco.abrir(d.rutaLista), lista::Lectura::Bien);
    QCOMPARE(diario_corrida::huella(enDisco), diario_corrida::huella(lineas));
    const diario_corrida::Avance enBloques = diario_corrida::reconocerAvance(d, enDisco, reglas);
    QVERIFY(enBloques.reconocido);
    QCOMPARE(enBloques.hechas, hechas);
    QCOMPARE(enBloques.agregados, diario_corrida::reconocerAvance(d, lineas, reglas).agregados);
    if (!antes.isEmpty()) {
        QVERIFY(
            archivos_prueba::leer(d.rutaSalidas).startsWith(archivos_prueba::conFinDeLinea(antes + '\n')));
        QVERIFY(archivos_prueba::leer(d.rutaErrores)
                    .startsWith(archivos_prueba::conFinDeLinea("Zoe,abc\nBeto,abc\n")));
    }
}

NBSMS_TEST_MAIN(PruebaLectura)
#include "prueba_lectura.moc"
