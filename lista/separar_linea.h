#pragma once
// Splitting one line of a list file into its fields. Quotes are always honoured: a field that
// starts with a double quote runs up to the next piece that ends with one, separators included.

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

namespace lista {

// How a list file is laid out, as the list format dialog stores it. The dialog stores one
// separator; when a store holds several, the comma wins, then the TAB, then the semicolon, so a
// store without the semicolon key reads exactly as before it existed.
struct FormatoLista
{
    bool tieneHeader = true;
    bool separaComillas = true; // shown only: quotes are always honoured
    bool usarComa = true;
    bool usarTab = false;
    bool usarPuntoComa = false;
};

// The format as stored in the settings, and its separator stored as the dialog stores it.
FormatoLista formatoGuardado();
void guardarSeparador(const FormatoLista &formato);

// Comma, else TAB, else semicolon, else U+0000, which in practice leaves the line whole.
QChar separadorDe(const FormatoLista &formato);

// The format with `separador` (comma, TAB or semicolon) as its only separator.
FormatoLista conSeparador(FormatoLista formato, QChar separador);

// The separator a list whose first line is `primeraLinea` seems to use when that line does not
// split under `formato`: the most frequent of semicolon, TAB and comma in it, U+0000 when the
// line splits already or holds none of them. Spreadsheets set to Spanish save ";" lists, and
// "Texto Unicode" exports are TAB-separated.
QChar separadorSugerido(QStringView primeraLinea, const FormatoLista &formato);

// The fields of `linea` as views into it; valid while `linea` lives. `campos` is cleared first,
// so one vector can be reused across rows.
void separarLineaEnVistas(QStringView linea, QChar separador, QVector<QStringView> &campos);

QStringList separarLinea(const QString &linea, const FormatoLista &formato);
QStringList separarLinea(const QString &linea, bool usarComa, bool usarTab);

} // namespace lista
