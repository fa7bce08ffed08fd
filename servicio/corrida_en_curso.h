#pragma once
// The state of the list run in progress, private to the service's sources.

#include "lista/archivos_datos.h"
#include "lista/diario_corrida.h"
#include "servicio/servicio_envio.h"

namespace servicio {

// A run's state from its first step to its last. A row that cannot be written ends the writing
// pass; the failure is told once.
struct ServicioEnvio::Corrida
{
    PedidoCorrida pedido;
    FilasLista filas;
    // The columns of the list as read, and its format: a run goes on as it began.
    QStringList columnas;
    int cantidadColumnas = 0;
    lista::FormatoLista formato;
    bool escrituraFallo = false;
    QString textoFallo;
    // Everything a row needs is taken once per run and kept in the journal: asking the settings
    // and the system on every row would slow long runs.
    diario_corrida::Diario diario;
    // Set while the writing pass runs.
    archivos_datos::AnexadorErrores *anexadorErrores = nullptr;
    // Rows the run sent to the errors file.
    int aErrores = 0;
};

} // namespace servicio
