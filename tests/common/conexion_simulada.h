#pragma once
// What the connection tests against the gateway simulator share: the two paths, the key the
// simulator expects, a record to send, and the wait for a request to end.

#include "common/archivos_prueba.h"
#include "gateway/conexion_ngw.h"
#include "gateway/registro_sms.h"
#include "tools/simulador/simulador_ngw.h"

#include <QByteArray>
#include <QString>
#include <QtTest>

#include <chrono>
#include <optional>
#include <string>

namespace {

const char kTx[] = "/cgi-bin/txsms.cgi";
const char kRx[] = "/cgi-bin/rxsms.cgi";
const QString kClave = QStringLiteral("key=1234");

using archivos_prueba::bytes;

inline registro_sms registro(const QString &numero, const QString &mensaje)
{
    registro_sms r;
    r.numero = numero;
    r.fecha = QStringLiteral("07/12/2026");
    r.mensaje = mensaje;
    return r;
}

inline bool esperarLibre(conexion_ngw &c)
{
    return QTest::qWaitFor([&c] { return !c.isOcupado(); }, 5000);
}

// The simulator as a test starts it: key "1234", a normal device, nothing recorded or queued.
inline void reiniciar(simulador::SimuladorNgw &sim)
{
    sim.fijarClave("1234");
    sim.fijarModo(simulador::Modo::Normal);
    sim.fijarFalla(simulador::Modo::Normal, 0);
    sim.fijarRespuesta(kTx, std::nullopt);
    sim.fijarRespuesta(kRx, std::nullopt);
    sim.fijarContadores(0, 50);
    sim.fijarEstadoHttp(0);
    sim.fijarGoteo(std::chrono::milliseconds(0));
    sim.fijarDemora(std::chrono::milliseconds(0));
    sim.fijarRespuestaEnvio(std::nullopt);
    sim.fijarDemoraEnvio(std::chrono::milliseconds(0));
    sim.fijarRelleno(0);
    sim.fijarObservador(nullptr);
    sim.limpiar();
}

} // namespace
