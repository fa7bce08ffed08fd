#pragma once
// What each row of a list becomes, decided once per row by one set of rules fixed for the whole
// run: an outbox record (number cleaned, date as dd/MM/yyyy, message filled) or a line of the
// errors file with the reason. The counting pass sums these up for the operator before anything
// is written; the writing pass and a run resumed after a crash apply the very same rules.

#include "lista/plantilla.h"

namespace bajas {
class Lista;
}

#include <QString>
#include <QStringList>
#include <QVector>

namespace lista {

// Why a row goes to the errors file (Ninguno: it becomes a record). The first that applies, in
// this order.
enum class Motivo {
    Ninguno,
    FilaVacia,        // nothing but separators and spaces
    NumeroVacio,      // the number cell is empty (or the row has no such cell)
    NumeroInvalido,   // not an optional "+" and 3 to 15 digits once spaces, dashes... are out
    SinColumnaFecha,  // the chosen date column is not in the list
    FechaVacia,       // the date cell is empty, or the row has no such cell
    FechaIlegible,    // the date cell reads as no date
    FaltaObligatorio, // a mandatory field of the template is empty
    MensajeVacio,     // the template gives no message for the row
    TextoConCampo,    // the message holds a field of the gateway's request ("&num=" ...)
    DadoDeBaja,       // the number is on the opt-out list (checked right after the number is read)
};
inline constexpr int kCantidadMotivos = int(Motivo::DadoDeBaja) + 1;

QString textoMotivo(Motivo motivo);

// The gateway's body is sent as it is: a message holding "&num=", "&key=", "&msg=" or "&stat"
// (in any case, line feeds counted as the "&enter&" they become) would give the request another
// value, and a device that reads the last one would send the text elsewhere. The first such
// field found, as written here ("&num="...), or empty when there is none.
QString campoEnMensaje(QStringView mensaje);
// "texto con &num=" and the like: why such a message is not sent.
QString textoCampoEnMensaje(const QString &campo);

struct ResultadoFila
{
    Motivo motivo = Motivo::Ninguno;
    QString numero;  // cleaned
    QString fecha;   // dd/MM/yyyy
    QString mensaje; // filled and cut to the maximum length
    bool truncado = false;
};

// Everything that turns a row into a record: the template, the column names as detected, the
// chosen number and date columns (no date column, or "--inmediato--", means `hoy`), the
// separator, and the opt-out list (none: no row is refused for it; the caller keeps it alive).
struct EntradasFila
{
    QString plantilla;
    QStringList columnas;
    int cantidadColumnas = 0;
    QString columnaCelular;
    QString columnaFecha;
    QChar separador;
    QString hoy;
    const bajas::Lista *bajas = nullptr;
};

class ReglasFila
{
public:
    explicit ReglasFila(const EntradasFila &entradas);
    ResultadoFila evaluar(QStringView linea) const;

private:
    PlantillaCompilada plantilla;
    int columnaCelular = -1;
    int columnaFecha = -1;
    bool fechaInmediata = true;
    QChar separador;
    QString hoy;
    const bajas::Lista *bajas = nullptr;
    mutable QVector<QStringView> campos; // reused from row to row
};

// A row worth the operator's look: one that goes to the errors file (its reason), or one that
// becomes a record cut at the maximum length or repeating an earlier row's number and message.
struct ProblemaFila
{
    int linea = 0; // 1-based, in the file (the header is line 1)
    QString fila;
    QString motivo;
};

// The counting pass: what every row will become, summed up.
class RevisionLista
{
public:
    void agregar(int linea, const QString &fila, const ResultadoFila &resultado);

    int aEncolar() const { return encolados; }
    int aErrores() const { return errores; }
    int porMotivo(Motivo motivo) const { return motivos[int(motivo)]; }
    int truncados() const { return cortados; }
    int repetidos() const { return repetidas; }
    const QVector<ProblemaFila> &problemas() const { return lista; }
    bool hayAvisos() const { return errores > 0 || cortados > 0 || repetidas > 0; }

private:
    // The line of the first record with this number and message, or 0 after adding it as the first.
    int primeraIgual(const ResultadoFila &resultado, int linea);

    int encolados = 0;
    int errores = 0;
    int cortados = 0;
    int repetidas = 0;
    int motivos[kCantidadMotivos] = {};
    QVector<ProblemaFila> lista;
    // The number and message of every distinct record so far, as a 64-bit hash with the line of its
    // first row, in an open-addressing table: a long list must cost neither an allocation nor a
    // copy of its text per row.
    struct Entrada
    {
        quint64 clave = 0;
        int linea = 0; // lines start at 1: 0 is a free slot
    };
    Entrada &ubicar(quint64 clave);
    QVector<Entrada> tabla;
    int registros = 0;
};

// The lines shown before the confirmation question: records to be added, rows to the errors file
// by reason, repeated rows. Each line ends with a line feed; empty when there is nothing to say
// beyond the question.
QString textoResumen(const RevisionLista &revision);

} // namespace lista
