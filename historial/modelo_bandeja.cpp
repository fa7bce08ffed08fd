#include "historial/modelo_bandeja.h"

#include <QCoreApplication>

namespace historial {

namespace {
const char *const kTitulos[] = {
    QT_TRANSLATE_NOOP("historial", "Número"), QT_TRANSLATE_NOOP("historial", "Fecha"),
    QT_TRANSLATE_NOOP("historial", "Mensaje"), QT_TRANSLATE_NOOP("historial", "Línea"),
    QT_TRANSLATE_NOOP("historial", "Estado")};
constexpr int kColumnas = 5;

QString tr(const char *texto)
{
    return QCoreApplication::translate("historial", texto);
}

QString textoRetencion(retencion::Estado estado)
{
    switch (estado) {
    case retencion::Estado::EnVuelo:
        return tr("Enviándose");
    case retencion::Estado::Reenviar:
        return tr("En duda: se enviará otra vez");
    case retencion::Estado::EnDuda:
        break;
    }
    return tr("En duda: el gateway pudo haberlo enviado");
}

} // namespace

ModeloBandeja::ModeloBandeja(QObject *padre) : QAbstractTableModel(padre) {}

void ModeloBandeja::cargar(QVector<outbox::RegistroPendiente> registros,
                           const QVector<retencion::Entrada> &retenidos)
{
    beginResetModel();
    m_registros = std::move(registros);
    m_retenidos = retenidos;
    m_retencion.fill(-1, m_registros.size());
    m_enDuda = 0;
    retencion::Omision omision(m_retenidos);
    if (!omision.vacia()) {
        for (int i = 0; i < m_registros.size(); ++i) {
            const QByteArray &linea = m_registros.at(i).linea;
            m_retencion[i] = omision.retenida(linea.constData(), linea.size());
            if (m_retencion.at(i) >= 0 &&
                m_retenidos.at(m_retencion.at(i)).estado != retencion::Estado::EnVuelo)
                ++m_enDuda;
        }
    }
    aplicarFiltro();
    endResetModel();
}

void ModeloBandeja::filtrar(const QString &texto, bool soloEnDuda)
{
    beginResetModel();
    m_filtro = texto.trimmed();
    m_soloEnDuda = soloEnDuda;
    aplicarFiltro();
    endResetModel();
}

const retencion::Entrada *ModeloBandeja::retencionDe(int i) const
{
    const int e = m_retencion.value(i, -1);
    return e >= 0 ? &m_retenidos.at(e) : nullptr;
}

void ModeloBandeja::aplicarFiltro()
{
    m_visibles.clear();
    m_filaPorPosicion.clear();
    m_visibles.reserve(m_registros.size());
    for (int i = 0; i < m_registros.size(); ++i) {
        const outbox::RegistroPendiente &r = m_registros.at(i);
        if (m_soloEnDuda && !(retencionDe(i) && retencionDe(i)->estado != retencion::Estado::EnVuelo))
            continue;
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

bool ModeloBandeja::enDuda(int fila) const
{
    const retencion::Entrada *e = retencionDe(m_visibles.value(fila, -1));
    return e && e->estado != retencion::Estado::EnVuelo;
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
    return padre.isValid() ? 0 : kColumnas;
}

QVariant ModeloBandeja::data(const QModelIndex &indice, int rol) const
{
    if (!indice.isValid() || indice.row() >= m_visibles.size())
        return QVariant();
    const int i = m_visibles.at(indice.row());
    const retencion::Entrada *retenido = retencionDe(i);
    if (rol != Qt::DisplayRole && rol != Qt::ToolTipRole)
        return QVariant();
    const outbox::RegistroPendiente &r = m_registros.at(i);
    switch (indice.column()) {
    case 0:
        return r.numero;
    case 1:
        return r.fecha;
    case 2:
        return r.mensaje;
    case 3:
        return r.numeroLinea;
    default:
        if (!retenido)
            return QVariant();
        if (rol == Qt::ToolTipRole && !retenido->motivo.isEmpty())
            return tr("%1 (%2): %3").arg(textoRetencion(retenido->estado), retenido->desde, retenido->motivo);
        return textoRetencion(retenido->estado);
    }
}

QVariant ModeloBandeja::headerData(int seccion, Qt::Orientation orientacion, int rol) const
{
    if (rol != Qt::DisplayRole || orientacion != Qt::Horizontal || seccion < 0 || seccion >= kColumnas)
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    return QCoreApplication::translate("historial", kTitulos[seccion]);
}

} // namespace historial
