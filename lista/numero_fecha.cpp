#include "lista/numero_fecha.h"

#include <QDate>

namespace lista {

namespace {

bool seDescarta(char16_t c)
{
    switch (c) {
    case u' ':
    case u'\u00A0': // non-breaking space, the thousands separator of Spanish spreadsheets
    case u'\u202F': // narrow non-breaking space
    case u'-':
    case u'\u2010': // hyphen
    case u'\u2011': // non-breaking hyphen
    case u'\u2013': // en dash
    case u'\u2014': // em dash
    case u'.':
    case u'(':
    case u')':
        return true;
    default:
        return false;
    }
}

bool esDigito(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// A run of 1 to `maximo` digits from `i`; its value in `valor`, its length returned (0 if none).
int leerDigitos(QStringView texto, qsizetype i, int maximo, int &valor)
{
    int n = 0;
    valor = 0;
    while (i + n < texto.size() && esDigito(texto[i + n])) {
        if (++n > maximo)
            return 0;
        valor = valor * 10 + (texto[i + n - 1].unicode() - u'0');
    }
    return n;
}

void dosDigitos(QChar *p, int valor)
{
    p[0] = QChar(u'0' + valor / 10);
    p[1] = QChar(u'0' + valor % 10);
}

} // namespace

bool limpiarNumero(QStringView celda, QString &limpio)
{
    // resize(0) keeps the string's room for the next row.
    limpio.resize(0);
    limpio.reserve(int(celda.size()));
    int digitos = 0;
    for (const QChar c : celda) {
        if (esDigito(c)) {
            ++digitos;
            limpio.append(c);
        } else if (c == u'+' && limpio.isEmpty()) {
            limpio.append(c);
        } else if (!seDescarta(c.unicode())) {
            limpio.resize(0);
            return false;
        }
    }
    if (digitos < kMinimoDigitos || digitos > kMaximoDigitos) {
        limpio.resize(0);
        return false;
    }
    return true;
}

bool leerFechaCelda(QStringView celda, QString &fecha)
{
    fecha.resize(0);
    const QStringView t = celda.trimmed();
    int a = 0, b = 0, c = 0;
    // ddMMyyyy, the worker's other form, without separators.
    if (t.size() == 8 && leerDigitos(t, 0, 8, a) == 8) {
        if (!QDate::isValid(a % 10000, a / 10000 % 100, a / 1000000))
            return false;
        fecha.resize(10);
        QChar *p = fecha.data();
        dosDigitos(p, a / 1000000);
        p[2] = QChar(u'/');
        dosDigitos(p + 3, a / 10000 % 100);
        p[5] = QChar(u'/');
        dosDigitos(p + 6, a % 10000 / 100);
        dosDigitos(p + 8, a % 100);
        return true;
    }
    // Three runs of digits between two equal separators.
    const int la = leerDigitos(t, 0, 4, a);
    if (la == 0 || la >= t.size())
        return false;
    const QChar separador = t[la];
    if (separador != u'/' && separador != u'-')
        return false;
    const int lb = leerDigitos(t, la + 1, 2, b);
    const qsizetype segundo = la + 1 + lb;
    if (lb == 0 || segundo >= t.size() || t[segundo] != separador)
        return false;
    const int lc = leerDigitos(t, segundo + 1, 4, c);
    if (lc == 0 || segundo + 1 + lc != t.size())
        return false;

    int dia = 0, mes = b, anio = 0;
    if (la <= 2 && lc == 4) { // d/M/yyyy, dd/MM/yyyy, dd-MM-yyyy
        dia = a;
        anio = c;
    } else if (la == 4 && lc <= 2 && separador == u'-') { // yyyy-MM-dd
        anio = a;
        dia = c;
    } else {
        return false;
    }
    if (!QDate::isValid(anio, mes, dia))
        return false;
    fecha.resize(10);
    QChar *p = fecha.data();
    dosDigitos(p, dia);
    p[2] = QChar(u'/');
    dosDigitos(p + 3, mes);
    p[5] = QChar(u'/');
    dosDigitos(p + 6, anio / 100);
    dosDigitos(p + 8, anio % 100);
    return true;
}

} // namespace lista
