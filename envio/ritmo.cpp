#include "envio/ritmo.h"

#include <algorithm>

Ritmo::Ritmo(int porMinuto) : m_porMinuto(std::max(0, porMinuto))
{
    m_intervalo = m_porMinuto > 0 ? std::max<qint64>(1, 60000 / m_porMinuto) : 0;
}

int Ritmo::cicloMs(bool enMovimiento) const
{
    if (!seguido() || !enMovimiento)
        return kCicloMs;
    return static_cast<int>(m_intervalo);
}

bool Ritmo::toca(qint64 ahoraMs) const
{
    return !espaciado() || m_vence < 0 || ahoraMs >= m_vence;
}

void Ritmo::entregado(qint64 ahoraMs)
{
    if (!espaciado())
        return;
    // Late by up to a cycle: the next keeps its place. Later than that the gateway was idle, and
    // the spacing starts again from now.
    const bool enPlazo = m_vence >= 0 && ahoraMs - m_vence <= kCicloMs;
    m_vence = (enPlazo ? m_vence : ahoraMs) + m_intervalo;
}
