#pragma once
// Splitting one line of a list file into its fields. Quotes are always honoured: a field that
// starts with a double quote runs up to the next piece that ends with one, separators included.

#include <QChar>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

namespace lista {

// How a list file is laid out, as the list format dialog stores it (the comma wins when both
// separators are on).
struct FormatoLista
{
    bool tieneHeader = true;
    bool separaComillas = true; // shown only: quotes are always honoured
    bool usarComa = true;
    bool usarTab = false;
};

// The format as stored in the settings.
FormatoLista formatoGuardado();

// Comma, else TAB, else U+0000, which in practice leaves the line whole.
QChar separadorDe(const FormatoLista &formato);

// The fields of `linea` as views into it; valid while `linea` lives. `campos` is cleared first,
// so one vector can be reused across rows.
void separarLineaEnVistas(QStringView linea, QChar separador, QVector<QStringView> &campos);

QStringList separarLinea(const QString &linea, const FormatoLista &formato);
QStringList separarLinea(const QString &linea, bool usarComa, bool usarTab);

} // namespace lista
