#pragma once
// The journal of a list run: a small file in the data folder, written (whole, on disk) before the
// first row of a writing pass and removed once the run is over. While a run writes, nothing else
// appends to the outbox or the errors file, and every row gives exactly one whole line in exactly
// one of them, in row order. The journal keeps everything that decides what a row becomes and a
// fingerprint of the list's lines, so after a crash the rows already done are recognised by the
// records the run wrote beyond the outbox's recorded size, whatever happened since to the list's
// time or to the errors file, and the run goes on from the next row: none twice, none lost.

#include "lista/corrida_lista.h"
#include "lista/revision_lista.h"

#include <QString>
#include <QStringList>

namespace diario_corrida {

struct Diario
{
    // The list as it was read; its lines' fingerprint (huella) is what identifies it.
    QString rutaLista;
    qint64 tamanoLista = 0;
    qint64 modificadaLista = 0; // ms since the epoch
    QString huellaLista;
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
// The fingerprint of a list's lines (SHA-256, hexadecimal): a list saved again, touched or copied
// keeps it; any change of what its rows say does not.
QString huella(const QStringList &lineas);
// Whether `lineas` are the lines the run read (by fingerprint; a journal without one, written
// before fingerprints were kept, by the list's size and time).
bool mismasLineas(const Diario &diario, const QStringList &lineas);
// Whether the list at the journal's path is still the one the run read: the same size and time,
// or else the same lines.
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

// What a run cut short had done in its last writing pass.
struct Avance
{
    // False: the outbox does not tell which rows went in (it is shorter than recorded, or holds
    // a line that is not the next record of the list).
    bool reconocido = false;
    int hechas = 0;    // data rows of the pass done, from its first row
    int agregados = 0; // records they gave
    // Whole outbox lines written since the size was recorded, recognised or not; -1 when the
    // outbox is shorter than that size.
    int lineasNuevas = 0;
};

// The rows of the pass that began at data row `filasPrevias` are evaluated with `reglas` (the
// journal's inputs, without the opt-out list: the evaluation is the same as the run's, but for the
// numbers that opted out meanwhile). The outbox's whole lines after tamanoSalidas must be, in
// order, the records of those rows (the status character aside, which the worker may have turned
// to "E"), where a row whose record is not next may have gone to the errors file, its number
// being on the opt-out list when it was written; the rows are done up to the last record found, and beyond
// it as far as the errors file shows the error rows' lines in order after tamanoErrores. An errors
// file cut, removed or changed only makes it show fewer: its lines never count records. A last
// line that a crash left without its line end is cut away from both files. Call under the lock of
// the outbox's owner.
Avance reconocerAvance(const Diario &diario, const QStringList &lineas, const lista::ReglasFila &reglas);

} // namespace diario_corrida
