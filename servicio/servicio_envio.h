#pragma once
// The sending core, below the widgets: it owns one dispatch worker per gateway with its
// connection, the outbox and the one lock around it, the hold of the records in doubt, the list
// runs with their journal, the history database and the lines for the errors file. The window
// gives it commands and shows what it reports; it never reaches past it.
//
// Threads: the service lives in the interface thread, as do the connections; each worker's loop
// runs on a thread of its own and asks the service (Despacho, through its gateway's Puesto) for
// the next record. Every reply reaches the service once, as one ResultadoPedido, on the interface
// thread, the moment it is classified. `m_bloqueo` guards the outbox file, the hold, the records
// in hand and the gateways' list: the service takes it, nobody else.
//
// Several gateways share one queue: a record is claimed by exactly one of them (chosen and noted
// in hand under the lock), a record whose outcome is unknown on one is held and never handed to
// another by itself, and with "bool_mismo_gateway_por_numero" a number that went through a gateway
// goes through it again while that gateway is on.
//
// Split by concern: servicio_envio.cpp (life, commands, replies, the hold, the snapshot),
// servicio_corrida.cpp (list runs and their journal), servicio_archivos.cpp (data paths, the
// errors file's lines, the queue, manual sends, cancellation, compaction), servicio_gateways.cpp
// (the gateways' workers, their settings and their lines of the snapshot), servicio_bajas.cpp
// (the opt-out list: replies that ask for it, the check before every hand-over, the operator's
// additions, removals and imports).

#include "ajustes/ajustes.h"
#include "envio/despacho.h"
#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/resultado_pedido.h"
#include "historial/base_historial.h"
#include "lista/bajas.h"
#include "lista/buscador_outbox.h"
#include "lista/outbox.h"
#include "lista/retencion.h"
#include "servicio/corrida.h"

#include <QDir>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <memory>
#include <vector>

class QThreadPool;
class threads;

namespace historial {
class ModeloBandeja;
}

namespace servicio {

// One gateway as the status tab shows it.
struct EstadoGateway
{
    int numero = 1; // 1..ajustes::kMaxGateways
    QString direccion;
    bool activo = true;
    SituacionEnvio situacion;
    // Its state line (textoSituacion).
    QString texto;
    bool detenidoPorFalla = false;
    QString motivoFalla;

    bool operator==(const EstadoGateway &otro) const;
};

// Everything the window shows of sending, read at once.
struct Instantanea
{
    SituacionEnvio situacion;
    // The state label's text (textoSituacion).
    QString texto;
    int enviados = 0;
    int pendientes = 0;
    int recibidos = 0;
    // Sending stands still because the gateway failed (a retry waits).
    bool detenidoPorFalla = false;
    // Why the connection failed, in the operator's words, while it stands still by that failure.
    QString motivoFalla;
    // The hold's file was found and read (else nothing goes out until the operator has looked),
    // and a number that changes with every change of the hold.
    bool retencionConfiable = true;
    unsigned versionRetencion = 0;
    // Every configured gateway, gateway 1 first; the fields above sum them (gateway 1's state).
    QVector<EstadoGateway> gateways;

    bool operator==(const Instantanea &otra) const;
    bool operator!=(const Instantanea &otra) const { return !(*this == otra); }
};

// The paths the operator chose for the files the program writes beside the outbox.
struct RutasOperador
{
    QString errores;
    QString backup;
    QString recibidos;
};
// Which of them a path is meant to be (Lista: the list to add).
enum class Rol { Lista, Errores, Backup, Recibidos };

// "Guardar" on the connection's page.
enum class Actualizacion {
    Hecha,     // the gateway is being asked: its answer shows in the snapshot
    Ocupada,   // a request was in flight: nothing changed
    SinMarcar, // the record the gateway took could not be marked "E": nothing changed
    Atendiendo // the worker took the link meanwhile: the gateway was not asked
};

// A manual message.
enum class Manual { Agregado, CorridaPendiente, NoAbre };

// A number the operator puts on the opt-out list.
enum class AltaBaja { Agregada, YaEstaba, NoEsNumero };

// What an import of opt-outs came to.
struct ImportacionBajas
{
    QString error; // the file could not be read (why); nothing was added
    int agregadas = 0;
    int yaEstaban = 0;
    int ignoradas = 0; // lines with no number
};

class ServicioEnvio : public QObject
{
    Q_OBJECT

public:
    // The data folder holds the outbox and every file of the service. The gateway is checked at
    // once when its address is known. The worker's loop starts with iniciar().
    ServicioEnvio(const QDir &carpetaDatos, const protocolo_ngw::Gateway &gateway, QObject *padre = nullptr);
    // Ends in order (terminar) if that has not been done yet.
    ~ServicioEnvio() override;
    Q_DISABLE_COPY(ServicioEnvio)

