#include "historial/consultas.h"

#include "lista/bajas.h"

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

// The numbers whose reversed digits begin with `inicio` (whose digits end with it reversed): the
// digits are ASCII, and ":" comes right after "9".
QString numerosQueTerminan(QVariantList &valores, const QString &inicio)
{
    valores << inicio << QString(inicio + QLatin1Char(':'));
    return QStringLiteral("numero IN (SELECT numero FROM numeros WHERE invertido >= ? AND invertido < ?)");
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

QStringList resultadosEnviado()
{
    return {QStringLiteral("enviado"), QStringLiteral("marcado como enviado por el operador")};
}

Tabla tablaRecibidosConContexto(int digitos)
{
    const int n = qBound(bajas::kDigitosMinimo, digitos, bajas::kDigitosMaximo);
    // The numbers of the same person as the reply's: a number's reversed digits begin with the
    // other's last n reversed, or are the same when it has fewer than n; a number without digits
    // is nobody's.
    const QString mismos =
        QStringLiteral("SELECT n2.numero FROM numeros n1, numeros n2 WHERE n1.numero = recibidos.numero AND "
                       "length(n1.invertido) > 0 AND n2.invertido >= substr(n1.invertido, 1, %1) AND "
                       "n2.invertido < substr(n1.invertido, 1, %1) || ':' AND (length(n1.invertido) >= %1 OR "
                       "n2.invertido = n1.invertido)")
            .arg(n);
    const QString ultimo =
        QStringLiteral("(SELECT e.%1 FROM enviados e WHERE e.numero IN (%2) AND e.resultado IN ('%3') AND "
                       "e.fecha_hora <= recibidos.fecha_hora ORDER BY e.fecha_hora DESC, e.id DESC LIMIT 1)");
    const QString enviado = resultadosEnviado().join(QStringLiteral("', '"));
    Tabla t = tablaRecibidos();
    t.columnas << ultimo.arg(QStringLiteral("fecha_hora"), mismos, enviado)
               << ultimo.arg(QStringLiteral("mensaje"), mismos, enviado);
    t.titulos << QStringLiteral("Último enviado") << QStringLiteral("Texto enviado");
    return t;
}

const Tabla &tablaBajas()
{
    static const Tabla t{QStringLiteral("bajas"),
                         {QStringLiteral("fecha_hora"), QStringLiteral("numero"), QStringLiteral("origen"),
                          QStringLiteral("texto")},
                         {QStringLiteral("Fecha y hora"), QStringLiteral("Número"), QStringLiteral("Origen"),
                          QStringLiteral("Texto")}};
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
        const QString ultimos = bajas::digitosBuscados(numero, filtro.digitos);
        if (ultimos.isEmpty())
            agregarPrefijo(partes, c.valores, QStringLiteral("numero"), numero);
        else
            partes << numerosQueTerminan(c.valores, bajas::invertido(ultimos));
        c.columnaIndice = QStringLiteral("numero");
    }
    if (!filtro.texto.isEmpty()) {
        partes << QStringLiteral("mensaje LIKE ? ESCAPE '\\'");
        c.valores << patronContiene(filtro.texto);
    }
    const QString cualquiera = filtro.numeroOTexto.trimmed();
    if (!cualquiera.isEmpty()) {
        const QString ultimos = bajas::digitosBuscados(cualquiera, filtro.digitos);
        if (ultimos.isEmpty()) {
            partes << QStringLiteral("((numero >= ? AND numero < ?) OR mensaje LIKE ? ESCAPE '\\')");
            c.valores << cualquiera << QString(cualquiera + QChar(0xFFFF));
        } else {
            partes << QStringLiteral("(") + numerosQueTerminan(c.valores, bajas::invertido(ultimos)) +
                          QStringLiteral(" OR mensaje LIKE ? ESCAPE '\\')");
        }
        c.valores << patronContiene(cualquiera);
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

Condicion condicionBajas(const QString &filtro, int digitos)
{
    Condicion c;
    c.sql = QStringLiteral("WHERE quitada IS NULL");
    const QString texto = filtro.trimmed();
    if (texto.isEmpty())
        return c;
    const QString ultimos = bajas::digitosBuscados(texto, digitos);
    if (ultimos.isEmpty()) {
        c.sql += QStringLiteral(" AND (numero LIKE ? ESCAPE '\\' OR texto LIKE ? ESCAPE '\\')");
        c.valores << patronContiene(texto) << patronContiene(texto);
    } else {
        c.sql += QStringLiteral(" AND digitos LIKE ?");
        c.valores << QString(QLatin1Char('%') + ultimos);
    }
    return c;
}

Condicion condicionMismoNumero(const QString &numero, int digitos)
{
    Condicion c;
    c.columnaIndice = QStringLiteral("numero");
    const QString d = bajas::digitos(numero);
    const int n = qBound(bajas::kDigitosMinimo, digitos, bajas::kDigitosMaximo);
    if (d.isEmpty()) {
        c.sql = QStringLiteral("WHERE numero = ?");
        c.valores << numero;
    } else if (d.size() >= n) {
        c.sql = QStringLiteral("WHERE ") + numerosQueTerminan(c.valores, bajas::invertido(d.right(n)));
    } else {
        c.sql = QStringLiteral("WHERE numero IN (SELECT numero FROM numeros WHERE invertido = ?)");
        c.valores << bajas::invertido(d);
    }
    return c;
}

bool conversacion(const QSqlDatabase &db, const QString &numero, int digitos,
                  QVector<MensajeConversacion> &mensajes)
{
    mensajes.clear();
    const Condicion c = condicionMismoNumero(numero, digitos);
    QSqlQuery q(db);
    const QString sql =
        QStringLiteral("SELECT fecha_hora, 0, numero, mensaje, resultado, id FROM enviados %1 "
                       "UNION ALL SELECT fecha_hora, 1, numero, mensaje, '', id FROM recibidos "
                       "%1 ORDER BY 1, 6")
            .arg(c.sql);
    if (!ejecutar(q, sql, c.valores + c.valores))
        return false;
    while (q.next())
        mensajes.append({q.value(0).toString(), q.value(1).toInt() != 0, q.value(2).toString(),
                         q.value(3).toString(), q.value(4).toString()});
    return !q.lastError().isValid();
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

qint64 contarSalidosDesde(const QSqlDatabase &db, const QString &desde, int gateway)
{
    // Along the index on (fecha_hora, resultado), which holds both columns.
    const QString sql = QStringLiteral("SELECT count(*) FROM enviados WHERE fecha_hora >= ? AND (resultado = "
                                       "'enviado' OR resultado LIKE 'en duda:%')");
    if (gateway <= 0)
        return unNumero(db, sql, {desde});
    return unNumero(db, sql + QStringLiteral(" AND gateway = ?"), {desde, gateway});
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

bool gatewaysPorNumero(const QSqlDatabase &db, QVector<QPair<QString, int>> &pares)
{
    pares.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString enviado = resultadosEnviado().join(QStringLiteral("', '"));
    if (!q.exec(QStringLiteral("SELECT numero, gateway FROM enviados WHERE resultado IN ('%1') ORDER BY id")
                    .arg(enviado)))
        return false;
    while (q.next())
        pares.append({q.value(0).toString(), q.value(1).toInt()});
    return !q.lastError().isValid();
}

} // namespace historial
