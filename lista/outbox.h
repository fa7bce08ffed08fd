#pragma once
// Reading, marking, counting and compacting the outbox "salidas.csv". Every operation opens the
// file for itself and closes it before returning. None takes a lock: their one user, the sending
// service, holds its own around each, so appends and compactions never interleave with the
// worker's scans and marks. The file is read as bytes (UTF-8) with byte offsets; a line ends at "\n", and a
// "\r" before it is not part of the line.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVector>

#include <functional>

class QFile;

namespace outbox {

// Splits a file into lines with their byte offsets, reading it in large blocks from where the file
// stands (a line's start). The line's bytes stay valid until the next call to siguiente(). A line longer than
// kLargoMaximoLinea is no record: it is passed over without being held (a sparse file's holes skipped whole).
class LectorLineas
{
public:
    static constexpr int kLargoMaximoLinea = 1 << 20;
    explicit LectorLineas(QFile &archivo);
    bool siguiente();
    qint64 posicion() const { return posLinea; }
    const char *datos() const { return buffer.constData() + inicioLinea; }
    int largo() const { return largoLinea; }
    bool fallo() const { return errorLectura; }

private:
    void saltarHueco();

    QFile &archivo;
    QByteArray buffer;
    int inicio = 0;
    int fin = 0;
    qint64 base = 0;
    bool finArchivo = false;
    bool errorLectura = false;
    bool descartando = false;
    qint64 posLinea = 0;
    int inicioLinea = 0;
    int largoLinea = 0;
};

// The first record that may go now.
struct Pendiente
{
    qint64 posicion = -1; // byte offset of the line
    QByteArray linea;     // the whole line as stored, without its line end
    QString numero;
    QString fecha;
    QString mensaje; // everything after the third comma
};

enum class ResultadoBusqueda { Encontrado, NoHay, NoAbre };

// Reads from the first line on and stops at the first line whose status field is exactly "e",
// whose number is not empty and holds none of "&", "=" (either would change the gateway
// request), NUL, CR or LF, whose message holds no field of the request (lista::campoEnMensaje),
// and whose date is due on hoy. Lines with fewer than four fields are passed over
// with the debug line "outbox - falta columna...".
// `vencida` tells whether a record's date field (its UTF-8 bytes) is due now: the sending rules
// are the worker's, the outbox only applies them.
// `omitir`, when given, is asked once for every line whose status field is "e", in file order,
// with the whole line: true passes over it (a record held out of sending).
using FechaVencida = std::function<bool(const char *fecha, int largo)>;
using Omitir = std::function<bool(const char *linea, int largo)>;
ResultadoBusqueda buscarPendiente(const QString &rutaSalidas, const FechaVencida &vencida,
                                  Pendiente &encontrado, const Omitir &omitir = Omitir());
// That rule for one line at `posicion`: true (and `encontrado` filled) when it may go. `omitir` is
// asked exactly for the lines whose status field is "e" and that have their four fields.
bool elegible(const char *linea, int largo, qint64 posicion, const FechaVencida &vencida,
              const Omitir &omitir, Pendiente &encontrado);

enum class ResultadoMarca { Marcada, NoEncontrada, NoAbre, FalloEscritura };

// Writes "E" over the "e" of the record handed over earlier. The line at the remembered offset is
// used only if it still is that record (pending, same bytes, at a line start); otherwise the first
// pending line equal to it is marked. Another record is never marked.
ResultadoMarca marcarEnviado(const QString &rutaSalidas, qint64 posicion, const QByteArray &linea,
                             qint64 *posicionMarcada = nullptr);

// Number of lines whose first byte is estado ('e' pending, 'E' sent). False if the file cannot
// be opened (after the debug line); the count is then 0.
bool contarPorEstado(const QString &rutaSalidas, char estado, int &cuenta);

// Number of lines of any file (the received-messages file).
bool contarLineas(const QString &ruta, int &cuenta);

// A pending record as the queue shows it: where it is and what it says.
struct RegistroPendiente
{
    qint64 posicion = -1; // byte offset of the line
    int numeroLinea = 0;  // 1-based line number in the outbox
    QByteArray linea;     // the whole line as stored, without its line end
    QString numero;
    QString fecha;
    QString mensaje;
};

// Every line whose status field is exactly "e" and that has its four fields, in file order.
// False (after the debug line) when the outbox cannot be opened.
bool leerPendientes(const QString &rutaSalidas, QVector<RegistroPendiente> &pendientes);
// The same records one at a time, none kept: `visitar` may take the record's contents.
bool recorrerPendientes(const QString &rutaSalidas, const std::function<void(RegistroPendiente &)> &visitar);

enum class ResultadoCompactacion { Hecha, NoAbreSalidas, NoAbreTemporal, FalloEscritura };

// A record as it was seen: its offset and its bytes.
struct Referencia
{
    qint64 posicion = -1;
    QByteArray linea;
};
// Asked during the rewrite: the record handed to the gateway, if any.
using EnMano = std::function<bool(Referencia &registro)>;

struct ResultadoCancelacion
{
    ResultadoCompactacion resultado = ResultadoCompactacion::Hecha;
    int cancelados = 0;
    int enMano = 0;               // asked for, but with a gateway: kept
    int noEncontrados = 0;        // no longer pending (sent meanwhile, or already gone)
    QVector<QByteArray> quitadas; // the lines taken out, once the rewrite is done
};

// Removes the given pending records from the outbox through the compaction's atomic rewrite,
// every other line stays as it is. A record is found at its offset with the
// same bytes, or, when the file was rewritten since it was read, as an equal pending line not
// already taken (equal pending records are interchangeable). The record `enMano` names is
// never removed: it is found the way the worker's mark finds it.
ResultadoCancelacion cancelar(const QString &rutaSalidas, const QString &rutaTemporal,
                              const QVector<Referencia> &registros, const EnMano &enMano);
// The same with every record in hand, one per gateway.
ResultadoCancelacion cancelar(const QString &rutaSalidas, const QString &rutaTemporal,
                              const QVector<Referencia> &registros, const QVector<Referencia> &enMano);

// Puts one pending record before every other line of the outbox, through the same rewrite, so
// that the worker's scan finds it first.
ResultadoCompactacion agregarPrimero(const QString &rutaSalidas, const QString &rutaTemporal,
                                     const QString &numero, const QString &fecha, const QString &mensaje);

// Rewrites the outbox with only its pending lines ("e" first), in their order. They are written
// to rutaTemporal ("compactando.csv", in the outbox's folder), which then takes the outbox's
// place by one atomic rename once it is complete and on disk, so there is never a moment without
// a complete outbox: on any failure the outbox is left as it was and the temporary removed. No
// other file is touched.
ResultadoCompactacion compactar(const QString &rutaSalidas, const QString &rutaTemporal);

} // namespace outbox
