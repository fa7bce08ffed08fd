#pragma once
// The worker's two rules, as pure functions of their inputs: is a record's date due, and may
// records be sent at this time of day.

#include <QDate>
#include <QString>
#include <QTime>

namespace reglas_envio {

// The sending date of a record: with every "/" removed the text reads as "ddMMyyyy", or it
// reads as "d/M/yyyy" (one- or two-digit day and month). Anything else gives an invalid date.
QDate leerFecha(const QString &texto);
// The same over the record's UTF-8 bytes; fast for the usual shapes, no allocation.
QDate leerFecha(const char *datos, int largo);

// False only for a text that reads as a date later than hoy: today, earlier dates and texts that
// are no date at all ("--inmediato--", empty) are due.
bool fechaVencida(const QString &texto, const QDate &hoy);
bool fechaVencida(const char *datos, int largo, const QDate &hoy);

// True when bit h of the mask is set for the hour h of hora; the slot of hour 23 reaches up
// to midnight. Bits 24 to 31 mean nothing.
bool horarioPermitido(int mascara, const QTime &hora);

} // namespace reglas_envio
