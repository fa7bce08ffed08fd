#pragma once
// What the history tabs ask of the database: the condition of a filter, the counts, and one page
// of rows, newest first. Every query names its values as bound parameters.

#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <QVector>

namespace historial {

// The tables and their columns as the tabs show them.
struct Tabla
{
    QString nombre;       // "enviados", "recibidos" or "bajas"
    QStringList columnas; // SQL names or expressions, id excluded
    QStringList titulos;  // header texts, same order
};
const Tabla &tablaEnviados();
const Tabla &tablaRecibidos();
// The received messages, each with the last message sent to the same number (`digitos` last
// digits alike) before it: its date and text.
Tabla tablaRecibidosConContexto(int digitos);
// The opt-outs (those in force: condicionBajas).
const Tabla &tablaBajas();

// The results of an attempt that mean the message went out.
QStringList resultadosEnviado();

// An empty field does not filter. A number is looked for in any written form: when what is typed
// reads as a number, the numbers whose digits end with its last `digitos` digits (a part typed
// matches the numbers it ends); otherwise the numbers that begin with it as typed.
struct Filtro
{
    QString numero;       // the number
    QString texto;        // messages that contain it (ASCII letters in either case)
    QString numeroOTexto; // either of the two (the received messages' one box)
    QDate desde;          // from this day on
    QDate hasta;          // up to this day, inclusive
    int digitos = 10;
};

struct Condicion
{
    QString sql; // "" or "WHERE ..."
    QVariantList valores;
    // The indexed column the filter searches ("numero", "fecha"; empty: none), and whether a
    // page is read through its index (few rows match) or along the table, newest first (many
    // match, so the first page is found at once).
    QString columnaIndice;
    bool porIndice = false;
};
Condicion condicion(const Filtro &filtro);
// The opt-outs in force, with the number (any form, as above) or the text holding `filtro`.
Condicion condicionBajas(const QString &filtro, int digitos);
// The rows of the same number as `numero` (its last `digitos` digits), as a condition on the
// column "numero".
Condicion condicionMismoNumero(const QString &numero, int digitos);

// Up to this many matching rows a page is read through the filter's index.
inline constexpr qint64 kMaxPorIndice = 10000;
// Chooses how pages are read, given how many rows match.
void elegirPlan(Condicion &c, qint64 coincidencias);

// Rows matching; -1 when the query fails.
qint64 contar(const QSqlDatabase &db, const QString &tabla, const Condicion &c);
// Rows of `enviados` matching, and those of them whose resultado begins with "error:": with a
// filter in one pass over its index (which holds the result too). False when a query fails; the
// counts are then 0, never negative.
bool contarEnviados(const QSqlDatabase &db, const Condicion &c, qint64 &total, qint64 &errores);
// Attempts from `desde` ("yyyy-MM-dd HH:mm:ss") on that the gateway took or may have taken
// (resultado "enviado" or "en duda: ...") through `gateway` (0: any): what a gateway's caps have
// used. -1 when the query fails.
qint64 contarSalidosDesde(const QSqlDatabase &db, const QString &desde, int gateway = 0);
// Highest id, 0 for an empty table.
qint64 ultimoId(const QSqlDatabase &db, const QString &tabla);
// Rows with an id above `desde`.
qint64 contarDesde(const QSqlDatabase &db, const QString &tabla, qint64 desde);

struct Fila
{
    qint64 id = 0;
    QVector<QString> valores;
};
// Up to `cantidad` rows matching, newest first, with an id below `antesDe` (0: from the newest).
// False when the query fails.
bool pagina(const QSqlDatabase &db, const Tabla &tabla, const Condicion &c, qint64 antesDe, int cantidad,
            QVector<Fila> &filas);

// One message of a conversation: sent (with the attempt's result) or received.
struct MensajeConversacion
{
    QString fechaHora;
    bool recibido = false;
    QString numero;
    QString mensaje;
    QString resultado;
};
// Every message sent to and received from the same number as `numero`, oldest first. False when
// the query fails.
bool conversacion(const QSqlDatabase &db, const QString &numero, int digitos,
                  QVector<MensajeConversacion> &mensajes);

// Each number the history shows a message went out to, with the gateway of its last such send,
// oldest first (a later pair of the same number overrides). False when the query fails.
bool gatewaysPorNumero(const QSqlDatabase &db, QVector<QPair<QString, int>> &pares);

} // namespace historial
