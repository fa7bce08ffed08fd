#pragma once
// The dispatch worker. It runs for the whole life of the program on a pool thread of the window
// and, once a second while the command word says play, looks at the gateway connection:
// it marks the record the gateway took, now and then fetches received messages, and within the
// allowed hours hands the next due outbox record to the connection. The window reads its
// counters and writes its command word, and hears of every attempt's outcome through the queued
// signal intentoEnvio (for the history).
//
// A record whose send may have reached the gateway without the program knowing is never sent
// again by itself: the worker keeps such records in the hold (lista/retencion.h), writes there
// the record it hands over before its request goes out, and passes over every held record when
// it chooses the next one. Only the operator sends one again or marks it sent.

#include "gateway/registro_sms.h"

#include "envio/reintento.h"
#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "lista/outbox.h"
#include "lista/retencion.h"

#include <QByteArray>
#include <QObject>
#include <QRunnable>
#include <QString>

#include <QMutex>
#include <QWaitCondition>

#include <atomic>

class conexion_ngw;

// Values of the command word `comando`.
inline constexpr int EST_PLAY = 1;
inline constexpr int EST_PAUSA = 2;
inline constexpr int EST_INICIO = 3;
inline constexpr int EST_SALIR = 4;

class threads : public QObject, public QRunnable
{
    Q_OBJECT

public:
    // Creates the gateway connection (which checks the gateway at once when the address is
    // known) and counts the three counters from the files. The connection hands every send and
    // fetch reply to the worker the moment it has been classified (completarPendiente, and the
    // report of a send that failed).
    threads(const protocolo_ngw::Gateway &gateway, const QString &archivoSalidas);
    // Deletes the connection: call only once the loop has ended and no request is in flight.
    ~threads() override;

    // The loop: one cycle per second while the command word is EST_PLAY, until EST_SALIR.
    void run() override;
    // Lets this thread process its events for `segundos` seconds, 100 ms at a time; returns
    // early when told to leave.
    void pausar(int segundos);
    // One turn of the loop (see the steps in the source).
    void procesarCiclo();

    // The command word: the window writes it, the loop reads it. Writing wakes a pause, so that
    // leaving never waits a whole second.
    int comando() const { return m_comando; }
    void fijarComando(int valor);
    // True from the start of run() until the loop has left.
    bool enBucle() const { return m_corriendo; }

    // The connection, owned by the worker; it lives in the thread that created the worker.
    conexion_ngw *conexion() const { return m_conexion; }

    // Finishes what the last reply left: marks "E" on the record the gateway took (state 2) or
    // adds the messages a fetch stored (state 5), and frees the state. Safe from either thread
    // and at most once per reply. False when the mark could not be written: the state stays so
    // that it is tried again, and nothing may overwrite it meanwhile.
    bool completarPendiente();

    // The three counters the window shows.
    int enviados() const { return m_enviados; }
    int pendientes() const { return m_pendientes; }
    int recibidos() const { return m_recibidos; }
    // Records the window appended to the outbox.
    void sumarPendientes(int cantidad) { m_pendientes += cantidad; }
    // Each counts into a local and publishes the total once, so the window never shows a
    // half-counted value.
    void contarRecibidos();
    void contarPendientes();
    void contarEnviados();
    // Counted cycles since the last fetch of received messages.
    int ciclosContados() const { return m_contadorCiclos; }

    // What the state label shows: the connection's state and busy flag, the pause, the schedule
    // as the last cycle found it, and the seconds until the pending retry. Safe from any thread.
    SituacionEnvio situacion() const;
    // Sending stands still because the connection gave up, from the cycle that saw it until the
    // cycle that sees it working again (a retry in flight included).
    bool detenidoPorFalla() const { return m_venceReintento != kSinEspera; }

    // The two rules, on the program's clock.
    bool fechaVencida(const QString &fecha) const;
    bool horarioPermitido() const;

