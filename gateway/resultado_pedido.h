#pragma once
// What one request to the gateway came to, told once by conexion_ngw::terminado right after its
// reply was classified and before the link is free: a status query, a send (its room check and
// the send itself) or a fetch of received messages.

#include "gateway/estados.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/registro_sms.h"

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

struct ResultadoPedido
{
    enum class Tipo { Estado, Envio, Recepcion };
    Tipo tipo = Tipo::Estado;
    // The state the request left the connection in.
    int estado = EST_CONEX_UNKNOW;
    // Why it failed (network error, a reply not understood), in state EST_CONEX_ERROR only.
    QString texto;
    // A send: its record and what the gateway did with it.
    registro_sms registro;
    protocolo_ngw::Desenlace desenlace = protocolo_ngw::Desenlace::NadaTomado;
    // Received messages stored in a received-messages file with this request (those held before
    // included), when ("yyyy-MM-dd HH:mm:ss", local time); lines for the errors file about where
    // they went or that some could not be stored.
    QList<registro_sms> guardados;
    // The messages this fetch brought, stored in a file or not yet.
    QList<registro_sms> traidos;
    QString fechaGuardados;
    QStringList lineas;
};
Q_DECLARE_METATYPE(ResultadoPedido)
