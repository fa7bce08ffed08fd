#pragma once
// The values a list run and the window exchange: what the operator asked for, what the run found
// before writing (the window shows it and asks), and how it ended (the window tells it). The
// questions and boxes are the window's; the run itself is ServicioEnvio's.

#include "lista/corrida_lista.h"
#include "lista/lectura_lista.h"
#include "lista/revision_lista.h"
#include "lista/separar_linea.h"

#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

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
    QVector<lista::ProblemaFila> problemas;
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

// The rows of a list, read once for a whole run. The run reaches its rows only through this.
class FilasLista
{
public:
    lista::Lectura leer(const QString &ruta);
    int cantidad() const { return int(m_lineas.size()); }
    const QString &fila(int indice) const { return m_lineas.at(indice); }
    bool vacia() const { return m_lineas.isEmpty(); }
    const QStringList &todas() const { return m_lineas; }

private:
    QStringList m_lineas;
};

} // namespace servicio

Q_DECLARE_METATYPE(servicio::ResultadoCorrida)
