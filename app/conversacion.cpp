#include "app/conversacion.h"
#include "ajustes/registro.h"

#include "historial/base_historial.h"
#include "historial/consultas.h"
#include "lista/numero_fecha.h"
#include "lista/revision_lista.h"
#include "servicio/servicio_envio.h"
#include "ui/dialogos.h"
#include "ui_dialogo_conversacion.h"

#include <QDebug>
#include <QHeaderView>
#include <QPushButton>

namespace conversacion {

bool confirmarEnvio(servicio::ServicioEnvio &servicio, const QString &numero, const QString &titulo,
                    bool &aunqueDeBaja)
{
    aunqueDeBaja = false;
    if (!servicio.dadoDeBaja(numero))
        return true;
    if (CuadroMensaje::mostrar(
            titulo,
            QCoreApplication::translate("MainWindow", "%1 está en la lista de bajas: pidió no recibir más "
                                                      "mensajes. ¿Enviarle este de todos modos?")
                .arg(numero),
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return false;
    aunqueDeBaja = true;
    return true;
}

} // namespace conversacion

DialogoConversacion::DialogoConversacion(servicio::ServicioEnvio &servicio, const QString &numero,
                                         QWidget *padre)
    : QDialog(padre), m_ui(std::make_unique<Ui::DialogoConversacion>()), m_servicio(servicio),
      m_numero(numero)
{
    m_ui->setupUi(this);
    setWindowTitle(tr("Conversación con %1").arg(numero));
    QHeaderView *cabecera = m_ui->tablaConversacion->horizontalHeader();
    cabecera->setSectionResizeMode(QHeaderView::ResizeToContents);
    cabecera->setSectionResizeMode(3, QHeaderView::Stretch);
    m_ui->tablaConversacion->verticalHeader()->setVisible(false);
    connect(m_ui->botonEnviarRespuesta, &QPushButton::clicked, this, [this] {
        if (responder())
            accept();
    });
    cargar();
}

DialogoConversacion::~DialogoConversacion() = default;

void DialogoConversacion::enfocarRespuesta()
{
    m_ui->textoRespuesta->setFocus();
}

void DialogoConversacion::cargar()
{
    QVector<historial::MensajeConversacion> mensajes;
    const QSqlDatabase db = m_servicio.historial().base();
    const bool leida =
        db.isValid() && historial::conversacion(db, m_numero, m_servicio.digitosNumero(), mensajes);
    QString texto = tr("%n mensaje(s) con %1", nullptr, mensajes.size()).arg(m_numero);
    if (!leida)
        texto = tr("No se pudo leer el historial: %1").arg(m_servicio.historial().textoEstado());
    else if (m_servicio.dadoDeBaja(m_numero))
        texto += tr(" (en la lista de bajas)");
    m_ui->labelNumero->setText(texto);
    QTableWidget *tabla = m_ui->tablaConversacion;
    tabla->setRowCount(mensajes.size());
    for (int i = 0; i < mensajes.size(); ++i) {
        const historial::MensajeConversacion &m = mensajes.at(i);
        const QString celdas[] = {m.fechaHora, m.recibido ? tr("Recibido") : tr("Enviado"), m.numero,
                                  m.mensaje, m.resultado};
        for (int c = 0; c < 5; ++c) {
            auto *item = new QTableWidgetItem(celdas[c]);
            item->setToolTip(celdas[c]);
            tabla->setItem(i, c, item);
        }
    }
    tabla->scrollToBottom();
}

bool DialogoConversacion::responder()
{
    const QString titulo = tr("Responder");
    const QString texto = m_ui->textoRespuesta->toPlainText();
    if (texto.trimmed().isEmpty()) {
        CuadroMensaje::mostrar(titulo, tr("Escriba la respuesta."));
        return false;
    }
    const QString campo = lista::campoEnMensaje(texto);
    if (!campo.isEmpty()) {
        CuadroMensaje::mostrar(titulo,
                               tr("La respuesta no se envió: contiene «%1», que el gateway tomaría como "
                                  "parte del pedido. Quítelo o sepárelo con un espacio.")
                                   .arg(campo));
        return false;
    }
    // The number as the outbox holds list numbers: a received one may come with spaces or dashes.
    QString numero;
    if (!lista::limpiarNumero(m_numero, numero)) {
        CuadroMensaje::mostrar(
            titulo, tr("No se puede responder a «%1»: no es un número de teléfono.").arg(m_numero));
        return false;
    }
    bool aunqueDeBaja = false;
    if (!conversacion::confirmarEnvio(m_servicio, numero, titulo, aunqueDeBaja))
        return false;
    switch (m_servicio.agregarManual(numero, texto, true, aunqueDeBaja)) {
    case servicio::Manual::CorridaPendiente:
        CuadroMensaje::mostrar(titulo,
                               tr("No se agregó la respuesta: antes debe terminar de agregarse la lista "
                                  "interrumpida."));
        return false;
    case servicio::Manual::NoAbre:
        CuadroMensaje::mostrar(titulo,
                               tr("No se pudo abrir la bandeja de salida %1").arg(m_servicio.rutaSalidas()));
        return false;
    case servicio::Manual::Agregado:
        break;
    }
    qCDebug(catApp).noquote() << "respuesta urgente a" << m_numero;
    return true;
}
