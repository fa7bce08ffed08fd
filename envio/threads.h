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
    // known) and counts the three counters from the files.
    threads(const QString &clave, const QString &ip, const QString &archivoSalidas);
    ~threads() override;

    // The loop: one cycle per second while comando is EST_PLAY, until EST_SALIR.
    void run() override;
    // Lets this thread process its events for `segundos` seconds, 100 ms at a time.
    void pausar(int segundos);
    // One turn of the loop (see the steps in the source).
    void procesarCiclo();

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
};
