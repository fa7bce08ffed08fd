#pragma once
// The caps of one gateway: at most so many messages in a clock hour and in a calendar day, on the
// program's clock. It counts what the gateway took or may have taken (a send in doubt counts: the
// carrier may have seen it) and says until when a reached cap holds. Pure: every call takes the
// clock's date and time; an hour or a day other than the one counted starts from 0.

#include <QDateTime>

class Topes
{
public:
    // 0 (or less): no cap.
    void fijar(int porHora, int porDia);
    int porHora() const { return m_porHora; }
    int porDia() const { return m_porDia; }

    // What the hour and the day of `ahora` have used already (the history's count, at start).
    void sembrar(const QDateTime &ahora, int enHora, int enDia);
    // One more message at `ahora`.
    void contar(const QDateTime &ahora);
    int enHora(const QDateTime &ahora) const;
    int enDia(const QDateTime &ahora) const;

    // When the cap reached at `ahora` lifts, in ms since the epoch (the next hour, or the next
    // day at 00:00 when the day's cap is reached); 0 while no cap is reached. `diario`: the day's.
    qint64 hasta(const QDateTime &ahora, bool *diario = nullptr) const;

private:
    // Where `ahora` starts counting: its day, and its hour within the day.
    void avanzar(const QDateTime &ahora);

    int m_porHora = 0;
    int m_porDia = 0;
    QDate m_dia;
    int m_hora = -1;
    int m_enHora = 0;
    int m_enDia = 0;
};
