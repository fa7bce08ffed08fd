#include "lista/largos_lista.h"

#include "lista/lista_en_disco.h"

#include <QDateTime>
#include <QFileInfo>

namespace lista {

bool LargosLista::actualizar(const QString &ruta, const FormatoLista &formato)
{
    const QFileInfo info(ruta);
    const qint64 tamanoAhora = info.exists() ? info.size() : -1;
    const qint64 modificadaAhora = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
    const QChar separadorAhora = separadorDe(formato);
    if (ruta == m_ruta && tamanoAhora == m_tamano && modificadaAhora == m_modificada &&
        separadorAhora == m_separador && formato.tieneHeader == m_tieneHeader)
        return m_leida;
    m_ruta = ruta;
    m_tamano = tamanoAhora;
    m_modificada = modificadaAhora;
    m_separador = separadorAhora;
    m_tieneHeader = formato.tieneHeader;
    m_largos.clear();
    m_inicios.clear();
    ListaEnDisco lista;
    m_leida = tamanoAhora >= 0 && tamanoAhora <= kTamanoMaximoContador && lista.abrir(ruta) == Lectura::Bien;
    if (m_leida) {
        QVector<QStringView> campos;
        ListaEnDisco::Recorrido r = lista.recorrer(formato.tieneHeader ? 1 : 0);
        while (r.siguiente())
            agregarFila(r.linea(), separadorAhora, campos);
        m_leida = !r.cambio();
    }
    if (!m_leida) {
        m_largos.clear();
        m_inicios.clear();
    }
    m_inicios.append(m_largos.size());
    return m_leida;
}

void LargosLista::cargar(const QStringList &lineas, int primeraDeDatos, QChar separadorLista)
{
    m_largos.clear();
    m_inicios.clear();
    QVector<QStringView> campos;
    for (int i = qMax(primeraDeDatos, 0); i < lineas.size(); ++i)
        agregarFila(lineas.at(i), separadorLista, campos);
    m_inicios.append(m_largos.size());
}

void LargosLista::agregarFila(QStringView linea, QChar separadorLista, QVector<QStringView> &campos)
{
    m_inicios.append(m_largos.size());
    separarLineaEnVistas(linea, separadorLista, campos);
    for (const QStringView &c : campos)
        m_largos.append(int(c.size()));
}

int LargosLista::masLargo(const PlantillaCompilada &plantilla) const
{
    int mayor = -1;
    for (int fila = 0; fila + 1 < m_inicios.size(); ++fila) {
        const int inicio = m_inicios.at(fila);
        mayor = qMax(
            mayor, plantilla.largoSinCortar(m_largos.constData() + inicio, m_inicios.at(fila + 1) - inicio));
    }
    return mayor;
}

} // namespace lista
