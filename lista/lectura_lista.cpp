#include "lista/lectura_lista.h"

#include "ajustes/archivo_seguro.h"
#include "lista/lista_en_disco.h"

#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <cstring>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <langinfo.h>
#endif

namespace lista {

namespace {

const char kMarcaUtf8[] = "\xEF\xBB\xBF";

QTextCodec *utf8()
{
    return QTextCodec::codecForMib(106);
}

QTextCodec *latin1()
{
    return QTextCodec::codecForMib(4);
}

QTextCodec *buscarCodecOchoBits()
{
#ifdef Q_OS_WIN
    // "System" is the ANSI code page; on a machine set to UTF-8 fall back to Western.
    if (GetACP() != CP_UTF8) {
        if (QTextCodec *sistema = QTextCodec::codecForName("System"))
            return sistema;
    }
    if (QTextCodec *occidental = QTextCodec::codecForName("windows-1252"))
        return occidental;
    return latin1();
#else
    // Asked from the C library, since the application's locale codec changes at run time.
    const char *juego = nl_langinfo(CODESET);
    QTextCodec *codec = juego ? QTextCodec::codecForName(juego) : nullptr;
    if (!codec || codec->mibEnum() == 106 || codec->mibEnum() == 3 || codec->mibEnum() == 0)
        return latin1();
    return codec;
#endif
}

} // namespace

QTextCodec *codecOchoBits()
{
    static QTextCodec *const codec = buscarCodecOchoBits();
    return codec;
}

bool esUtf8Valido(const QByteArray &bytes)
{
    QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
    utf8()->toUnicode(bytes.constData(), bytes.size(), &estado);
    return estado.invalidChars == 0 && estado.remainingChars == 0;
}

MarcaAncha marcaAncha(const QByteArray &inicio)
{
    // MIBs of UTF-32LE, UTF-32BE, UTF-16LE and UTF-16BE.
    struct Marca
    {
        const char *bytes;
        int largo;
        int mib;
    };
    static const Marca marcas[] = {
        {"\xFF\xFE\x00\x00", 4, 1019},
        {"\x00\x00\xFE\xFF", 4, 1018},
        {"\xFF\xFE", 2, 1014},
        {"\xFE\xFF", 2, 1013},
    };
    for (const Marca &m : marcas) {
        if (inicio.size() >= m.largo && std::memcmp(inicio.constData(), m.bytes, size_t(m.largo)) == 0)
            return {QTextCodec::codecForMib(m.mib), m.largo};
    }
    return {};
}

QString decodificarLista(const QByteArray &bytes, QTextCodec *ochoBits)
{
    QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
    const MarcaAncha ancha = marcaAncha(bytes.left(4));
    if (ancha.codec)
        return ancha.codec->toUnicode(bytes.constData() + ancha.largo, bytes.size() - ancha.largo, &estado);
    if (bytes.startsWith(kMarcaUtf8))
        return utf8()->toUnicode(bytes.constData() + 3, bytes.size() - 3, &estado);
    const QString texto = utf8()->toUnicode(bytes.constData(), bytes.size(), &estado);
    if (estado.invalidChars == 0 && estado.remainingChars == 0)
        return texto;
    QTextCodec *codec = ochoBits ? ochoBits : codecOchoBits();
    return codec->toUnicode(bytes);
}

namespace {

// Calls `f(linea)` for each line in order until it returns false.
template <typename F> void recorrerLineas(QStringView texto, F &&f)
{
    qsizetype inicio = 0;
    const qsizetype n = texto.size();
    while (inicio < n) {
        qsizetype fin = inicio;
        while (fin < n && texto[fin] != u'\n')
            ++fin;
        qsizetype largo = fin - inicio;
        if (largo > 0 && texto[fin - 1] == u'\r')
            --largo;
        if (!f(texto.mid(inicio, largo)))
            return;
        inicio = fin + 1;
    }
}

} // namespace

QStringList separarEnLineas(QStringView texto)
{
    QStringList lineas;
    recorrerLineas(texto, [&](QStringView linea) {
        lineas.append(linea.toString());
        return true;
    });
    return lineas;
}

Lectura abrirArchivoRegular(QFile &archivo, const QString &ruta)
{
    // The operator's list may be reached through a link; a pipe, a device or a folder never.
    switch (archivo_seguro::abrir(archivo, ruta, QIODevice::ReadOnly, archivo_seguro::Enlaces::Seguir)) {
    case archivo_seguro::Apertura::Bien:
        return Lectura::Bien;
    case archivo_seguro::Apertura::NoEsArchivo:
        return Lectura::NoEsArchivo;
    default:
        return Lectura::NoAbre;
    }
}

namespace {

// A file with a UTF-16 or UTF-32 mark, decoded from its start until `lineas` line ends have been
// read or the file ends. Whole lines cannot be taken from the bytes: a line feed is more than one
// byte there. False when a line read is longer than kLargoMaximoLinea characters.
bool leerAnchoHasta(QFile &archivo, const MarcaAncha &ancha, int lineas, QString &texto)
{
    std::unique_ptr<QTextDecoder> decodificador(ancha.codec->makeDecoder(QTextCodec::IgnoreHeader));
    archivo.read(ancha.largo);
    texto.clear();
    int vistas = 0;
    qint64 leidos = ancha.largo;
    qsizetype inicioLinea = 0; // of the line not yet ended
    while (vistas < lineas && leidos < kTamanoMaximoLista) {
        const QByteArray bloque = archivo.read(1 << 16);
        if (bloque.isEmpty())
            break;
        leidos += bloque.size();
        qsizetype k = texto.size();
        texto += decodificador->toUnicode(bloque);
        for (; k < texto.size(); ++k) {
            if (texto.at(k) != u'\n')
                continue;
            if (k - inicioLinea > kLargoMaximoLinea)
                return false;
            inicioLinea = k + 1;
            ++vistas;
        }
        if (texto.size() - inicioLinea > kLargoMaximoLinea)
            return false;
    }
    return true;
}

// Appends the next line, line end included, to `bytes`. False at the end of the file; `larga`
// tells that the line did not end within kLargoMaximoLinea bytes.
bool leerLineaCruda(QFile &archivo, QByteArray &bytes, bool &larga)
{
    larga = false;
    const QByteArray linea = archivo.readLine(qint64(kLargoMaximoLinea) + 2);
    if (linea.isEmpty())
        return false;
    larga = linea.size() > kLargoMaximoLinea && !linea.endsWith('\n');
    bytes += linea;
    return !larga;
}

} // namespace

Lectura leerLista(const QString &ruta, QStringList &lineas)
{
    ListaEnDisco lista;
    const Lectura lectura = lista.abrir(ruta);
    if (lectura != Lectura::Bien)
        return lectura;
    QStringList leidas;
    leidas.reserve(lista.cantidad());
    ListaEnDisco::Recorrido r = lista.recorrer();
    while (r.siguiente())
        leidas.append(r.linea().toString());
    // Changed between the two passes: as if it had not opened, it may read whole at the next try.
    if (r.cambio())
        return Lectura::NoAbre;
    lineas = std::move(leidas);
    return Lectura::Bien;
}

bool leerLineasLista(const QString &ruta, QStringList &lineas)
{
    return leerLista(ruta, lineas) == Lectura::Bien;
}

Lectura leerPrimeraLinea(const QString &ruta, QString &linea, bool &hayLinea)
{
    QFile archivo;
    const Lectura apertura = abrirArchivoRegular(archivo, ruta);
    if (apertura != Lectura::Bien)
        return apertura;
    const MarcaAncha ancha = marcaAncha(archivo.peek(4));
    if (ancha.codec) {
        QString texto;
        if (!leerAnchoHasta(archivo, ancha, 1, texto))
            return Lectura::LineaMuyLarga;
        hayLinea = !texto.isEmpty();
        linea = lineaDeTexto(texto, 0).texto;
        return Lectura::Bien;
    }
    QByteArray bytes;
    bool larga = false;
    hayLinea = leerLineaCruda(archivo, bytes, larga) || larga;
    if (larga)
        return Lectura::LineaMuyLarga;
    linea = hayLinea ? lineaDeTexto(decodificarLista(bytes), 0).texto : QString();
    return Lectura::Bien;
}

LineaLista lineaDeLista(const QStringList &lineas, int numero)
{
    if (lineas.isEmpty())
        return {};
    if (numero < 0)
        numero = 0;
    if (numero >= lineas.size())
        return {lineas.last(), true};
    return {lineas.at(numero), numero == lineas.size() - 1};
}

LineaLista lineaDeTexto(QStringView texto, int numero)
{
    // Reads up to the line wanted, and one more to tell whether it is the last.
    const int buscada = qMax(numero, 0);
    QStringView ultima;
    int leidas = 0;
    bool hayMas = false;
    recorrerLineas(texto, [&](QStringView linea) {
        if (leidas > buscada) {
            hayMas = true;
            return false;
        }
        ultima = linea;
        ++leidas;
        return true;
    });
    return {ultima.toString(), !hayMas};
}

bool leerLineaLista(const QString &ruta, int numero, LineaLista &linea)
{
    QFile archivo;
    if (abrirArchivoRegular(archivo, ruta) != Lectura::Bien)
        return false;
    // The line wanted and the one after it (to tell whether it is the last).
    const MarcaAncha ancha = marcaAncha(archivo.peek(4));
    if (ancha.codec) {
        QString texto;
        if (!leerAnchoHasta(archivo, ancha, qMax(numero, 0) + 2, texto))
            return false;
        linea = lineaDeTexto(texto, numero);
        return true;
    }
    QByteArray bytes;
    bool larga = false;
    for (int leidas = 0; leidas <= qMax(numero, 0) + 1; ++leidas) {
        if (!leerLineaCruda(archivo, bytes, larga))
            break;
    }
    if (larga)
        return false;
    linea = lineaDeTexto(decodificarLista(bytes), numero);
    return true;
}

} // namespace lista