    // The outbox record handed to the gateway whose outcome is not settled yet (with the
    // gateway, or taken and not yet marked), as its offset and bytes. Call under the outbox lock.
    bool registroEnMano(qint64 &posicion, QByteArray &linea) const;

    // Records in doubt, and whether the hold can be trusted (its file was neither lost nor
    // damaged) and written. Safe from any thread.
    int enDuda() const { return m_retencion.enDuda(); }
    unsigned versionRetencion() const { return m_retencion.version(); }
    bool retencionConfiable() const { return m_retencion.confiable(); }
    QString rutaRetencion() const { return m_retencion.ruta(); }
    // The hold as it is now (under the outbox lock).
    QVector<retencion::Entrada> entradasRetenidas() const;
    // The operator's choices on records in doubt, from the window's thread; each tells the history
    // and returns the records it applied to. One more send each (in its turn, first of all):
    int reenviarEnDuda(const QVector<outbox::Referencia> &registros);
    // Marked "E" without a send:
    int marcarEnDudaEnviados(const QVector<outbox::Referencia> &registros);
    // After the hold's file was lost or damaged and the operator has looked: nothing is held any
    // more and sending goes on. False when the new file cannot be written.
    bool empezarRetencionDeNuevo();
    // After a rewrite of the outbox that removed records (cancellation).
    void conciliarRetencion();
    // At the end, once nothing is in flight: a record the gateway took that could not be marked
    // stays in doubt, and the hold goes to disk.
    void cerrarRetencion();

signals:
    // One attempt to send a record has ended: resultado is "enviado" once its line is marked
    // "E", or "error: " and why the gateway did not take it. fechaHora is "yyyy-MM-dd HH:mm:ss",
    // local time. Emitted from whichever thread settles it: connect it queued.
    void intentoEnvio(const QString &fechaHora, const QString &numero, const QString &mensaje,
                      const QString &resultado);

private:
    // In a given-up state: waits, and once the wait is over asks the connection to try again.
    void esperarReintento(bool pedidoTerminado);

    static constexpr qint64 kSinEspera = -2;

    // Runs on the connection's thread right after a send or fetch reply has been classified.
    void alResponder();
    void informarIntento(const QString &resultado);
    void informarLinea(const QByteArray &linea, const QString &resultado);
    // Under the outbox lock: a resend the operator asked for, else the first due record not held.
    bool elegir(outbox::Pendiente &pendiente);
    // Under the outbox lock: the hold to disk; publishes whether that failed.
    bool guardarRetencion();
    // The settings learn that the hold's file has been made at its path.
    void anotarRetencion();

    std::atomic<int> m_comando{EST_INICIO};
    conexion_ngw *m_conexion = nullptr;
    std::atomic<int> m_enviados{0};
    std::atomic<int> m_pendientes{0};
    std::atomic<int> m_recibidos{0};
    QString m_archivoSalidas;
    // Byte offset of the line whose message is with the gateway, and that line as it was.
    qint64 m_posLinea = 0;
    QByteArray m_lineaEnviada;
    // The record with the gateway; guarded by the outbox lock.
    registro_sms m_registroEnMano;
    bool m_enMano = false;
    int m_contadorCiclos = 0;
    // The records held out of sending; guarded by the outbox lock.
    retencion::Retencion m_retencion;
    std::atomic<bool> m_retencionSinEscribir{false};
    bool m_retencionAnotada = false;
    // The loop's own: the back-off and the connection's ended requests as last seen.
    Reintento m_reintento;
    unsigned m_terminadosVistos = 0;
    // Published for the window: when the retry is due (-1 while it is in flight, kSinEspera
    // outside a wait), and whether the schedule stopped the last cycle.
    std::atomic<qint64> m_venceReintento{kSinEspera};
    std::atomic<bool> m_fueraDeHorario{false};
    std::atomic<bool> m_corriendo{false};
    QMutex m_mutexPausa;
    QWaitCondition m_despertar;
};
