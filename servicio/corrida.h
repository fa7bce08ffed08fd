#pragma once
// The values a list run and the window exchange: what the operator asked for, what the run found
// before writing (the window shows it and asks), and how it ended (the window tells it). The
// questions and boxes are the window's; the run itself is ServicioEnvio's.

#include "lista/corrida_lista.h"
#include "lista/lectura_lista.h"
#include "lista/lista_en_disco.h"
#include "lista/revision_lista.h"
#include "lista/separar_linea.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

#include <memory>

namespace servicio {

// A list run as the operator left its entries.
struct PedidoCorrida
{
    corrida_lista::Modo modo = corrida_lista::Modo::Simple;
    QString rutaLista;
    QString rutaErrores;
    QString rutaBackup;
    QString plantilla;
    QString columnaCelular;
    QString columnaFecha;
    lista::FormatoLista formato;
};

// Where a run stands after each step.
enum class Paso {
    Seguir,   // the next step may be taken (a question first, where the mode asks one)
    NoAbre,   // the list could not be opened (a watched run tries again at the next tick)
    Detenida, // it ended; `error` says why when the operator must hear it
};

// What the counting pass found: the text before the question and the rows worth a look.
struct ResumenCorrida
{
    QString texto;
    // The rows worth a look, each read from the list when shown; null when there are none.
    std::shared_ptr<const lista::RevisionLista> revision;
    // The list changed while it was counted: nothing is asked, the run ends with this.
    QString error;
    int aEncolar = 0;
    int truncados = 0;
    int faltaObligatorio = 0;
};

// What the operator is told when a run (or a run cut short) has ended, in this order: an error
// box, a report box. The watch of the list path is switched off or on as it says.
struct ResultadoCorrida
{
    Paso paso = Paso::Detenida;
    QString error;
    QString reporte;
    // A watched run that added its whole list: the operator gets a notice of it.
    bool importada = false;
    bool detenerVigilancia = false;
    bool armarVigilancia = false;
    // The list could not go to the backup path (an error box, and the watch goes off).
    QString errorApartado;
    int agregados = 0;
    int aErrores = 0;
};

// The rows of a list for a whole run, read from the file a block at a time: only where each line
// starts is held, so a run's memory does not grow with its list. Every pass checks that it reads
// the bytes the first read indexed. The run reaches its rows only through this.
class FilasLista
{
public:
    FilasLista() : m_lista(std::make_shared<lista::ListaEnDisco>()) {}

    lista::Lectura leer(const QString &ruta) { return m_lista->abrir(ruta); }
    // Lets the file go, before it is moved.
    void cerrar() { m_lista->cerrar(); }
    int cantidad() const { return m_lista->cantidad(); }
    bool vacia() const { return cantidad() == 0; }
    // One line, read when asked for.
    QString fila(int indice) const { return m_lista->linea(indice); }
    // The lines from `desde` on, in order.
    lista::ListaEnDisco::Recorrido recorrer(int desde) const { return m_lista->recorrer(desde); }
    const lista::ListaEnDisco &lista() const { return *m_lista; }
    // Shared with a summary whose problems are read from the file when shown.
    std::shared_ptr<const lista::ListaEnDisco> compartida() const { return m_lista; }

private:
    std::shared_ptr<lista::ListaEnDisco> m_lista;
};

} // namespace servicio

Q_DECLARE_METATYPE(servicio::ResultadoCorrida)
