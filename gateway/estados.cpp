#include "gateway/estados.h"

#include <QCoreApplication>
#include <QDateTime>

QString textoEstado(int estado)
{
    const char *texto = nullptr;
    switch (estado) {
    case EST_CONEX_LIBRE:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Libre");
        break;
    case EST_CONEX_SEND_SMS:
    case EST_CONEX_SEND_SMS_OK:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Enviando SMS");
        break;
    case EST_CONEX_SIN_LUGAR:
        // A failure must not read as progress.
        texto = QT_TRANSLATE_NOOP("MainWindow", "Sin lugar en el gateway");
        break;
    case EST_CONEX_SEND_SMS_ERROR:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Error al enviar SMS");
        break;
    case EST_CONEX_GET_SMS:
    case EST_CONEX_GET_SMS_OK:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Obteniendo SMS");
        break;
    case EST_CONEX_GET_SMS_ERROR:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Error al obtener SMS");
        break;
    case EST_CONEX_NO_ENVIA_SMS:
        texto = QT_TRANSLATE_NOOP("MainWindow", "No envia SMS");
        break;
    case EST_CONEX_ERROR:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Error de conexion");
        break;
    case EST_CONEX_CLAVE_INCORRECTA:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Error de conexion, clave incorrecta.");
        break;
    default: // EST_CONEX_UNKNOW and anything unexpected
        texto = QT_TRANSLATE_NOOP("MainWindow", "Esperando respuesta...");
        break;
    }
    return QCoreApplication::translate("MainWindow", texto);
}

namespace {

QString textoSinDudas(const SituacionEnvio &s)
{
    if (s.ocupado)
        return textoEstado(s.estado);
    if (s.enPausa)
        return QCoreApplication::translate("MainWindow", "Pausado");
    if (s.retencionIlegible)
        return QCoreApplication::translate("MainWindow",
                                           "Envío detenido: falta o está dañado el registro de SMS en duda");
    if (s.retencionSinEscribir)
        return QCoreApplication::translate("MainWindow",
                                           "Envío detenido: no se pudo escribir el registro de SMS en duda");
    if (s.bajasIlegibles)
        return QCoreApplication::translate("MainWindow",
                                           "Envío detenido: no se pudo leer la lista de bajas del historial");
    if (s.sinGateway)
        return QCoreApplication::translate("MainWindow", "Sin gateway configurado");
    if (estadoDetenido(s.estado) && s.segundosReintento >= 0)
        return textoEstado(s.estado) +
               QCoreApplication::translate("MainWindow", " (reintento en %1 s)").arg(s.segundosReintento);
    if (s.estado == EST_CONEX_LIBRE && s.fueraDeHorario)
        return QCoreApplication::translate("MainWindow", "Fuera de horario");
    if (s.topeHasta > 0 && !estadoDetenido(s.estado)) {
        if (s.topeDiario)
            return QCoreApplication::translate("MainWindow",
                                               "Límite diario alcanzado: se reanuda mañana a las 00:00");
        return QCoreApplication::translate("MainWindow", "Límite por hora alcanzado: se reanuda a las %1:00")
            .arg(QDateTime::fromMSecsSinceEpoch(s.topeHasta).toString(QStringLiteral("HH")));
    }
    return textoEstado(s.estado);
}

} // namespace

QString textoSituacion(const SituacionEnvio &s)
{
    const QString texto = textoSinDudas(s);
    if (s.enDuda <= 0)
        return texto;
    return texto + QCoreApplication::translate("MainWindow", " · %n SMS en duda", nullptr, s.enDuda);
}
