#include "historial/consultas.h"

#include <QSqlError>
#include <QSqlQuery>

namespace historial {

namespace {

// LIKE with "\" as its escape: the operator's "%" and "_" are plain characters.
QString patronContiene(const QString &texto)
{
    QString t = texto;
    t.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    t.replace(QLatin1Char('%'), QLatin1String("\\%"));
    t.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + t + QLatin1Char('%');
}

// A range on the text, so that the index on the column serves the search: every text that
// begins with `prefijo` lies in [prefijo, prefijo + U+FFFF).
void agregarPrefijo(QStringList &partes, QVariantList &valores, const QString &columna,
                    const QString &prefijo)
{
    partes << columna + QStringLiteral(" >= ? AND ") + columna + QStringLiteral(" < ?");
    valores << prefijo << QString(prefijo + QChar(0xFFFF));
}

bool ejecutar(QSqlQuery &q, const QString &sql, const QVariantList &valores)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    for (int i = 0; i < valores.size(); ++i)
        q.bindValue(i, valores.at(i));
    return q.exec();
}

qint64 unNumero(const QSqlDatabase &db, const QString &sql, const QVariantList &valores)
{
    QSqlQuery q(db);
    if (!ejecutar(q, sql, valores) || !q.next())
        return -1;
    return q.value(0).toLongLong();
}

} // namespace

const Tabla &tablaEnviados()
{
    static const Tabla t{QStringLiteral("enviados"),
                         {QStringLiteral("fecha_hora"), QStringLiteral("numero"), QStringLiteral("mensaje"),
                          QStringLiteral("resultado")},
                         {QStringLiteral("Fecha y hora"), QStringLiteral("Número"), QStringLiteral("Mensaje"),
                          QStringLiteral("Resultado")}};
    return t;
}

const Tabla &tablaRecibidos()
{
    static const Tabla t{
        QStringLiteral("recibidos"),
        {QStringLiteral("fecha_hora"), QStringLiteral("numero"), QStringLiteral("mensaje")},
        {QStringLiteral("Fecha y hora"), QStringLiteral("Número"), QStringLiteral("Mensaje")}};
    return t;
}

Condicion condicion(const Filtro &filtro)
{
    QStringList partes;
    Condicion c;
    const QString numero = filtro.numero.trimmed();
    if (!numero.isEmpty()) {
        agregarPrefijo(partes, c.valores, QStringLiteral("numero"), numero);
        c.columnaIndice = QStringLiteral("numero");
    }
    if (!filtro.texto.isEmpty()) {
        partes << QStringLiteral("mensaje LIKE ? ESCAPE '\\'");
        c.valores << patronContiene(filtro.texto);
    }
    const QString cualquiera = filtro.numeroOTexto.trimmed();
    if (!cualquiera.isEmpty()) {
        partes << QStringLiteral("((numero >= ? AND numero < ?) OR mensaje LIKE ? ESCAPE '\\')");
        c.valores << cualquiera << QString(cualquiera + QChar(0xFFFF)) << patronContiene(cualquiera);
    }
    // fecha_hora is "yyyy-MM-dd HH:mm:ss": days compare as text.
    if (filtro.desde.isValid()) {
        partes << QStringLiteral("fecha_hora >= ?");
        c.valores << filtro.desde.toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (filtro.hasta.isValid()) {
        partes << QStringLiteral("fecha_hora < ?");
        c.valores << filtro.hasta.addDays(1).toString(QStringLiteral("yyyy-MM-dd"));
    }
    if (c.columnaIndice.isEmpty() && (filtro.desde.isValid() || filtro.hasta.isValid()))
        c.columnaIndice = QStringLiteral("fecha");
    if (!partes.isEmpty())
        c.sql = QStringLiteral("WHERE ") + partes.join(QStringLiteral(" AND "));
    return c;
}

void elegirPlan(Condicion &c, qint64 coincidencias)
{
    c.porIndice = !c.columnaIndice.isEmpty() && coincidencias >= 0 && coincidencias <= kMaxPorIndice;
}

qint64 contar(const QSqlDatabase &db, const QString &tabla, const Condicion &c)
{
    return unNumero(db, QStringLiteral("SELECT count(*) FROM %1 %2").arg(tabla, c.sql), c.valores);
}

bool contarEnviados(const QSqlDatabase &db, const Condicion &c, qint64 &total, qint64 &errores)
{
    total = errores = 0;
    const QString esError = QStringLiteral("resultado >= 'error:' AND resultado < 'error;'");
    if (c.sql.isEmpty()) {
        // Everything: the errors are a range of the result's index, no need to pass over all.
        const qint64 todos = unNumero(db, QStringLiteral("SELECT count(*) FROM enviados"), {});
        const qint64 conError =
            unNumero(db, QStringLiteral("SELECT count(*) FROM enviados WHERE ") + esError, {});
        // A count that failed (a damaged file) shows as none, never as -1.
        total = qMax<qint64>(0, todos);
        errores = qMax<qint64>(0, conError);
        return todos >= 0 && conError >= 0;
    }
    const QString indice =
        c.columnaIndice.isEmpty() ? QString() : QStringLiteral("INDEXED BY enviados_") + c.columnaIndice;
    QSqlQuery q(db);
    const QString sql = QStringLiteral("SELECT count(*), coalesce(sum(%1), 0) FROM enviados %2 %3")
                            .arg(esError, indice, c.sql);
    if (!ejecutar(q, sql, c.valores) || !q.next())
        return false;
    total = q.value(0).toLongLong();
    errores = q.value(1).toLongLong();
    return true;
}

qint64 ultimoId(const QSqlDatabase &db, const QString &tabla)
{
    return qMax<qint64>(0,
                        unNumero(db, QStringLiteral("SELECT coalesce(max(id), 0) FROM %1").arg(tabla), {}));
}

qint64 contarDesde(const QSqlDatabase &db, const QString &tabla, qint64 desde)
{
    return unNumero(db, QStringLiteral("SELECT count(*) FROM %1 WHERE id > ?").arg(tabla), {desde});
}

bool pagina(const QSqlDatabase &db, const Tabla &tabla, const Condicion &c, qint64 antesDe, int cantidad,
            QVector<Fila> &filas)
{
    filas.clear();
    QString donde = c.sql;
    QVariantList valores = c.valores;
    if (antesDe > 0) {
        donde +=
            (donde.isEmpty() ? QStringLiteral("WHERE ") : QStringLiteral(" AND ")) + QStringLiteral("id < ?");
        valores << antesDe;
    }
    QSqlQuery q(db);
    QString plan;
    if (c.porIndice)
        plan = QStringLiteral("INDEXED BY ") + tabla.nombre + QLatin1Char('_') + c.columnaIndice;
    else if (!c.columnaIndice.isEmpty())
        plan = QStringLiteral("NOT INDEXED");
    const QString sql = QStringLiteral("SELECT id, %1 FROM %2 %3 %4 ORDER BY id DESC LIMIT %5")
                            .arg(tabla.columnas.join(QStringLiteral(", ")), tabla.nombre, plan, donde)
                            .arg(cantidad);
    if (!ejecutar(q, sql, valores))
        return false;
    const int columnas = tabla.columnas.size();
    while (q.next()) {
        Fila f;
        f.id = q.value(0).toLongLong();
        f.valores.reserve(columnas);
        for (int i = 0; i < columnas; ++i)
            f.valores.append(q.value(i + 1).toString());
        filas.append(std::move(f));
    }
    return !q.lastError().isValid();
}

} // namespace historial
