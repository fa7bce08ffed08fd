#pragma once
// The gateways on the window: gateway 1's pace and caps beside its address and key, the table of
// the other gateways and the same-gateway-per-number box on the configuration tab, and one line
// per gateway on the status tab. The rules and texts are lista_gateways'; the window's "Guardar"
// reads the list from here, stores it and hands it to the service.

#include "ajustes/ajustes.h"
#include "servicio/servicio_envio.h"

#include <QCoreApplication>
#include <QVector>

namespace Ui {
class MainWindow;
}

class PaginaGateways
{
    Q_DECLARE_TR_FUNCTIONS(PaginaGateways)

public:
    explicit PaginaGateways(Ui::MainWindow *ui);
    Q_DISABLE_COPY(PaginaGateways)

    // The stored gateways into the form (gateway 1's address and key are the window's).
    void cargar();
    // A cell being edited keeps its text: a keyboard shortcut to "Guardar" takes no focus from it.
    void terminarEdicion();
    // Every gateway as the form holds it, gateway 1 first.
    QVector<ajustes::AjustesGateway> lista() const;
    bool mismoGateway() const;
    // The gateway chosen in the table; 0 when the table is empty.
    int elegido() const;

    void agregar();
    void quitar();

    // The status tab's lines, from the poll's snapshot (hidden with one gateway without pace or caps).
    void mostrar(const servicio::Instantanea &instantanea);

private:
    void agregarFila(const ajustes::AjustesGateway &gateway);
    // The table and its buttons are shown only while it has rows; no more than kMaxGateways.
    void ajustarControles();

    Ui::MainWindow *m_ui;
    QVector<servicio::EstadoGateway> m_mostrados;
    bool m_mostrado = false;
};
