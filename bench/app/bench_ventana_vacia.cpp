// The reference for bench_arranque: a bare Qt Widgets window, built and linked like nbsms
// (same build type, Qt Widgets alone), shown at once. `--raster`: with the raster-only windows
// nbsms asks for, so that the comparison weighs only the program's own work.
#include <QApplication>
#include <QMainWindow>

#include <cstring>

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], "--raster") == 0)
        QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication aplicacion(argc, argv);
    QMainWindow ventana;
    ventana.setWindowTitle(QStringLiteral("vacia"));
    ventana.resize(800, 600);
    ventana.show();
    return aplicacion.exec();
}
