#include "historial/exportar_csv.h"

#include "lista/celda_hoja.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>

namespace historial {

namespace {
constexpr char kBom[] = "\xEF\xBB\xBF";
constexpr int kBloque = 1 << 16;
} // namespace

QByteArray campoCsv(const QString &celda, QChar separador)
{
    const QString campo = lista::celdaParaHoja(celda);
    const bool comillas = campo.contains(separador) || campo.contains(QLatin1Char('"')) ||
                          campo.contains(QLatin1Char('\n')) || campo.contains(QLatin1Char('\r'));
    if (!comillas)
        return campo.toUtf8();
    QString doblado = campo;
    doblado.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return '"' + doblado.toUtf8() + '"';
}

QByteArray lineaCsv(const QStringList &campos, QChar separador)
{
    QByteArray linea;
    for (int i = 0; i < campos.size(); ++i) {
        if (i > 0)
            linea += separador.toLatin1();
        linea += campoCsv(campos.at(i), separador);
    }
    return linea + "\r\n";
}

bool exportar(const QSqlDatabase &db, const Tabla &tabla, const Condicion &c, QChar separador,
              const QString &ruta, QString &error, qint64 *filas)
{
    QSaveFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly)) {
        error = archivo.errorString();
        return false;
    }
    QStringList titulos;
    for (const QString &t : tabla.titulos)
        titulos << QCoreApplication::translate("historial", t.toUtf8().constData());
    QByteArray bloque = QByteArray(kBom) + lineaCsv(titulos, separador);

    QSqlQuery q(db);
    q.setForwardOnly(true);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 %3 ORDER BY id DESC")
                            .arg(tabla.columnas.join(QStringLiteral(", ")), tabla.nombre, c.sql);
    bool bien = q.prepare(sql);
    for (int i = 0; bien && i < c.valores.size(); ++i)
        q.bindValue(i, c.valores.at(i));
    bien = bien && q.exec();
    if (!bien) {
        error = q.lastError().text();
        archivo.cancelWriting();
        return false;
    }
    qint64 cuenta = 0;
    QStringList campos;
    const int columnas = tabla.columnas.size();
    while (q.next()) {
        campos.clear();
        for (int i = 0; i < columnas; ++i)
            campos << q.value(i).toString();
        bloque += lineaCsv(campos, separador);
        ++cuenta;
        if (bloque.size() >= kBloque) {
            if (archivo.write(bloque) != bloque.size())
                break;
            bloque.clear();
        }
    }
    if (q.lastError().isValid()) {
        error = q.lastError().text();
        archivo.cancelWriting();
        return false;
    }
    if (archivo.write(bloque) != bloque.size() || !archivo.commit()) {
        error = archivo.errorString();
        archivo.cancelWriting();
        return false;
    }
    if (filas)
        *filas = cuenta;
    return true;
}

} // namespace historial
