#include "lista/archivos_datos.h"

#include <QDebug>
#include <QFile>
#include <QMutexLocker>
#include <QRecursiveMutex>

namespace archivos_datos {

namespace {

// Text mode: the line feed goes out as the platform's line end.
bool agregarLinea(const QString &ruta, const QString &linea)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) {
        avisarFalloApertura(ruta);
        return false;
    }
    const qint64 tamanoAntes = archivo.size();
    const QByteArray bytes = linea.toUtf8() + '\n';
    const bool escrito = archivo.write(bytes) == bytes.size() && archivo.flush();
    if (!escrito) {
        avisarFalloApertura(ruta);
        archivo.resize(tamanoAntes);
    }
    archivo.close();
    return escrito;
}

} // namespace

QRecursiveMutex &bloqueoOutbox()
{
    static QRecursiveMutex bloqueo;
    return bloqueo;
}

void avisarFalloApertura(const QString &ruta)
{
    qDebug().noquote() << " Could not open the file for read/write" << ruta;
}

QString lineaRegistroOutbox(const QString &numero, const QString &fecha, const QString &mensaje)
{
    QString texto = mensaje;
    texto.replace(QLatin1Char('\n'), QStringLiteral("&enter&"));
    return QStringLiteral("e,") + numero + QLatin1Char(',') + fecha + QLatin1Char(',') + texto;
}

bool agregarRegistroOutbox(const QString &rutaSalidas, const QString &numero, const QString &fecha,
                           const QString &mensaje)
{
    QMutexLocker bloqueo(&bloqueoOutbox());
    return agregarLinea(rutaSalidas, lineaRegistroOutbox(numero, fecha, mensaje));
}

bool agregarLineaErrores(const QString &rutaErrores, const QString &linea)
{
    return agregarLinea(rutaErrores, linea);
}

} // namespace archivos_datos
