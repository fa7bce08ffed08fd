#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "app/autoarranque.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"
#include "gateway/protocolo_ngw.h"
#include "gateway/test_conex.h"
#include "ui/dialogos.h"
#include "ui/set_horario_envio.h"
#include "ui_mainwindow.h"

#include <QDebug>

namespace {

QString sinEspacios(QString texto)
{
    return texto.remove(QLatin1Char(' '));
}

} // namespace

void MainWindow::on_IPGateway_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::IpGateway, sinEspacios(texto));
}

void MainWindow::on_IPGateway_editingFinished()
{
    ajustes::escribir(ajustes::Clave::IpGateway, ui->IPGateway->text());
}

void MainWindow::on_NgwKey_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::KeyGateway, sinEspacios(texto));
}

void MainWindow::on_NgwKey_editingFinished()
{
    ajustes::escribir(ajustes::Clave::KeyGateway, ui->NgwKey->text());
}

void MainWindow::on_pushActualizarConex_clicked()
{
    conexion_ngw *conexion = worker->conexion();
    if (conexion->isOcupado())
        return;
    const protocolo_ngw::Gateway gateway =
        protocolo_ngw::gatewayDe(ui->IPGateway->text(), ui->NgwKey->text());
    if (gateway.falla() == protocolo_ngw::Gateway::Falla::Direccion) {
        CuadroMensaje::mostrar(tr("Error!"),
                               tr("La direccion del gateway \"%1\" no es valida.\n"
                                  "Escriba solo la IP o el nombre del equipo, y el puerto si hace falta "
                                  "(por ejemplo 192.168.0.20:8080).")
                                   .arg(gateway.direccion.left(100)));
        return;
    }
    if (gateway.falla() == protocolo_ngw::Gateway::Falla::Clave) {
        CuadroMensaje::mostrar(tr("Error!"), tr("La clave del gateway no es válida: no puede contener \"&\", "
                                                "saltos de línea ni caracteres nulos."));
        return;
    }
    // The status query replaces the state: what the last reply left (a record the gateway took,
    // messages fetched) is settled first, or the update waits.
    if (!worker->completarPendiente()) {
        CuadroMensaje::mostrar(tr("Error!"), tr("No se pudo marcar como enviado el ultimo SMS en salidas.\n"
                                                "La conexion no se actualizo; intente nuevamente."));
        return;
    }
    conexion->fijarGateway(gateway);
    // The worker may have taken the link since the check above: the dialog would then report
    // on a state that was never asked.
    if (!conexion->consultarEstado()) {
        CuadroMensaje::mostrar(tr("Error!"),
                               tr("El gateway esta atendiendo otro pedido; intente nuevamente."));
        return;
    }

    auto *dialogo = new test_conex(nullptr);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    dialogo->iniciar(conexion);
    dialogo->ejecutar();

    if (conexion->getEstado() != EST_CONEX_LIBRE || ajustes::leerBool(ajustes::Clave::EnvioActivado))
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
    qCDebug(catApp) << "Detener envio SMS";
    if (leerVerifPer())
        habilitarControlesLista(true);
}

void MainWindow::on_checkMinimizar_clicked()
{
    ajustes::escribir(ajustes::Clave::StartMinimized, ui->checkMinimizar->isChecked());
}

void MainWindow::on_checkIniciarConSesion_clicked()
{
    QString error;
    if (!autoarranque::fijar(ui->checkIniciarConSesion->isChecked(), QCoreApplication::applicationFilePath(),
                             &error))
        CuadroMensaje::mostrar(tr("Error!"), error);
    mostrarAutoarranque();
}

void MainWindow::mostrarAutoarranque()
{
    const bool activo = autoarranque::activo();
    sinGuardar(ui->checkIniciarConSesion, [&] { ui->checkIniciarConSesion->setChecked(activo); });
    if (ajustes::leerBool(ajustes::Clave::Autoarranque) != activo)
        ajustes::escribir(ajustes::Clave::Autoarranque, activo);
}

void MainWindow::on_ingresoLista_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::ListaNombreFila, texto);
    qCDebug(catApp) << "save ingreso lista= " << texto;
}

void MainWindow::on_comboCelular_currentTextChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::ColumnaCelular, ui->comboCelular->currentText());
    qCDebug(catApp) << "save combo celular= " << texto;
}

void MainWindow::on_comboFecha_currentTextChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::ColumnaFecha, ui->comboFecha->currentText());
    qCDebug(catApp) << "save combo facha= " << texto;
}

void MainWindow::elegirRutaArchivo(const QString &titulo, QLineEdit *campo, ajustes::Clave clave)
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
    elegirRutaArchivo(tr("Buscar salidas"), ui->ingresoErrores, ajustes::Clave::FolderErrores);
}

void MainWindow::on_BuscarCarpetaBackups_clicked()
{
    elegirRutaArchivo(tr("Buscar backups"), ui->ingresoBackups, ajustes::Clave::FolderBackups);
}

void MainWindow::on_BuscarInbox_clicked()
{
    elegirRutaArchivo(tr("Buscar inbox"), ui->ingresoInbox, ajustes::Clave::FolderInbox);
}
