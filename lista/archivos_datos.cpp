#include "lista/archivos_datos.h"
#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cstdio>
#include <unistd.h>
#endif

namespace archivos_datos {

namespace {

bool abrirParaAnexar(QFile &archivo, const QString &ruta)
{
    return abrirDatos(archivo, ruta, QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

// One write call, nothing kept in a buffer. When only part went out, the file is cut back to
// `tamanoAntes` through the open descriptor (no buffer to flush first, so the cut cannot fail
// for the same reason as the write).
bool escribirEntero(QFile &archivo, const QString &ruta, const QByteArray &bytes, qint64 tamanoAntes)
{
    if (archivo.write(bytes) == bytes.size())
        return true;
    avisarFalloApertura(ruta);
    if (!archivo.resize(tamanoAntes))
        qCDebug(catLista).noquote() << "No se pudo recortar" << ruta << archivo.errorString();
    return false;
}

bool agregarLinea(const QString &ruta, const QString &linea)
{
    QFile archivo;
    if (!abrirParaAnexar(archivo, ruta))
        return false;
    return escribirEntero(archivo, ruta, linea.toUtf8() + kFinLinea, archivo.size());
}

// A path as the system resolves it, for comparisons: the file's own canonical path, or for a
// file not there yet, its folder's canonical path and its name.
QString rutaComparable(const QString &ruta)
{
    const QFileInfo info(ruta);
    QString resultado = info.canonicalFilePath();
    if (resultado.isEmpty()) {
        const QString carpeta = QFileInfo(info.absolutePath()).canonicalFilePath();
        resultado = carpeta.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                                      : carpeta + QLatin1Char('/') + info.fileName();
    }
#ifdef Q_OS_WIN
    resultado = resultado.toLower();
#endif
    return resultado;
}

} // namespace

void avisarFalloApertura(const QString &ruta)
{
    qCDebug(catLista).noquote() << " Could not open the file for read/write" << ruta;
}

bool abrirDatos(QFile &archivo, const QString &ruta, QIODevice::OpenMode modo)
{
    const archivo_seguro::Apertura apertura = archivo_seguro::abrir(archivo, ruta, modo);
    if (apertura == archivo_seguro::Apertura::Bien)
        return true;
    avisarFalloApertura(ruta);
    if (apertura != archivo_seguro::Apertura::NoAbre)
        archivo_seguro::avisarRechazo(ruta, apertura);
    return false;
}

namespace {

void anexarRegistro(QString &linea, const QString &numero, const QString &fecha, const QString &mensaje)
{
    linea += QLatin1String("e,");
    linea += numero;
    linea += QLatin1Char(',');
    linea += fecha;
    linea += QLatin1Char(',');
    if (mensaje.contains(QLatin1Char('\n')))
        linea += QString(mensaje).replace(QLatin1Char('\n'), QLatin1String("&enter&"));
    else
        linea += mensaje;
}

// Opens at the first line; the size the file had then is where a failed line is cut back to.
bool escribirAnexando(QFile &archivo, const QString &ruta, qint64 &tamano, const QByteArray &bytes)
{
    if (!archivo.isOpen()) {
        if (!abrirParaAnexar(archivo, ruta))
            return false;
        tamano = archivo.size();
    }
    if (escribirEntero(archivo, ruta, bytes, tamano)) {
        tamano += bytes.size();
        return true;
    }
    archivo.close();
    return false;
}

} // namespace

QString lineaRegistroOutbox(const QString &numero, const QString &fecha, const QString &mensaje)
{
    QString linea;
    anexarRegistro(linea, numero, fecha, mensaje);
    return linea;
}

bool agregarRegistroOutbox(const QString &rutaSalidas, const QString &numero, const QString &fecha,
                           const QString &mensaje)
{
    return agregarLinea(rutaSalidas, lineaRegistroOutbox(numero, fecha, mensaje));
}

bool agregarLineaErrores(const QString &rutaErrores, const QString &linea)
{
    return agregarLinea(rutaErrores, linea);
}

AnexadorOutbox::AnexadorOutbox(const QString &rutaSalidas) : m_ruta(rutaSalidas)
{
    // Reserved, so that emptying them keeps the room for the next record or batch.
    m_linea.reserve(512);
    m_lote.reserve(kLote + 1024);
}

bool AnexadorOutbox::agregar(const QString &numero, const QString &fecha, const QString &mensaje)
{
    m_linea.resize(0);
    anexarRegistro(m_linea, numero, fecha, mensaje);
    m_linea += QLatin1String(kFinLinea);
    const QByteArray bytes = m_linea.toUtf8();
    return escribirAnexando(m_archivo, m_ruta, m_tamano, bytes);
}

void AnexadorOutbox::acumular(const QString &numero, const QString &fecha, const QString &mensaje)
{
    anexarRegistro(m_lote, numero, fecha, mensaje);
    m_lote += QLatin1String(kFinLinea);
}

bool AnexadorOutbox::vaciar()
{
    if (m_lote.isEmpty())
        return true;
    const QByteArray bytes = m_lote.toUtf8();
    m_lote.resize(0);
    return escribirAnexando(m_archivo, m_ruta, m_tamano, bytes);
}

AnexadorErrores::AnexadorErrores(const QString &rutaErrores) : m_ruta(rutaErrores) {}

bool AnexadorErrores::agregar(const QString &linea)
{
    return escribirAnexando(m_archivo, m_ruta, m_tamano, linea.toUtf8() + kFinLinea);
}

bool reemplazar(const QString &origen, const QString &destino)
{
    if (archivo_seguro::esEnlace(destino)) {
        archivo_seguro::avisarRechazo(destino, archivo_seguro::Apertura::Enlace);
        return false;
    }
    if (QFileInfo(origen).absoluteDir() != QFileInfo(destino).absoluteDir()) {
        qCWarning(catLista).noquote() << "No se reemplaza" << destino << "desde otra carpeta:" << origen;
        return false;
    }
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(origen).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(destino).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return ::rename(QFile::encodeName(origen).constData(), QFile::encodeName(destino).constData()) == 0;
#endif
}

bool aDisco(QFile &archivo)
{
#ifdef Q_OS_WIN
    return FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(archivo.handle()))) != 0;
#else
    return ::fsync(archivo.handle()) == 0;
#endif
}

bool guardarEntero(const QString &ruta, const QByteArray &bytes)
{
    const QString temporal = ruta + QStringLiteral(".tmp");
    QFile archivo;
    bool bien = archivo_seguro::crearExclusivo(archivo, temporal) && archivo.write(bytes) == bytes.size() &&
                aDisco(archivo);
    archivo.close();
    bien = bien && reemplazar(temporal, ruta);
    if (!bien) {
        avisarFalloApertura(ruta);
        QFile::remove(temporal);
    }
    return bien;
}

bool mismoArchivo(const QString &a, const QString &b)
{
    return !a.isEmpty() && !b.isEmpty() && rutaComparable(a) == rutaComparable(b);
}

QString archivoCoincidente(const QString &ruta, const QVector<ArchivoDatos> &otros)
{
    for (const ArchivoDatos &otro : otros) {
        if (mismoArchivo(ruta, otro.ruta))
            return otro.nombre;
    }
    return QString();
}

} // namespace archivos_datos
