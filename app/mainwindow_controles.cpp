#include "app/mainwindow.h"

#include "ui_mainwindow.h"

void MainWindow::on_IPGateway_textChanged(const QString &) {}
void MainWindow::on_IPGateway_editingFinished() {}
void MainWindow::on_NgwKey_textChanged(const QString &) {}
void MainWindow::on_NgwKey_editingFinished() {}
void MainWindow::on_pushActualizarConex_clicked() {}
void MainWindow::on_open_set_horatio_envio_clicked() {}
void MainWindow::on_pushDetenerEnvioSMS_clicked() {}
void MainWindow::on_checkMinimizar_clicked() {}
void MainWindow::on_ingresoLista_textChanged(const QString &) {}
void MainWindow::on_comboCelular_currentTextChanged(const QString &) {}
void MainWindow::on_comboFecha_currentTextChanged(const QString &) {}
void MainWindow::on_BuscarCarpetaOuts_clicked() {}
void MainWindow::on_BuscarCarpetaBackups_clicked() {}
void MainWindow::on_BuscarInbox_clicked() {}
