#include "app/instancia_unica.h"
#include "app/mainwindow.h"

#include <QApplication>
#include <QCheckBox>

#include "ui_mainwindow.h"

int main(int argc, char *argv[])
{
    instancia_unica::fijarAmbitoUsuario();
    QApplication a(argc, argv);
    std::unique_ptr<QSharedMemory> segmento = instancia_unica::crearSegmento();
    if (!instancia_unica::iniciar(*segmento))
        return 0;

    int resultado = 0;
    {
        MainWindow w;
        w.show();
        if (w.formulario()->checkMinimizar->isChecked())
            w.hide();
        resultado = a.exec();
    }
    segmento.reset();
    return resultado;
}
