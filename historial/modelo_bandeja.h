#pragma once
// The pending records of the outbox as the queue tab shows them: number, date, message, the
// line they are on and, for the records held out of sending, why, with a filter on the number and
// the message and another for the held records alone. The records are held once in memory and the
// view asks only for the rows it paints.

#include "lista/outbox.h"
#include "lista/retencion.h"

#include <QAbstractTableModel>

namespace historial {

class ModeloBandeja : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ModeloBandeja(QObject *padre = nullptr);

    // The records, and the hold that says which of them are held (retencion::Omision's rule).
    void cargar(QVector<outbox::RegistroPendiente> registros,
                const QVector<retencion::Entrada> &retenidos = QVector<retencion::Entrada>());
    // Rows whose number or message contains `texto` (any case); empty shows all. With
    // `soloEnDuda`, only the records in doubt.
    void filtrar(const QString &texto, bool soloEnDuda = false);
    int total() const { return m_registros.size(); }
    int totalEnDuda() const { return m_enDuda; }
    const outbox::RegistroPendiente &registro(int fila) const;
    // Whether the record shown in `fila` is in doubt (a resend asked for included).
    bool enDuda(int fila) const;
    // The row showing the record at `posicion` with these bytes, or -1.
    int filaDe(qint64 posicion, const QByteArray &linea) const;

    int rowCount(const QModelIndex &padre = QModelIndex()) const override;
    int columnCount(const QModelIndex &padre = QModelIndex()) const override;
    QVariant data(const QModelIndex &indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;

private:
    void aplicarFiltro();
    // The entry holding the record `i`, or null.
    const retencion::Entrada *retencionDe(int i) const;

    QVector<outbox::RegistroPendiente> m_registros;
    QVector<retencion::Entrada> m_retenidos;
    // For each record, the index of the entry that holds it, or -1.
    QVector<int> m_retencion;
    int m_enDuda = 0;
    QVector<int> m_visibles;
    QHash<qint64, int> m_filaPorPosicion;
    QString m_filtro;
    bool m_soloEnDuda = false;
};

} // namespace historial
