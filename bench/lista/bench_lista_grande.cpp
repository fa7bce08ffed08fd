// A list of a million rows through the pieces of a list run, driven as the run engine drives them
// (the window's boxes and progress dialog aside), each case in a process of its own:
//   - a watched run: the list read, its fingerprint for the journal, the writing pass (records to
//     the outbox in batches, bad rows to the errors file) and the recount after it; CPU time,
//     wall time and the peak of resident memory over the process idle before the run;
//   - the same fill by mawk (llenar.awk beside this file): CPU time, the reference;
//   - the check pass before the question (every row evaluated and summed up) at a tenth of the
//     rows and at all of them: the time, and how it grows.
// Each once with the whole list held as strings ("entera", how the engine reads a list today) and
// once read in blocks ("bloques", lista::ListaEnDisco). Every figure is the best of three runs.
//   bench_lista_grande [filas=1000000]
// Linux only (/proc, getrusage). Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-rel bench_lista_grande

#include "lista/archivos_datos.h"
#include "lista/columnas.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"
#include "lista/lista_en_disco.h"
#include "lista/outbox.h"
#include "lista/revision_lista.h"

#include "bench/lista/lista_grande.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

using namespace bench_lista;

namespace {

// CPU, wall time and the peak of resident memory over what the process held when it began.
class Medicion
{
public:
    Medicion()
    {
        m_reposoKb = campoKb("VmRSS:");
        // The peak starts again from here (Linux 4.0 and later).
        QFile limpiar(QStringLiteral("/proc/self/clear_refs"));
        if (limpiar.open(QIODevice::WriteOnly))
            limpiar.write("5");
        getrusage(RUSAGE_SELF, &m_uso);
        m_reloj.start();
    }
    void informar(const char *caso, const QString &detalle) const
    {
        const double pared = m_reloj.nsecsElapsed() / 1e9;
        rusage ahora;
        getrusage(RUSAGE_SELF, &ahora);
        std::printf("%s cpu=%.3f pared=%.3f crecimiento=%.1f %s\n", caso, cpuDe(ahora) - cpuDe(m_uso), pared,
                    (campoKb("VmHWM:") - m_reposoKb) / 1024.0, qPrintable(detalle));
    }

private:
    qint64 m_reposoKb = 0;
    rusage m_uso{};
    QElapsedTimer m_reloj;
};

lista::EntradasFila entradas(const QString &primera)
{
    lista::FormatoLista formato;
    const lista::ColumnasLista columnas = lista::columnasDe(primera, formato);
    lista::EntradasFila e;
    e.plantilla = kPlantilla;
    e.columnas = columnas.nombres;
    e.cantidadColumnas = columnas.cantidad;
    e.columnaCelular = QStringLiteral("celular");
    e.columnaFecha = QStringLiteral("vencimiento");
    e.separador = QLatin1Char(',');
    e.hoy = QStringLiteral("15/06/2026");
    return e;
}

// The writing pass over any source of rows, with the journal before it and the recount after.
template <typename Filas>
void pasadaEscritura(const QDir &carpeta, const lista::EntradasFila &e, const QString &huella, Filas &&filas)
{
    diario_corrida::Diario d;
    d.rutaLista = carpeta.filePath(QStringLiteral("lista.csv"));
    d.huellaLista = huella;
    d.rutaSalidas = carpeta.filePath(QStringLiteral("salidas.csv"));
    d.rutaErrores = carpeta.filePath(QStringLiteral("errores.csv"));
    d.plantilla = e.plantilla;
    d.columnas = e.columnas;
    if (huella.isEmpty() ||
        !diario_corrida::guardar(carpeta.filePath(QStringLiteral("corrida_lista.json")), d))
        qFatal("journal not written");
    const lista::ReglasFila reglas(e);
    archivos_datos::AnexadorOutbox anexador(d.rutaSalidas);
    archivos_datos::AnexadorErrores errores(d.rutaErrores);
    lista::ResultadoFila r;
    filas([&](QStringView linea) {
        reglas.evaluar(linea, r);
        if (r.motivo == lista::Motivo::Ninguno) {
            anexador.acumular(r.numero, r.fecha, r.mensaje);
            if (anexador.acumulado() >= archivos_datos::AnexadorOutbox::kLote)
                anexador.vaciar();
        } else {
            anexador.vaciar();
            errores.agregar(linea.toString());
        }
    });
    anexador.vaciar();
    int pendientes = 0;
    int enviados = 0;
    outbox::contarPorEstado(d.rutaSalidas, 'e', pendientes);
    outbox::contarPorEstado(d.rutaSalidas, 'E', enviados);
}

QString resumen(const lista::RevisionLista &revision)
{
    return QStringLiteral("aEncolar=%1 aErrores=%2 problemas=%3")
        .arg(revision.aEncolar())
        .arg(revision.aErrores())
        .arg(revision.cantidadProblemas());
}

int medirCaso(const QString &caso, const QString &ruta)
{
    const QDir carpeta = QFileInfo(ruta).absoluteDir();
    QFile::remove(carpeta.filePath(QStringLiteral("salidas.csv")));
    QFile::remove(carpeta.filePath(QStringLiteral("errores.csv")));
    const bool entera = caso.endsWith(QLatin1String("entera"));
    const bool escritura = caso.startsWith(QLatin1String("vigilada"));
    Medicion m;
    QString detalle;
    if (entera) {
        QStringList lineas;
        if (lista::leerLista(ruta, lineas) != lista::Lectura::Bien || lineas.isEmpty())
            qFatal("list not read");
        const lista::EntradasFila e = entradas(lineas.first());
        if (escritura) {
            pasadaEscritura(carpeta, e, diario_corrida::huella(lineas), [&](const auto &fila) {
                for (int i = 1; i < lineas.size(); ++i)
                    fila(lineas.at(i));
            });
        } else {
            // As the window checks the rows today.
            const lista::ReglasFila reglas(e);
            lista::RevisionLista revision;
            for (int i = 1; i < lineas.size(); ++i)
                revision.agregar(i + 1, lineas.at(i), reglas.evaluar(lineas.at(i)));
            detalle = resumen(revision);
        }
    } else {
        lista::ListaEnDisco enDisco;
        if (enDisco.abrir(ruta) != lista::Lectura::Bien || enDisco.cantidad() == 0)
            qFatal("list not read");
        const lista::EntradasFila e = entradas(enDisco.linea(0));
        lista::ListaEnDisco::Recorrido r = enDisco.recorrer(1);
        if (escritura) {
            pasadaEscritura(carpeta, e, diario_corrida::huella(enDisco), [&](const auto &fila) {
                while (r.siguiente())
                    fila(r.linea());
            });
        } else {
            // A problem row's text is read again from the list only if the detail shows it.
            const lista::ReglasFila reglas(e);
            lista::RevisionLista revision([&enDisco](int linea) { return enDisco.linea(linea - 1); });
            lista::ResultadoFila resultado;
            while (r.siguiente()) {
                reglas.evaluar(r.linea(), resultado);
                revision.agregar(r.numero() + 1, r.linea(), resultado);
            }
            detalle = resumen(revision);
        }
        if (r.cambio())
            qFatal("the list changed");
    }
    m.informar(qPrintable(caso), detalle);
    return 0;
}

struct Resultado
{
    double cpu = -1;
    double pared = -1;
    double crecimiento = -1;
    QString texto;
};

// The best of three runs: the machine's other work only ever adds time.
Resultado correr(const QString &caso, const QString &ruta)
{
    Resultado mejor;
    for (int vuelta = 0; vuelta < 3; ++vuelta) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--caso"), caso, ruta});
        if (!p.waitForFinished(-1) || p.exitCode() != 0)
            qFatal("case %s failed: %s", qPrintable(caso), p.readAllStandardError().constData());
        const QString salida = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
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
        if (vuelta == 0 || r.pared < mejor.pared) {
            mejor = r;
            mejor.texto = salida;
        }
    }
    std::printf("  %s\n", qPrintable(mejor.texto));
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

