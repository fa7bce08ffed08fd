#pragma once
// The list of gateways as the configuration tab edits it and the status tab shows it, without
// widgets: the rule that refuses a list, its reading from and writing to the settings, and the
// texts of a gateway's status line. Gateway 1 is today's address and key; gateways 2 to
// ajustes::kMaxGateways keep their numbers for life (the history and the same-gateway rule name
// them), so removing one leaves a gap that the next one added fills.

#include "ajustes/ajustes.h"
#include "servicio/servicio_envio.h"

#include <QString>
#include <QVector>

namespace lista_gateways {

// Gateway 1 and every gateway 2..8 with a stored address, in order of number.
QVector<ajustes::AjustesGateway> leer();
// Stores `lista` (gateway 1 first): gateway 1's pace and caps (a key not stored yet is written only
// when it leaves the default), every other gateway's keys, and removes the keys of the gateways
// 2..8 that are no longer on it. `mismoGateway`: the same-gateway-per-number rule.
void guardar(const QVector<ajustes::AjustesGateway> &lista, bool mismoGateway);

// Why `lista` cannot be stored, in the operator's words (the first problem found), or empty:
// every gateway needs an address and a key that requests can carry, and no two gateways may be
// the same device.
QString revisar(const QVector<ajustes::AjustesGateway> &lista);
// The address and key as requests use them (protocolo_ngw::gatewayDe): the form stored.
ajustes::AjustesGateway normalizado(const ajustes::AjustesGateway &gateway);

// The lowest number 2..8 not on `lista`; 0 when all are taken.
int numeroLibre(const QVector<ajustes::AjustesGateway> &lista);

// The status tab's cells of one gateway.
QString textoHora(const SituacionEnvio &situacion);
QString textoDia(const SituacionEnvio &situacion);
QString textoRitmo(int ritmo);
QString textoEstado(const servicio::EstadoGateway &gateway);
// The status tab lists the gateways when there is more than one or one has a pace or a cap.
bool hayQueMostrar(const QVector<servicio::EstadoGateway> &gateways);
// Gateways that send now: on, with an address, not paused, not stopped by a failure, the schedule,
// the hold or the opt-out list, not waiting at a cap.
int enServicio(const QVector<servicio::EstadoGateway> &gateways);

} // namespace lista_gateways
