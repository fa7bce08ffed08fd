#pragma once
// The list page of the window: the list's format, the detection of its columns, the template and
// its preview, the counters of the two message texts. The work is done by the pure functions in
// lista/; this part takes its inputs from the form and shows the results. The window forwards its
// slots and its list operations here.

#include "lista/largos_lista.h"
#include "lista/plantilla.h"
#include "lista/revision_lista.h"
#include "lista/separar_linea.h"

#include <QCoreApplication>
#include <QSignalBlocker>
#include <QStringList>

class QWidget;
namespace Ui {
class MainWindow;
}

namespace formulario {
// Changes a widget the way the program does, not the operator: its change handlers, which would
// store the value, do not run.
template <typename Cambio> void sinGuardar(QObject *widget, Cambio &&cambio)
{
    const QSignalBlocker bloqueo(widget);
    cambio();
}
} // namespace formulario

class PaginaLista
{
    Q_DECLARE_TR_FUNCTIONS(PaginaLista)

public:
    // On the window's form; files are looked for in `carpetaDatos` first.
    PaginaLista(Ui::MainWindow *ui, QWidget *ventana, const QString &carpetaDatos);
    Q_DISABLE_COPY(PaginaLista)

    // At start, once the settings are in the widgets: the stored header's columns, the list's,
    // the stored column choices, both counters.
    void cargar();
    // The stored column choices back in the combos, without storing them again.
    void restaurarColumnas();
    const lista::FormatoLista &formato() const { return m_formato; }

    QStringList separarLinea(const QString &linea) const;
    // Refills both column combos from the first line of the list at `ruta` (header names first
    // when there is a header), without storing the choice. False when the list cannot be read or
    // is empty, and nothing changed.
    bool detectarColumnas(const QString &ruta, bool mostrarErrores, bool conHeader);
    bool detectarSegunFormato(const QString &ruta, bool mostrarErrores);
    void detectarColumnasConHeader(const QString &ruta, bool mostrarErrores);
    void detectarColumnasSinHeader(const QString &ruta, bool mostrarErrores);
    int buscarColumna(const QString &referencia) const;
    QString valorCelular(const QStringList &campos) const;
    QString valorFecha(const QStringList &campos) const;
    QString transformarSms(const QString &plantilla, const QStringList &campos);
    QString verificarCampos() const;
    QStringList obtenerColumnas() const;
    // The row as the page's entries make it: counted (truncated, missing a mandatory field).
    bool agregarFilaOutbox(const QString &linea);
    // What the counting pass of a run found.
    void anotarConteo(int truncados, int faltaObligatorio);

    // The page's buttons and editors.
    void configurarFormato();
    void buscarArchivo();
    // Enter in the path field: the list written there is read as one chosen in the dialog.
    void leerListaEscrita();
    void agregarCampo();
    // Preview of the message for row `m_filaVistaPrevia` of the list (never the header).
    void mostrarPlantilla();
    void filaSiguiente();
    void filaAnterior();
    void contarManual();

private:
    // After a list is chosen: a list read as one column whose first line holds another separator
    // gets the offer to switch the format; then the column choices that fit it are shown.
    void ofrecerSeparador(const QString &ruta);
    void abrirLista(const QString &ruta);
    void elegirColumnasDeLista();
    lista::EntradasFila entradasFila() const;
    lista::BuscadorColumna buscadorColumnas() const;
    bool listaPresente() const;
    // The template counter: the previewed message and the list's longest against the limit.
    void mostrarVistaPrevia(const lista::PlantillaCompilada &plantilla, const QStringList &campos);

    Ui::MainWindow *m_ui;
    QWidget *m_ventana;
    QString m_carpetaDatos;
    lista::FormatoLista m_formato;
    QStringList m_columnasHeader;
    int m_cantidadColumnas = 0;
    QStringList m_columnasDefecto;
    int m_filaVistaPrevia = 0;
    // The preview's row ("fila 5 de 13") and whether a run would refuse it, with why.
    QString m_filaMostrada;
    bool m_filaRechazada = false;
    int m_truncados = 0;
    int m_faltaObligatorio = 0;
    lista::LargosLista m_largosLista;
};
