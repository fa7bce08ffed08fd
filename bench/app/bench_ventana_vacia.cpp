// The reference for bench_arranque: a bare Qt Widgets window, built and linked like nbsms
// (same build type, Qt Widgets alone), shown at once.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication aplicacion(argc, argv);
    QMainWindow ventana;
    ventana.setWindowTitle(QStringLiteral("vacia"));
    ventana.resize(800, 600);
    ventana.show();
    return aplicacion.exec();
}
