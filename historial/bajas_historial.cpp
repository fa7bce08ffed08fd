#include "ajustes/registro.h"
#include "historial/base_historial.h"

#include "lista/bajas.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

// The opt-out list of the history: in memory from the first read of the file on, written as the
// other rows are, and carried whole into a new file started after damage.

namespace historial {

void Historial::agregarBajas(const QVector<Baja> &nuevas)
{
    if (nuevas.isEmpty())
        return;
    m_bajas += nuevas;
    m_espera.reserve(m_espera.size() + nuevas.size());
    for (const Baja &b : nuevas)
        m_espera.append({Tipo::Baja, b.fechaHora, b.numero, b.texto, b.origen, b.digitos, 0});
    if (m_disponible && m_motivo.isEmpty())
        escribirEspera();
    recortarEspera();
}

int Historial::quitarBajas(const QString &clave, int digitos, const QString &fechaHora)
{
    if (clave.isEmpty())
        return 0;
    const int antes = m_bajas.size();
    m_bajas.erase(
        std::remove_if(m_bajas.begin(), m_bajas.end(),
                       [&](const Baja &b) { return bajas::claveNumero(b.digitos, digitos) == clave; }),
        m_bajas.end());
    const int quitadas = antes - m_bajas.size();
    if (quitadas > 0)
        encolar({Tipo::Quitada, fechaHora, QString(), QString(), QString(), clave, digitos});
    return quitadas;
}

void Historial::alConectar(QSqlDatabase &db)
{
    completarNumeros(db);
    if (m_nuevoTrasDano) {
        m_nuevoTrasDano = false;
        trasladarBajas();
    } else if (!m_bajasLeidas) {
        leerBajas(db);
    }
}

void Historial::leerBajas(QSqlDatabase &db)
{
    QVector<Baja> lista;
    // Unreadable rows are damage that the check after opening finds: the list is then taken from
    // the file set aside.
    if (!leerBajasDe(db, lista))
        return;
    aplicarEspera(lista);
    m_bajas = std::move(lista);
    m_bajasLeidas = true;
    emit bajasCambiadas();
}

// A new file after damage: the list goes into it whole, before any other waiting row.
void Historial::trasladarBajas()
{
    QVector<Baja> lista;
    if (m_bajasLeidas) {
        lista = m_bajas;
    } else {
        const QString nombre = m_nombre + QStringLiteral("-apartado");
        bool leida = false;
        {
            QSqlDatabase vieja = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
            vieja.setDatabaseName(m_apartado);
            vieja.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
            leida = vieja.open() && leerBajasDe(vieja, lista);
        }
        QSqlDatabase::removeDatabase(nombre);
        if (!leida) {
            lista.clear();
            m_avisos << tr("No se pudo leer la lista de bajas del historial dañado %1: revise la pestaña "
                           "Bajas e importe la lista otra vez si la exportó.")
                            .arg(m_apartado);
        }
        qCWarning(catApp).noquote() << "historial:" << lista.size() << "baja(s) leidas de" << m_apartado;
        aplicarEspera(lista);
    }
    QVector<Fila> filas;
    filas.reserve(lista.size() + m_espera.size());
    for (const Baja &b : qAsConst(lista))
        filas.append({Tipo::Baja, b.fechaHora, b.numero, b.texto, b.origen, b.digitos, 0});
    const int trasladadas = filas.size();
    int quitadasCargadas = 0;
    for (int i = 0; i < m_espera.size(); ++i) {
        const Fila &f = m_espera.at(i);
        if (f.tipo == Tipo::Baja || f.tipo == Tipo::Quitada) {
            if (i < m_cargadas)
                ++quitadasCargadas;
            continue;
        }
        filas.append(f);
    }
    // The side file's rows are all in the list now: it goes once they are written.
    if (m_cargadas > 0)
        m_cargadas = trasladadas + m_cargadas - quitadasCargadas;
    m_espera.swap(filas);
    m_bajas = std::move(lista);
    m_bajasLeidas = true;
    emit bajasCambiadas();
}

// The opt-out rows still waiting, applied in their order to a list read from a file.
void Historial::aplicarEspera(QVector<Baja> &lista) const
{
    for (const Fila &f : m_espera) {
        if (f.tipo == Tipo::Baja) {
            lista.append({f.numero, f.digitos, f.fechaHora, f.resultado, f.mensaje});
        } else if (f.tipo == Tipo::Quitada) {
            lista.erase(std::remove_if(lista.begin(), lista.end(),
                                       [&f](const Baja &b) {
                                           return bajas::claveNumero(b.digitos, f.cifras) == f.digitos;
                                       }),
                        lista.end());
        }
    }
}

bool Historial::leerBajasDe(QSqlDatabase &db, QVector<Baja> &lista) const
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("SELECT numero, digitos, fecha_hora, origen, texto FROM bajas WHERE quitada IS "
                           "NULL ORDER BY id"))) {
        qCWarning(catApp).noquote() << "historial: no se pudo leer la lista de bajas:"
                                    << q.lastError().text();
        return false;
    }
    while (q.next())
        lista.append({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                      q.value(3).toString(), q.value(4).toString()});
    return !q.lastError().isValid();
}

void Historial::completarNumeros(QSqlDatabase &db)
{
    QStringList nuevos;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT numero FROM numeros WHERE invertido IS NULL")))
            return;
        while (q.next())
            nuevos << q.value(0).toString();
    }
    if (nuevos.isEmpty())
        return;
    const bool lote = nuevos.size() > 1 && db.transaction();
    QSqlQuery u(db);
    bool bien = u.prepare(QStringLiteral("UPDATE numeros SET invertido = ? WHERE numero = ?"));
    for (int i = 0; bien && i < nuevos.size(); ++i) {
        u.bindValue(0, bajas::invertido(bajas::digitos(nuevos.at(i))));
        u.bindValue(1, nuevos.at(i));
        bien = u.exec();
    }
    if (lote && !(bien && db.commit()))
        db.rollback();
    // Missed now, found at the next write: the searches only miss those numbers meanwhile.
    if (!bien)
        qCDebug(catApp).noquote() << "historial: numeros sin completar:" << u.lastError().text();
}

} // namespace historial
