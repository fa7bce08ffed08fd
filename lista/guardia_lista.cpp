#include "lista/guardia_lista.h"

#include <QCoreApplication>

namespace lista {

namespace {

QString tr(const char *texto)
{
    return QCoreApplication::translate("MainWindow", texto);
}

} // namespace

quint64 claveMensaje(const QString &numero, const QString &mensaje)
{
    return quint64(qHash(numero, 0x5BD1E995u)) << 32 | qHash(mensaje, 0x27D4EB2Fu);
}

GuardiaLista::GuardiaLista(const QDate &hoy, QSet<quint64> recientes)
    : m_hoy(hoy), m_recientes(std::move(recientes))
{
}

void GuardiaLista::agregar(const QString &numero, const QString &fecha, const QString &mensaje)
{
    if (m_recientes.contains(claveMensaje(numero, mensaje)))
        ++m_repetidas;
    const QDate dia = QDate::fromString(fecha, QStringLiteral("dd/MM/yyyy"));
    // A date that does not read goes out at once, as the worker sends it.
    if (!dia.isValid() || dia <= m_hoy) {
        ++m_paraHoy;
        if (dia.isValid() && dia < m_hoy)
            ++m_pasadas;
        return;
    }
    ++m_masAdelante;
    if (!m_ultima.isValid() || dia > m_ultima)
        m_ultima = dia;
}

QString textoGuardia(const GuardiaLista &g)
{
    QString texto;
    if (g.repetidas() == 1)
        texto += tr("Atención: 1 fila repite el número y el mensaje de un SMS agregado o enviado en los "
                    "últimos %1 días.\n")
                     .arg(kDiasRecientes);
    else if (g.repetidas() > 1)
        texto += tr("Atención: %1 filas repiten el número y el mensaje de SMS agregados o enviados en los "
                    "últimos %2 días.\n")
                     .arg(g.repetidas())
                     .arg(kDiasRecientes);
    if (g.pasadas() == 1)
        texto += tr("1 fila tiene una fecha ya pasada: se enviará hoy.\n");
    else if (g.pasadas() > 1)
        texto += tr("%1 filas tienen una fecha ya pasada: se enviarán hoy.\n").arg(g.pasadas());
    if (g.masAdelante() > 0 && g.paraHoy() == 0)
        texto += tr("Ningún SMS se enviará hoy: %1 se enviarán más adelante (hasta el %2).\n")
                     .arg(g.masAdelante())
                     .arg(g.ultimaFecha().toString(QStringLiteral("dd/MM/yyyy")));
    else if (g.masAdelante() > 0)
        texto += tr("Hoy se enviarán %1 SMS y %2 más adelante (hasta el %3).\n")
                     .arg(g.paraHoy())
                     .arg(g.masAdelante())
                     .arg(g.ultimaFecha().toString(QStringLiteral("dd/MM/yyyy")));
    return texto;
}

} // namespace lista
