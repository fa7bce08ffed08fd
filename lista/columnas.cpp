#include "lista/columnas.h"

#include "lista/lectura_lista.h"

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

Deteccion detectarColumnas(const QString &ruta, const FormatoLista &formato, ColumnasLista &columnas)
{
    QString primera;
    bool hayLinea = false;
    if (leerPrimeraLinea(ruta, primera, hayLinea) != Lectura::Bien)
        return Deteccion::NoAbre;
    if (!hayLinea)
        return Deteccion::ListaVacia;
    const QStringList campos = separarLinea(primera, formato);
    columnas.primeraLinea = primera;
    columnas.cantidad = campos.size();
    columnas.nombres = nombresColumnas(campos, formato.tieneHeader);
    return Deteccion::Detectadas;
}

} // namespace lista
