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

// Text of the main window's state label for a connection state; any value outside -1..10
// reads as "Esperando respuesta...". Translated in the main window's context.
QString textoEstado(int estado);
