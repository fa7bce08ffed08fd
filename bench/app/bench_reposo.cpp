// What the running program costs with nothing to do: CPU time (user + system, from
// /proc/<pid>/stat) over a quiet interval, as a percentage of one core, and its resident memory
// (VmRSS) once started. The real nbsms executable runs offscreen with a private HOME, in two
// situations: paused with no gateway (a first start), and sending switched on against the
// gateway simulator with the list watch on and an empty outbox (the worker's one-second cycle,
// the periodic fetch and the watch all running). Then the window in this very process, with
// each of the history, queue and received-messages tabs open in turn over a history and an
// outbox with rows in them.
//   bench_reposo [segundos=60]
// NBSMS_BENCH_PROGRAMA names another nbsms executable to measure (an earlier build, say).
// Linux only. Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-rel nbsms bench_reposo

#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "app/instancia_unica.h"
#include "app/mainwindow.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "ui_mainwindow.h"
#ifdef NBSMS_CON_SIMULADOR
#include "tools/simulador/simulador_ngw.h"
#endif

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

constexpr int kAsentarseMs = 5000;

struct Muestra
{
    qint64 ticks = -1; // utime + stime
    qint64 rssKb = -1;
    qint64 picoKb = -1;
};

qint64 campoStatus(const QByteArray &status, const char *nombre)
{
    for (const QByteArray &linea : status.split('\n')) {
        if (linea.startsWith(nombre))
            return linea.mid(int(qstrlen(nombre))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

Muestra medir(qint64 pid)
{
    Muestra m;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray texto = stat.readAll();
        // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
        const QList<QByteArray> campos = texto.mid(texto.lastIndexOf(')') + 2).split(' ');
        if (campos.size() > 12)
            m.ticks = campos.at(11).toLongLong() + campos.at(12).toLongLong();
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        const QByteArray texto = status.readAll();
        m.rssKb = campoStatus(texto, "VmRSS:");
        m.picoKb = campoStatus(texto, "VmHWM:");
    }
    return m;
}

void esperar(int ms)
{
    QEventLoop bucle;
    QTimer::singleShot(ms, &bucle, &QEventLoop::quit);
    bucle.exec();
}

bool medirPrograma(const char *titulo, int segundos)
{
    QProcess programa;
    programa.setProgram(qEnvironmentVariable("NBSMS_BENCH_PROGRAMA", QStringLiteral(NBSMS_PROGRAMA)));
    programa.setStandardOutputFile(QProcess::nullDevice());
    programa.setStandardErrorFile(QProcess::nullDevice());
    programa.start();
    if (!programa.waitForStarted(10000)) {
        std::printf("%s: no arranca (%s)\n", titulo, qPrintable(programa.errorString()));
        return false;
    }
    const qint64 pid = programa.processId();
    esperar(kAsentarseMs);
    const Muestra inicio = medir(pid);
    QElapsedTimer reloj;
    reloj.start();
    esperar(segundos * 1000);
    const Muestra fin = medir(pid);
    const double transcurrido = reloj.nsecsElapsed() / 1e9;
    const bool vivo = programa.state() == QProcess::Running;
    programa.kill();
    programa.waitForFinished(10000);
    // The killed program leaves its single-instance segment behind.
    auto segmento = instancia_unica::crearSegmento();
    segmento->attach();
    segmento->detach();

    if (!vivo || inicio.ticks < 0 || fin.ticks < 0) {
        std::printf("%s: el programa termino antes de tiempo\n", titulo);
        return false;
    }
    const double cpu = double(fin.ticks - inicio.ticks) / double(sysconf(_SC_CLK_TCK));
    std::printf("%s:\n", titulo);
    std::printf("  CPU en %.1f s: %.3f s = %.3f %% de un nucleo (objetivo: menos de 1 %%)\n", transcurrido,
                cpu, 100.0 * cpu / transcurrido);
    std::printf("  memoria residente: %lld KiB a los %d s del arranque, %lld KiB al final (pico %lld KiB)\n",
                static_cast<long long>(inicio.rssKb), kAsentarseMs / 1000, static_cast<long long>(fin.rssKb),
                static_cast<long long>(fin.picoKb));
    return true;
}

#ifdef NBSMS_CON_SIMULADOR
// Pending records that are not due for a month: the worker passes over every one of them.
bool escribirPendientesFuturos(int cantidad)
{
    const QDir datos = ajustes::prepararCarpetaDatos();
    QFile archivo(datos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas)));
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray fecha =
        QDate::currentDate().addMonths(1).toString(QStringLiteral("dd/MM/yyyy")).toLatin1();
    QByteArray bloque;
    for (int k = 0; k < cantidad; ++k) {
        bloque += "e,11" + QByteArray::number(40000000 + k) + ',' + fecha +
                  ",Recordatorio de su cuota numero " + QByteArray::number(k) + '\n';
        if (bloque.size() > (1 << 20) || k + 1 == cantidad) {
            if (archivo.write(bloque) != bloque.size())
                return false;
            bloque.clear();
        }
    }
    return true;
}
#endif

