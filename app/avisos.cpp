#include "app/avisos.h"

#include <QCoreApplication>

namespace avisos {

namespace {

QString tr(const char *texto)
{
    return QCoreApplication::translate("avisos", texto);
}

} // namespace

QString titulo()
{
    return tr("NBsms");
}

QString textoInformacion(const QString &estado, int pendientes, int enviados, int recibidos, int enDuda,
                         int enServicio, int gateways)
{
    QString texto = tr("NBsms: %1\nSMS pendientes: %2\nSMS enviados: %3\nSMS recibidos: %4")
                        .arg(estado)
                        .arg(pendientes)
                        .arg(enviados)
                        .arg(recibidos);
    if (enServicio >= 0)
        texto += tr("\nGateways enviando: %1 de %2").arg(enServicio).arg(gateways);
    if (enDuda > 0)
        texto += tr("\nSMS en duda: %1").arg(enDuda);
    return texto;
}

QString textoDetenido(const QString &estado)
{
    return tr("El envío de SMS está detenido hace más de %1 minutos (%2). NBsms lo reintenta solo.")
        .arg(Seguimiento::kDetenidoMs / 60000)
        .arg(estado);
}

QString textoReanudado()
{
    return tr("El envío de SMS se reanudó.");
}

QString textoListaImportada(int agregados, int aErrores)
{
    return tr("Lista importada: %1 SMS agregado(s) a la bandeja de salida, %2 fila(s) al archivo de "
              "errores.")
        .arg(agregados)
        .arg(aErrores);
}

QString textoRecibidos(int nuevos)
{
    return tr("%1 SMS recibido(s).").arg(nuevos);
}

QString textoEnDuda(int cantidad)
{
    return QCoreApplication::translate(
        "avisos",
        "%n SMS en duda: el gateway pudo haberlos enviado. No se envían otra vez "
        "solos; revíselos en la pestaña Bandeja.",
        nullptr, cantidad);
}

QString Seguimiento::enDuda(int cantidad)
{
    const int antes = m_enDuda;
    m_enDuda = cantidad;
    return antes == 0 && cantidad > 0 ? textoEnDuda(cantidad) : QString();
}

QString Seguimiento::observar(bool detenido, const QString &estado, qint64 ahoraMs)
{
    if (!detenido) {
        const bool avisado = m_avisado;
        m_desde = -1;
        m_avisado = false;
        return avisado ? textoReanudado() : QString();
    }
    // A clock set back counts the stoppage from now.
    if (m_desde < 0 || ahoraMs < m_desde)
        m_desde = ahoraMs;
    if (m_avisado || ahoraMs - m_desde <= kDetenidoMs)
        return QString();
    m_avisado = true;
    return textoDetenido(estado);
}

QString Seguimiento::recibidos(int total)
{
    const int antes = m_recibidos;
    m_recibidos = total;
    if (antes < 0 || total <= antes)
        return QString();
    return textoRecibidos(total - antes);
}

} // namespace avisos
