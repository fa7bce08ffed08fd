#include "lista/columnas.h"

#include "ajustes/ajustes.h"
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

namespace {

// Lower case without accents: "Teléfono" and "TELEFONO" read alike.
QString sinAcentos(const QString &texto)
{
    const QString descompuesto = texto.normalized(QString::NormalizationForm_D);
    QString limpio;
    limpio.reserve(descompuesto.size());
    for (const QChar c : descompuesto) {
        if (!c.isMark())
            limpio.append(c);
    }
    return limpio.toCaseFolded();
}

} // namespace

QString columnaTelefono(const QStringList &nombres, int cantidad)
{
    static const char *const kPalabras[][3] = {{"celular", "movil", "telefono"},
                                               {"numero", nullptr, nullptr}};
    const int n = qMin(cantidad, int(nombres.size()));
    for (const auto &grupo : kPalabras) {
        for (int k = 0; k < n; ++k) {
            const QString nombre = sinAcentos(nombres.at(k));
            for (const char *palabra : grupo) {
                if (palabra && nombre.contains(QLatin1String(palabra)))
                    return nombres.at(k);
            }
        }
    }
    return QString();
}

EleccionColumnas elegirColumnas(const QString &celularGuardada, const QString &fechaGuardada,
                                const QStringList &nombres, int cantidad)
{
    const QString inmediato = QString::fromLatin1(ajustes::kInmediato);
    EleccionColumnas e;
    e.celular = resolverColumna(celularGuardada, nombres, cantidad) >= 0 ? celularGuardada
                                                                         : columnaTelefono(nombres, cantidad);
    e.fecha = fechaGuardada == inmediato || resolverColumna(fechaGuardada, nombres, cantidad) >= 0
                  ? fechaGuardada
                  : inmediato;
    return e;
}

ColumnasLista columnasDe(const QString &primera, const FormatoLista &formato)
{
    const QStringList campos = separarLinea(primera, formato);
    ColumnasLista columnas;
    columnas.primeraLinea = primera;
    columnas.cantidad = campos.size();
    columnas.nombres = nombresColumnas(campos, formato.tieneHeader);
    return columnas;
}

Deteccion detectarColumnas(const QString &ruta, const FormatoLista &formato, ColumnasLista &columnas)
{
    QString primera;
    bool hayLinea = false;
    if (leerPrimeraLinea(ruta, primera, hayLinea) != Lectura::Bien)
        return Deteccion::NoAbre;
    if (!hayLinea)
        return Deteccion::ListaVacia;
    columnas = columnasDe(primera, formato);
    return Deteccion::Detectadas;
}

} // namespace lista