    // Starts the worker's loop on a thread of its own.
    void iniciar();
    // Tells the worker to leave and the connection to start nothing new, waits (with the event
    // loop running) until the loop has ended and no request is in flight, settles what is left,
    // writes what cannot be settled to the log and the errors file, and deletes the worker with
    // its connection. A message the gateway took is thereby marked "E" before the program ends.
    void terminar();
    bool terminado() const { return !m_trabajador; }

    // Sending on or off.
    void reanudar();
    void pausar();
    // The connection's page: settles the last reply, then gives gateway 1's connection `gateway`
    // and asks it. The gateway must have no falla().
    Actualizacion actualizarConexion(const protocolo_ngw::Gateway &gateway);
    // The connection's state, busy flag, address and key, for the connection test dialog.
    int estadoConexion() const;
    bool conexionOcupada() const;
    protocolo_ngw::Gateway gateway() const;
    // The same for gateway `numero` (1..ajustes::kMaxGateways).
    int estadoConexion(int numero) const;
    bool conexionOcupada(int numero) const;
    protocolo_ngw::Gateway gateway(int numero) const;
    // The configuration tab's "Guardar" for every gateway (gateway 1 first): each gets its
    // address, key, on/off, pace and caps; a gateway turned off or without an address sends and
    // fetches nothing. Gateways 2 and on not in the list are taken away. Workers are built, given
    // their new settings or ended (once their request in flight is settled) without a restart.
    // Gateway 1 answers as actualizarConexion does.
    Actualizacion actualizarGateways(const QVector<ajustes::AjustesGateway> &gateways);
    // The gateways with a worker now, gateway 1 first.
    QVector<int> gatewaysEnServicio() const;

    Instantanea instantanea() const;
    // The hold's file (for the operator's notice).
    QString rutaRetencion() const;

    // The data folder and the operator's paths.
    const QDir &carpetaDatos() const { return m_carpeta; }
    QString rutaSalidas() const { return m_rutaSalidas; }
    QString rutaDiario() const;
    QString rutaHistorial() const;
    void fijarRutas(const RutasOperador &rutas);
    // Why `ruta` cannot be the file of `rol`: the data file it already is. Empty when it can be.
    QString motivoRutaRechazada(const QString &ruta, Rol rol) const;

    // The errors file's lines (the connection's failures, received messages stored elsewhere,
    // the history's problems), written while no list run counts its lines. What the operator
    // must hear of a failure to write them (a box), or empty.
    QString escribirLineas();

    // The queue tab's model brought up to the outbox and the hold, read together; the rows it
    // shows are read later from the file, each checked against the bytes indexed.
    void actualizarBandeja(historial::ModeloBandeja &modelo);
    // A list run is in progress or was left unfinished: nothing may be taken out of the outbox.
    bool corridaAbierta() const;
    // The pending records that would go out now were the program to go on: sending is on, their
    // date is today or earlier, and they are not held in doubt. 0 while paused or ended.
    int pendientesAhora();
    outbox::ResultadoCancelacion cancelar(const QVector<outbox::Referencia> &registros);
    // `aunqueDeBaja`: the operator was asked and still wants it sent to a number on the opt-out
    // list (this session only: after a restart the record is cancelled like any other to it).
    Manual agregarManual(const QString &numero, const QString &mensaje, bool urgente,
                         bool aunqueDeBaja = false);

    // The opt-out list. Two numbers are the same when their last digitosNumero() digits are; the
    // list is the history's, held here as a set for the check before every hand-over: a record
    // whose number is on it is never handed over, and is cancelled (the history says
    // "no enviado: baja") as soon as no list run is open.
    int digitosNumero() const { return m_digitosNumero; }
    bool dadoDeBaja(const QString &numero);
    int cantidadBajas();
    AltaBaja agregarBaja(const QString &numero);
    // Takes the number (every form of it) off the list; how many entries went.
    int quitarBaja(const QString &numero);
    // A CSV file with a number column (named "Número", "Celular" or "Teléfono", else the first
    // column holding a number) or one number a line.
    ImportacionBajas importarBajas(const QString &ruta);

    // Records in doubt: one more send each (in its turn, first of all), or marked "E" without a
    // send; the records it applied to. Each tells the history.
    int reenviarEnDuda(const QVector<outbox::Referencia> &registros);
    int marcarEnDudaEnviados(const QVector<outbox::Referencia> &registros);
    // After the hold's file was lost or damaged and the operator has looked: nothing is held any
    // more and sending goes on. False when the new file cannot be written.
    bool empezarRetencionDeNuevo();

