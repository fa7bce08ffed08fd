#pragma once
// Writers of the data files the service appends to (outbox and errors file). They take no lock:
// the outbox's owner calls them under its own.
// Every data file is UTF-8, whatever the locale. A record (or a list run's batch of records) goes
// out in one unbuffered write and is either appended whole or not at all: a write cut short by a
// full disk is cut back through the descriptor, so no piece of it can be read later as a record
// of its own.

#include <QFile>
#include <QString>
#include <QVector>

namespace archivos_datos {

// The line end of every data file: the platform's.
#ifdef Q_OS_WIN
inline constexpr char kFinLinea[] = "\r\n";
#else
inline constexpr char kFinLinea[] = "\n";
#endif

// The debug line every failed open of a data file writes.
void avisarFalloApertura(const QString &ruta);

// Opens a data file through archivo_seguro::abrir (a regular file, no link at the path, never
// blocking) and says why it did not: the debug line above, or once the line that refuses a path
// that is no file.
bool abrirDatos(QFile &archivo, const QString &ruta, QIODevice::OpenMode modo);

// One outbox record without its line end: "e," numero "," fecha "," mensaje, with every line
// feed of the message turned into "&enter&". No quoting: commas in the message stay as they are.
QString lineaRegistroOutbox(const QString &numero, const QString &fecha, const QString &mensaje);

// Appends one pending record and its line end to the outbox. False (after the
// debug line) when the file cannot be opened or the whole line cannot be written; the file is
// then as it was.
bool agregarRegistroOutbox(const QString &rutaSalidas, const QString &numero, const QString &fecha,
                           const QString &mensaje);

// Appends a line exactly as given, plus a line end, to the errors file. Same rules.
bool agregarLineaErrores(const QString &rutaErrores, const QString &linea);

// Appends the records of one list run through a single handle. Opening and
// closing the outbox for every record cost more than everything else a long run does. Only
// compaction replaces the outbox, and it runs on the window's thread after a run, never while an
// appender is alive.
class AnexadorOutbox
{
public:
    explicit AnexadorOutbox(const QString &rutaSalidas);
    Q_DISABLE_COPY(AnexadorOutbox)
    // Same contract as agregarRegistroOutbox.
    bool agregar(const QString &numero, const QString &fecha, const QString &mensaje);

    // Records held back to go out together: a write per record cost a long run more than all the
    // rest. vaciar() writes them in one write, all or (on failure) none, and drops them either
    // way; true when nothing was held. A caller that also writes elsewhere empties the batch
    // first, so that lines reach their files in the order of their rows.
    void acumular(const QString &numero, const QString &fecha, const QString &mensaje);
    // The size held, in UTF-16 code units, and the size past which a batch is worth writing.
    int acumulado() const { return int(m_lote.size()); }
    static constexpr int kLote = 1 << 15;
    bool vaciar();

private:
    bool escribir(const QByteArray &bytes);

    QString m_ruta;
    QFile m_archivo;
    qint64 m_tamano = 0;
    QString m_linea; // reused from record to record
    QString m_lote;
};

// The same for the errors file of a list run (no lock: only the run writes it meanwhile).
class AnexadorErrores
{
public:
    explicit AnexadorErrores(const QString &rutaErrores);
    Q_DISABLE_COPY(AnexadorErrores)
    // Same contract as agregarLineaErrores.
    bool agregar(const QString &linea);

private:
    QString m_ruta;
    QFile m_archivo;
    qint64 m_tamano = 0;
};

// Moves `origen` over `destino` in one step: whoever opens `destino` finds the old file or the
// new one, never none. Only beside the temporary, in its folder, and never over a link: a
// destination that is one is refused (false, with the line that says so).
bool reemplazar(const QString &origen, const QString &destino);
// Puts what was written to `archivo` on disk (before a replace, so that a power cut cannot leave
// a renamed but empty file).
bool aDisco(QFile &archivo);
// Writes `bytes` to `ruta` through the fixed temporary `ruta` + ".tmp", created anew whatever
// stood there, and replaces the file with it; on failure the file is as it was.
bool guardarEntero(const QString &ruta, const QByteArray &bytes);

// What a data file is and how it stands, as the system tells: the file itself (its device and
// number, which a rename over the path changes), its size and the time of its last change, to the
// nanosecond where the system keeps one. `tamano` is -1 when there is no file.
struct Sello
{
    quint64 dispositivo = 0;
    quint64 numero = 0;
    qint64 tamano = -1;
    qint64 modificado = 0;

    bool operator==(const Sello &o) const
    {
        return dispositivo == o.dispositivo && numero == o.numero && tamano == o.tamano &&
               modificado == o.modificado;
    }
    bool operator!=(const Sello &o) const { return !(*this == o); }
};
Sello selloDe(const QString &ruta);
Sello selloDe(QFile &abierto);

// The program's own changes to the outbox, for those that remember how they last saw it (the
// worker's scan, the queue tab): when the file's seal is the one the program's last append or mark
// left and no break has happened since they looked, every change since was one of its appends or
// marks. A break is a rewrite, a cut, or a change by someone else found under one of the
// program's own writes (the file was not as its last write had left it). Kept per path, for the
// whole process.
struct CambiosPropios
{
    quint64 cortes = 0;
    quint64 marcas = 0; // marks written, ever
    Sello ultimo;       // the file as the last write of the program left it
};
CambiosPropios cambiosPropios(const QString &ruta);
// The offsets the marks from number `desde` on were written at; false when so many marks have
// been written since that they are no longer remembered.
bool marcasDesde(const QString &ruta, quint64 desde, QVector<qint64> &posiciones);
enum class Cambio { Anexo, Marca, Reescritura };
// Told by every writer of the outbox, under its owner's lock, with the file's seal before and after.
void anotarCambio(const QString &ruta, const Sello &antes, const Sello &despues, Cambio cambio,
                  qint64 posicion = -1);

// One of the program's data files and how the operator knows it ("la bandeja de salida").
struct ArchivoDatos
{
    QString ruta;
    QString nombre;
};

// Whether two paths name the same file (symbolic links and "." / ".." resolved; the file need
// not exist). An empty path is no file.
bool mismoArchivo(const QString &a, const QString &b);

// The name of the first of `otros` that is the same file as `ruta`, or empty.
QString archivoCoincidente(const QString &ruta, const QVector<ArchivoDatos> &otros);

} // namespace archivos_datos
