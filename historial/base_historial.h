#pragma once
// The history database "historial.sqlite" in the data folder: table `enviados` (one row per
// record marked sent, resultado "enviado", and per failed attempt, resultado "error: ...") and
// table `recibidos` (one row per received message as it is stored). WAL mode, schema version in
// PRAGMA user_version, brought up to date step by step when the file is opened.
//
// It never stands in the way of sending: rows that cannot be written wait in memory and are
// written when the file can be written again (a failed write opens the file anew once); rows
// still waiting when it is closed go to a side file in the same folder, which the next abrir()
// loads. A failure is told once (tomarAvisos, for the errors file) and shown (textoEstado); a
// file that is not a database or is damaged (found when used, or by a quick check on a thread of
// its own after opening) is set aside under another name, never overwritten, and a new one is
// started. Interface thread only.

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

// The schema this program writes: 1 the two tables, 2 their search indexes.
inline constexpr int kVersionEsquema = 2;
// Rows kept in memory while the file cannot be written; the oldest go beyond it.
inline constexpr int kMaxEnEspera = 10000;
// The quick check after opening reads the whole file; a larger one is not checked, so that the
// check (and an end that waits for it) stays short.
inline constexpr qint64 kMaxVerificacion = qint64(512) << 20;

// The side file beside `rutaHistorial` ("historial_espera.json").
QString rutaEspera(const QString &rutaHistorial);

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

    // Lines for the errors file, each failure told once; taken by the caller.
    QStringList tomarAvisos();
    // From the window's poll: reopens or writes what waits, at most every few seconds (or at
    // once with `sinEsperar`).
    void reintentar(bool sinEsperar = false);

public slots:
    void agregarEnviado(const QString &fechaHora, const QString &numero, const QString &mensaje,
                        const QString &resultado);
    void agregarRecibido(const QString &fechaHora, const QString &numero, const QString &mensaje);
    // The messages of one fetch, in one transaction.
    void agregarRecibidos(const QString &fechaHora, const QStringList &numeros, const QStringList &mensajes);

signals:
    // Rows were written: to `enviados` or to `recibidos`.
    void agregados(bool recibidos);

private:
    struct Fila
    {
        bool recibido = false;
        QString fechaHora;
        QString numero;
        QString mensaje;
        QString resultado;
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
};

// Whether a database error means the file is damaged or no database (SQLite's CORRUPT, NOTADB).
bool esDano(const QString &codigoNativo);

} // namespace historial
