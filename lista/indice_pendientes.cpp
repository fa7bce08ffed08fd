#include "lista/indice_pendientes.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>

namespace outbox {

namespace {

constexpr uint kSemillaSuma = 0x42414E44u;
// A row this far after the line being read is reached by a seek rather than by reading on.
constexpr qint64 kSaltoMaximo = 1 << 20;

uint sumaDe(const char *linea, int largo)
{
    return largo > 1 ? qHashBits(linea + 1, size_t(largo - 1), kSemillaSuma) : 0;
}

// "e," and two more commas: the lines leerPendientes gives.
bool esRegistroPendiente(const char *inicio, int largo)
{
    if (largo < 2 || inicio[0] != 'e' || inicio[1] != ',')
        return false;
    const char *fin = inicio + largo;
    const void *coma2 = std::memchr(inicio + 2, ',', size_t(fin - inicio - 2));
    if (!coma2)
        return false;
    const char *tras = static_cast<const char *>(coma2) + 1;
    return std::memchr(tras, ',', size_t(fin - tras)) != nullptr;
}

} // namespace

void IndicePendientes::vaciar()
{
    m_valido = false;
    m_sello = archivos_datos::Sello();
    m_fin = 0;
    m_lineas = 0;
    m_filas.clear();
}

IndicePendientes::Cambios IndicePendientes::actualizar(const QString &ruta)
{
    Cambios c;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        c.todo = m_valido || !m_filas.isEmpty();
        vaciar();
        m_ruta = ruta;
        return c;
    }
    const archivos_datos::Sello sello = archivos_datos::selloDe(archivo);
    const archivos_datos::CambiosPropios propios = archivos_datos::cambiosPropios(ruta);
    if (m_valido && ruta == m_ruta && sello == m_sello)
        return c;
    // Only the program's appends and marks since the last look: the rows indexed stay where they
    // are, but for the records marked sent.
    bool extender = m_valido && ruta == m_ruta && sello.dispositivo == m_sello.dispositivo &&
                    sello.numero == m_sello.numero && sello.tamano >= m_sello.tamano &&
                    propios.cortes == m_cortes && propios.ultimo == sello;
    QVector<qint64> marcas;
    extender = extender && archivos_datos::marcasDesde(ruta, m_marcas, marcas);
    if (extender) {
        for (const qint64 posicion : qAsConst(marcas)) {
            const int f = filaEn(posicion);
            if (f >= 0)
                c.quitadas.append(f);
        }
        std::sort(c.quitadas.begin(), c.quitadas.end());
        c.quitadas.erase(std::unique(c.quitadas.begin(), c.quitadas.end()), c.quitadas.end());
        int escrita = 0;
        int siguienteQuitada = 0;
        for (int f = 0; f < m_filas.size(); ++f) {
            if (siguienteQuitada < c.quitadas.size() && c.quitadas.at(siguienteQuitada) == f) {
                ++siguienteQuitada;
                continue;
            }
            m_filas[escrita++] = m_filas.at(f);
        }
        m_filas.resize(escrita);
    } else {
        vaciar();
        c.todo = true;
    }
    const int antes = m_filas.size();
    m_ruta = ruta;
    m_sello = sello;
    m_cortes = propios.cortes;
    m_marcas = propios.marcas;
    if (!archivo.seek(m_fin)) {
        vaciar();
        c.todo = true;
        return c;
    }
    LectorLineas lector(archivo);
    while (lector.siguiente()) {
        ++m_lineas;
        if (esRegistroPendiente(lector.datos(), lector.largo()))
            m_filas.append(
                {lector.posicion(), lector.largo(), m_lineas, sumaDe(lector.datos(), lector.largo())});
    }
    c.nuevas = m_filas.size() - antes;
    // A last line without its line end may still grow: then everything is read again next time.
    char ultimo = '\n';
    m_valido = !lector.fallo() &&
               (sello.tamano == 0 || (archivo.seek(sello.tamano - 1) && archivo.read(&ultimo, 1) == 1)) &&
               ultimo == '\n';
    m_fin = sello.tamano;
    return c;
}

int IndicePendientes::filaEn(qint64 posicion) const
{
    const auto it = std::lower_bound(m_filas.cbegin(), m_filas.cend(), posicion,
                                     [](const Fila &f, qint64 p) { return f.posicion < p; });
    return it != m_filas.cend() && it->posicion == posicion ? int(it - m_filas.cbegin()) : -1;
}

bool IndicePendientes::leer(const QVector<int> &filas, const Entrega &entrega) const
{
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, m_ruta, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    std::unique_ptr<LectorLineas> lector;
    bool hayLinea = false;
    for (const int f : filas) {
        if (f < 0 || f >= m_filas.size())
            continue;
        const Fila &x = m_filas.at(f);
        if (!lector || !hayLinea || lector->posicion() > x.posicion ||
            x.posicion - lector->posicion() > kSaltoMaximo) {
            if (!archivo.seek(x.posicion))
                continue;
            lector.reset(new LectorLineas(archivo));
            hayLinea = lector->siguiente();
        }
        while (hayLinea && lector->posicion() < x.posicion)
            hayLinea = lector->siguiente();
        if (!hayLinea || lector->posicion() != x.posicion || lector->largo() != x.largo ||
            sumaDe(lector->datos(), lector->largo()) != x.suma)
            continue;
        entrega(f, lector->datos(), lector->largo());
    }
    return true;
}

bool IndicePendientes::leerTodas(const Entrega &entrega) const
{
    QVector<int> todas(m_filas.size());
    std::iota(todas.begin(), todas.end(), 0);
    return leer(todas, entrega);
}

QVector<QPair<int, int>> IndicePendientes::retenidas(const QVector<retencion::Entrada> &entradas) const
{
    // Each distinct line held, with its entries in order.
    QVector<QPair<QByteArray, QVector<int>>> grupos;
    for (int i = 0; i < entradas.size(); ++i) {
        auto g = std::find_if(grupos.begin(), grupos.end(),
                              [&](const auto &x) { return x.first == entradas.at(i).linea; });
        if (g == grupos.end()) {
            grupos.append(qMakePair(entradas.at(i).linea, QVector<int>()));
            g = grupos.end() - 1;
        }
        g->second.append(i);
    }
    QVector<QPair<int, int>> resultado;
    for (const auto &g : qAsConst(grupos)) {
        const QByteArray &linea = g.first;
        const uint suma = sumaDe(linea.constData(), linea.size());
        QVector<int> candidatas;
        for (int f = 0; f < m_filas.size(); ++f) {
            if (m_filas.at(f).largo == linea.size() && m_filas.at(f).suma == suma)
                candidatas.append(f);
        }
        int usadas = 0;
        leer(candidatas, [&](int f, const char *leida, int largo) {
            if (usadas < g.second.size() && largo == linea.size() &&
                std::memcmp(leida, linea.constData(), size_t(largo)) == 0)
                resultado.append(qMakePair(f, g.second.at(usadas++)));
        });
    }
    std::sort(resultado.begin(), resultado.end());
    return resultado;
}

} // namespace outbox
