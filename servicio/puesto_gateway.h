#pragma once
// One gateway as the sending service keeps it: its worker (which owns the connection), its
// search of the outbox, the record it has in hand and its connection's last failure. The
// service's own; every member but `activo` and the worker's atomics is used under the service's
// lock or on the interface thread, as the service's members are.

#include "ajustes/ajustes.h"
#include "envio/despacho.h"
#include "envio/threads.h"
#include "gateway/registro_sms.h"
#include "lista/buscador_outbox.h"
#include "servicio/servicio_envio.h"

#include <QByteArray>
#include <QString>

#include <atomic>

namespace servicio {

struct ServicioEnvio::Puesto : public Despacho
{
    Puesto(ServicioEnvio &servicio, const ajustes::AjustesGateway &ajustes);
    ~Puesto() override;
    Q_DISABLE_COPY(Puesto)

    int numero() const { return config.numero; }

    bool completarPendiente() override { return servicio.completarPendiente(*this); }
    void alGirar() override { servicio.alGirar(); }
    bool entregarSiguiente(const Entrega &entrega) override
    {
        return servicio.entregarSiguiente(*this, entrega);
    }

    ServicioEnvio &servicio;
    // Its settings as last given (interface thread); whether it hands records over (any thread).
    ajustes::AjustesGateway config;
    std::atomic<bool> activo{true};
    // Its connection is to be asked once its last reply is settled (interface thread).
    bool consultar = false;
    threads *trabajador = nullptr;
    // Where its next due record may be, from what its last choices read: each gateway passes over
    // the records bound to another, so each remembers its own reading.
    outbox::Buscador buscador;
    // The record with the gateway (or taken and not yet marked): its offset, its bytes, its fields.
    bool enMano = false;
    qint64 posicionEnMano = 0;
    QByteArray lineaEnMano;
    registro_sms registroEnMano;
    // The gateway took the record in hand and its mark is not written yet.
    bool marcaPendiente = false;
    // The gateway its number had before this hand-over (0: none; -1: nothing noted).
    int gatewayAnterior = -1;
    // The connection's last failure (written once, while retries fail alike), and for the snapshot.
    QString errorConexion;
    QString ultimoErrorConexion;
    QString motivoFalla;
};

// Seeds the worker's caps with what the history counts of this hour and day for its gateway.
void sembrarTopes(historial::Historial &historial, threads &trabajador);

} // namespace servicio
