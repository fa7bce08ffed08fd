#pragma once
// States of the gateway connection. `conexion_ngw::estado` holds one of them; the worker, the
// main window's poll and the connection test dialog all read it.

#include <QString>

inline constexpr int EST_CONEX_UNKNOW = -1;
inline constexpr int EST_CONEX_LIBRE = 0;
inline constexpr int EST_CONEX_SEND_SMS = 1;
inline constexpr int EST_CONEX_SEND_SMS_OK = 2;
inline constexpr int EST_CONEX_SEND_SMS_ERROR = 3;
inline constexpr int EST_CONEX_GET_SMS = 4;
inline constexpr int EST_CONEX_GET_SMS_OK = 5;
inline constexpr int EST_CONEX_GET_SMS_ERROR = 6;
inline constexpr int EST_CONEX_NO_ENVIA_SMS = 7;
inline constexpr int EST_CONEX_ERROR = 8;
inline constexpr int EST_CONEX_SIN_LUGAR = 9;
inline constexpr int EST_CONEX_CLAVE_INCORRECTA = 10;

// True for the values -1..10 above.
inline constexpr bool estadoValido(int estado)
{
    return estado >= EST_CONEX_UNKNOW && estado <= EST_CONEX_CLAVE_INCORRECTA;
}

// With nothing in flight, the states in which the connection has given up: every one but free
// and the two whose outcome the worker settles (a message taken, messages fetched).
inline constexpr bool estadoDetenido(int estado)
{
    return estadoValido(estado) && estado != EST_CONEX_LIBRE && estado != EST_CONEX_SEND_SMS_OK &&
           estado != EST_CONEX_GET_SMS_OK;
}

// Text of a connection state; any value outside -1..10 reads as "Esperando respuesta...".
// Translated in the main window's context.
QString textoEstado(int estado);

// What the worker and the connection report about sending, for the main window's state label.
struct SituacionEnvio
{
    int estado = EST_CONEX_UNKNOW;
    // A request is in flight.
    bool ocupado = false;
    // Sending is switched off (pause).
    bool enPausa = false;
    // The schedule does not allow sending at this hour.
    bool fueraDeHorario = false;
    // No gateway address is stored: nothing is sent or retried until one is.
    bool sinGateway = false;
    // The connection tries again by itself in this many seconds; -1: no retry is pending.
    int segundosReintento = -1;
    // Records held because the gateway may have sent them.
    int enDuda = 0;
    // Sending stands still: the file of the records in doubt was lost or damaged, or cannot be
    // written.
    bool retencionIlegible = false;
    bool retencionSinEscribir = false;
    // Sending stands still: the opt-out list could not be read while some were in force.
    bool bajasIlegibles = false;
    // This gateway's pace (messages a minute; 0: one a cycle) and caps (0: none), and what the
    // current hour and day have used of them.
    int ritmo = 0;
    int topeHora = 0;
    int topeDia = 0;
    int enviadosHora = 0;
    int enviadosDia = 0;
    // A cap is reached: nothing goes through this gateway until then (local time, ms since the
    // epoch); 0: no cap holds it. `topeDiario`: the day's cap (else the hour's).
    qint64 topeHasta = 0;
    bool topeDiario = false;
};

// The state label: the state's text while a request is in flight; "Pausado" while paused; why
// sending stands still when the hold cannot be trusted or written or the opt-out list is unknown; "Sin
// gateway configurado" without an address; a given-up state's text followed by " (reintento en N s)" while
// its retry is pending; "Fuera de horario" when free outside the allowed hours; until when a reached cap
// holds ("Límite diario alcanzado: se reanuda mañana a las 00:00", "Límite por hora alcanzado: se reanuda a
// las HH:00"); else the state's text. The records in doubt, if any, are counted after it.
QString textoSituacion(const SituacionEnvio &situacion);
