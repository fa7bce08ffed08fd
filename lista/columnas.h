#pragma once
// Column references of a list: a header name, or "#" and the 1-based column number.

#include <QString>
#include <QStringList>
#include <QStringView>

#include "lista/separar_linea.h"

namespace lista {

// "#1" to "#n".
QStringList referenciasNumericas(int cantidad);

// The names offered for a list whose first line split into `camposPrimeraLinea`: with a header,
// the header names followed by "#1" to "#n"; without one, only "#1" to "#n".
QStringList nombresColumnas(const QStringList &camposPrimeraLinea, bool conHeader);

// The 0-based field index named by `referencia`, or -1. The first equal entry of
// `columnasHeader` wins (so a header name beats a later "#n" spelled the same); entries past the
// first `cantidadColumnas` are the "#n" ones and map back onto the fields.
int resolverColumna(QStringView referencia, const QStringList &columnasHeader, int cantidadColumnas);

// The first of the first `cantidad` names (the header's own, not "#n") that looks like a phone
// column: one holding "celular", "movil" or "telefono", else one holding "numero", in any case,
// with or without accents. Empty when none does.
QString columnaTelefono(const QStringList &nombres, int cantidad);

// What the column combos show once a list is chosen: a stored choice that names a column of the
// list is kept; otherwise the phone column found by its name, and "--inmediato--" for the date.
struct EleccionColumnas
{
    QString celular;
    QString fecha;
};
EleccionColumnas elegirColumnas(const QString &celularGuardada, const QString &fechaGuardada,
                                const QStringList &nombres, int cantidad);

// The columns a list offers, as its first line gives them.
struct ColumnasLista
{
    QString primeraLinea; // the header line, stored when the list has one
    QStringList nombres;  // offered in the column combos (nombresColumnas)
    int cantidad = 0;     // fields of the first line
};
// The columns of a list whose first line is `primera`.
ColumnasLista columnasDe(const QString &primera, const FormatoLista &formato);

enum class Deteccion { Detectadas, ListaVacia, NoAbre };
// Reads only the first line of the list (bounded, regular files only) and splits it.
Deteccion detectarColumnas(const QString &ruta, const FormatoLista &formato, ColumnasLista &columnas);

} // namespace lista
