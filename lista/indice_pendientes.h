#pragma once
// The pending records of the outbox (the lines leerPendientes gives) as an index of where each is,
// not as strings: built once, then brought up to date from the outbox's seal and the program's
// own changes (archivos_datos::CambiosPropios): lines appended are indexed, records marked sent
// leave it, and only a rewrite, a cut or another program's change makes it read the whole file
// again. A record's text is read from the file when asked for, and only if its bytes are still the
// ones indexed.

#include "lista/outbox.h"
#include "lista/retencion.h"

#include "lista/archivos_datos.h"

#include <QString>
#include <QVector>

#include <functional>

namespace outbox {

class IndicePendientes
{
public:
    struct Fila
    {
        qint64 posicion = -1;
        int largo = 0;       // bytes of the line, without its line end
        int numeroLinea = 0; // 1-based, as leerPendientes counts
        uint suma = 0;       // of the bytes after the status character
    };

    // What an actualizar() changed.
    struct Cambios
    {
        bool todo = false;     // read again: every row may be another
        QVector<int> quitadas; // rows (as numbered before) that left, ascending
        int nuevas = 0;        // rows appended at the end
        bool hubo() const { return todo || !quitadas.isEmpty() || nuevas > 0; }
    };

    // Brings the index up to the outbox at `ruta` as it is now. Call under the outbox lock.
    Cambios actualizar(const QString &ruta);

    int cantidad() const { return m_filas.size(); }
    const Fila &fila(int i) const { return m_filas.at(i); }
    // The row of the record at `posicion`, or -1.
    int filaEn(qint64 posicion) const;

    // The bytes of rows `filas` (ascending), read in one go from the file under the outbox lock:
    // `entrega(fila, linea, largo)` for each whose bytes after the status character are still the
    // indexed ones; the bytes are valid during the call. False when the file cannot be read.
    using Entrega = std::function<void(int fila, const char *linea, int largo)>;
    bool leer(const QVector<int> &filas, const Entrega &entrega) const;
    // Every row, in order, the same way.
    bool leerTodas(const Entrega &entrega) const;

    // For each row a held entry of `entradas` holds (retencion::Omision's rule: n entries of a line
    // hold the first n pending lines equal to it), the row and the entry's index, ascending.
    QVector<QPair<int, int>> retenidas(const QVector<retencion::Entrada> &entradas) const;

private:
    void vaciar();

    QString m_ruta;
    bool m_valido = false;
    archivos_datos::Sello m_sello;
    quint64 m_cortes = 0;
    quint64 m_marcas = 0;
    qint64 m_fin = 0; // after the last whole line indexed
    int m_lineas = 0; // lines before m_fin, as LectorLineas counts them
    QVector<Fila> m_filas;
};

} // namespace outbox