// The window of this process, idle with one tab open after another.
bool medirPestanas(int segundos)
{
    const QDir datos = ajustes::prepararCarpetaDatos();
    QByteArray salidas;
    for (int k = 0; k < 10000; ++k)
        salidas +=
            QByteArray("e,11") + QByteArray::number(40000000 + k) + ",--inmediato--,Mensaje pendiente\n";
    QFile archivo(datos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas)));
    if (!archivo.open(QIODevice::WriteOnly) || archivo.write(salidas) != salidas.size())
        return false;
    archivo.close();
    MainWindow w;
    w.show();
    for (int k = 0; k < 2000; ++k) {
        emit w.servicio()->intentoTerminado(QStringLiteral("2026-06-15 10:00:00"),
                                            QStringLiteral("1140000001"), QStringLiteral("Mensaje %1").arg(k),
                                            QStringLiteral("enviado"));
        emit w.servicio()->mensajesRecibidos(QStringLiteral("2026-06-15 10:00:00"),
                                             {QStringLiteral("1140000001")}, {QStringLiteral("Hola")});
    }
    Ui::MainWindow *ui = w.formulario();
    bool bien = true;
    for (QWidget *pagina : {ui->tabHistorial, ui->tabBandeja, ui->tabRecibidos}) {
        ui->tabWidget->setCurrentWidget(pagina);
        esperar(2000);
        const Muestra inicio = medir(getpid());
        QElapsedTimer reloj;
        reloj.start();
        esperar(segundos * 1000);
        const Muestra fin = medir(getpid());
        const double transcurrido = reloj.nsecsElapsed() / 1e9;
        const double cpu = double(fin.ticks - inicio.ticks) / double(sysconf(_SC_CLK_TCK));
        bien = bien && inicio.ticks >= 0 && fin.ticks >= 0;
        std::printf(
            "  pestana %s: CPU en %.1f s: %.3f s = %.3f %% de un nucleo (objetivo: menos de 1 %%) [%s]\n",
            qPrintable(ui->tabWidget->tabText(ui->tabWidget->currentIndex())), transcurrido, cpu,
            100.0 * cpu / transcurrido,
            qPrintable(pagina == ui->tabBandeja     ? ui->labelCuentaBandeja->text()
                       : pagina == ui->tabHistorial ? ui->labelCuentaHistorial->text()
                                                    : ui->labelCuentaRecibidos->text()));
    }
    return bien;
}

} // namespace

int main(int argc, char *argv[])
{
    auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench"));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    ajustes::fijarIdentidad();
    const int segundos = argc > 1 ? std::atoi(argv[1]) : 60;
    bool bien = medirPrograma("en pausa, sin gateway (primer arranque)", segundos);

#ifdef NBSMS_CON_SIMULADOR
    QSettings().clear();
    simulador::SimuladorNgw gateway("clave");
    const int puerto = gateway.iniciar("127.0.0.1", 0);
    if (puerto < 0) {
        std::printf("el simulador no pudo escuchar\n");
        return 1;
    }
    using namespace ajustes;
    escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
    escribir(Clave::KeyGateway, QStringLiteral("key=clave"));
    escribir(Clave::EnvioActivado, true);
    escribir(Clave::CheckVerifPer, true);
    escribir(Clave::ListaNombreFila, raiz->filePath(QStringLiteral("lista.csv")));
    escribir(Clave::ColumnaCelular, QStringLiteral("#1"));
    escribir(Clave::FormatoSms, QStringLiteral("Hola [#2]"));
    bien = medirPrograma("enviando, gateway simulado, vigilancia de lista encendida", segundos) && bien;
    std::printf("  pedidos al gateway durante la medicion: %zu\n", gateway.peticiones().size());

    escribir(Clave::CheckHorarios, 0xFFFFFF);
    if (!escribirPendientesFuturos(1000000))
        return 1;
    bien =
        medirPrograma("enviando, un millon de pendientes para el mes que viene, todas las horas permitidas",
                      segundos) &&
        bien;
    std::printf("  pedidos al gateway durante la medicion: %zu\n", gateway.peticiones().size());
    QFile::remove(ajustes::rutaPorDefecto(kArchivoSalidas));
    gateway.detener();
#endif

    QSettings().clear();
    std::printf("ventana en este proceso, en pausa, con las pestanas de historial abiertas de a una:\n");
    bien = medirPestanas(segundos / 3 > 0 ? segundos / 3 : 1) && bien;
    return bien ? 0 : 1;
}
