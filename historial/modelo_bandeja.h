#pragma once
// The pending records of the outbox as the queue tab shows them: number, date, message and the
// line they are on, with a filter on the number and the message. The records are held once in
// memory and the view asks only for the rows it paints.

#include "lista/outbox.h"

#include <QAbstractTableModel>

namespace historial {

class ModeloBandeja : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ModeloBandeja(QObject *padre = nullptr);

    void cargar(QVector<outbox::RegistroPendiente> registros);
    // Rows whose number or message contains `texto` (any case); empty shows all.
    void filtrar(const QString &texto);
    int total() const { return m_registros.size(); }
    const outbox::RegistroPendiente &registro(int fila) const;
    // The row showing the record at `posicion` with these bytes, or -1.
    int filaDe(qint64 posicion, const QByteArray &linea) const;

    int rowCount(const QModelIndex &padre = QModelIndex()) const override;
    int columnCount(const QModelIndex &padre = QModelIndex()) const override;
    QVariant data(const QModelIndex &indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;

private:
    void aplicarFiltro();

    QVector<outbox::RegistroPendiente> m_registros;
    QVector<int> m_visibles;
    QHash<qint64, int> m_filaPorPosicion;
    QString m_filtro;
};

} // namespace historial
