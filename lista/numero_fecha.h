#pragma once
// The destination number and the sending date of a list row, read the way offices write them.
// What cannot be read is refused here rather than queued: a number the gateway cannot reach, or
// a date the worker would take as "due now", must never leave.

#include <QString>
#include <QStringView>

namespace lista {

// Digits of a number, after its optional "+".
inline constexpr int kMinimoDigitos = 3;
inline constexpr int kMaximoDigitos = 15;

// The number as the outbox holds it: spaces (plain and non-breaking), dashes, dots and
// parentheses are dropped; what is left must be an optional leading "+" and 3 to 15 ASCII
// digits. False when it is not; `limpio` is then left empty.
bool limpiarNumero(QStringView celda, QString &limpio);

// A date cell written dd/MM/yyyy, d/M/yyyy, yyyy-MM-dd, dd-MM-yyyy (outer spaces ignored, day
// and month of one or two digits) or ddMMyyyy that names a real day, as "dd/MM/yyyy". False when it reads as
// none of them; `fecha` is then left empty.
bool leerFechaCelda(QStringView celda, QString &fecha);

} // namespace lista
