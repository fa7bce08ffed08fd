#pragma once
// The journal of a list run: a small file in the data folder, written (whole, on disk) before the
// first row of a writing pass and removed once the run is over. While a run writes, nothing else
// appends to the outbox or the errors file, and every row gives exactly one whole line in exactly
// one of them, in row order. So after a crash the rows already done are the whole lines beyond
// the sizes recorded here (plus the rows done before them), and the run goes on from the next
// row: none twice, none lost.

#include "lista/corrida_lista.h"

#include <QString>
#include <QStringList>

namespace diario_corrida {

struct Diario
{
    // The list as it was read.
    QString rutaLista;
    qint64 tamanoLista = 0;
    qint64 modificadaLista = 0; // ms since the epoch
    corrida_lista::Modo modo = corrida_lista::Modo::Simple;
    // Rows done, and records added, before the sizes below were taken (a run resumed once).
    int filasPrevias = 0;
    int agregadosPrevios = 0;
    // Where the rows go, and the size of each before the first row written since.
    QString rutaSalidas;
    qint64 tamanoSalidas = 0;
    QString rutaErrores;
    qint64 tamanoErrores = 0;
    // What turns a row into a record, fixed for the whole run.
    QString plantilla;
    QString columnaCelular;
    QString columnaFecha;
    QStringList columnas;
    int cantidadColumnas = 0;
    QString hoy;
    bool tieneHeader = true;
    bool usarComa = true;
    bool usarTab = false;
    bool usarPuntoComa = false;
    // Every row has its line; only moving the list away may be left.
    bool completa = false;
};

// Size and modification time of the file at `ruta`; false when there is none.
bool identidad(const QString &ruta, qint64 &tamano, qint64 &modificada);
// Whether the list at the journal's path is still the one the run read.
bool mismaLista(const Diario &diario);
// Size of a data file before a run: 0 when it does not exist yet.
qint64 tamanoActual(const QString &ruta);

// The journal holds the list's column names and the template: a list's header line may hold a
// million of them, far more than a journal is otherwise. One past this is not written at all.
inline constexpr qint64 kTamanoMaximoDiario = qint64(64) << 20;

// Replaces the journal at `ruta` in one step, flushed to disk before it takes the old one's place.
bool guardar(const QString &ruta, const Diario &diario);
// False when there is no journal or it cannot be read.
bool leer(const QString &ruta, Diario &diario);

// Whole lines of the file beyond byte `desde`. A last line without its line end (cut by a crash)
// is truncated away first. False when the file is shorter than `desde` (it was replaced) or
// cannot be opened; a missing file counts 0 lines when `desde` is 0.
bool contarLineasDesde(const QString &ruta, qint64 desde, int &lineas);

} // namespace diario_corrida
