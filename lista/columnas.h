#pragma once
// Column references of a list: a header name, or "#" and the 1-based column number.

#include <QString>
#include <QStringList>
#include <QStringView>

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

} // namespace lista
