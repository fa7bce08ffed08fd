#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>

// The records in doubt on the queue tab: the gateway may have sent them, so the service holds them
// until the operator chooses, for each, one more send or "sent" without a send. Also going on
// after the file of the records in doubt was lost or damaged. The service does the work; the
// window asks, forwards and shows.

void MainWindow::mostrarEnDuda()
{
    const servicio::Instantanea i = m_servicio->instantanea();
    const bool ilegible = !i.retencionConfiable;
    const int cantidad = i.situacion.enDuda;
    QString texto;
    if (ilegible)
        texto =
            tr("No se encontró o no se pudo leer el registro de los SMS en duda (%1), así que no se sabe si "
               "el gateway ya envió alguno de los pendientes. No se envía nada hasta que lo revise: compare "
               "la bandeja con el historial, cancele o marque como enviados los que ya salieron y pulse "
               "«Reanudar envío».")
                .arg(m_servicio->rutaRetencion());
    else if (cantidad > 0)
        texto =
            tr("%n SMS en duda: el gateway pudo haberlos enviado, pero no lo confirmó. No se envían otra "
               "vez solos. Si el destinatario no lo recibió, elija «Reenviar»; si lo recibió, «Marcar como "
               "enviado».",
               nullptr, cantidad);
    if (m_ui->labelEnDudaBandeja->text() != texto)
        m_ui->labelEnDudaBandeja->setText(texto);
    m_ui->labelEnDudaBandeja->setVisible(!texto.isEmpty());
    m_ui->botonReanudarEnDuda->setVisible(ilegible);
}

void MainWindow::on_botonReenviarBandeja_clicked()
{
    // Taken before the question: the poll may reload the table under it.
    const QVector<outbox::Referencia> registros = elegidosEnDuda();
    if (registros.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"), tr("Seleccione los mensajes en duda que quiere reenviar."));
        return;
    }
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Enviar otra vez %n mensaje(s) en duda? Si el gateway ya lo había enviado, el "
               "destinatario lo recibirá dos veces.",
               nullptr, registros.size()),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio->terminado())
        return;
    const int pedidos = m_servicio->reenviarEnDuda(registros);
    qCDebug(catApp) << "reenvio pedido" << pedidos;
    refrescarBandeja();
    statusBar()->showMessage(
        tr("%n mensaje(s) en duda se enviará(n) otra vez, una sola vez.", nullptr, pedidos), 10000);
}

void MainWindow::on_botonMarcarBandeja_clicked()
{
    const QVector<outbox::Referencia> registros = elegidosEnDuda();
    if (registros.isEmpty()) {
        CuadroMensaje::mostrar(tr("Atencion!"),
                               tr("Seleccione los mensajes en duda que quiere marcar como enviados."));
        return;
    }
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Marcar %n mensaje(s) en duda como enviado(s)? No se enviará(n).", nullptr, registros.size()),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio->terminado())
        return;
    const int marcados = m_servicio->marcarEnDudaEnviados(registros);
    qCDebug(catApp) << "marcados como enviados" << marcados;
    refrescarBandeja();
    statusBar()->showMessage(tr("%n mensaje(s) marcado(s) como enviado(s).", nullptr, marcados), 10000);
}

void MainWindow::on_botonReanudarEnDuda_clicked()
{
    if (m_servicio->terminado() || m_servicio->instantanea().retencionConfiable)
        return;
    if (CuadroMensaje::mostrar(
            tr("Atencion!"),
            tr("¿Ya revisó la bandeja de salida? Todos los mensajes pendientes se enviarán, "
               "también los que el gateway pudo haber enviado antes."),
            QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok ||
        m_servicio->terminado())
        return;
    if (!m_servicio->empezarRetencionDeNuevo())
        error(tr("No se pudo escribir %1: el envío sigue detenido.").arg(m_servicio->rutaRetencion()));
    mostrarEnDuda();
}

void MainWindow::on_checkSoloEnDuda_toggled(bool)
{
    aplicarFiltroBandeja();
}
