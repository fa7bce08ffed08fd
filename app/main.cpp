#include "app/instancia_unica.h"
#include "app/mainwindow.h"
#include "app/privacidad.h"
#include "app/senales.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    privacidad::soloUsuario();
    instancia_unica::fijarAmbitoUsuario();
    QApplication a(argc, argv);
    std::unique_ptr<QSharedMemory> segmento = instancia_unica::crearSegmento();
    if (!instancia_unica::iniciar(*segmento))
        return 0;
    senales::salirConSenales(a);

    int resultado = 0;
    {
        MainWindow w;
        w.mostrarAlArrancar();
        resultado = a.exec();
        w.terminarEnvio();
    }
    segmento.reset();
    return resultado;
}
