#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "app/autoarranque.h"
#include "app/lista_gateways.h"
#include "app/pagina_gateways.h"
#include "app/pagina_lista.h"
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
    ajustes::escribir(ajustes::Clave::IpGateway, m_ui->IPGateway->text());
}

void MainWindow::on_NgwKey_textChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::KeyGateway, sinEspacios(texto));
}

void MainWindow::on_NgwKey_editingFinished()
{
    ajustes::escribir(ajustes::Clave::KeyGateway, m_ui->NgwKey->text());
}

void MainWindow::on_pushActualizarConex_clicked()
{
    guardarGateways(1);
}

void MainWindow::probarGateway()
{
    const int numero = m_gateways->elegido();
    if (numero == 0)
        return;
    // A gateway turned off is never asked: the dialog would wait for nothing.
    for (const ajustes::AjustesGateway &g : m_gateways->lista()) {
        if (g.numero == numero && !g.activo) {
            CuadroMensaje::mostrar(
                tr("Error!"),
                tr("El gateway %1 está desactivado: marque «Activo» para probar su conexión.").arg(numero));
            return;
        }
    }
    guardarGateways(numero);
}

void MainWindow::guardarGateways(int numero)
{
    if (m_servicio->conexionOcupada())
        return;
    m_gateways->terminarEdicion();
    QVector<ajustes::AjustesGateway> gateways = m_gateways->lista();
    const QString motivo = lista_gateways::revisar(gateways);
    if (!motivo.isEmpty()) {
        CuadroMensaje::mostrar(tr("Error!"), motivo);
        return;
    }
    lista_gateways::guardar(gateways, m_gateways->mismoGateway());
    // The table shows what was stored: addresses and keys as requests use them.
    m_gateways->cargar();
    for (ajustes::AjustesGateway &g : gateways)
        g = lista_gateways::normalizado(g);
    switch (m_servicio->actualizarGateways(gateways)) {
    case servicio::Actualizacion::Ocupada:
        return;
    case servicio::Actualizacion::SinMarcar:
        return error(tr("No se pudo marcar como enviado el último SMS en salidas.\n"
                        "La conexión no se actualizó; intente nuevamente."));
    case servicio::Actualizacion::Atendiendo:
        // The dialog would report on a state that was never asked.
        return error(tr("El gateway está atendiendo otro pedido; intente nuevamente."));
    case servicio::Actualizacion::Hecha:
        break;
    }
    auto *dialogo = new test_conex(nullptr);
    dialogo->setAttribute(Qt::WA_DeleteOnClose);
    if (numero != 1)
        dialogo->setWindowTitle(tr("Conexión con el gateway %1").arg(numero));
    servicio::ServicioEnvio *s = m_servicio.get();
    dialogo->iniciar([s, numero] {
        const protocolo_ngw::Gateway g = s->gateway(numero);
        return test_conex::Vista{s->estadoConexion(numero), s->conexionOcupada(numero), g.direccion, g.clave};
    });
    dialogo->ejecutar();

    if (m_servicio->estadoConexion(numero) != EST_CONEX_LIBRE ||
        ajustes::leerBool(ajustes::Clave::EnvioActivado))
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
    ajustes::escribir(ajustes::Clave::StartMinimized, m_ui->checkMinimizar->isChecked());
}

void MainWindow::on_checkIniciarConSesion_clicked()
{
    QString error;
    if (!autoarranque::fijar(m_ui->checkIniciarConSesion->isChecked(),
                             QCoreApplication::applicationFilePath(), &error))
        CuadroMensaje::mostrar(tr("Error!"), error);
    mostrarAutoarranque();
}

void MainWindow::mostrarAutoarranque()
{
    const bool activo = autoarranque::activo();
    formulario::sinGuardar(m_ui->checkIniciarConSesion,
                           [&] { m_ui->checkIniciarConSesion->setChecked(activo); });
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
    ajustes::escribir(ajustes::Clave::ColumnaCelular, m_ui->comboCelular->currentText());
    qCDebug(catApp) << "save combo celular= " << texto;
}

void MainWindow::on_comboFecha_currentTextChanged(const QString &texto)
{
    ajustes::escribir(ajustes::Clave::ColumnaFecha, m_ui->comboFecha->currentText());
    qCDebug(catApp) << "save combo facha= " << texto;
}

void MainWindow::elegirRutaArchivo(const QString &titulo, QLineEdit *campo, ajustes::Clave clave)
{
    const QString ruta =
        DialogoArchivo::abrir(this, titulo, m_carpetaDatos.absolutePath(), tr("CSV Files (*.csv)"));
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
    elegirRutaArchivo(tr("Buscar salidas"), m_ui->ingresoErrores, ajustes::Clave::FolderErrores);
}

void MainWindow::on_BuscarCarpetaBackups_clicked()
{
    elegirRutaArchivo(tr("Buscar backups"), m_ui->ingresoBackups, ajustes::Clave::FolderBackups);
}

void MainWindow::on_BuscarInbox_clicked()
{
    elegirRutaArchivo(tr("Buscar inbox"), m_ui->ingresoInbox, ajustes::Clave::FolderInbox);
}

void MainWindow::darRutasAlServicio()
{
    m_servicio->fijarRutas(
        {m_ui->ingresoErrores->text(), m_ui->ingresoBackups->text(), m_ui->ingresoInbox->text()});
}

QString MainWindow::motivoRutaRechazada(const QString &ruta, const QLineEdit *campo) const
{
    using servicio::Rol;
    const Rol rol = campo == m_ui->ingresoErrores   ? Rol::Errores
                    : campo == m_ui->ingresoBackups ? Rol::Backup
                    : campo == m_ui->ingresoInbox   ? Rol::Recibidos
                                                    : Rol::Lista;
    return m_servicio->motivoRutaRechazada(ruta, rol);
}
