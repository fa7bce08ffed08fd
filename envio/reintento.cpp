#include "envio/reintento.h"

#include <algorithm>

void Reintento::fallo(qint64 ahoraMs, bool nuevoFallo)
{
    if (!enEspera()) {
        m_espera = m_primera;
        m_desde = ahoraMs;
        m_reintentando = false;
        return;
    }
    if (nuevoFallo) {
        if (m_reintentando)
            m_espera = std::min(m_espera * 2, m_maxima);
        m_reintentando = false;
        m_desde = ahoraMs;
        return;
    }
    // A clock set back must not bring the retry closer than the wait after the failure.
    if (ahoraMs < m_desde)
        m_desde = ahoraMs;
}

void Reintento::exito()
{
    m_desde = -1;
    m_espera = 0;
    m_reintentando = false;
}

void Reintento::intentado()
{
    if (enEspera())
        m_reintentando = true;
}

bool Reintento::toca(qint64 ahoraMs) const
{
    return enEspera() && !m_reintentando && ahoraMs - m_desde >= m_espera;
}

qint64 Reintento::vence() const
{
    if (!enEspera() || m_reintentando)
        return -1;
    return m_desde + m_espera;
}

int Reintento::segundosHasta(qint64 venceMs, qint64 ahoraMs)
{
    if (venceMs < 0)
        return -1;
    const qint64 resto = venceMs - ahoraMs;
    if (resto <= 0)
        return 0;
    return static_cast<int>((resto + 999) / 1000);
}
