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
    if (ruta == this->ruta && tamanoAhora == tamano && modificadaAhora == modificada &&
        separadorAhora == separador && formato.tieneHeader == tieneHeader)
        return leida;
    this->ruta = ruta;
    tamano = tamanoAhora;
    modificada = modificadaAhora;
    separador = separadorAhora;
    tieneHeader = formato.tieneHeader;
    largos.clear();
    inicios.clear();
    ListaEnDisco lista;
    leida = tamanoAhora >= 0 && tamanoAhora <= kTamanoMaximoContador && lista.abrir(ruta) == Lectura::Bien;
    if (leida) {
        QVector<QStringView> campos;
        ListaEnDisco::Recorrido r = lista.recorrer(formato.tieneHeader ? 1 : 0);
        while (r.siguiente())
            agregarFila(r.linea(), separadorAhora, campos);
        leida = !r.cambio();
    }
    if (!leida) {
        largos.clear();
        inicios.clear();
    }
    inicios.append(largos.size());
    return leida;
}

void LargosLista::cargar(const QStringList &lineas, int primeraDeDatos, QChar separadorLista)
{
    largos.clear();
    inicios.clear();
    QVector<QStringView> campos;
    for (int i = qMax(primeraDeDatos, 0); i < lineas.size(); ++i)
        agregarFila(lineas.at(i), separadorLista, campos);
    inicios.append(largos.size());
}

void LargosLista::agregarFila(QStringView linea, QChar separadorLista, QVector<QStringView> &campos)
{
    inicios.append(largos.size());
    separarLineaEnVistas(linea, separadorLista, campos);
    for (const QStringView &c : campos)
        largos.append(int(c.size()));
}

int LargosLista::masLargo(const PlantillaCompilada &plantilla) const
{
    int mayor = -1;
    for (int fila = 0; fila + 1 < inicios.size(); ++fila) {
        const int inicio = inicios.at(fila);
        mayor =
            qMax(mayor, plantilla.largoSinCortar(largos.constData() + inicio, inicios.at(fila + 1) - inicio));
    }
    return mayor;
}

} // namespace lista
