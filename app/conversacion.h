#pragma once
// The messages exchanged with one number (sent and received, oldest first, every written form of
// the number alike) and a reply queued from there as an urgent manual message.

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class DialogoConversacion;
}
namespace servicio {
class ServicioEnvio;
}

namespace conversacion {
// A message to `numero` is wanted: when the number is on the opt-out list the operator is asked
// first. False when he says no; `aunqueDeBaja` tells the service he said yes.
bool confirmarEnvio(servicio::ServicioEnvio &servicio, const QString &numero, const QString &titulo,
                    bool &aunqueDeBaja);
} // namespace conversacion

class DialogoConversacion : public QDialog
{
    Q_OBJECT

public:
    DialogoConversacion(servicio::ServicioEnvio &servicio, const QString &numero, QWidget *padre = nullptr);
    ~DialogoConversacion() override;
    Q_DISABLE_COPY(DialogoConversacion)

    // The reply's field gets the focus (opened by "Responder").
    void enfocarRespuesta();
    // Queues the reply; false when nothing was queued (told to the operator).
    bool responder();

private:
    void cargar();

    std::unique_ptr<Ui::DialogoConversacion> m_ui;
    servicio::ServicioEnvio &m_servicio;
    QString m_numero;
};
