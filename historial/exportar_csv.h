#pragma once
// Export of what a history tab shows to a CSV file the spreadsheets open as it is: UTF-8 with a
// byte order mark, the operator's separator (";" or ","), fields quoted as RFC 4180 says (a field
// holding the separator, a double quote or a line break goes between double quotes, its double
// quotes doubled), lines ended by CR LF, a header line first. A field that a spreadsheet would
// take for a formula is written as text (lista/celda_hoja.h).

#include "historial/consultas.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace historial {

QByteArray campoCsv(const QString &campo, QChar separador);
// The fields joined by the separator, with CR LF.
QByteArray lineaCsv(const QStringList &campos, QChar separador);

// Every row of `tabla` matching `c`, newest first, written to `ruta` in one go (the file is
// replaced only once complete). False with `error` set when it cannot be written.
bool exportar(const QSqlDatabase &db, const Tabla &tabla, const Condicion &c, QChar separador,
              const QString &ruta, QString &error, qint64 *filas = nullptr);

} // namespace historial
