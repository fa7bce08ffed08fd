#pragma once
// The "Bajas" tab (the opt-out list: filter, add by hand, remove, import, export) and the opt-out
// fields of the configuration tab. The list is the service's; this part shows it and forwards.

#include "historial/modelo_paginado.h"

#include <QObject>
#include <QTimer>

class QMainWindow;
namespace Ui {
class MainWindow;
}
namespace servicio {
class ServicioEnvio;
}

class PestanaBajas : public QObject
{
    Q_OBJECT

public:
    PestanaBajas(Ui::MainWindow *ui, servicio::ServicioEnvio &servicio, QMainWindow *ventana);
    ~PestanaBajas() override;
    Q_DISABLE_COPY(PestanaBajas)

    // From the poll: the table is read again when the list changed and the tab is looked at.
    void refrescar();
    void agregar();
    void quitar();
    void importar();
    void exportar();

private:
    void mostrar();
    void error(const QString &texto);

    Ui::MainWindow *m_ui;
    servicio::ServicioEnvio &m_servicio;
    QMainWindow *m_ventana;
    historial::ModeloPaginado m_modelo{historial::tablaBajas()};
    QTimer m_demora;
    // The list's size and the history's state when last shown: a change of either shows it again.
    int m_cantidadVista = -1;
    bool m_sucio = true;
};
