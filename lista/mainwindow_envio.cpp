#include "app/mainwindow.h"

#include "ui_mainwindow.h"

// Adding a list to the outbox, manual send and compaction: not built yet.

bool MainWindow::agregarFilaOutbox(const QString &, bool)
{
    return false;
}
void MainWindow::compactarOutbox() {}
void MainWindow::on_pushAgregarListaToOutbox_clicked() {}
void MainWindow::on_BotonEnviar_released() {}
