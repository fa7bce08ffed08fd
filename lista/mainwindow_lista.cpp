#include "app/mainwindow.h"

#include "ui_mainwindow.h"

// List format, column detection, template and preview: not built yet.

QStringList MainWindow::separarLinea(const QString &linea) const
{
    return {linea};
}
void MainWindow::detectarColumnasConHeader(const QString &, bool) {}
void MainWindow::detectarColumnasSinHeader(const QString &, bool) {}
int MainWindow::buscarColumna(const QString &) const
{
    return -1;
}
QString MainWindow::valorCelular(const QStringList &) const
{
    return {};
}
QString MainWindow::valorFecha(const QStringList &) const
{
    return {};
}
QString MainWindow::transformarSms(const QString &, const QStringList &)
{
    return {};
}
QString MainWindow::verificarCampos() const
{
    return QStringLiteral("true");
}
QStringList MainWindow::obtenerColumnas() const
{
    return columnasDefecto;
}
void MainWindow::on_cfgLista_clicked() {}
void MainWindow::on_BuscarArchivo_clicked() {}
void MainWindow::on_pushAgregarCampo_clicked() {}
void MainWindow::on_editFormatoSMS_textChanged() {}
void MainWindow::on_SmsListaUp_clicked() {}
void MainWindow::on_SmsListaDown_clicked() {}
