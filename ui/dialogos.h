#pragma once
// The one way the program shows message boxes and file dialogs. Production shows the modal
// box without parent; tests queue the next answers and read back what would have been shown.

#include <QList>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

class CuadroMensaje
{
public:
    using Boton = QMessageBox::StandardButton;
    using Botones = QMessageBox::StandardButtons;

    struct Mostrado
    {
        QString titulo;
        QString texto;
        Botones botones;
        Boton respuesta;
    };

    // Shows a modal box without parent and returns the button pressed. In test mode the next
    // queued answer is returned instead (or the box's most cautious button when none is
    // queued: Cancel or No when offered, else the first one), and nothing is shown.
    static Boton mostrar(const QString &titulo, const QString &texto, Botones botones = QMessageBox::Ok);
    // The same box with a "Ver detalle" button beside `botones`: it runs `verDetalle` (which shows
    // the detail in a dialog of its own) and the box comes back, until another button is pressed.
    // In test mode the queued answer kVerDetalle stands for that button.
    static Boton mostrarConDetalle(const QString &titulo, const QString &texto, Botones botones,
                                   const std::function<void()> &verDetalle);
    static constexpr Boton kVerDetalle = QMessageBox::Help;
    // A question whose two buttons name what they do (`hacer`, `volver`): true for `hacer`. The
    // box answers Yes (hacer) or No (volver); in test mode No unless Yes is queued.
    static bool preguntar(const QString &titulo, const QString &texto, const QString &hacer,
                          const QString &volver);

    static void activarModoPrueba(bool activo);
    // Test mode: runs before each box is answered, as an open box would let the event loop run.
    static void fijarAlMostrar(std::function<void()> accion);
    static bool modoPrueba();
    static void fijarSiguienteRespuesta(Boton respuesta);
    static QList<Mostrado> mostrados();
    static QStringList textosMostrados();
    static void limpiar();
};

class DialogoArchivo
{
public:
    // QFileDialog::getOpenFileName; in test mode the next queued path ("" = cancelled).
    static QString abrir(QWidget *padre, const QString &titulo, const QString &carpeta,
                         const QString &filtro);

    // QFileDialog::getSaveFileName; in test mode the next queued path ("" = cancelled).
    static QString guardar(QWidget *padre, const QString &titulo, const QString &carpeta,
                           const QString &filtro);

    static void fijarSiguienteArchivo(const QString &ruta);
    struct Pedido
    {
        QString titulo;
        QString carpeta;
        QString filtro;
    };
    static QList<Pedido> pedidos();
    static void limpiar();
};
