#include "gateway/recibidos.h"

#include "app/ajustes.h"
#include "gateway/registro_sms.h"

#include <QDebug>
#include <QFile>
#include <QTextStream>

namespace recibidos {

QString campoCsv(const QString &campo)
{
    QString doblado = campo;
    doblado.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doblado + QLatin1Char('"');
}

QString lineaRecibido(const QString &fecha, const QString &numero, const QString &mensaje)
{
    return campoCsv(fecha) + QLatin1Char(',') + campoCsv(numero) + QLatin1Char(',') + campoCsv(mensaje);
}

QString rutaArchivo()
{
    const QString porDefecto = ajustes::rutaPorDefecto(ajustes::kArchivoRecibidos);
    const QString ruta = ajustes::leer(ajustes::kFolderInbox, porDefecto).toString();
    if (ruta == QLatin1String(ajustes::kVacio))
        return porDefecto;
    return ruta;
}

bool guardar(const registro_sms &registro, const QString &ruta)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::Append | QIODevice::Text)) {
        qDebug() << "No pudo abrir " << ruta;
        return false;
    }
    qDebug() << "graba sms recibido en: " << ruta;
    QTextStream salida(&archivo);
    salida.setCodec("UTF-8");
    salida << registro.toStringInFile() << '\n';
    salida.flush();
    archivo.close();
    return true;
}

bool guardar(const registro_sms &registro)
{
    return guardar(registro, rutaArchivo());
}

} // namespace recibidos