    // A list run, in steps: prepararCorrida reads and checks; a plain or arming run then asks
    // (the window), resumirCorrida counts every row, the window asks again with the summary, and
    // escribirCorrida writes. A watched run goes straight from preparing to writing. Any step may
    // end the run; abandonarCorrida ends it when the operator says no.
    ResultadoCorrida prepararCorrida(const PedidoCorrida &pedido);
    ResumenCorrida resumirCorrida();
    ResultadoCorrida escribirCorrida();
    void abandonarCorrida();
    // Finishes a list run that a crash or a write failure cut short, if its journal is there.
    // `avisar`: a watched run's report too. Paso::Seguir when there was none.
    ResultadoCorrida reanudarCorrida(bool avisar);
    // Recounts the three counters; `compactar`: then compacts a long outbox. What the operator
    // must hear (a box), or empty.
    QString recontar(bool compactar = true);
    QString compactarOutbox();

    historial::Historial &historial() { return m_historial; }
    // The dispatch worker with its connection, for tests; null once ended.
    threads *trabajador() const { return m_trabajador; }
    // Gateway `numero`'s worker, for tests; null when it has none.
    threads *trabajador(int numero) const;

signals:
    // The snapshot changed (looked at once a second).
    void cambioEstado(const servicio::Instantanea &instantanea);
    // One attempt to send a record has ended: resultado is "enviado" once its line is marked
    // "E", "error: " or "en duda: " and why, or the operator's choice. fechaHora
    // "yyyy-MM-dd HH:mm:ss", local time. `gateway`: the one it went to (1 when none did).
    void intentoTerminado(const QString &fechaHora, const QString &numero, const QString &mensaje,
                          const QString &resultado, int gateway = 1);
    // Received messages have been stored, in the gateway's order: once per fetch.
    void mensajesRecibidos(const QString &fechaHora, const QStringList &numeros, const QStringList &mensajes,
                           int gateway = 1);
    // A list run's pass has done `hechas` of `total` rows; and how a run ended.
    void progresoCorrida(int hechas, int total);
    void corridaTerminada(const servicio::ResultadoCorrida &resultado);
    // A line for the operator, as it goes to the errors file.
    void lineaOperador(const QString &linea);
    // What the operator should hear of the opt-out list at once (a notification): numbers that
    // asked for it by reply, a list found shorter than it was.
    void avisoBajas(const QString &texto);

private:
    // One gateway's worker and what the service keeps of it (servicio/puesto_gateway.h).
    struct Puesto;

    // Despacho of each gateway, from its worker's thread.
    bool completarPendiente(Puesto &puesto);
    void alGirar();
    bool entregarSiguiente(Puesto &puesto, const Despacho::Entrega &entrega);

    // The connection's one report of a request (interface thread, directly).
    void alTerminarPedido(Puesto &puesto, const ResultadoPedido &resultado);
    // Under the lock.
    bool completarBloqueado(Puesto &puesto);
    bool completarTodos();
    bool elegir(Puesto &puesto, outbox::Pendiente &pendiente);
    bool elegirUna(Puesto &puesto, outbox::Pendiente &pendiente, QVector<QByteArray> &deBaja);
    void olvidarBusquedas();

    // The gateways (servicio_gateways.cpp).
    Puesto *agregarPuesto(const ajustes::AjustesGateway &ajustes);
    Puesto *puesto(int numero) const;
    void retirarPuesto(int numero);
    void terminarRetirados();
    void actualizarPuesto(Puesto &puesto, const ajustes::AjustesGateway &ajustes);
    void aplicarGateway(Puesto &puesto);
    bool sirve(int numero) const;
    bool deOtroGateway(const Puesto &puesto, const char *linea, int largo) const;
    bool deOtroGatewayRetenido(const Puesto &puesto, const QByteArray &linea) const;
    int gatewayRetenido(const QByteArray &linea) const;
    int anotarGatewayDeNumero(const QString &numero, int gateway);
    void devolverGatewayDeNumero(Puesto &puesto);
    void leerGatewaysPorNumero();
    QVector<EstadoGateway> estadosGateways(const Instantanea &general) const;
    bool guardarRetencion();
    void anotarRetencion();
    void conciliarRetencion();
    void cerrarRetencion();
    void contarPendientes();
    void contarEnviados();
    void contarRecibidos();
    void informarIntento(const Puesto &puesto, const QString &resultado);
    void informarLinea(const QByteArray &linea, const QString &resultado, int gateway = 1);
    void guardadosAlHistorial(const ResultadoPedido &resultado, int gateway);
    void agregarLinea(const QString &linea);
    void revisarCambio();

