#pragma once
// The dispatch worker of one gateway. It runs for the whole life of the program on a thread of
// its own and, once a second while the command word says play, looks at its gateway connection:
// it has the last reply settled, now and then fetches received messages, waits before retrying a
// gateway that failed, and within the allowed hours hands the next record its owner gives it
// (Despacho) to the connection. Which record goes next and what a reply means for it are the
// owner's; the worker only paces and moves the link.

#include "ajustes/ajustes.h"
#include "envio/despacho.h"
#include "envio/reintento.h"
#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"

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
    // Creates the connection to `gateway` in the calling thread, which checks the gateway at once
    // when its address is known. `despacho` is not owned and outlives the worker.
    threads(const protocolo_ngw::Gateway &gateway, Despacho &despacho);
    // The worker of gateway `ajustes.numero`, with its address, key, pace and caps.
    threads(const ajustes::AjustesGateway &ajustes, Despacho &despacho);
    // Deletes the connection: call only once the loop has ended and no request is in flight.
    ~threads() override;
    Q_DISABLE_COPY(threads)

    // The loop: one cycle per second while the command word is EST_PLAY, until EST_SALIR.
    void run() override;
    // Lets this thread process its events for `segundos` seconds, 100 ms at a time; returns
    // early when told to leave.
    void pausar(int segundos);
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
    // pause, the schedule as the last cycle found it, and the seconds until the pending retry.
    // Safe from any thread.
    SituacionEnvio situacion() const;
    // Sending stands still because the connection gave up, from the cycle that saw it until the
    // cycle that sees it working again (a retry in flight included).
    bool detenidoPorFalla() const { return m_venceReintento != kSinEspera; }

    // The allowed hours, on the program's clock.
    bool horarioPermitido() const;

    // The gateway it serves (1..ajustes::kMaxGateways) and its settings as last given; any thread.
    int numero() const { return m_numero; }
    ajustes::AjustesGateway ajustesGateway() const;
    void fijarAjustesGateway(const ajustes::AjustesGateway &ajustes);

private:
    static constexpr qint64 kSinEspera = -2;

    threads(const protocolo_ngw::Gateway &gateway, Despacho &despacho, int numero);

    // In a given-up state: waits, and once the wait is over asks the connection to try again.
    void esperarReintento(bool pedidoTerminado);

    Despacho &m_despacho;
    const int m_numero = 1;
    ajustes::AjustesGateway m_ajustes; // under m_mutexPausa
    conexion_ngw *m_conexion = nullptr;
    std::atomic<int> m_comando{EST_INICIO};
    int m_contadorCiclos = 0;
    // The loop's own: the back-off and the connection's ended requests as last seen.
    Reintento m_reintento;
    unsigned m_terminadosVistos = 0;
    // Published for the owner: when the retry is due (-1 while it is in flight, kSinEspera
    // outside a wait), and whether the schedule stopped the last cycle.
    std::atomic<qint64> m_venceReintento{kSinEspera};
    std::atomic<bool> m_fueraDeHorario{false};
    std::atomic<bool> m_corriendo{false};
    mutable QMutex m_mutexPausa;
    QWaitCondition m_despertar;
};
