#pragma once
// The lengths of the fields of every data row of a list, kept while the list file and its format
// stay the same: the template counter finds the longest message of the list from them at every
// keystroke without filling every row again.

#include "lista/plantilla.h"
#include "lista/separar_linea.h"

#include <QString>
#include <QVector>

namespace lista {

// Larger lists are not read for the counter: a keystroke, or the program's start, must not wait
// for them (the summary before a run still checks every row).
inline constexpr qint64 kTamanoMaximoContador = qint64(32) << 20;

class LargosLista
{
public:
    // Reads the list again only when its path, size, modification time or format changed. False
    // (and no rows) when it cannot be read or is larger than kTamanoMaximoContador.
    bool actualizar(const QString &ruta, const FormatoLista &formato);
    // The rows from `lineas[primeraDeDatos]` on, split at `separador`.
    void cargar(const QStringList &lineas, int primeraDeDatos, QChar separador);

    // Length before the cut of the longest message the template gives for a row; -1 when no row
    // gives one.
    int masLargo(const PlantillaCompilada &plantilla) const;
    // The data rows read (0 when none was).
    int filas() const { return m_inicios.isEmpty() ? 0 : int(m_inicios.size()) - 1; }

private:
    void agregarFila(QStringView linea, QChar separadorLista, QVector<QStringView> &campos);

    QString m_ruta;
    qint64 m_tamano = -1;
    qint64 m_modificada = -1;
    QChar m_separador;
    bool m_tieneHeader = false;
    bool m_leida = false;
    QVector<int> m_largos;  // every field of every row, row after row
    QVector<int> m_inicios; // where each row's fields start in `largos`, and one past the last
};

} // namespace lista
