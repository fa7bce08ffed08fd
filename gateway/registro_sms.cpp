#include "gateway/registro_sms.h"
#include "ajustes/registro.h"

#include "gateway/protocolo_ngw.h"
#include "gateway/recibidos.h"

#include <QDebug>

QString registro_sms::toStringInFile() const
{
    const QString linea = recibidos::lineaRecibido(fecha, numero, mensaje);
    qCDebug(catGateway) << "toStringInFile()= " << protocolo_ngw::paraRegistro(linea);
    return linea;
}
