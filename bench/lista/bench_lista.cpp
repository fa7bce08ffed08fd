// Rows per second for splitting list lines and filling a template, over a generated list of
// 100,000 rows with 10 quoted columns and a template with 4 fields.
//   bench_lista [filas] [vueltas]

#include "lista/columnas.h"
#include "lista/plantilla.h"
#include "lista/separar_linea.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const QStringList kHeader{"nombre",    "apellido", "celular", "deuda", "vencimiento",
                          "direccion", "ciudad",   "cliente", "plan",  "observaciones"};

QStringList generarLista(int filas)
{
    QStringList lineas;
    lineas.reserve(filas);
    for (int k = 0; k < filas; ++k) {
        lineas.append(
            QStringLiteral("\"Nombre %1\",\"Apellido, %2\",\"11%3\",\"%4.50\",\"%5/06/2024\","
                           "\"Calle %6, piso 3\",\"Ciudad\",\"C-%7\",\"Plan %8\",\"Sin observaciones\"")
                .arg(k)
                .arg(k * 7)
                .arg(40000000 + k)
                .arg(k % 9000)
                .arg(1 + k % 28, 2, 10, QLatin1Char('0'))
                .arg(k % 5000)
                .arg(k)
                .arg(k % 4));
    }
    return lineas;
}

struct Medida
{
    const char *nombre;
    double segundos;
};

template <typename F> double mejorDe(int vueltas, F &&f)
{
    double mejor = 1e300;
    for (int v = 0; v < vueltas; ++v) {
        QElapsedTimer reloj;
        reloj.start();
        f();
        mejor = std::min(mejor, reloj.nsecsElapsed() / 1e9);
    }
    return mejor;
}

} // namespace

int main(int argc, char **argv)
{
    const int filas = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int vueltas = argc > 2 ? std::atoi(argv[2]) : 5;
    const QStringList lineas = generarLista(filas);
    const QString plantilla =
        QStringLiteral("Hola [nombre], su deuda de ${deuda} vence el [vencimiento]. Plan: [#9]. Gracias.");
    const QStringList columnas = lista::nombresColumnas(kHeader, true);
    const int cantidad = kHeader.size();
    const lista::BuscadorColumna buscar = [&](QStringView ref) {
        return lista::resolverColumna(ref, columnas, cantidad);
    };
    const lista::FormatoLista formato{true, false};

    // Checks once that the generated rows really split into 10 fields and fill as expected.
    const QStringList muestra = lista::separarLinea(lineas.at(1), formato);
    const lista::MensajeLlenado m = lista::llenarPlantilla(plantilla, muestra, buscar);
    std::printf("muestra: %d campos, \"%s\"\n", int(muestra.size()), qPrintable(m.mensaje));
    if (muestra.size() != 10 || m.mensaje.isEmpty())
        return 1;

    volatile qsizetype sumidero = 0;
    QVector<QStringList> separadas(filas);
    QVector<Medida> medidas;
    medidas.append({"separar (QStringList)", mejorDe(vueltas, [&] {
                        for (int k = 0; k < filas; ++k)
                            separadas[k] = lista::separarLinea(lineas.at(k), formato);
                    })});
    medidas.append({"llenar", mejorDe(vueltas, [&] {
                        for (int k = 0; k < filas; ++k)
                            sumidero +=
                                lista::llenarPlantilla(plantilla, separadas.at(k), buscar).mensaje.size();
                    })});
    medidas.append({"separar + llenar (QStringList)", mejorDe(vueltas, [&] {
                        for (int k = 0; k < filas; ++k) {
                            const QStringList campos = lista::separarLinea(lineas.at(k), formato);
                            sumidero += lista::llenarPlantilla(plantilla, campos, buscar).mensaje.size();
                        }
                    })});
    medidas.append({"separar + llenar (vistas)", mejorDe(vueltas, [&] {
                        QVector<QStringView> campos;
                        const QChar sep = lista::separadorDe(formato);
                        for (int k = 0; k < filas; ++k) {
                            lista::separarLineaEnVistas(lineas.at(k), sep, campos);
                            sumidero += lista::llenarPlantilla(plantilla, campos, buscar).mensaje.size();
                        }
                    })});

    std::printf("%d filas, 10 columnas entre comillas, plantilla de 4 campos; mejor de %d vueltas\n", filas,
                vueltas);
    for (const Medida &md : medidas)
        std::printf("  %-32s %8.1f ms  %12.0f filas/s\n", md.nombre, md.segundos * 1e3, filas / md.segundos);
    return 0;
}
