#include "historial/modelo_bandeja.h"

#include <QCoreApplication>

namespace historial {

namespace {
const char *const kTitulos[] = {
    QT_TRANSLATE_NOOP("historial", "Número"), QT_TRANSLATE_NOOP("historial", "Fecha"),
    QT_TRANSLATE_NOOP("historial", "Mensaje"), QT_TRANSLATE_NOOP("historial", "Línea")};
} // namespace

ModeloBandeja::ModeloBandeja(QObject *padre) : QAbstractTableModel(padre) {}

void ModeloBandeja::cargar(QVector<outbox::RegistroPendiente> registros)
{
    beginResetModel();
    m_registros = std::move(registros);
    aplicarFiltro();
    endResetModel();
}

void ModeloBandeja::filtrar(const QString &texto)
{
    beginResetModel();
    m_filtro = texto.trimmed();
    aplicarFiltro();
    endResetModel();
}

void ModeloBandeja::aplicarFiltro()
{
    m_visibles.clear();
    m_filaPorPosicion.clear();
    m_visibles.reserve(m_registros.size());
    for (int i = 0; i < m_registros.size(); ++i) {
        const outbox::RegistroPendiente &r = m_registros.at(i);
        if (!m_filtro.isEmpty() && !r.numero.contains(m_filtro, Qt::CaseInsensitive) &&
            !r.mensaje.contains(m_filtro, Qt::CaseInsensitive))
            continue;
        m_filaPorPosicion.insert(r.posicion, m_visibles.size());
        m_visibles.append(i);
    }
}

const outbox::RegistroPendiente &ModeloBandeja::registro(int fila) const
{
    return m_registros.at(m_visibles.at(fila));
}

int ModeloBandeja::filaDe(qint64 posicion, const QByteArray &linea) const
{
    const int fila = m_filaPorPosicion.value(posicion, -1);
    return fila >= 0 && registro(fila).linea == linea ? fila : -1;
}

int ModeloBandeja::rowCount(const QModelIndex &padre) const
{
    return padre.isValid() ? 0 : m_visibles.size();
}

int ModeloBandeja::columnCount(const QModelIndex &padre) const
{
    return padre.isValid() ? 0 : 4;
}

QVariant ModeloBandeja::data(const QModelIndex &indice, int rol) const
{
    if (!indice.isValid() || indice.row() >= m_visibles.size() ||
        (rol != Qt::DisplayRole && rol != Qt::ToolTipRole))
        return QVariant();
    const outbox::RegistroPendiente &r = registro(indice.row());
    switch (indice.column()) {
    case 0:
        return r.numero;
    case 1:
        return r.fecha;
    case 2:
        return r.mensaje;
    default:
        return r.numeroLinea;
    }
}

QVariant ModeloBandeja::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (rol != Qt::DisplayRole || orientacion != Qt::Horizontal || seccion < 0 || seccion >= 4)
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    return QCoreApplication::translate("historial", kTitulos[seccion]);
}

} // namespace historial
