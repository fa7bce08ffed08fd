// Rows per second of a plain list run on the main window: "Enviar SMS" on the list page with
// every question answered OK, over a generated list (header + rows of five columns, numbers
// written with dashes, dates as yyyy-MM-dd, one row in 50 with a number that cannot be used, a
// template with four fields). Two figures: from the press to the summary before the
// confirmation (the check of every row), and the whole run (check, writing pass and the recount
// after it).
//   bench_corrida_lista [filas=100000] [vueltas=3]
// Run from a Release build:
//   cmake -S . -B build-rel -G Ninja -DCMAKE_BUILD_TYPE=Release && ninja -C build-rel bench_corrida_lista

#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "app/mainwindow.h"
#include "envio/threads.h"
#include "ui/dialogos.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

// One row in 50 has a number that cannot be used.
bool esMala(int k)
{
    return k % 50 == 49;
}

int malas(int filas)
{
    return filas / 50;
}

qint64 contarLineas(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    qint64 n = 0;
    while (!f.atEnd()) {
        const QByteArray bloque = f.read(1 << 20);
        n += bloque.count('\n');
    }
    return n;
}

void escribirLista(const QString &ruta, int filas)
{
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(ruta));
        std::exit(1);
    }
    QTextStream s(&f);
    s.setCodec("UTF-8");
    s << "nombre,apellido,celular,deuda,vencimiento\n";
    for (int k = 0; k < filas; ++k) {
        s << "Nombre " << k << ",Apellido " << (k * 7) % 100000 << ",11-" << 4000 + k / 10000 << '-'
          << k % 10000 << (esMala(k) ? "x" : "") << ',' << k % 9000 << ".50,"
          << QStringLiteral("2030-06-%1").arg(1 + k % 28, 2, 10, QLatin1Char('0')) << '\n';
    }
}

} // namespace

int main(int argc, char *argv[])
{
    auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench"));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    ajustes::fijarIdentidad();
    CuadroMensaje::activarModoPrueba(true);

    const int filas = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int vueltas = argc > 2 ? std::atoi(argv[2]) : 3;
    const QString lista = raiz->filePath(QStringLiteral("lista.csv"));
    escribirLista(lista, filas);

    using namespace ajustes;
    escribir(Clave::ListaNombreFila, lista);
    escribir(Clave::TieneHeader, true);
    escribir(Clave::ColumnaCelular, QStringLiteral("celular"));
    escribir(Clave::ColumnaFecha, QStringLiteral("vencimiento"));
    escribir(
        Clave::FormatoSms,
        QStringLiteral("Hola [nombre] [apellido], su deuda de $[deuda] vence el [vencimiento]. Gracias."));
    escribir(Clave::FolderErrores, raiz->filePath(QStringLiteral("errores.csv")));
    escribir(Clave::FolderBackups, raiz->filePath(QStringLiteral("backup.csv")));
    escribir(Clave::FolderInbox, raiz->filePath(QStringLiteral("recibidos.csv")));

    double mejor = 1e300;
    double mejorResumen = 1e300;
    const int esperadas = filas - malas(filas);
    {
        MainWindow w;
        // The window's outbox, in the data folder it has just made.
        const QString salidas = ajustes::rutaPorDefecto(kArchivoSalidas);
        const QString errores = raiz->filePath(QStringLiteral("errores.csv"));
        std::printf("lista: %d filas, %lld bytes\n", filas, static_cast<long long>(QFileInfo(lista).size()));
        for (int v = 0; v < vueltas; ++v) {
            QFile::remove(salidas);
            QFile::remove(errores);
            CuadroMensaje::limpiar();
            for (int k = 0; k < 3; ++k)
                CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
            QElapsedTimer reloj;
            // The summary is the second box: the time it is shown is the time of the check.
            double resumen = 0;
            int cuadros = 0;
            CuadroMensaje::fijarAlMostrar([&] {
                if (++cuadros == 2)
                    resumen = reloj.nsecsElapsed() / 1e9;
            });
            reloj.start();
            w.on_pushAgregarListaToOutbox_clicked();
            const double segundos = reloj.nsecsElapsed() / 1e9;
            mejor = std::min(mejor, segundos);
            mejorResumen = std::min(mejorResumen, resumen);
            const qint64 escritas = contarLineas(salidas);
            const qint64 aErrores = contarLineas(errores);
            std::printf("vuelta %d: hasta el resumen %.3f s; corrida %.3f s, %.0f filas/s; %lld registros en "
                        "salidas.csv, %lld filas en errores, pendientes=%d\n",
                        v + 1, resumen, segundos, filas / segundos, static_cast<long long>(escritas),
                        static_cast<long long>(aErrores), w.servicio()->instantanea().pendientes);
            if (v == 0) {
                for (const QString &t : CuadroMensaje::textosMostrados())
                    std::printf("  cuadro: %s\n",
                                qPrintable(QString(t).replace(QLatin1Char('\n'), QLatin1String(" | "))));
            }
            if (escritas != esperadas || aErrores != filas - esperadas)
                std::printf("  ATENCION: se esperaban %d registros y %d filas en errores\n", esperadas,
                            filas - esperadas);
        }
    }
    std::printf("mejor: hasta el resumen %.3f s (objetivo: menos de 1 s para 100000 filas); corrida %.3f s, "
                "%.0f filas/s (objetivo: mas de 200000 filas/s)\n",
                mejorResumen, mejor, filas / mejor);
    return 0;
}
