#pragma once
// Text that leaves the program for a spreadsheet (an exported CSV, a copy to the clipboard): a
// cell that starts with "=", "+", "-", "@", TAB or CR would be taken as a formula, so a received
// "=HYPERLINK(...)" would turn live. Such a cell gets a leading apostrophe, which spreadsheets
// show as text. What the program stores keeps its bytes: only what is handed out changes.

#include <QString>

namespace lista {

inline bool pareceFormula(const QString &celda)
{
    if (celda.isEmpty())
        return false;
    const QChar c = celda.at(0);
    return c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
}

inline QString celdaParaHoja(const QString &celda)
{
    return pareceFormula(celda) ? QLatin1Char('\'') + celda : celda;
}

} // namespace lista