    // The opt-out list (servicio_bajas.cpp).
    void leerBajas();
    void bajasPorRespuesta(const QList<registro_sms> &mensajes);
    QVector<historial::Baja> nuevasBajas(const QStringList &numeros, const char *origen,
                                         const QStringList &textos, int &yaEstaban);
    void agregarBajas(const QVector<historial::Baja> &nuevas);
    void confirmarBajas();
    bool deBaja(const char *linea, int largo) const;
    bool cancelarDeBaja(const QVector<QByteArray> &lineas);
    // Under the lock: the records out through the outbox's atomic rewrite, the record with the
    // gateway kept, the count and the hold brought up to date.
    outbox::ResultadoCancelacion quitarDeSalida(const QVector<outbox::Referencia> &registros);
    void purgarBajas();
    bool exento(const QByteArray &linea) const { return m_exentos.contains(linea); }

    // List runs (servicio_corrida.cpp).
    struct Corrida;
    lista::EntradasFila entradasFila(bool conBajas = true) const;
    QSet<quint64> mensajesRecientes();
    bool rutasDeCorridaValidas(ResultadoCorrida &r);
    bool rechazarLista(lista::Lectura lectura, ResultadoCorrida &r);
    bool validarColumnas(ResultadoCorrida &r);
    void empezarPasadas();
    bool abrirDiario(ResultadoCorrida &r);
    int pasadaEscritura(int hechas);
    bool anotarError(const QString &linea);
    void detenerEscritura(const QString &causa);
    void cerrarCorrida(int agregados, const QString &reporte, ResultadoCorrida &r);
    void terminarCorridaEscrita(ResultadoCorrida &r);
    void completarCorrida(bool avisar, ResultadoCorrida &r);
    ResultadoCorrida terminarCorrida(ResultadoCorrida r);

    QDir m_carpeta;
    QString m_rutaSalidas;
    RutasOperador m_rutas;
    historial::Historial m_historial;
    // Gateway 1's worker, null once ended.
    threads *m_trabajador = nullptr;
    QThreadPool *m_pool = nullptr;
    // Every gateway with a worker, gateway 1 first (changed on the interface thread under the
    // lock), and those taken away whose request in flight or loop has not ended yet.
    std::vector<std::unique_ptr<Puesto>> m_puestos;
    std::vector<std::unique_ptr<Puesto>> m_retirados;
    // Gateways 2 and on with an address but turned off: a line of the snapshot each.
    QVector<ajustes::AjustesGateway> m_sinServicio;
    // The command word the workers were last given (a new one gets it too); 0: none yet.
    int m_comando = 0;
    QTimer m_reloj;
    Instantanea m_ultima;

    // The outbox, the hold and the records in hand.
    QMutex m_bloqueo;
    retencion::Retencion m_retencion;
    std::atomic<bool> m_retencionSinEscribir{false};
    bool m_retencionAnotada = false;
    // The gateway each number (its compare form) last went through, and whether that binds it
    // (read once at start); under the lock.
    QHash<QString, int> m_gatewayDeNumero;
    bool m_mismoGateway = true;
    bool m_gatewaysLeidos = false;

    std::atomic<int> m_enviados{0};
    std::atomic<int> m_pendientes{0};
    std::atomic<int> m_recibidos{0};

    // Lines waiting for the errors file (the connections', the history's); a rejected errors path
    // is told once.
    QStringList m_lineas;
    QStringList m_avisosHistorial;
    QString m_rutaErroresRechazada;

    // The opt-out list's compare forms, and the outbox lines that go to one of them all the same
    // (the operator's choice, the answer to an opt-out); under the lock. It is known once read
    // from the history, or when none was in force; unknown, nothing is handed over. A growth asks
    // for the pending records to those numbers to be cancelled at the worker's next turn.
    bajas::Lista m_bajas;
    QSet<QByteArray> m_exentos;
    std::atomic<bool> m_bajasConocidas{true};
    std::atomic<bool> m_purgarBajas{false};
    int m_digitosNumero = 10;
    // A list found shorter while the service was built, told once it starts.
    QString m_avisoBajasAlIniciar;
    // Answers to opt-outs waiting for a list run to end (number, text).
    QVector<QPair<QString, QString>> m_confirmaciones;

    std::unique_ptr<Corrida> m_corrida;
    std::atomic<bool> m_enCorrida{false};
};

} // namespace servicio

Q_DECLARE_METATYPE(servicio::Instantanea)
