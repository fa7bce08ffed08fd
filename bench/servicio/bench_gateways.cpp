// One queue through several gateways, the sending service running its real workers against
// simulators on 127.0.0.1 that each take one message a second (every send answered a second
// after it arrives):
//   - one gateway, then four: messages a minute, and the ratio (the goal: at least 3.8);
//   - four gateways, one of them stopped a quarter of the way through: the others carry on, and
//     every record is sent exactly once or held in doubt (listed, with its gateway), none lost.
//   bench_gateways [mensajes por gateway=30]
// Run from a Release build: ninja -C build-rel bench_gateways && build-rel/bench/servicio/bench_gateways
#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "lista/retencion.h"
#include "servicio/servicio_envio.h"
#include "tools/simulador/simulador_ngw.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

struct Resultado
{
    double porMinuto = 0;
    int marcados = 0;
    int pendientes = 0;
    int dobles = 0;
    int sinEnvio = 0;
    QVector<retencion::Entrada> enDuda;
};

QList<QByteArray> lineas(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().split('\n');
}

// Runs `mensajes` records through `gateways` simulators; with `detenerEn` > 0 the last simulator
// stops once that many records are marked.
Resultado correr(int gateways, int mensajes, int detenerEn)
{
    QTemporaryDir carpeta;
    std::vector<std::unique_ptr<simulador::SimuladorNgw>> sims;
    for (int n = 1; n <= ajustes::kMaxGateways; ++n) {
        ajustes::AjustesGateway g;
        g.numero = n;
        if (n <= gateways) {
            sims.push_back(std::make_unique<simulador::SimuladorNgw>("clave"));
            sims.back()->iniciar("127.0.0.1", 0);
            sims.back()->fijarDemoraEnvio(std::chrono::milliseconds(1000));
            g.direccion = QStringLiteral("127.0.0.1:%1").arg(sims.back()->puerto());
            g.clave = QStringLiteral("key=clave");
        }
        if (n > 1)
            ajustes::escribirGateway(g);
    }
    ajustes::escribir(ajustes::Clave::CheckHorarios, 0x00ffffff);
    const QString salidas = QDir(carpeta.path()).filePath(QStringLiteral("salidas.csv"));
    {
        QFile f(salidas);
        f.open(QIODevice::WriteOnly);
        for (int i = 0; i < mensajes; ++i)
            f.write("e," + QByteArray::number(1150000000 + i) + ",,mensaje " + QByteArray::number(i) + '\n');
    }
    ajustes::escribir(ajustes::Clave::FolderInbox,
                      QDir(carpeta.path()).filePath(QStringLiteral("recibidos.csv")));
    auto s = std::make_unique<servicio::ServicioEnvio>(
        QDir(carpeta.path()),
        protocolo_ngw::gatewayDe(QStringLiteral("127.0.0.1:%1").arg(sims.front()->puerto()),
                                 QStringLiteral("key=clave")));
    s->fijarRutas({QDir(carpeta.path()).filePath(QStringLiteral("errores.csv")),
                   QDir(carpeta.path()).filePath(QStringLiteral("backup.csv")),
                   QDir(carpeta.path()).filePath(QStringLiteral("recibidos.csv"))});

    const auto contar = [&salidas](char estado) {
        int n = 0;
        for (const QByteArray &l : lineas(salidas))
            n += l.startsWith(estado) ? 1 : 0;
        return n;
    };
    const auto heldEnDuda = [&s] {
        QVector<retencion::Entrada> r;
        QFile f(s->rutaRetencion());
        if (f.open(QIODevice::ReadOnly))
            retencion::deserializar(f.readAll(), r);
        QVector<retencion::Entrada> enDuda;
        for (const retencion::Entrada &e : r) {
            if (e.estado == retencion::Estado::EnDuda)
                enDuda << e;
        }
        return enDuda;
    };

    QElapsedTimer reloj;
    reloj.start();
    s->iniciar();
    s->reanudar();
    bool detenido = false;
    QEventLoop bucle;
    QTimer sondeo;
    QObject::connect(&sondeo, &QTimer::timeout, &bucle, [&] {
        const int marcados = contar('E');
        if (detenerEn > 0 && !detenido && marcados >= detenerEn) {
            sims.back()->detener();
            detenido = true;
        }
        if (marcados + heldEnDuda().size() >= mensajes || reloj.elapsed() > 5 * 60 * 1000)
            bucle.quit();
    });
    sondeo.start(50);
    bucle.exec();
    const qint64 ms = reloj.elapsed();
    s->terminar();

    Resultado r;
    r.marcados = contar('E');
    r.porMinuto = r.marcados * 60000.0 / double(ms);
    r.enDuda = heldEnDuda();
    // Pending and not held: lost.
    r.pendientes = contar('e') - r.enDuda.size();
    std::map<std::string, int> veces;
    for (const auto &sim : sims) {
        for (const simulador::Mensaje &m : sim->enviados())
            veces[m.numero] += 1;
        sim->detener();
    }
    for (const QByteArray &l : lineas(salidas)) {
        if (l.isEmpty())
            continue;
        const int v = veces[l.split(',').at(1).toStdString()];
        r.dobles += v > 1 ? 1 : 0;
        r.sinEnvio += l.startsWith('E') && v == 0 ? 1 : 0;
    }
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    const auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench-gateways"));
    QCoreApplication app(argc, argv);
    const int porGateway = argc > 1 ? QByteArray(argv[1]).toInt() : 30;

    const Resultado uno = correr(1, porGateway, 0);
    std::printf("1 gateway:  %d mensajes, %.1f por minuto\n", uno.marcados, uno.porMinuto);
    const Resultado cuatro = correr(4, 4 * porGateway, 0);
    std::printf("4 gateways: %d mensajes, %.1f por minuto (%.2f veces)\n", cuatro.marcados, cuatro.porMinuto,
                cuatro.porMinuto / uno.porMinuto);
    const Resultado corte = correr(4, 4 * porGateway, porGateway);
    std::printf("4 gateways, el 4.º detenido tras %d marcados: %d enviados, %d en duda, %d pendientes, "
                "%d enviados dos veces, %d marcados sin envío\n",
                porGateway, corte.marcados, int(corte.enDuda.size()), corte.pendientes, corte.dobles,
                corte.sinEnvio);
    for (const retencion::Entrada &e : corte.enDuda)
        std::printf("  en duda (gateway %d): %s (%s)\n", e.gateway, e.linea.constData(),
                    qPrintable(e.motivo));
    const bool bien = cuatro.porMinuto >= 3.8 * uno.porMinuto &&
                      uno.dobles + cuatro.dobles + corte.dobles == 0 && corte.pendientes == 0 &&
                      corte.sinEnvio == 0;
    std::printf("%s\n", bien ? "OK" : "NO CUMPLE");
    return bien ? 0 : 1;
}
