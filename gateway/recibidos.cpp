#include "gateway/recibidos.h"

#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include "ajustes/ajustes.h"
#include "gateway/registro_sms.h"

#include <QDebug>
#include <QDir>
#include <QFile>

namespace recibidos {

QString campoCsv(const QString &campo)
{
    QString doblado = campo;
    for (QChar &c : doblado) {
        if (c != QLatin1Char('\t') && c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    doblado.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + doblado + QLatin1Char('"');
}

QString lineaRecibido(const QString &fecha, const QString &numero, const QString &mensaje)
{
    return campoCsv(fecha) + QLatin1Char(',') + campoCsv(numero) + QLatin1Char(',') + campoCsv(mensaje);
}

QString rutaPorDefecto()
{
    return ajustes::rutaPorDefecto(ajustes::kArchivoRecibidos);
}

QString rutaArchivo()
{
    return ajustes::leerRuta(ajustes::Clave::FolderInbox);
}

bool guardar(const registro_sms &registro, const QString &ruta)
{
    QFile archivo;
    // Unbuffered: the line goes out in one write, and a failed one can be taken back at once.
    const archivo_seguro::Apertura apertura = archivo_seguro::abrir(
        archivo, ruta, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered);
    if (apertura != archivo_seguro::Apertura::Bien) {
        qCDebug(catGateway) << "No pudo abrir " << ruta;
        archivo_seguro::avisarRechazo(ruta, apertura);
        return false;
    }
    qCDebug(catGateway) << "graba sms recibido en: " << ruta;
    const qint64 antes = archivo.size();
    const QByteArray linea = registro.toStringInFile().toUtf8() + '\n';
    if (archivo.write(linea) == linea.size())
        return true;
    qCDebug(catGateway) << "No pudo escribir " << ruta;
    // A line cut short would glue the next message onto it.
    archivo.resize(antes);
    return false;
}

bool guardar(const registro_sms &registro)
{
    return guardar(registro, rutaArchivo());
}

Guardado guardarEnOrden(const QList<registro_sms> &mensajes, const QString &ruta, const QString &rutaDefecto)
{
    const bool hayOtra = QDir::cleanPath(rutaDefecto) != QDir::cleanPath(ruta);
    Guardado g;
    for (const registro_sms &m : mensajes) {
        if (guardar(m, ruta)) {
            ++g.guardados;
        } else if (hayOtra && guardar(m, rutaDefecto)) {
            ++g.guardados;
            ++g.enDefecto;
        } else {
            break;
        }
    }
    return g;
}

} // namespace recibidos
