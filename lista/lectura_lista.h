#pragma once
// The one way list files are read, for the preview, column detection and list processing alike:
// UTF-16 or UTF-32 when the file starts with their byte-order mark (spreadsheets' "Unicode text"),
// else UTF-8 (a leading byte-order mark is skipped), or, when the bytes are not valid UTF-8, the
// system's 8-bit code page, so that lists saved by spreadsheets either way keep their accents.
// Lines end at LF or CR LF (a CR at the very end counts as a line end); the line end is not
// part of the line.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

class QTextCodec;

namespace lista {

// The system's 8-bit code page: the ANSI code page on Windows (Windows-1252 when that is UTF-8),
// elsewhere the locale's 8-bit charset, or Latin-1 when the locale is UTF-8 or plain ASCII.
// Fixed for the whole run, whatever codec the application later sets for the locale.
QTextCodec *codecOchoBits();

bool esUtf8Valido(const QByteArray &bytes);

// The codec that a UTF-16 (LE/BE) or UTF-32 (LE/BE) byte-order mark at the start of `inicio`
// names, and the mark's length; null when there is none. A UTF-32 LE mark is taken before the
// UTF-16 LE one it starts with, as Qt's text stream does.
struct MarcaAncha
{
    QTextCodec *codec = nullptr;
    int largo = 0;
};
MarcaAncha marcaAncha(const QByteArray &inicio);

// A UTF-16 or UTF-32 byte-order mark names its encoding; a UTF-8 one means UTF-8; otherwise
// UTF-8 when valid, else `ochoBits` (the system's 8-bit code page when null).
QString decodificarLista(const QByteArray &bytes, QTextCodec *ochoBits = nullptr);

// The lines of a decoded text. A final line end does not start another line; an empty text has
// no lines.
QStringList separarEnLineas(QStringView texto);

// Limits of a list: a larger file, or a longer line, is refused instead of being read whole. A
// line's length is counted in bytes, or in characters for UTF-16 and UTF-32 files.
inline constexpr qint64 kTamanoMaximoLista = qint64(512) << 20;
inline constexpr int kLargoMaximoLinea = 1 << 20;
// A list of more lines is refused: leerLista would hold each as a string of its own, and even
// ListaEnDisco keeps an offset a line.
inline constexpr int kFilasMaximasLista = 1 << 22;

enum class Lectura {
    Bien,
    NoAbre,        // missing, no permission: may work at the next try
    NoEsArchivo,   // a folder, a pipe, a device: never read
    MuyGrande,     // more than kTamanoMaximoLista bytes
    LineaMuyLarga, // a line of more than kLargoMaximoLinea bytes
    MuchasFilas,   // more than kFilasMaximasLista lines
};

// Opens `ruta` read-only only when it is a regular file, and never blocks doing so (opening a
// named pipe for reading would wait for a writer).
Lectura abrirArchivoRegular(QFile &archivo, const QString &ruta);

// The whole file within the limits, decoded into strings (ListaEnDisco, for a small list or a
// caller that wants every line at once). `lineas` is untouched unless Bien.
Lectura leerLista(const QString &ruta, QStringList &lineas);
// The same, true only for Bien.
bool leerLineasLista(const QString &ruta, QStringList &lineas);

// The first line only, at most kLargoMaximoLinea bytes of it. `hayLinea` is false for an empty
// file.
Lectura leerPrimeraLinea(const QString &ruta, QString &linea, bool &hayLinea);

// Line `numero` (0-based) of a list, as the preview reads it: lines are read from the start
// until that one, so a list shorter than that gives its last line, and an empty list an empty
// line. `esUltima` tells that no line follows the one returned.
struct LineaLista
{
    QString texto;
    bool esUltima = true;
};
LineaLista lineaDeLista(const QStringList &lineas, int numero);
LineaLista lineaDeTexto(QStringView texto, int numero);

// Line `numero` of the file, as lineaDeLista would give it, reading no further than the line
// after it. The encoding is judged on the lines read. False when the file cannot be opened or a
// line read is longer than kLargoMaximoLinea.
bool leerLineaLista(const QString &ruta, int numero, LineaLista &linea);

} // namespace lista
