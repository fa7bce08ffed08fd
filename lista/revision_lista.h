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

#include <functional>

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
    // The same into `r`, whose strings keep their room from row to row.
    void evaluar(QStringView linea, ResultadoFila &r) const;

private:
    PlantillaCompilada plantilla;
    int columnaCelular = -1;
    int columnaFecha = -1;
    bool fechaInmediata = true;
    QChar separador;
    QString hoy;
    const bajas::Lista *bajas = nullptr;
    mutable QVector<QStringView> campos; // reused from row to row
    mutable MensajeLlenado llenado;
};

// A row worth the operator's look: one that goes to the errors file (its reason), or one that
// becomes a record cut at the maximum length or repeating an earlier row's number and message.
struct ProblemaFila
{
    int linea = 0; // 1-based, in the file (the header is line 1)
    QString fila;
    QString motivo;
};

// The counting pass: what every row will become, summed up. A row costs no allocation and no
// copy of its text unless it is a problem, and then only its text (none at all when the caller
// can give it back by its line, FilaDeLinea).
class RevisionLista
{
public:
    // A row's text by its 1-based line in the file.
    using FilaDeLinea = std::function<QString(int linea)>;

    RevisionLista() = default;
    explicit RevisionLista(FilaDeLinea filas) : m_filas(std::move(filas)) {}

    void agregar(int linea, QStringView fila, const ResultadoFila &resultado);

    int aEncolar() const { return m_encolados; }
    int aErrores() const { return m_errores; }
    int porMotivo(Motivo motivo) const { return m_motivos[int(motivo)]; }
    int truncados() const { return m_cortados; }
    int repetidos() const;
    bool hayAvisos() const { return m_errores > 0 || m_cortados > 0 || repetidos() > 0; }

    // The problems in the order of their lines (a row cut and repeated gives two, in that order).
    int cantidadProblemas() const;
    ProblemaFila problema(int k) const;
    // All of them at once.
    QVector<ProblemaFila> problemas() const;

private:
    enum class Tipo : quint8 { Error, Truncado, Repetido };
    struct Problema
    {
        int linea = 0;
        Tipo tipo = Tipo::Error;
        quint8 motivo = 0; // Motivo, or for TextoConCampo the field
        int primera = 0;   // Repetido: the line repeated
        int texto = -1;    // in m_textos, when kept
    };
    // A record whose repeat is looked up a few rows later, once its slot of the table has been
    // fetched into the cache: a long list's table is far larger than the cache, and waiting for
    // each slot in turn cost more than all the rest of the row's check.
    struct EnEspera
    {
        quint64 clave = 0;
        int linea = 0;
        int texto = -1;
        QString fila; // kept only until then (when not in m_textos), its room reused
    };
    static constexpr int kEnEspera = 8;

    int guardarTexto(QStringView fila) const;
    void resolverPrimero() const;
    void resolver() const;
    // The line of the first record with this key, or 0 after adding it as the first.
    int primeraIgual(quint64 clave, int linea) const;
    QString textoDe(const Problema &p) const;

    FilaDeLinea m_filas;
    int m_encolados = 0;
    int m_errores = 0;
    int m_cortados = 0;
    int m_motivos[kCantidadMotivos] = {};
    mutable QVector<Problema> m_problemas;
    // The texts of the problem rows one after another, and where each ends.
    mutable QString m_textos;
    mutable QVector<int> m_finTextos;
    // The number and message of every distinct record so far, as a 64-bit hash with the line of its
    // first row, in an open-addressing table.
    struct Entrada
    {
        quint64 clave = 0;
        int linea = 0; // lines start at 1: 0 is a free slot
    };
    Entrada &ubicar(quint64 clave) const;
    // Filled as the records waiting are looked up, from const accessors too.
    mutable QVector<Entrada> m_tabla;
    mutable int m_registros = 0;
    mutable int m_repetidas = 0;
    mutable EnEspera m_espera[kEnEspera];
    mutable int m_primeraEnEspera = 0;
    mutable int m_cantidadEnEspera = 0;
    // Repeats found, in the order of their lines, to be merged into m_problemas.
    mutable QVector<Problema> m_repeticiones;
};

// The lines shown before the confirmation question: records to be added, rows to the errors file
// by reason, repeated rows. Each line ends with a line feed; empty when there is nothing to say
// beyond the question.
QString textoResumen(const RevisionLista &revision);

} // namespace lista
