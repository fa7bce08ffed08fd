#pragma once
// The dispatch worker. It runs for the whole life of the program on a thread of the global
// pool and, once a second while the command word says play, looks at the gateway connection:
// it marks the record the gateway took, now and then fetches received messages, and within the
// allowed hours hands the next due outbox record to the connection. The window reads its
// counters and writes its command word; nothing else passes between the two.

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QRunnable>
#include <QString>

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <functional>

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
    // fetch reply to completarPendiente() the moment it has been classified.
    threads(const QString &clave, const QString &ip, const QString &archivoSalidas);
    // Deletes the connection: call only once the loop has ended and no request is in flight.
    ~threads() override;

    // The loop: one cycle per second while comando is EST_PLAY, until EST_SALIR.
    void run() override;
    // Lets this thread process its events for `segundos` seconds, 100 ms at a time; returns
    // early when told to leave.
    void pausar(int segundos);
    // One turn of the loop (see the steps in the source).
    void procesarCiclo();
    // Writes the command word and wakes a pause, so that leaving never waits a whole second.
    void fijarComando(int valor);
    // True from the start of run() until the loop has left.
    bool enBucle() const { return corriendo; }

    // Finishes what the last reply left: marks "E" on the record the gateway took (state 2) or
    // adds the messages a fetch stored (state 5), and frees the state. Safe from either thread
    // and at most once per reply. False when the mark could not be written: the state stays so
    // that it is tried again, and nothing may overwrite it meanwhile.
    bool completarPendiente();

    // Each counts into a local and publishes the total once, so the window never shows a
    // half-counted value.
    void contarRecibidos();
    void contarPendientes();
    void contarEnviados();

    // The two rules, on the worker's clock.
    bool fechaVencida(const QString &fecha) const;
    bool horarioPermitido() const;

    std::atomic<int> comando;
    conexion_ngw *conexion;
    std::atomic<int> enviados;
    std::atomic<int> pendientes;
    std::atomic<int> recibidos;
    QString archivoSalidas;
    // Byte offset of the line whose message is with the gateway, and that line as it was.
    qint64 posLinea;
    QByteArray lineaEnviada;
    // Counted cycles since the last fetch of received messages.
    int contadorCiclos;
    // Date and time of day for the schedule and the due dates; tests replace it.
    std::function<QDateTime()> reloj;
    // Turns of the loop begun so far: shows that a turn has looked at the command word.
    std::atomic<int> vueltas;

private:
    std::atomic<bool> corriendo{false};
    QMutex mutexPausa;
    QWaitCondition despertar;
};
