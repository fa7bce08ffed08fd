#include "envio/reglas_envio.h"

namespace reglas_envio {

namespace {

bool esDigito(char c)
{
    return c >= '0' && c <= '9';
}

// Value of n ASCII digits at p, or -1 if one of them is not a digit.
int numero(const char *p, int n)
{
    int valor = 0;
    for (int i = 0; i < n; ++i) {
        if (!esDigito(p[i]))
            return -1;
        valor = valor * 10 + (p[i] - '0');
    }
    return valor;
}

// The shapes the program and the lists write: eight digits once the slashes are gone, or
// d/M/yyyy. Sets *reconocida when the text has one of them.
QDate leerRapido(const char *datos, int largo, bool *reconocida)
{
    *reconocida = false;
    char digitos[8];
    int cuenta = 0;
    int barras = 0;
    int posBarra[2] = {-1, -1};
    for (int i = 0; i < largo; ++i) {
        const char c = datos[i];
        if (c == '/') {
            if (barras < 2)
                posBarra[barras] = i;
            ++barras;
        } else if (esDigito(c) && cuenta < 8) {
            digitos[cuenta++] = c;
        } else {
            return QDate();
        }
    }
    if (cuenta == 8 && largo - barras == 8) {
        *reconocida = true;
        return QDate(numero(digitos + 4, 4), numero(digitos + 2, 2), numero(digitos, 2));
    }
    if (barras == 2) {
        const int largoDia = posBarra[0];
        const int largoMes = posBarra[1] - posBarra[0] - 1;
        const int largoAnio = largo - posBarra[1] - 1;
        if (largoDia >= 1 && largoDia <= 2 && largoMes >= 1 && largoMes <= 2 && largoAnio == 4) {
            *reconocida = true;
            return QDate(numero(datos + posBarra[1] + 1, 4), numero(datos + posBarra[0] + 1, largoMes),
                         numero(datos, largoDia));
        }
    }
    return QDate();
}

} // namespace

QDate leerFecha(const char *datos, int largo)
{
    bool reconocida = false;
    const QDate rapida = leerRapido(datos, largo, &reconocida);
    if (reconocida)
        return rapida;
    // Rare shapes: let the date parser decide, with the same two formats.
    const QString texto = QString::fromUtf8(datos, largo);
    QString sinBarras = texto;
    sinBarras.remove(QLatin1Char('/'));
    QDate fecha = QDate::fromString(sinBarras, QStringLiteral("ddMMyyyy"));
    if (!fecha.isValid())
        fecha = QDate::fromString(texto, QStringLiteral("d/M/yyyy"));
    return fecha;
}

QDate leerFecha(const QString &texto)
{
    const QByteArray bytes = texto.toUtf8();
    return leerFecha(bytes.constData(), bytes.size());
}

bool fechaVencida(const char *datos, int largo, const QDate &hoy)
{
    const QDate fecha = leerFecha(datos, largo);
    return !(fecha.isValid() && fecha > hoy);
}

bool fechaVencida(const QString &texto, const QDate &hoy)
{
    const QDate fecha = leerFecha(texto);
    return !(fecha.isValid() && fecha > hoy);
}

bool horarioPermitido(int mascara, const QTime &hora)
{
    if (!hora.isValid())
        return false;
    const int h = hora.hour();
    return ((static_cast<quint32>(mascara) >> h) & 1u) != 0;
}

} // namespace reglas_envio
