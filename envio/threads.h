#pragma once
// The dispatch worker of one gateway. It runs for the whole life of the program on a thread of
// its own and, once a cycle while the command word says play, looks at its gateway connection:
// it has the last reply settled, now and then fetches received messages, waits before retrying a
// gateway that failed, and within the allowed hours, the gateway's pace and its caps hands the
// next record its owner gives it (Despacho) to the connection. Which record goes next and what a
// reply means for it are the owner's; the worker only paces and moves the link. The cycle is one
// second, shorter while records flow at a pace above one a second (envio/ritmo.h).

#include "ajustes/ajustes.h"
#include "envio/despacho.h"
#include "envio/reintento.h"
#include "envio/ritmo.h"
#include "envio/topes.h"
#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/resultado_pedido.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QRunnable>
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
    // Creates the connection to the gateway's address and key in the calling thread, which checks
    // the gateway at once when its address is known, and takes its pace and caps. `despacho` is
    // not owned and outlives the worker.
    threads(const ajustes::AjustesGateway &gateway, Despacho &despacho);
    // Deletes the connection: call only once the loop has ended and no request is in flight.
    ~threads() override;
    Q_DISABLE_COPY(threads)

    // The loop: one cycle per second (or per the pace's spacing while records flow) while the
    // command word is EST_PLAY, until EST_SALIR.
    void run() override;
    // Lets this thread process its events for `segundos` seconds, 100 ms at a time; returns
    // early when told to leave.
    void pausar(int segundos);
    void pausarMs(qint64 ms);

    // The gateway this worker serves (1..ajustes::kMaxGateways).
    int numero() const { return m_numero; }
    // From any thread: the gateway's pace and caps take effect from the next cycle (its address
    // and key reach the connection through conexion_ngw::fijarGateway, once its last reply is
    // settled).
    void fijarAjustes(const ajustes::AjustesGateway &gateway);
    // From any thread: what the current hour and day had used of the caps before this worker
    // started (the history's count). A count never goes down by it.
    void sembrarTopes(int enHora, int enDia);
    // One turn of the loop (see the steps in the source).
    void procesarCiclo();
    // One turn of the loop: the owner's turn, then a cycle while sending is on.
    void girar();

    // The command word: the owner writes it, the loop reads it. Writing wakes a pause, so that
    // leaving never waits a whole second.
    int comando() const { return m_comando; }
    void fijarComando(int valor);
    // True from the start of run() until the loop has left.
    bool enBucle() const { return m_corriendo; }

    // Counted cycles since the last fetch of received messages.
    int ciclosContados() const { return m_contadorCiclos; }

    // The connection, owned by the worker; it lives in the thread that created the worker.
    conexion_ngw *conexion() const { return m_conexion; }

    // What the state label shows of this gateway: the connection's state and busy flag, the
    // pause, the schedule as the last cycle found it, the seconds until the pending retry, the
    // pace, and the caps with their use and until when a reached one holds. Safe from any thread.
    SituacionEnvio situacion() const;
    // Sending stands still because the connection gave up, from the cycle that saw it until the
    // cycle that sees it working again (a retry in flight included).
    bool detenidoPorFalla() const { return m_venceReintento != kSinEspera; }

    // The allowed hours, on the program's clock.
    bool horarioPermitido() const;

private:
    static constexpr qint64 kSinEspera = -2;

    // In a given-up state: waits, and once the wait is over asks the connection to try again.
    void esperarReintento(bool pedidoTerminado);
    // The caps and the pace let a record go now; a record handed over is noted by entregado().
    bool ritmoYTopesPermiten();
    void entregado();
    // The connection's report of a request: a send the gateway took, or may have, counts.
    void alTerminar(const ResultadoPedido &resultado);

    Despacho &m_despacho;
    conexion_ngw *m_conexion = nullptr;
    const int m_numero;
    std::atomic<int> m_comando{EST_INICIO};
    int m_contadorCiclos = 0;
    // The loop's own: the length of the cycles counted since the last fetch, the length of the
    // last pause, and whether the last cycle moved records (it keeps a short cycle short).
    qint64 m_msContados = 0;
    int m_ultimoCicloMs = Ritmo::kCicloMs;
    bool m_enMovimiento = false;
    // The pace and the caps: set from the owner's thread, read by the loop and the snapshot,
    // counted on the connection's thread.
    mutable QMutex m_mutexRitmo;
    Ritmo m_ritmo;
    Topes m_topes;
    QElapsedTimer m_monotono;
    // The loop's own: the back-off and the connection's ended requests as last seen.
    Reintento m_reintento;
    unsigned m_terminadosVistos = 0;
    // Published for the owner: when the retry is due (-1 while it is in flight, kSinEspera
    // outside a wait), and whether the schedule stopped the last cycle.
    std::atomic<qint64> m_venceReintento{kSinEspera};
    std::atomic<bool> m_fueraDeHorario{false};
    std::atomic<bool> m_corriendo{false};
    QMutex m_mutexPausa;
    QWaitCondition m_despertar;
};
