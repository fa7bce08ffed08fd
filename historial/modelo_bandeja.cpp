#include "historial/modelo_bandeja.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>

namespace historial {

namespace {
const char *const kTitulos[] = {
    QT_TRANSLATE_NOOP("historial", "Número"), QT_TRANSLATE_NOOP("historial", "Fecha"),
    QT_TRANSLATE_NOOP("historial", "Mensaje"), QT_TRANSLATE_NOOP("historial", "Línea"),
    QT_TRANSLATE_NOOP("historial", "Estado")};
constexpr int kColumnas = 5;
// Rows read from the file at a time for the view, and how many of them are kept.
constexpr int kPagina = 128;
constexpr int kLeidosMaximo = 16 * kPagina;

QString tr(const char *texto)
{
    return QCoreApplication::translate("historial", texto);
}

// Gateway 1's texts name no gateway, as when it was the only one.
QString textoRetencion(retencion::Estado estado, int gateway)
{
    const bool nombrado = gateway > 1;
    switch (estado) {
    case retencion::Estado::EnVuelo:
        return nombrado ? tr("Enviándose por el gateway %1").arg(gateway) : tr("Enviándose");
    case retencion::Estado::Reenviar:
        return tr("En duda: se enviará otra vez");
    case retencion::Estado::EnDuda:
        break;
    }
    return nombrado ? tr("En duda: el gateway %1 pudo haberlo enviado").arg(gateway)
                    : tr("En duda: el gateway pudo haberlo enviado");
}

// "e,numero,fecha,mensaje": the message runs to the end of the line.
outbox::RegistroPendiente decodificar(const outbox::IndicePendientes::Fila &f, const char *linea, int largo)
{
    outbox::RegistroPendiente r;
    const char *fin = linea + largo;
    const char *coma1 = linea + 1;
    const auto coma = [fin](const char *desde) {
        return static_cast<const char *>(std::memchr(desde, ',', size_t(fin - desde)));
    };
    const char *coma2 = coma(coma1 + 1);
    const char *coma3 = coma2 ? coma(coma2 + 1) : nullptr;
    if (!coma3)
        return r;
    r.posicion = f.posicion;
    r.numeroLinea = f.numeroLinea;
    r.linea = QByteArray(linea, largo);
    r.numero = QString::fromUtf8(coma1 + 1, int(coma2 - coma1 - 1));
    r.fecha = QString::fromUtf8(coma2 + 1, int(coma3 - coma2 - 1));
    r.mensaje = QString::fromUtf8(coma3 + 1, int(fin - coma3 - 1));
    return r;
}

} // namespace

ModeloBandeja::ModeloBandeja(QObject *padre) : QAbstractTableModel(padre) {}

void ModeloBandeja::actualizar(const QString &rutaSalidas, const QVector<retencion::Entrada> &retenidos,
                               unsigned version)
{
    beginResetModel();
    const outbox::IndicePendientes::Cambios cambios = m_indice.actualizar(rutaSalidas);
    m_leidos.clear();
    const bool otraRetencion = !m_conRetencion || version != m_version;
    if (cambios.hubo() || otraRetencion) {
        m_retenidos = retenidos;
        m_version = version;
        m_conRetencion = true;
        m_retencion = m_indice.retenidas(m_retenidos);
        m_enDuda =
            int(std::count_if(m_retencion.cbegin(), m_retencion.cend(), [this](const QPair<int, int> &p) {
                return m_retenidos.at(p.second).estado != retencion::Estado::EnVuelo;
            }));
    }
    if (cambios.todo || (m_soloEnDuda && (cambios.hubo() || otraRetencion))) {
        aplicarFiltro();
    } else if (!m_todas) {
        // The rows that left, and the rows after them one place up for each.
        int quitadasAntes = 0;
        int escrita = 0;
        for (const int v : qAsConst(m_visibles)) {
            while (quitadasAntes < cambios.quitadas.size() && cambios.quitadas.at(quitadasAntes) < v)
                ++quitadasAntes;
            if (quitadasAntes < cambios.quitadas.size() && cambios.quitadas.at(quitadasAntes) == v)
                continue;
            m_visibles[escrita++] = v - quitadasAntes;
        }
        m_visibles.resize(escrita);
        QVector<int> nuevas;
        for (int f = total() - cambios.nuevas; f < total(); ++f)
            nuevas.append(f);
        m_indice.leer(nuevas, [this](int f, const char *linea, int largo) {
            if (coincide(decodificar(m_indice.fila(f), linea, largo)))
                m_visibles.append(f);
        });
    }
    endResetModel();
}

void ModeloBandeja::filtrar(const QString &texto, bool soloEnDuda)
{
    const QString filtro = texto.trimmed();
    if (filtro == m_filtro && soloEnDuda == m_soloEnDuda)
        return;
    beginResetModel();
    m_filtro = filtro;
    m_soloEnDuda = soloEnDuda;
    aplicarFiltro();
    endResetModel();
}

bool ModeloBandeja::coincide(const outbox::RegistroPendiente &r) const
{
    return r.posicion >= 0 && (m_filtro.isEmpty() || r.numero.contains(m_filtro, Qt::CaseInsensitive) ||
                               r.mensaje.contains(m_filtro, Qt::CaseInsensitive));
}

void ModeloBandeja::aplicarFiltro()
{
    m_visibles.clear();
    m_todas = m_filtro.isEmpty() && !m_soloEnDuda;
    if (m_todas)
        return;
    const auto siCoincide = [this](int f, const char *linea, int largo) {
        if (coincide(decodificar(m_indice.fila(f), linea, largo)))
            m_visibles.append(f);
    };
    if (!m_soloEnDuda) {
        m_indice.leerTodas(siCoincide);
        return;
    }
    QVector<int> enDuda;
    for (const QPair<int, int> &p : qAsConst(m_retencion)) {
        if (m_retenidos.at(p.second).estado != retencion::Estado::EnVuelo)
            enDuda.append(p.first);
    }
    if (m_filtro.isEmpty())
        m_visibles = enDuda;
    else
        m_indice.leer(enDuda, siCoincide);
}

int ModeloBandeja::filaIndice(int fila) const
{
    if (fila < 0)
        return -1;
    if (m_todas)
        return fila < total() ? fila : -1;
    return m_visibles.value(fila, -1);
}

const retencion::Entrada *ModeloBandeja::retencionDe(int f) const
{
    const auto it = std::lower_bound(m_retencion.cbegin(), m_retencion.cend(), f,
                                     [](const QPair<int, int> &p, int fila) { return p.first < fila; });
    return it != m_retencion.cend() && it->first == f ? &m_retenidos.at(it->second) : nullptr;
}

void ModeloBandeja::leerPagina(int fila) const
{
    if (m_leidos.size() > kLeidosMaximo)
        m_leidos.clear();
    const int desde = fila - fila % kPagina;
    QVector<int> filas;
    for (int v = desde; v < qMin(desde + kPagina, rowCount()); ++v) {
        const int f = filaIndice(v);
        if (!m_leidos.contains(f))
            filas.append(f);
    }
    m_indice.leer(filas, [this](int f, const char *linea, int largo) {
        m_leidos.insert(f, decodificar(m_indice.fila(f), linea, largo));
    });
    // A record no longer as indexed shows nothing until the next actualizar().
    for (const int f : qAsConst(filas)) {
        if (!m_leidos.contains(f))
            m_leidos.insert(f, outbox::RegistroPendiente());
    }
}

outbox::RegistroPendiente ModeloBandeja::registro(int fila) const
{
    const int f = filaIndice(fila);
    if (f < 0)
        return outbox::RegistroPendiente();
    if (!m_leidos.contains(f))
        leerPagina(fila);
    return m_leidos.value(f);
}

bool ModeloBandeja::enDuda(int fila) const
{
    const retencion::Entrada *e = retencionDe(filaIndice(fila));
    return e && e->estado != retencion::Estado::EnVuelo;
}

int ModeloBandeja::filaDe(qint64 posicion, const QByteArray &linea) const
{
    const int f = m_indice.filaEn(posicion);
    if (f < 0)
        return -1;
    int fila = f;
    if (!m_todas) {
        const auto it = std::lower_bound(m_visibles.cbegin(), m_visibles.cend(), f);
        if (it == m_visibles.cend() || *it != f)
            return -1;
        fila = int(it - m_visibles.cbegin());
    }
    return registro(fila).linea == linea ? fila : -1;
}

int ModeloBandeja::rowCount(const QModelIndex &padre) const
{
    if (padre.isValid())
        return 0;
    return m_todas ? total() : m_visibles.size();
}

int ModeloBandeja::columnCount(const QModelIndex &padre) const
{
    return padre.isValid() ? 0 : kColumnas;
}

QVariant ModeloBandeja::data(const QModelIndex &indice, int rol) const
{
    if (!indice.isValid() || indice.row() >= rowCount() || (rol != Qt::DisplayRole && rol != Qt::ToolTipRole))
        return QVariant();
    if (indice.column() == kColumnas - 1) {
        const retencion::Entrada *retenido = retencionDe(filaIndice(indice.row()));
        if (!retenido)
            return QVariant();
        if (rol == Qt::ToolTipRole && !retenido->motivo.isEmpty())
            return tr("%1 (%2): %3")
                .arg(textoRetencion(retenido->estado, retenido->gateway), retenido->desde, retenido->motivo);
        return textoRetencion(retenido->estado, retenido->gateway);
    }
    const outbox::RegistroPendiente r = registro(indice.row());
    if (r.posicion < 0)
        return QVariant();
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
    if (rol != Qt::DisplayRole || orientacion != Qt::Horizontal || seccion < 0 || seccion >= kColumnas)
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    return QCoreApplication::translate("historial", kTitulos[seccion]);
}

} // namespace historial
