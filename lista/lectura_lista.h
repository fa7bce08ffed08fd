#pragma once
// The one way list files are read, for the preview, column detection and list processing alike:
// UTF-8 (a leading byte-order mark is skipped), or, when the bytes are not valid UTF-8, the
// system's 8-bit code page, so that lists saved by spreadsheets either way keep their accents.
// Lines end at LF or CR LF (a CR at the very end counts as a line end); the line end is not
// part of the line.

#include <QByteArray>
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

// A byte-order mark means UTF-8; otherwise UTF-8 when valid, else `ochoBits` (the system's
// 8-bit code page when null).
QString decodificarLista(const QByteArray &bytes, QTextCodec *ochoBits = nullptr);

// The lines of a decoded text. A final line end does not start another line; an empty text has
// no lines.
QStringList separarEnLineas(QStringView texto);

// Reads and decodes the whole file. False, with `lineas` untouched, when it cannot be opened.
bool leerLineasLista(const QString &ruta, QStringList &lineas);

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

// Line `numero` of the file, as lineaDeLista would give it, without keeping the other lines.
// False when the file cannot be opened.
bool leerLineaLista(const QString &ruta, int numero, LineaLista &linea);

} // namespace lista
