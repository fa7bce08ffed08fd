#pragma once
// The history database "historial.sqlite" in the data folder: table `enviados` (one row per
// record marked sent, resultado "enviado", and per failed attempt, resultado "error: ..."), table
// `recibidos` (one row per received message as it is stored), table `bajas` (the opt-out list:
// the number as received or typed, its digits, when, where from, the reply's text, and when it
// was taken off the list) and table `numeros` (every number of the first two with its digits
// reversed, kept by triggers, so that a number is found by its last digits through an index).
// WAL mode, schema version in PRAGMA user_version, brought up to date step by step when the
// file is opened.
//
// It never stands in the way of sending: rows that cannot be written wait in memory and are
// written when the file can be written again (a failed write opens the file anew once); rows
// still waiting when it is closed go to a side file in the same folder, which the next abrir()
// loads. A failure is told once (tomarAvisos, for the errors file) and shown (textoEstado); a
// file that is not a database or is damaged (found when used, or by a quick check on a thread of
// its own after opening) is set aside under another name, never overwritten, and a new one is
// started.
//
// The opt-out list in force is also held in memory from the first read of the file on. A new
// file started after damage gets it whole: the list in memory, or, when the damage was found
// before the file could be read, the list read from the file set aside. Interface thread only.

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <QVector>

class QThread;

namespace historial {

// The schema this program writes: 1 the two tables, 2 their search indexes, 3 the opt-out list
// and the numbers by their last digits, 4 the gateway of each message.
inline constexpr int kVersionEsquema = 4;
// Rows kept in memory while the file cannot be written; the oldest go beyond it.
inline constexpr int kMaxEnEspera = 10000;
// The quick check after opening reads the whole file; a larger one is not checked, so that the
// check (and an end that waits for it) stays short.
inline constexpr qint64 kMaxVerificacion = qint64(512) << 20;

// The side file beside `rutaHistorial` ("historial_espera.json").
QString rutaEspera(const QString &rutaHistorial);

// Where an opt-out came from, as the table stores it.
inline constexpr char kOrigenRespuesta[] = "respuesta";
inline constexpr char kOrigenMano[] = "a mano";
inline constexpr char kOrigenImportada[] = "importada";

// One opt-out in force.
struct Baja
{
    QString numero;    // as received or typed
    QString digitos;   // its digits (lista/bajas.h)
    QString fechaHora; // "yyyy-MM-dd HH:mm:ss", local time
    QString origen;    // kOrigen...
    QString texto;     // the reply that asked for it, if any
};

class Historial : public QObject
{
    Q_OBJECT

public:
    explicit Historial(QObject *padre = nullptr);
    ~Historial() override;

    // Opens `ruta`, creating it or bringing its schema up to date. False when it is not
    // usable now (the reason is in textoEstado); rows are then kept until it is.
    bool abrir(const QString &ruta);
    void cerrar();
    bool disponible() const { return m_disponible; }
    QString ruta() const { return m_ruta; }
    // Empty while all is well; otherwise what the operator should know, in Spanish.
    QString textoEstado() const;
    // The connection, for the tab's queries (invalid while unavailable).
    QSqlDatabase base() const;
    QString nombreConexion() const { return m_nombre; }
    int enEspera() const { return m_espera.size(); }
    // The quick check started by abrir() has not reported yet.
    bool verificando() const { return m_verificacion != nullptr; }

    // The opt-outs in force, oldest first: those of the file, and those added since (written or
    // waiting). Read once the file could be read (or a new one begun): bajasLeidas().
    const QVector<Baja> &bajas() const { return m_bajas; }
    bool bajasLeidas() const { return m_bajasLeidas; }
    // Adds to the list (memory at once, the file as the other rows).
    void agregarBajas(const QVector<Baja> &nuevas);
    // Takes off the list every opt-out whose compare form (last `digitos` digits) is `clave`,
    // noting when; how many.
    int quitarBajas(const QString &clave, int digitos, const QString &fechaHora);

    // Lines for the errors file, each failure told once; taken by the caller.
    QStringList tomarAvisos();
    // From the window's poll: reopens or writes what waits, at most every few seconds (or at
    // once with `sinEsperar`).
    void reintentar(bool sinEsperar = false);

public slots:
    // `gateway`: the one that sent or received the message (1..ajustes::kMaxGateways).
    void agregarEnviado(const QString &fechaHora, const QString &numero, const QString &mensaje,
                        const QString &resultado, int gateway = 1);
    void agregarRecibido(const QString &fechaHora, const QString &numero, const QString &mensaje);
    // The messages of one fetch, in one transaction.
    void agregarRecibidos(const QString &fechaHora, const QStringList &numeros, const QStringList &mensajes,
                          int gateway = 1);

signals:
    // Rows were written: to `enviados` or to `recibidos`.
    void agregados(bool recibidos);
    // The opt-out list was read from a file, or carried into a new one: bajas() changed.
    void bajasCambiadas();

private:
    // A row to write: a sent or received message, an opt-out (mensaje: its text, resultado: its
    // origin, digitos), or an opt-out taken off (digitos: the compare form of `cifras` digits).
    enum class Tipo { Enviado, Recibido, Baja, Quitada };
    struct Fila
    {
        Tipo tipo = Tipo::Enviado;
        QString fechaHora;
        QString numero;
        QString mensaje;
        QString resultado;
        QString digitos;
        int cifras = 0;
        int gateway = 1;
    };
    enum class Falla { Ninguna, Pasajera, Danada };

    bool conectar();
    void desconectar();
    Falla prepararEsquema(QSqlDatabase &db, QString &error);
    bool apartarDanado();
    void encolar(Fila fila);
    void recortarEspera();
    void cargarEspera();
    void guardarEspera();
    void iniciarVerificacion();
    void terminarVerificacion(const QString &ruta, const QString &resultado);
    // Writes the waiting rows from the first; `escritas` of them went in.
    QSqlError escribirFilas(int &escritas, bool &hayEnviados, bool &hayRecibidos);
    // The opt-outs (bajas_historial.cpp): read from the file just opened, or carried into a new
    // one; the waiting opt-out rows applied to a list read; the list of a file set aside.
    void alConectar(QSqlDatabase &db);
    void leerBajas(QSqlDatabase &db);
    void trasladarBajas();
    void aplicarEspera(QVector<Baja> &lista) const;
    bool leerBajasDe(QSqlDatabase &db, QVector<Baja> &lista) const;
    // The numbers written since without their reversed digits get them.
    void completarNumeros(QSqlDatabase &db);
    void escribirEspera();
    void fallar(const QString &motivo);

    QString m_nombre;
    QString m_ruta;
    bool m_disponible = false;
    QString m_motivo;
    QString m_apartado;
    bool m_avisado = false;
    QStringList m_avisos;
    QVector<Fila> m_espera;
    int m_descartadas = 0;
    // Of the first rows waiting, how many came from the side file: once written, it goes.
    int m_cargadas = 0;
    QElapsedTimer m_desdeIntento;
    QThread *m_verificacion = nullptr;
    QVector<Baja> m_bajas;
    bool m_bajasLeidas = false;
    // The file was set aside as damaged and the next one opened is new.
    bool m_nuevoTrasDano = false;
};

// Whether a database error means the file is damaged or no database (SQLite's CORRUPT, NOTADB).
bool esDano(const QString &codigoNativo);

} // namespace historial
