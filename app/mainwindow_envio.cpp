#include "ajustes/registro.h"
#include "app/mainwindow.h"

#include "ajustes/ajustes.h"
#include "app/conversacion.h"
#include "app/pagina_lista.h"
#include "lista/detalle_lista.h"
#include "lista/revision_lista.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QDebug>
#include <QProgressDialog>

#include <memory>

// Adding a list to the outbox and the manual send: the questions and the boxes. The run itself
// (its journal, its passes, its result) is the service's.

namespace {

// Shows how far a long pass of a list run has gone, and keeps the window painting meanwhile.
// Passes that end within about a second never show it.
class ProgresoCorrida
{
public:
    explicit ProgresoCorrida(MainWindow *ventana)
        : m_dialogo(std::make_unique<QProgressDialog>(
              MainWindow::tr("Agregando la lista a la bandeja de salida..."), QString(), 0, 1, ventana))
    {
        m_dialogo->setWindowTitle(MainWindow::tr("Atencion!"));
        m_dialogo->setWindowModality(Qt::WindowModal);
        m_dialogo->setMinimumDuration(1000);
        m_dialogo->setAutoClose(false);
        m_dialogo->setAutoReset(false);
        QProgressDialog *dialogo = m_dialogo.get();
        m_conexion = QObject::connect(ventana->servicio(), &servicio::ServicioEnvio::progresoCorrida, dialogo,
                                      [dialogo](int hechas, int total) {
                                          dialogo->setMaximum(qMax(total, 1));
                                          dialogo->setValue(hechas);
                                      });
    }
    ~ProgresoCorrida() { QObject::disconnect(m_conexion); }
    Q_DISABLE_COPY(ProgresoCorrida)

private:
    std::unique_ptr<QProgressDialog> m_dialogo;
    QMetaObject::Connection m_conexion;
};

} // namespace

servicio::PedidoCorrida MainWindow::pedidoCorrida(corrida_lista::Modo modo) const
{
    servicio::PedidoCorrida p;
    p.modo = modo;
    p.rutaLista = m_ui->ingresoLista->text();
    p.rutaErrores = m_ui->ingresoErrores->text();
    p.rutaBackup = m_ui->ingresoBackups->text();
    p.plantilla = m_ui->editFormatoSMS->toPlainText();
    p.columnaCelular = m_ui->comboCelular->currentText();
    p.columnaFecha = m_ui->comboFecha->currentText();
    p.formato = m_lista->formato();
    return p;
}

void MainWindow::on_pushAgregarListaToOutbox_clicked()
{
    // Boxes keep the event loop running; the poll must not start another run meanwhile.
    if (m_corridaEnCurso)
        return;
    // A run cut short is finished first, and this press is spent on it: starting the list again
    // would add its first rows twice.
    if (reanudarCorridaPendiente(true))
        return;
    m_corridaEnCurso = true;
    correrLista(corrida_lista::elegirModo(leerVerifPer(), m_ui->checkVerifPer->isChecked()));
    m_corridaEnCurso = false;
}

