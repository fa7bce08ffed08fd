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

AnexadorOutbox::AnexadorOutbox(const QString &rutaSalidas) : archivo(rutaSalidas) {}

bool AnexadorOutbox::agregar(const QString &numero, const QString &fecha, const QString &mensaje)
{
#ifdef Q_OS_WIN
    static const char kFinLinea[] = "\r\n";
#else
    static const char kFinLinea[] = "\n";
#endif
    QMutexLocker bloqueo(&bloqueoOutbox());
    if (!archivo.isOpen()) {
        if (!archivo.open(QIODevice::WriteOnly | QIODevice::Append)) {
            avisarFalloApertura(archivo.fileName());
            return false;
        }
        tamano = archivo.size();
    }
    const QByteArray bytes = lineaRegistroOutbox(numero, fecha, mensaje).toUtf8() + kFinLinea;
    if (archivo.write(bytes) == bytes.size() && archivo.flush()) {
        tamano += bytes.size();
        return true;
    }
    // A line cut short is taken back so that the next record starts on its own.
    avisarFalloApertura(archivo.fileName());
    archivo.resize(tamano);
    archivo.close();
    return false;
}

} // namespace archivos_datos
