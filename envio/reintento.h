#pragma once
// How long the worker waits before it tries the gateway again by itself once the connection has
// given up: the first wait after a failure, twice as long after every retry that fails too, never
// longer than the last step. Pure: every call takes the clock's time in milliseconds.

#include <QtGlobal>

class Reintento
{
public:
    static constexpr qint64 kPrimeraEsperaMs = 30 * 1000;
    static constexpr qint64 kEsperaMaximaMs = 5 * 60 * 1000;

    // The waits grow from `primeraEsperaMs` up to ten times it (the defaults: 30 s, 5 min).
    explicit Reintento(qint64 primeraEsperaMs = kPrimeraEsperaMs)
        : m_primera(primeraEsperaMs), m_maxima(primeraEsperaMs * (kEsperaMaximaMs / kPrimeraEsperaMs))
    {
    }

    // The connection is seen given up at `ahoraMs`. `nuevoFallo`: a request has ended since the
    // last look, so it failed at about this moment and the wait runs from now (twice as long when
    // that request was this object's retry). A request that was not a retry (the operator's
    // check) restarts the wait without lengthening it.
    void fallo(qint64 ahoraMs, bool nuevoFallo);
    // The connection works again: the next failure waits the first step.
    void exito();
    // The retry has started; fallo() with nuevoFallo tells how it ended.
    void intentado();

    // A failure is being waited out (a retry may be in flight).
    bool enEspera() const { return m_desde >= 0; }
    // True when a retry is due at `ahoraMs` and none is in flight.
    bool toca(qint64 ahoraMs) const;
    // When the retry is due; -1 outside a wait or while the retry is in flight.
    qint64 vence() const;
    // Whole seconds, rounded up, from `ahoraMs` until `venceMs`; 0 when due; -1 when `venceMs`
    // is -1.
    static int segundosHasta(qint64 venceMs, qint64 ahoraMs);
    int segundosRestantes(qint64 ahoraMs) const { return segundosHasta(vence(), ahoraMs); }
    // The wait the present failure runs for, in milliseconds (0 outside a wait).
    qint64 espera() const { return m_espera; }

private:
    qint64 m_primera;
    qint64 m_maxima;
    qint64 m_desde = -1;
    qint64 m_espera = 0;
    bool m_reintentando = false;
};