void MainWindow::correrLista(corrida_lista::Modo modo)
{
    const servicio::ResultadoCorrida preparada = m_servicio->prepararCorrida(pedidoCorrida(modo));
    if (preparada.paso == servicio::Paso::NoAbre) {
        // A watched list that does not open now is tried again at the next tick.
        if (modo != corrida_lista::Modo::Armado ||
            CuadroMensaje::mostrar(tr("Atencion!"),
                                   tr("No se pudo abrir lista a procesar\nCuando se detecte sera procesada "
                                      "segun parametros aqui establecidos"),
                                   QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
            return;
        if (m_ui->editFormatoSMS->toPlainText().isEmpty())
            return error(tr("Debe ingresar un mensaje"));
        return habilitarControlesLista(false);
    }
    if (preparada.paso == servicio::Paso::Detenida)
        return mostrarResultado(preparada);
    if (modo != corrida_lista::Modo::Vigilada && !preguntarYContar())
        return m_servicio->abandonarCorrida();
    servicio::ResultadoCorrida r;
    {
        // Gone before the report, like the one of the counting pass.
        ProgresoCorrida progreso(this);
        r = m_servicio->escribirCorrida();
    }
    mostrarResultado(r);
    if (r.importada)
        avisar(avisos::textoListaImportada(r.agregados, r.aErrores));
}

// Every row is checked once, and the operator sees what will happen before anything is written.
bool MainWindow::preguntarYContar()
{
    const auto botones = QMessageBox::Ok | QMessageBox::Cancel;
    if (CuadroMensaje::mostrar(tr("Atencion!"), tr("Desea agregar la lista a la bandeja de salida?"),
                               botones) != QMessageBox::Ok)
        return false;
    servicio::ResumenCorrida resumen;
    {
        // Gone before the question: a progress dialog left alive would pop up over it later.
        ProgresoCorrida progreso(this);
        resumen = m_servicio->resumirCorrida();
    }
    if (!resumen.error.isEmpty()) {
        error(resumen.error);
        return false;
    }
    m_lista->anotarConteo(resumen.truncados, resumen.faltaObligatorio);
    if (!resumen.revision)
        return CuadroMensaje::mostrar(tr("Atencion!"), resumen.texto, botones) == QMessageBox::Ok;
    const auto verDetalle = [&resumen] {
        detalle_lista detalle(*resumen.revision);
        detalle.exec();
    };
    return CuadroMensaje::mostrarConDetalle(tr("Atencion!"), resumen.texto, botones, verDetalle) ==
           QMessageBox::Ok;
}

void MainWindow::mostrarResultado(const servicio::ResultadoCorrida &r)
{
    if (r.detenerVigilancia)
        detenerVigilancia();
    error(r.error);
    if (!r.reporte.isEmpty())
        CuadroMensaje::mostrar(tr("Atencion!"), r.reporte);
    if (r.armarVigilancia)
        habilitarControlesLista(false);
    if (!r.errorApartado.isEmpty()) {
        detenerVigilancia();
        error(r.errorApartado);
    }
}

void MainWindow::detenerVigilancia()
{
    if (leerVerifPer())
        habilitarControlesLista(true);
}

bool MainWindow::reanudarCorridaPendiente(bool avisar)
{
    if (m_corridaEnCurso)
        return false;
    m_corridaEnCurso = true;
    const servicio::ResultadoCorrida r = m_servicio->reanudarCorrida(avisar);
    if (r.paso != servicio::Paso::Seguir)
        mostrarResultado(r);
    m_corridaEnCurso = false;
    return r.paso != servicio::Paso::Seguir;
}

void MainWindow::on_BotonEnviar_released()
{
    const QString titulo = tr("Envio manual");
    if (CuadroMensaje::mostrar(titulo, tr("Enviar mensaje?"), QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok)
        return;
    const QString numero = m_ui->NumDestino->text();
    if (numero.isEmpty()) {
        CuadroMensaje::mostrar(titulo, tr("Debe ingresar un numero de destino."), QMessageBox::Ok);
        return;
    }
    const QString campo = lista::campoEnMensaje(m_ui->TextoManual->toPlainText());
    if (!campo.isEmpty()) {
        CuadroMensaje::mostrar(
            titulo,
            tr("El mensaje no se envió: contiene «%1», que el gateway tomaría como parte "
               "del pedido y podría mandar el texto a otro número.\nQuítelo o sepárelo con "
               "un espacio (por ejemplo «& num=») y vuelva a intentarlo.")
                .arg(campo),
            QMessageBox::Ok);
        return;
    }
    // The rows of a run cut short are counted by the outbox's lines: it is finished first, and
    // nothing is appended while it cannot be.
    reanudarCorridaPendiente(true);
    bool aunqueDeBaja = false;
    if (!conversacion::confirmarEnvio(*m_servicio, numero, titulo, aunqueDeBaja))
        return;
    switch (m_servicio->agregarManual(numero, m_ui->TextoManual->toPlainText(),
                                      m_ui->checkUrgente->isChecked(), aunqueDeBaja)) {
    case servicio::Manual::CorridaPendiente:
        return error(tr("No se agregó el mensaje: antes debe terminar de agregarse la lista interrumpida."));
    case servicio::Manual::NoAbre:
        return error(tr("No se pudo abrir salidas %1").arg(m_servicio->rutaSalidas()));
    case servicio::Manual::Agregado:
        break;
    }
    // Urgency is for this message only.
    m_ui->checkUrgente->setChecked(false);
    if (m_servicio->instantanea().enviados > 1000)
        compactarOutbox();
}

void MainWindow::compactarOutbox()
{
    error(m_servicio->compactarOutbox());
}
