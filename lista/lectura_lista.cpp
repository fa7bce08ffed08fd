#include "lista/lectura_lista.h"

#include <QFile>
#include <QTextCodec>

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

QString decodificarLista(const QByteArray &bytes, QTextCodec *ochoBits)
{
    QTextCodec::ConverterState estado(QTextCodec::IgnoreHeader);
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

bool leerLineasLista(const QString &ruta, QStringList &lineas)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return false;
    lineas = separarEnLineas(decodificarLista(archivo.readAll()));
    return true;
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
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly))
        return false;
    linea = lineaDeTexto(decodificarLista(archivo.readAll()), numero);
    return true;
}

} // namespace lista