    std::printf("corrida vigilada (lectura, huella, escritura, recuento):\n");
    const Resultado entera = correr(QStringLiteral("vigilada-entera"), grande);
    const Resultado bloques = correr(QStringLiteral("vigilada-bloques"), grande);
    const double mawk = correrMawk(grande, NBSMS_LLENAR_AWK);
    std::printf("  memoria: %.1f MiB sobre el reposo en bloques, %.1f MiB entera (objetivo: hasta 64 MiB)\n",
                bloques.crecimiento, entera.crecimiento);
    if (mawk > 0)
        std::printf("  CPU frente a mawk: %.2fx en bloques, %.2fx entera (objetivo: hasta 1.2x)\n",
                    bloques.cpu / mawk, entera.cpu / mawk);

    std::printf("revision antes de la pregunta:\n");
    for (const char *modo : {"entera", "bloques"}) {
        const Resultado diez = correr(QStringLiteral("revision-") + QLatin1String(modo), chica);
        const Resultado cien = correr(QStringLiteral("revision-") + QLatin1String(modo), grande);
        std::printf("  %s: %d filas %.3f s (cpu %.3f s), %d filas %.3f s (cpu %.3f s): %.1fx, cpu %.1fx "
                    "(objetivo: hasta 11x); %.1f MiB sobre el reposo\n",
                    modo, filas / 10, diez.pared, diez.cpu, filas, cien.pared, cien.cpu,
                    cien.pared / diez.pared, cien.cpu / diez.cpu, cien.crecimiento);
    }
    return 0;
}
