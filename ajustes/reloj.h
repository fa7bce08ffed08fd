#pragma once
// The program's one clock: the date and time of day that the worker's schedule and due dates,
// the dates of list records and manual sends, and the date of received messages are taken from.
// Tests set it to a fixed moment; every thread reads the same one.

#include <QDate>
#include <QDateTime>

#include <functional>

namespace reloj {

QDateTime ahora();
QDate hoy();
// "dd/MM/yyyy", the date format of the outbox and the received-messages file.
QString hoyTexto();

// Replaces the clock for the whole process; an empty function brings back the system's.
void fijar(std::function<QDateTime()> fuente);

} // namespace reloj
