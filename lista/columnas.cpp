#include "lista/columnas.h"

namespace lista {

QStringList referenciasNumericas(int cantidad)
{
    QStringList nombres;
    nombres.reserve(qMax(cantidad, 0));
    for (int k = 1; k <= cantidad; ++k)
        nombres.append(QLatin1Char('#') + QString::number(k));
    return nombres;
}

QStringList nombresColumnas(const QStringList &camposPrimeraLinea, bool conHeader)
{
    QStringList nombres = conHeader ? camposPrimeraLinea : QStringList();
    nombres.append(referenciasNumericas(camposPrimeraLinea.size()));
    return nombres;
}

int resolverColumna(QStringView referencia, const QStringList &columnasHeader, int cantidadColumnas)
{
    for (int k = 0; k < columnasHeader.size(); ++k) {
        if (QStringView(columnasHeader.at(k)) == referencia)
            return k < cantidadColumnas ? k : k - cantidadColumnas;
    }
    return -1;
}

} // namespace lista
