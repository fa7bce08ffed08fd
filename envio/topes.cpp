#include "envio/topes.h"

void Topes::fijar(int porHora, int porDia)
{
    m_porHora = qMax(0, porHora);
    m_porDia = qMax(0, porDia);
}

void Topes::avanzar(const QDateTime &ahora)
{
    const QDate dia = ahora.date();
    const int hora = ahora.time().hour();
    if (dia != m_dia) {
        m_dia = dia;
        m_enDia = 0;
        m_hora = -1;
    }
    if (hora != m_hora) {
        m_hora = hora;
        m_enHora = 0;
    }
}

void Topes::sembrar(const QDateTime &ahora, int enHora, int enDia)
{
    avanzar(ahora);
    m_enHora = qMax(m_enHora, enHora);
    m_enDia = qMax(m_enDia, qMax(enDia, m_enHora));
}

void Topes::contar(const QDateTime &ahora)
{
    avanzar(ahora);
    m_enHora += 1;
    m_enDia += 1;
}

int Topes::enHora(const QDateTime &ahora) const
{
    return ahora.date() == m_dia && ahora.time().hour() == m_hora ? m_enHora : 0;
}

int Topes::enDia(const QDateTime &ahora) const
{
    return ahora.date() == m_dia ? m_enDia : 0;
}

qint64 Topes::hasta(const QDateTime &ahora, bool *diario) const
{
    if (diario)
        *diario = false;
    if (m_porDia > 0 && enDia(ahora) >= m_porDia) {
        if (diario)
            *diario = true;
        QDateTime manana = ahora;
        manana.setDate(ahora.date().addDays(1));
        manana.setTime(QTime(0, 0));
        return manana.toMSecsSinceEpoch();
    }
    if (m_porHora > 0 && enHora(ahora) >= m_porHora) {
        QDateTime inicio = ahora;
        inicio.setTime(QTime(ahora.time().hour(), 0));
        return inicio.addSecs(3600).toMSecsSinceEpoch();
    }
    return 0;
}
