// A list run of a million rows through the sending service itself (ServicioEnvio, no window),
// each case in a process of its own, every figure the best of three:
//   - a watched run (read, journal, writing pass, recount): CPU time, wall time and the peak of
//     resident memory over the process idle with the service built, against mawk doing the same
//     fill (bench/lista/llenar.awk);
//   - the check pass before the question (resumirCorrida) at a tenth of the rows and at all.
//   bench_corrida_servicio [filas=1000000]
// Linux only (/proc, getrusage). Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-rel bench_corrida_servicio
#include "tests/common/carpeta_privada.h"

#include "servicio/servicio_envio.h"

#include "bench/lista/lista_grande.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

using namespace bench_lista;

namespace {

// One case in this process: prints "cpu= pared= crecimiento=".
int medirCaso(const QString &caso, const QString &rutaLista)
{
    const auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench-corrida"));
    const QDir carpeta(raiz->path());
    servicio::ServicioEnvio servicio(carpeta, protocolo_ngw::Gateway());
    servicio.fijarRutas({carpeta.filePath(QStringLiteral("errores.csv")),
                         carpeta.filePath(QStringLiteral("backup.csv")),
                         carpeta.filePath(QStringLiteral("recibidos.csv"))});
    servicio::PedidoCorrida p;
    p.modo = caso == QLatin1String("vigilada") ? corrida_lista::Modo::Vigilada : corrida_lista::Modo::Simple;
    p.rutaLista = rutaLista;
    p.rutaErrores = carpeta.filePath(QStringLiteral("errores.csv"));
    p.rutaBackup = carpeta.filePath(QStringLiteral("backup.csv"));
    p.plantilla = kPlantilla;
    p.columnaCelular = QStringLiteral("celular");
    p.columnaFecha = QStringLiteral("vencimiento");
    p.formato.tieneHeader = true;
    p.formato.usarComa = true;

    const qint64 reposoKb = campoKb("VmRSS:");
    QFile limpiar(QStringLiteral("/proc/self/clear_refs"));
    if (limpiar.open(QIODevice::WriteOnly))
        limpiar.write("5");
    limpiar.close();
    rusage antes;
    getrusage(RUSAGE_SELF, &antes);
    QElapsedTimer reloj;
    reloj.start();
    int cantidad = 0;
    if (servicio.prepararCorrida(p).paso != servicio::Paso::Seguir)
        return 1;
    if (p.modo == corrida_lista::Modo::Vigilada) {
        cantidad = servicio.escribirCorrida().agregados;
    } else {
        cantidad = servicio.resumirCorrida().aEncolar;
        servicio.abandonarCorrida();
    }
    const double pared = reloj.nsecsElapsed() / 1e9;
    rusage despues;
    getrusage(RUSAGE_SELF, &despues);
    std::printf("cpu=%.3f pared=%.3f crecimiento=%.1f registros=%d\n", cpuDe(despues) - cpuDe(antes), pared,
                (campoKb("VmHWM:") - reposoKb) / 1024.0, cantidad);
    return 0;
}

struct Resultado
{
    double cpu = -1;
    double pared = -1;
    double crecimiento = -1;
    QString texto;
};

// The best of three, each in a fresh process; the list is copied back for each watched run (the
// run moves it to the backup path).
Resultado correr(const QString &caso, const QString &lista)
{
    Resultado mejor;
    const QString copia = lista + QStringLiteral(".original");
    if (!QFile::exists(copia))
        QFile::copy(lista, copia);
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        QFile::remove(lista);
        QFile::copy(copia, lista);
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--caso"), caso, lista});
        if (!p.waitForFinished(-1) || p.exitCode() != 0) {
            std::printf("  %s: failed\n", qPrintable(caso));
            return mejor;
        }
        const QString salida = QString::fromLatin1(p.readAllStandardOutput()).trimmed();
        Resultado r;
        for (const QString &campo : salida.split(QLatin1Char(' '))) {
            const QString valor = campo.section(QLatin1Char('='), 1);
            if (campo.startsWith(QLatin1String("cpu=")))
                r.cpu = valor.toDouble();
            else if (campo.startsWith(QLatin1String("pared=")))
                r.pared = valor.toDouble();
            else if (campo.startsWith(QLatin1String("crecimiento=")))
                r.crecimiento = valor.toDouble();
        }
        if (mejor.cpu < 0 || r.cpu < mejor.cpu) {
            mejor = r;
            mejor.texto = salida;
        }
    }
    std::printf("  %s: %s\n", qPrintable(caso), qPrintable(mejor.texto));
    return mejor;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == QLatin1String("--caso"))
        return medirCaso(args.at(2), args.at(3));

    const int filas = args.size() > 1 ? args.at(1).toInt() : 1000000;
    QTemporaryDir dir;
    const Listas listas = escribirListas(dir.path(), filas);
    const QString &grande = listas.grande;
    const QString &chica = listas.chica;

    std::printf("watched run:\n");
    const Resultado vigilada = correr(QStringLiteral("vigilada"), grande);
    // The watched run has moved the list to the backup path: its copy is read.
    const double mawk = correrMawk(grande + QStringLiteral(".original"), NBSMS_LLENAR_AWK);
    std::printf("  peak resident growth over idle: %.1f MiB (target: at most 64 MiB)\n",
                vigilada.crecimiento);
    if (mawk > 0)
        std::printf("  CPU against mawk: %.2fx (target: at most 1.2x)\n", vigilada.cpu / mawk);

    std::printf("check pass before the question:\n");
    const Resultado diez = correr(QStringLiteral("revision"), chica);
    const Resultado todo = correr(QStringLiteral("revision"), grande);
    std::printf(
        "  %d rows %.3f s (cpu %.3f s), %d rows %.3f s (cpu %.3f s): %.1fx, cpu %.1fx (target: at most "
        "11x); %.1f MiB over idle\n",
        filas / 10, diez.pared, diez.cpu, filas, todo.pared, todo.cpu, todo.pared / diez.pared,
        todo.cpu / diez.cpu, todo.crecimiento);
    return 0;
}
