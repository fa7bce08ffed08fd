#pragma once
// Writers of the data files the window appends to (outbox and errors file), and the one lock
// that every access to the outbox goes through, from the window's thread and the worker's.
// Every data file is UTF-8, whatever the locale; each write is one open, write, flush, close.

#include <QFile>
#include <QString>

class QRecursiveMutex;

namespace archivos_datos {

// The process-wide lock around every outbox access: append, scan, mark, count, compaction.
// Recursive, so that a caller may hold it across a call and the update that follows it (the
// worker marks a line and adjusts its counters as one step).
QRecursiveMutex &bloqueoOutbox();

// The debug line every failed open of a data file writes.
void avisarFalloApertura(const QString &ruta);

// One outbox record without its line end: "e," numero "," fecha "," mensaje, with every line
// feed of the message turned into "&enter&". No quoting: commas in the message stay as they are.
QString lineaRegistroOutbox(const QString &numero, const QString &fecha, const QString &mensaje);

// Appends one pending record and its line end to the outbox, under the lock. Returns false
// (after the debug line) when the file cannot be opened or the whole line cannot be written;
// a line cut short by a failed write is taken back so that the next record starts on its own.
bool agregarRegistroOutbox(const QString &rutaSalidas, const QString &numero, const QString &fecha,
                           const QString &mensaje);

// Appends a line exactly as given, plus a line end, to the errors file. Same failure rules.
bool agregarLineaErrores(const QString &rutaErrores, const QString &linea);

// Appends the records of one list run through a single handle, one whole line written and
// flushed per record, under the lock. Opening and closing the outbox for every record cost more
// than everything else a long run does. Only compaction replaces the outbox, and it runs on the
// window's thread after a run, never while an appender is alive.
class AnexadorOutbox
{
public:
    explicit AnexadorOutbox(const QString &rutaSalidas);
    // Same contract as agregarRegistroOutbox.
    bool agregar(const QString &numero, const QString &fecha, const QString &mensaje);

private:
    QFile archivo;
    qint64 tamano = 0;
};

} // namespace archivos_datos
