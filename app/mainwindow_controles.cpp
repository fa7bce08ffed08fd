#include "app/mainwindow.h"

#include "app/ajustes.h"
#include "app/dialogos.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/test_conex.h"
#include "ui/set_horario_envio.h"
#include "ui_mainwindow.h"

#include <QDebug>

namespace {

QString sinEspacios(QString texto)
{
    return texto.remove(QLatin1Char(' '));
}

// Only space characters, and only at the ends; inner spaces reach the connection as typed.
QString recortarEspacios(const QString &texto)
{
    int inicio = 0;
    int fin = texto.size();
    while (inicio < fin && texto.at(inicio) == QLatin1Char(' '))
        ++inicio;
    while (fin > inicio && texto.at(fin - 1) == QLatin1Char(' '))
        --fin;
    return texto.mid(inicio, fin - inicio);
}

} // namespace

void MainWindow::on_IPGateway_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::kIpGateway, sinEspacios(texto));
}

void MainWindow::on_IPGateway_editingFinished()
{
    ajustes::escribir(ajustes::kIpGateway, ui->IPGateway->text());
}

void MainWindow::on_NgwKey_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::kKeyGateway, sinEspacios(texto));
}

void MainWindow::on_NgwKey_editingFinished()
{
    ajustes::escribir(ajustes::kKeyGateway, ui->NgwKey->text());
}

QString MainWindow::claveParaConexion(const QString &campo)
{
    QString clave = recortarEspacios(campo);
    const QString prefijo = QString::fromLatin1(ajustes::kPrefijoClave);
    if (!campo.contains(prefijo))
        clave.insert(0, prefijo);
    return clave;
}

void MainWindow::on_pushActualizarConex_clicked()
{
    conexion_ngw *conexion = worker->conexion;
    if (conexion->isOcupado())
        return;
    conexion->setConexion(claveParaConexion(ui->NgwKey->text()), recortarEspacios(ui->IPGateway->text()));
    conexion->consultarEstado();

    auto *dialogo = new test_conex(nullptr);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->iniciar(conexion);
    dialogo->ejecutar();

    if (conexion->getEstado() != EST_CONEX_LIBRE ||
        ajustes::leer(ajustes::kEnvioActivado, ajustes::kEnvioActivadoDefecto).toBool())
        return;
    if (CuadroMensaje::mostrar(tr("Conexion con NB"), tr("¿Desea iniciar el envío y recepción de SMS?"),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok)
        on_pushPlay_clicked();
}

void MainWindow::on_open_set_horatio_envio_clicked()
{
    auto *dialogo = new set_horario_envio(nullptr);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->show();
}

void MainWindow::on_pushDetenerEnvioSMS_clicked()
{
    qDebug() << "Detener envio SMS";
    if (leerVerifPer())
        habilitarControlesLista(true);
}

void MainWindow::on_checkMinimizar_clicked()
{
    ajustes::escribir(ajustes::kStartMinimized, ui->checkMinimizar->isChecked());
}

void MainWindow::on_ingresoLista_textChanged(const QString &texto)
{
    if (omitirGuardadoLista) {
        omitirGuardadoLista = false;
        return;
    }
    ajustes::escribir(ajustes::kListaNombreFila, texto);
    qDebug() << "save ingreso lista= " << texto;
}

void MainWindow::on_comboCelular_currentTextChanged(const QString &texto)
{
    if (omitirGuardadoCelular) {
        omitirGuardadoCelular = false;
        return;
    }
    ajustes::escribir(ajustes::kColumnaCelular, ui->comboCelular->currentText());
    qDebug() << "save combo celular= " << texto;
}

void MainWindow::on_comboFecha_currentTextChanged(const QString &texto)
{
    if (omitirGuardadoFecha) {
        omitirGuardadoFecha = false;
        return;
    }
    ajustes::escribir(ajustes::kColumnaFecha, ui->comboFecha->currentText());
    qDebug() << "save combo facha= " << texto;
}

void MainWindow::elegirRutaArchivo(const QString &titulo, QLineEdit *campo, const char *clave)
{
    const QString ruta =
        DialogoArchivo::abrir(this, titulo, carpetaDatos.absolutePath(), tr("CSV Files (*.csv)"));
    if (ruta.isEmpty())
        return;
    // No data file is ever written into, or a list moved onto, another data file.
    const QString motivo = motivoRutaRechazada(ruta, campo);
    if (!motivo.isEmpty()) {
        CuadroMensaje::mostrar(tr("Error!"), motivo);
        return;
    }
    campo->setText(ruta);
    ajustes::escribir(clave, ruta);
}

void MainWindow::on_BuscarCarpetaOuts_clicked()
{
    elegirRutaArchivo(tr("Buscar salidas"), ui->ingresoErrores, ajustes::kFolderErrores);
}

void MainWindow::on_BuscarCarpetaBackups_clicked()
{
    elegirRutaArchivo(tr("Buscar backups"), ui->ingresoBackups, ajustes::kFolderBackups);
}

void MainWindow::on_BuscarInbox_clicked()
{
    elegirRutaArchivo(tr("Buscar inbox"), ui->ingresoInbox, ajustes::kFolderInbox);
}
