#pragma once
// Filling a message template with the values of one row. "[name]" inserts the column's value,
// "{name}" inserts it too but empties the message when the value is empty. An opening bracket
// without its closing one is dropped; everything else is copied as it is.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVector>

#include <functional>

namespace lista {

// Longest message, in UTF-16 code units.
inline constexpr int kLargoMaximoSms = 140;

// Turns a column reference into a 0-based field index, or -1.
using BuscadorColumna = std::function<int(QStringView referencia)>;

struct MensajeLlenado
{
    QString mensaje;               // empty when a reference did not resolve or a mandatory value was empty
    bool truncado = false;         // the message was cut to the maximum length
    bool faltaObligatorio = false; // at least one mandatory field was empty (or missing in the row)
    QString resto;                 // what the cut took off the end
};

// A template with its references resolved once, for filling many rows. Fills exactly as
// llenarPlantilla does with the same resolver.
class PlantillaCompilada
{
public:
    PlantillaCompilada() = default;
    PlantillaCompilada(QStringView plantilla, const BuscadorColumna &buscar);

    MensajeLlenado llenar(const QStringList &campos) const;
    MensajeLlenado llenar(const QVector<QStringView> &campos) const;
    // The same into `destino`, whose strings keep their room from row to row.
    void llenar(const QVector<QStringView> &campos, MensajeLlenado &destino) const;

    // The length the message of a row whose fields have the lengths `largos` would have before
    // the cut; -1 when the row gives no message (a reference that does not resolve, an empty
    // mandatory value).
    int largoSinCortar(const int *largos, int cantidad) const;

private:
    // A run of text, or a field: the column (-1 when the reference did not resolve) and whether it
    // is mandatory.
    struct Pieza
    {
        QString texto;
        int columna = -1;
        bool campo = false;
        bool obligatorio = false;
    };
    template <typename Campos> void llenarCon(const Campos &campos, MensajeLlenado &r) const;

    QVector<Pieza> m_piezas;
    int m_largoTexto = 0; // the runs of text together
    int m_capacidad = 0;  // a first guess at a message's length
};

// A field the row does not have reads as empty: a gap in a plain field, a missing value in a
// mandatory one.
MensajeLlenado llenarPlantilla(QStringView plantilla, const QStringList &campos,
                               const BuscadorColumna &buscar);
MensajeLlenado llenarPlantilla(QStringView plantilla, const QVector<QStringView> &campos,
                               const BuscadorColumna &buscar);

// Cuts `texto` to at most `largo` code units without leaving half of a surrogate pair behind:
// when the cut would split one, it falls before the pair. Returns whether anything was cut; what
// was cut goes to `resto` when given.
bool cortarMensaje(QString &texto, int largo = kLargoMaximoSms, QString *resto = nullptr);

// "true" when every reference of the template resolves, else the first one that does not.
// After each reference the scan goes on right after its opening bracket, so a bracket inside
// a name is looked at as well.
QString verificarCampos(QStringView plantilla, const BuscadorColumna &buscar);

} // namespace lista
