#include "gateway/estados.h"

#include <QCoreApplication>

QString textoEstado(int estado)
{
    const char *texto = nullptr;
    switch (estado) {
    case EST_CONEX_LIBRE:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Libre");
        break;
    case EST_CONEX_SEND_SMS:
    case EST_CONEX_SEND_SMS_OK:
    case EST_CONEX_SIN_LUGAR:
        texto = QT_TRANSLATE_NOOP("MainWindow", "Enviando SMS");
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
