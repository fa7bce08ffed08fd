#pragma once
// The pending records of the outbox as the queue tab shows them: number, date, message, the
// line they are on and, for the records held out of sending, why, with a filter on the number and
// the message and another for the held records alone. The model holds an index of where each
// record is (outbox::IndicePendientes), kept up to date with what changed, and reads from the file
// only the rows the view paints: a million pending records cost little more than a page of them.

#include "lista/indice_pendientes.h"
#include "lista/outbox.h"
#include "lista/retencion.h"

#include <QAbstractTableModel>
#include <QHash>

namespace historial {

class ModeloBandeja : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ModeloBandeja(QObject *padre = nullptr);

    // The records of the outbox at `rutaSalidas` as they are now, and the hold that says which of
    // them are held (retencion::Omision's rule); `version` changes with every change of the hold.
    // Call under the outbox lock.
    void actualizar(const QString &rutaSalidas, const QVector<retencion::Entrada> &retenidos,
                    unsigned version);
    // Rows whose number or message contains `texto` (any case); empty shows all. With
    // `soloEnDuda`, only the records in doubt.
    void filtrar(const QString &texto, bool soloEnDuda = false);
    int total() const { return m_indice.cantidad(); }
    int totalEnDuda() const { return m_enDuda; }
    // The record shown in `fila`, read from the outbox; `posicion` is -1 when it is no longer the
    // record indexed there (the outbox changed since, and the next actualizar() shows it).
    outbox::RegistroPendiente registro(int fila) const;
    // Whether the record shown in `fila` is in doubt (a resend asked for included).
    bool enDuda(int fila) const;
    // The row showing the record at `posicion` with these bytes, or -1.
    int filaDe(qint64 posicion, const QByteArray &linea) const;

    int rowCount(const QModelIndex &padre = QModelIndex()) const override;
    int columnCount(const QModelIndex &padre = QModelIndex()) const override;
    QVariant data(const QModelIndex &indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;

private:
    // The row of the index shown in `fila`, or -1.
    int filaIndice(int fila) const;
    // The entry holding row `f` of the index, or null.
    const retencion::Entrada *retencionDe(int f) const;
    bool coincide(const outbox::RegistroPendiente &r) const;
    void aplicarFiltro();
    // Reads the page of shown rows around `fila` into m_leidos.
    void leerPagina(int fila) const;

    outbox::IndicePendientes m_indice;
    QVector<retencion::Entrada> m_retenidos;
    unsigned m_version = 0;
    bool m_conRetencion = false;
    // The rows of the index held, with the entry that holds each, by row.
    QVector<QPair<int, int>> m_retencion;
    int m_enDuda = 0;
    // With no filter every row of the index is shown and m_visibles is unused.
    bool m_todas = true;
    QVector<int> m_visibles;
    QString m_filtro;
    bool m_soloEnDuda = false;
    // Records read for the view, by row of the index.
    mutable QHash<int, outbox::RegistroPendiente> m_leidos;
};

} // namespace historial
