#pragma once
// The sending service on a data folder of its own against the gateway simulator on 127.0.0.1,
// for the service's tests: the worker's cycles are driven one at a time through procesarCiclo
// (its loop is not started), on the program's clock set to kAhora.

#include "ajustes/reloj.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "lista/outbox.h"
#include "servicio/servicio_envio.h"
#include "tools/simulador/simulador_ngw.h"

#include "common/archivos_prueba.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace servicio_simulado {
using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

const QDateTime kAhora(QDate(2026, 6, 15), QTime(10, 0));
} // namespace servicio_simulado

class ServicioSimulado
{
protected:
    // A fresh folder, simulator and settings for every test, and none of them left after it.
    void preparar()
    {
        dir.reset(new QTemporaryDir);
        salidas = dir->filePath(QStringLiteral("salidas.csv"));
        inbox = dir->filePath(QStringLiteral("sms_recibidos.csv"));
        errores = dir->filePath(QStringLiteral("errores.csv"));
        ajustes::borrar(ajustes::Clave::CheckHorarios);
        ajustes::borrar(ajustes::Clave::BajasEnVigor);
        ajustes::escribir(ajustes::Clave::FolderInbox, inbox);
        sim.reset(new simulador::SimuladorNgw("clave"));
        QVERIFY(sim->iniciar() > 0);
    }
    void liberar()
    {
        cerrar();
        reloj::fijar(nullptr);
        sim->detener();
        sim.reset();
    }
    // The service ends as the program's does.
    void cerrar()
    {
        s.reset();
        w = nullptr;
    }

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<simulador::SimuladorNgw> sim;
    std::unique_ptr<servicio::ServicioEnvio> s;
    threads *w = nullptr;
    QString salidas;
    QString inbox;
    QString errores;

    QString direccion() const { return QStringLiteral("127.0.0.1:%1").arg(sim->puerto()); }
    int pendientes() const { return s->instantanea().pendientes; }
    int enviados() const { return s->instantanea().enviados; }
    int recibidos() const { return s->instantanea().recibidos; }
    int enDuda() const { return s->instantanea().situacion.enDuda; }

    // A service on `contenido`, its connection to `ip` (the simulator unless given) checked,
    // its clock at `ahora`.
    void crear(const QByteArray &contenido, const QDateTime &ahora = servicio_simulado::kAhora,
               const QString *ip = nullptr)
    {
        archivos_prueba::escribir(salidas, contenido);
        s = std::make_unique<servicio::ServicioEnvio>(
            QDir(dir->path()), protocolo_ngw::gatewayDe(ip ? *ip : direccion(), QStringLiteral("key=clave")));
        s->fijarRutas({errores, dir->filePath(QStringLiteral("backup.csv")), inbox});
        w = s->trabajador();
        reloj::fijar([ahora] { return ahora; });
        if (ip)
            return;
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
    }

    // One cycle that must hand a record over; waits until the gateway has taken it, which
    // marks the record at once.
    void cicloQueEntrega()
    {
        w->procesarCiclo();
        QVERIFY(w->conexion()->isOcupado());
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_LIBRE);
    }

    // The gateway holds the next send without answering until `soltar()`; the test can act while
    // the message is with it.
    void retenerEnvio()
    {
        sim->fijarObservador([this](const simulador::Peticion &p, const std::string &) {
            if (p.cuerpo == "key=clave&stat")
                sim->fijarModo(simulador::Modo::NuncaResponde);
        });
        w->procesarCiclo();
        QTRY_COMPARE(tomadosPendientes(), size_t(1));
        sim->fijarObservador(nullptr);
    }
    size_t tomadosPendientes() const
    {
        size_t n = 0;
        for (const simulador::Peticion &p : sim->peticiones())
            n += p.cuerpo.find("&num=") != std::string::npos ? 1 : 0;
        return n;
    }
    void soltar()
    {
        sim->fijarModo(simulador::Modo::Normal);
        QTRY_VERIFY(!w->conexion()->isOcupado());
    }

    std::vector<simulador::Mensaje> tomados() const { return sim->enviados(); }

    // Send requests the gateway got for `numero`, whatever it answered.
    int envios(const char *numero) const
    {
        const std::string buscado = std::string("&num=") + numero + "&";
        int n = 0;
        for (const simulador::Peticion &p : sim->peticiones())
            n += p.cuerpo.find(buscado) != std::string::npos ? 1 : 0;
        return n;
    }

    // One cycle with the clock `ms` after servicio_simulado::kAhora, and whatever request it
    // started ended.
    void cicloA(qint64 ms)
    {
        reloj::fijar([ms] { return servicio_simulado::kAhora.addMSecs(ms); });
        w->procesarCiclo();
        QTRY_VERIFY(!w->conexion()->isOcupado());
    }

    // The gateway takes the next record but answers "OK", which says nothing: it is in doubt.
    void envioEnDuda()
    {
        sim->fijarRespuestaEnvio(std::string("OK"));
        w->procesarCiclo();
        QVERIFY(w->conexion()->isOcupado());
        QTRY_VERIFY(!w->conexion()->isOcupado());
        QCOMPARE(w->conexion()->getEstado(), EST_CONEX_ERROR);
        sim->fijarRespuestaEnvio(std::nullopt);
    }

    outbox::Referencia referencia(const QByteArray &linea) const
    {
        QVector<outbox::RegistroPendiente> pendientes;
        outbox::leerPendientes(salidas, pendientes);
        for (const outbox::RegistroPendiente &r : pendientes) {
            if (r.linea == linea)
                return {r.posicion, r.linea};
        }
        return {};
    }
};
