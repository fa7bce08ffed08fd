#pragma once
// The three tabs after the first five: the history of sent and failed messages, the queue of
// pending outbox records with the records in doubt, and the received messages. What they show is
// fetched only while they are looked at, and never more than once a poll, so that an idle window
// costs nothing. The window forwards its slots here; the work is the service's.

#include "historial/modelo_bandeja.h"
#include "historial/modelo_paginado.h"
#include "lista/outbox.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <functional>

class QMainWindow;
namespace Ui {
class MainWindow;
}
namespace historial {
class Historial;
}
namespace servicio {
class ServicioEnvio;
struct Instantanea;
} // namespace servicio

// The file an export is to be written to, chosen by the operator: empty when the choice was
// cancelled, or after `error` has said why it cannot be written (the history not available, one of
// the program's own files, the list being edited).
QString elegirRutaExportacion(QMainWindow *ventana, servicio::ServicioEnvio &servicio,
                              const QString &rutaLista, const std::function<void(const QString &)> &error);

class PestanasHistorial : public QObject
{
    Q_OBJECT

public:
    // Fills the tables and their filters on the window's form; the window outlives it.
    PestanasHistorial(Ui::MainWindow *ui, servicio::ServicioEnvio &servicio, QMainWindow *ventana);
    ~PestanasHistorial() override;
    Q_DISABLE_COPY(PestanasHistorial)

    // From the poll, with its snapshot of the service: only what changed is asked for again.
    void refrescarPestanaActual(const servicio::Instantanea &instantanea);
    void pestanaCambiada(int indice);
    void aplicarFiltroHistorial();
    void aplicarFiltroBandeja();
    void aplicarFiltroRecibidos();
    void exportarTabla(bool recibidos);
    // The tables' column widths as the operator left them, for the next start.
    void guardarAnchos() const;
    // The conversation with the selected reply's number; `responder`: its reply field at once.
    void verConversacion(bool responder);
    // The queue's selected records are cancelled; never while a list run is open (`corridaEnCurso`
    // tells the window's part of it, asked again after the question).
    void cancelarElegidos(const std::function<bool()> &corridaEnCurso);
    // The notice of the records in doubt above the queue, and the operator's choices on them.
    void mostrarEnDuda(const servicio::Instantanea &instantanea);
    void reenviarEnDuda();
    void marcarEnDuda();
    void reanudarEnDuda();

private:
    void refrescarHistorial();
    void refrescarBandeja();
    void refrescarRecibidos();
    void actualizarTituloRecibidos();
    // The selected rows of the queue that are in doubt, taken as records.
    QVector<outbox::Referencia> elegidosEnDuda() const;
    void error(const QString &texto);

    // How long a tab's last read took and when: while sending marks a record a second, a long
    // queue, or a text filter over a year of history, is read again for the poll only after ten
    // times that, so the window stays free nine tenths of the time.
    struct Ritmo
    {
        QElapsedTimer desde;
        qint64 ms = 0;
        bool libre() const { return !desde.isValid() || desde.elapsed() >= 10 * ms; }
    };

    Ui::MainWindow *m_ui;
    servicio::ServicioEnvio &m_servicio;
    historial::Historial &m_historial;
    QMainWindow *m_ventana;
    historial::ModeloPaginado m_enviados{historial::tablaEnviados()};
    // Each reply with the last message sent to its number before it.
    historial::ModeloPaginado m_recibidos;
    historial::ModeloBandeja m_bandeja;
    QTimer m_demoraHistorial;
    QTimer m_demoraBandeja;
    QTimer m_demoraRecibidos;
    bool m_historialSucio = true;
    bool m_recibidosSucio = true;
    bool m_bandejaSucia = true;
    // The outbox and the records in doubt as last read for the queue: a change of any means it
    // changed.
    qint64 m_tamanoSalidas = -1;
    QDateTime m_fechaSalidas;
    unsigned m_versionRetencion = 0;
    Ritmo m_ritmoBandeja;
    Ritmo m_ritmoHistorial;
};
