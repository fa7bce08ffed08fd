// Rows per second of a plain list run on the main window: "Enviar SMS" on the list page with
// every question answered OK, over a generated list (header + rows of five columns, a template
// with four fields). Counting pass, writing pass and the recount after it are all timed.
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
        s << "Nombre " << k << ",Apellido " << (k * 7) % 100000 << ",11" << 40000000 + k << ',' << k % 9000
          << ".50," << QStringLiteral("%1/06/2030").arg(1 + k % 28, 2, 10, QLatin1Char('0')) << '\n';
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
    escribir(Clave::ColumnaFecha, QString::fromLatin1(kInmediato));
    escribir(
        Clave::FormatoSms,
        QStringLiteral("Hola [nombre] [apellido], su deuda de $[deuda] vence el [vencimiento]. Gracias."));
    escribir(Clave::FolderErrores, raiz->filePath(QStringLiteral("errores.csv")));
    escribir(Clave::FolderBackups, raiz->filePath(QStringLiteral("backup.csv")));
    escribir(Clave::FolderInbox, raiz->filePath(QStringLiteral("recibidos.csv")));

    double mejor = 1e300;
    {
        MainWindow w;
        // The window's outbox, in the data folder it has just made.
        const QString salidas = ajustes::rutaPorDefecto(kArchivoSalidas);
        std::printf("lista: %d filas, %lld bytes\n", filas, static_cast<long long>(QFileInfo(lista).size()));
        for (int v = 0; v < vueltas; ++v) {
            QFile::remove(salidas);
            CuadroMensaje::limpiar();
            for (int k = 0; k < 3; ++k)
                CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
            QElapsedTimer reloj;
            reloj.start();
            w.on_pushAgregarListaToOutbox_clicked();
            const double segundos = reloj.nsecsElapsed() / 1e9;
            mejor = std::min(mejor, segundos);
            const qint64 escritas = contarLineas(salidas);
            std::printf("vuelta %d: %.3f s, %.0f filas/s, %lld registros en salidas.csv, pendientes=%d\n",
                        v + 1, segundos, filas / segundos, static_cast<long long>(escritas),
                        w.trabajador()->pendientes());
            if (v == 0) {
                for (const QString &t : CuadroMensaje::textosMostrados())
                    std::printf("  cuadro: %s\n",
                                qPrintable(QString(t).replace(QLatin1Char('\n'), QLatin1String(" | "))));
            }
            if (escritas != filas)
                std::printf("  ATENCION: se esperaban %d registros\n", filas);
        }
    }
    std::printf("mejor: %.3f s, %.0f filas/s (objetivo: al menos 100000 filas/s)\n", mejor, filas / mejor);
    return 0;
}
