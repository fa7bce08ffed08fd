#pragma once
// The pace of one gateway: how long the worker's cycle lasts and when the next record may be
// handed over. Pure: every call takes a monotonic time in milliseconds.
//
// At 0 a minute (the default) the cycle is one second and hands a record whenever one is due, as
// it always did. Up to 60 a minute the cycle stays one second and records are spaced by 60000 /
// pace ms. Above that the cycle is the spacing while records flow (one record a cycle at most);
// idle, it stays one second, so that a fast pace costs nothing while there is nothing to send.

#include <QtGlobal>

class Ritmo
{
public:
    static constexpr int kCicloMs = 1000;
    // A fetch of received messages starts once the counted cycles add up to more than this,
    // whatever their length: about as often in time at every pace.
    static constexpr int kMsEntreRecepciones = 10 * kCicloMs;

    explicit Ritmo(int porMinuto = 0);

    int porMinuto() const { return m_porMinuto; }
    // Records go back to back (no room check while the last one showed room).
    bool seguido() const { return m_porMinuto > 60; }
    // The spacing between two records; 0 without a pace.
    qint64 intervaloMs() const { return m_intervalo; }
    // The next cycle's length, given whether the last one moved records (handed one over, or
    // found a request in flight).
    int cicloMs(bool enMovimiento) const;

    // A record may be handed over at `ahoraMs`. Up to 60 a minute the spacing is kept on
    // average: a hand-over up to one cycle late lets the next come that much sooner (a one-second
    // cycle cannot meet 1.2 s exactly); idle time earns no burst. Faster, the cycle spaces them.
    bool toca(qint64 ahoraMs) const;
    void entregado(qint64 ahoraMs);

private:
    bool espaciado() const { return m_intervalo > 0 && !seguido(); }

    int m_porMinuto = 0;
    qint64 m_intervalo = 0;
    // When the next hand-over is due; -1 before the first.
    qint64 m_vence = -1;
};
