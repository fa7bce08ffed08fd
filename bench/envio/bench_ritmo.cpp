// One gateway's pace and caps through the sending service and its real worker loop, against the
// gateway simulator on 127.0.0.1 answering at once:
//   - pace 600 a minute: messages a minute, each taken exactly once (target: at least 500);
//   - a cap of 20 a day: exactly 20 go, the gateway waits and says until when, and goes on by
//     itself once the program's clock reaches the next day.
//   bench_ritmo [por_minuto=600] [mensajes=600]
// Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-rel bench_ritmo
#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "servicio/servicio_envio.h"
#include "tools/simulador/simulador_ngw.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <set>

namespace {

// Runs the event loop until `listo` or `ms` have passed; false on the time-out.
bool esperar(const std::function<bool()> &listo, qint64 ms)
{
    const QDeadlineTimer fin(ms);
    if (listo())
        return true;
    QEventLoop bucle;
    QTimer sondeo;
    QObject::connect(&sondeo, &QTimer::timeout, &bucle, [&] {
        if (listo() || fin.hasExpired())
            bucle.quit();
    });
    sondeo.start(10);
    bucle.exec();
    return listo();
}

struct Caso
{
    QTemporaryDir datos;
    std::unique_ptr<servicio::ServicioEnvio> servicio;

    // A service on an outbox of `mensajes` records, its gateway checked and free.
    bool crear(simulador::SimuladorNgw &sim, int mensajes)
    {
        QByteArray contenido;
        for (int i = 0; i < mensajes; ++i)
            contenido += "e," + QByteArray::number(1150000000 + i) + ",,Recordatorio de pago " +
                         QByteArray::number(i) + "\n";
        QFile salidas(datos.filePath(QStringLiteral("salidas.csv")));
        if (!salidas.open(QIODevice::WriteOnly) || salidas.write(contenido) != contenido.size())
            return false;
        salidas.close();
        ajustes::escribir(ajustes::Clave::FolderInbox, datos.filePath(QStringLiteral("recibidos.csv")));
        const QString direccion = QStringLiteral("127.0.0.1:%1").arg(sim.puerto());
        servicio = std::make_unique<servicio::ServicioEnvio>(
            QDir(datos.path()), protocolo_ngw::gatewayDe(direccion, QStringLiteral("clave")));
        servicio->fijarRutas({datos.filePath(QStringLiteral("errores.csv")),
                              datos.filePath(QStringLiteral("backup.csv")),
                              datos.filePath(QStringLiteral("recibidos.csv"))});
        return esperar(
            [this] { return !servicio->conexionOcupada() && servicio->estadoConexion() == EST_CONEX_LIBRE; },
            10000);
    }

    // Every record marked sent in the outbox, and every message taken once.
    bool unaVez(const simulador::SimuladorNgw &sim, int mensajes) const
    {
        QFile salidas(datos.filePath(QStringLiteral("salidas.csv")));
        if (!salidas.open(QIODevice::ReadOnly))
            return false;
        int marcados = 0;
        while (!salidas.atEnd())
            marcados += salidas.readLine().startsWith("E,") ? 1 : 0;
        std::set<std::string> numeros;
        const std::vector<simulador::Mensaje> tomados = sim.enviados();
        for (const simulador::Mensaje &m : tomados)
            numeros.insert(m.numero);
        std::printf("  taken %zu, distinct %zu, marked sent %d of %d\n", tomados.size(), numeros.size(),
                    marcados, mensajes);
        return int(tomados.size()) == mensajes && int(numeros.size()) == mensajes && marcados == mensajes;
    }
};

bool medirRitmo(simulador::SimuladorNgw &sim, int porMinuto, int mensajes)
{
    std::printf("pace %d a minute, %d messages:\n", porMinuto, mensajes);
    sim.limpiar();
    ajustes::escribir(ajustes::Clave::RitmoGateway, porMinuto);
    ajustes::borrar(ajustes::Clave::TopeHora);
    ajustes::borrar(ajustes::Clave::TopeDia);
    Caso c;
    if (!c.crear(sim, mensajes)) {
        std::printf("  the service did not start\n");
        return false;
    }
    sim.limpiar();
    QElapsedTimer reloj;
    reloj.start();
    c.servicio->iniciar();
    c.servicio->reanudar();
    const qint64 limite = qint64(mensajes) * 60000 / qMax(1, porMinuto) * 3 + 30000;
    const bool todos = esperar([&] { return int(sim.enviados().size()) >= mensajes; }, limite);
    const qint64 ms = reloj.elapsed();
    esperar([&] { return c.servicio->instantanea().pendientes == 0; }, 10000);
    c.servicio->terminar();
    const double porMinutoMedido = ms > 0 ? sim.enviados().size() * 60000.0 / ms : 0;
    std::printf("  %.1f messages a minute (%zu in %.2f s; target: at least 500 at a pace of 600)\n",
                porMinutoMedido, sim.enviados().size(), ms / 1000.0);
    return todos && c.unaVez(sim, mensajes) && (porMinuto != 600 || porMinutoMedido >= 500);
}

bool medirTope(simulador::SimuladorNgw &sim)
{
    std::printf("cap of 20 a day, 30 messages, pace 600, the program's clock fixed:\n");
    sim.limpiar();
    ajustes::escribir(ajustes::Clave::RitmoGateway, 600);
    ajustes::escribir(ajustes::Clave::TopeDia, 20);
    const QDateTime hoy(QDate(2026, 6, 15), QTime(10, 0));
    reloj::fijar([hoy] { return hoy; });
    Caso c;
    if (!c.crear(sim, 30)) {
        std::printf("  the service did not start\n");
        return false;
    }
    sim.limpiar();
    c.servicio->iniciar();
    c.servicio->reanudar();
    bool bien = esperar([&] { return sim.enviados().size() >= 20; }, 30000);
    // Three more seconds of cycles: nothing more may go.
    esperar([] { return false; }, 3000);
    const size_t alTope = sim.enviados().size();
    const QString texto = c.servicio->instantanea().texto;
    std::printf("  %zu sent, then \"%s\"\n", alTope, qPrintable(texto));
    bien = bien && alTope == 20;
    QElapsedTimer reloj;
    reloj.start();
    reloj::fijar([hoy] { return QDateTime(hoy.date().addDays(1), QTime(0, 0, 1)); });
    bien = esperar([&] { return sim.enviados().size() >= 30; }, 30000) && bien;
    std::printf("  the next day: %zu more within %.2f s\n", sim.enviados().size() - alTope,
                reloj.elapsed() / 1000.0);
    esperar([&] { return c.servicio->instantanea().pendientes == 0; }, 10000);
    c.servicio->terminar();
    reloj::fijar(nullptr);
    return c.unaVez(sim, 30) && bien;
}

} // namespace

int main(int argc, char *argv[])
{
    const auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench-ritmo"));
    QCoreApplication app(argc, argv);
    ajustes::fijarIdentidad();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    const int porMinuto = args.size() > 1 ? args.at(1).toInt() : 600;
    const int mensajes = args.size() > 2 ? args.at(2).toInt() : 600;
    simulador::SimuladorNgw sim("clave");
    if (sim.iniciar() < 0) {
        std::printf("the simulator could not listen\n");
        return 1;
    }
    bool bien = medirRitmo(sim, porMinuto, mensajes);
    bien = medirTope(sim) && bien;
    sim.detener();
    std::printf(bien ? "all targets met\n" : "TARGET MISSED\n");
    return bien ? 0 : 1;
}
