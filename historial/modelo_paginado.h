#pragma once
// A table of the history database, newest first, fetched a page at a time as the view scrolls:
// a million rows cost no more to show than one page.

#include "historial/consultas.h"

#include <QAbstractTableModel>

namespace historial {

class ModeloPaginado : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kPagina = 200;

    ModeloPaginado(const Tabla &tabla, QObject *padre = nullptr);

    // Starts again from the newest row with this condition on this connection (an invalid one
    // shows nothing).
    void mostrar(const QSqlDatabase &db, const Condicion &c);
    const Condicion &condicionActual() const { return m_condicion; }

    int rowCount(const QModelIndex &padre = QModelIndex()) const override;
    int columnCount(const QModelIndex &padre = QModelIndex()) const override;
    QVariant data(const QModelIndex &indice, int rol = Qt::DisplayRole) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &padre) const override;
    void fetchMore(const QModelIndex &padre) override;

private:
    Tabla m_tabla;
    QString m_conexion;
    Condicion m_condicion;
    QVector<Fila> m_filas;
    bool m_fin = true;
};

} // namespace historial
