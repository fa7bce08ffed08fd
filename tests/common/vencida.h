#pragma once
// The worker's due-date rule on a fixed day, for scanning an outbox in tests and benchmarks.

#include "envio/reglas_envio.h"
#include "lista/outbox.h"

inline outbox::FechaVencida vencidaEl(const QDate &hoy)
{
    return [hoy](const char *fecha, int largo) { return reglas_envio::fechaVencida(fecha, largo, hoy); };
}
