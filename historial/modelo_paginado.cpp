#include "historial/modelo_paginado.h"

#include <QCoreApplication>

namespace historial {

ModeloPaginado::ModeloPaginado(const Tabla &tabla, QObject *padre)
    : QAbstractTableModel(padre), m_tabla(tabla)
{
}

void ModeloPaginado::mostrar(const QSqlDatabase &db, const Condicion &c)
{
    beginResetModel();
    m_filas.clear();
    m_condicion = c;
    m_conexion = db.isValid() ? db.connectionName() : QString();
    m_fin = !db.isValid() || !pagina(db, m_tabla, c, 0, kPagina, m_filas) || m_filas.size() < kPagina;
    endResetModel();
}

int ModeloPaginado::rowCount(const QModelIndex &padre) const
{
    return padre.isValid() ? 0 : m_filas.size();
}

int ModeloPaginado::columnCount(const QModelIndex &padre) const
{
    return padre.isValid() ? 0 : m_tabla.columnas.size();
}

QVariant ModeloPaginado::data(const QModelIndex &indice, int rol) const
{
    if (!indice.isValid() || indice.row() >= m_filas.size())
        return QVariant();
    if (rol == Qt::DisplayRole || rol == Qt::ToolTipRole)
        return m_filas.at(indice.row()).valores.value(indice.column());
    return QVariant();
}

QVariant ModeloPaginado::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (rol != Qt::DisplayRole || orientacion != Qt::Horizontal || seccion >= m_tabla.titulos.size())
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    return QCoreApplication::translate("historial", m_tabla.titulos.at(seccion).toUtf8().constData());
}

bool ModeloPaginado::canFetchMore(const QModelIndex &padre) const
{
    return !padre.isValid() && !m_fin;
}

void ModeloPaginado::fetchMore(const QModelIndex &padre)
{
    if (padre.isValid() || m_fin || m_filas.isEmpty())
        return;
    QVector<Fila> mas;
    const QSqlDatabase db = QSqlDatabase::database(m_conexion, false);
    if (!db.isValid() || !pagina(db, m_tabla, m_condicion, m_filas.constLast().id, kPagina, mas)) {
        m_fin = true;
        return;
    }
    m_fin = mas.size() < kPagina;
    if (mas.isEmpty())
        return;
    beginInsertRows(QModelIndex(), m_filas.size(), m_filas.size() + mas.size() - 1);
    m_filas += mas;
    endInsertRows();
}

} // namespace historial
