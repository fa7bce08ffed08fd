#pragma once
// What the program tells the operator outside its window: the tray icon's tooltip and its
// notifications (the status bar's messages where the desktop has no tray). Every text is built
// here; Seguimiento decides from the poll's readings when a notification is due. No widgets.

#include <QString>
#include <QtGlobal>

namespace avisos {

// Title of every notification.
QString titulo();
// The tooltip: the state label's text, the three counters, how many of the gateways send now
// (when `enServicio` is 0 or more) and the records in doubt, if any.
QString textoInformacion(const QString &estado, int pendientes, int enviados, int recibidos, int enDuda = 0,
                         int enServicio = -1, int gateways = 0);
// Sending has stood still for longer than Seguimiento::kDetenidoMs; `estado` says why.
QString textoDetenido(const QString &estado);
// Sending goes on after such a stoppage.
QString textoReanudado();
// A watched list has been imported.
QString textoListaImportada(int agregados, int aErrores);
// New messages have been received.
QString textoRecibidos(int nuevos);
// Records are in doubt: the gateway may have sent them, and they wait for the operator.
QString textoEnDuda(int cantidad);

// Follows the poll's readings and says when a notification is due.
class Seguimiento
{
public:
    static constexpr qint64 kDetenidoMs = 2 * 60 * 1000;

    // One reading while sending is switched on, at `ahoraMs`: whether a failure stops sending
    // and the text of that failure. The notification due now, or an empty text: once per
    // stoppage when it has lasted longer than kDetenidoMs, and once when such a stoppage ends.
    QString observar(bool detenido, const QString &estado, qint64 ahoraMs);
    // The received-messages counter as the poll reads it: the notification for the new ones, or
    // an empty text. The first reading only takes the count.
    QString recibidos(int total);
    // The records in doubt as the poll reads them: the notification when the first appears
    // (none while some remain), or an empty text.
    QString enDuda(int cantidad);

private:
    qint64 m_desde = -1;
    bool m_avisado = false;
    int m_recibidos = -1;
    int m_enDuda = 0;
};

} // namespace avisos
