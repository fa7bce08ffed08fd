#include "lista/archivos_datos.h"
#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <QHash>
#include <QMutex>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace archivos_datos {

namespace {

bool abrirParaAnexar(QFile &archivo, const QString &ruta)
{
    // Read as well: the file's last byte is looked at before the first line goes in.
    return abrirDatos(archivo, ruta, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered);
}

// A file whose last line lost its line end (saved so by hand) would have the next line glued to
// it, a record to a record: that line end goes in first.
QByteArray finDeLineaPendiente(QFile &archivo)
{
    char ultimo = '\n';
    const qint64 tamano = archivo.size();
    if (tamano > 0 && archivo.seek(tamano - 1) && archivo.read(&ultimo, 1) == 1 && ultimo != '\n')
        return QByteArray(kFinLinea);
    return QByteArray();
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
    return escribirEntero(archivo, ruta, finDeLineaPendiente(archivo) + linea.toUtf8() + kFinLinea,
                          archivo.size());
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
    QByteArray conFin;
    if (!archivo.isOpen()) {
        if (!abrirParaAnexar(archivo, ruta))
            return false;
        tamano = archivo.size();
        conFin = finDeLineaPendiente(archivo);
    }
    const QByteArray &escritos = conFin.isEmpty() ? bytes : conFin.append(bytes);
    if (escribirEntero(archivo, ruta, escritos, tamano)) {
        tamano += escritos.size();
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
    const Sello antes = selloDe(rutaSalidas);
    const bool agregado = agregarLinea(rutaSalidas, lineaRegistroOutbox(numero, fecha, mensaje));
    anotarCambio(rutaSalidas, antes, selloDe(rutaSalidas), Cambio::Anexo);
    return agregado;
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
    return escribir(m_linea.toUtf8());
}

bool AnexadorOutbox::escribir(const QByteArray &bytes)
{
    const Sello antes = m_archivo.isOpen() ? selloDe(m_archivo) : selloDe(m_ruta);
    const bool escrito = escribirAnexando(m_archivo, m_ruta, m_tamano, bytes);
    anotarCambio(m_ruta, antes, m_archivo.isOpen() ? selloDe(m_archivo) : selloDe(m_ruta), Cambio::Anexo);
    return escrito;
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
    return escribir(bytes);
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

namespace {

#ifdef Q_OS_WIN
Sello selloDeManija(HANDLE manija)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (manija == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(manija, &info))
        return Sello();
    Sello s;
    s.dispositivo = info.dwVolumeSerialNumber;
    s.numero = quint64(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    s.tamano = qint64(info.nFileSizeHigh) << 32 | info.nFileSizeLow;
    s.modificado =
        qint64(quint64(info.ftLastWriteTime.dwHighDateTime) << 32 | info.ftLastWriteTime.dwLowDateTime);
    return s;
}
#else
Sello selloDeEstado(const struct stat &estado)
{
    Sello s;
    s.dispositivo = quint64(estado.st_dev);
    s.numero = quint64(estado.st_ino);
    s.tamano = qint64(estado.st_size);
#ifdef Q_OS_DARWIN
    s.modificado = qint64(estado.st_mtimespec.tv_sec) * 1000000000 + estado.st_mtimespec.tv_nsec;
#else
    s.modificado = qint64(estado.st_mtim.tv_sec) * 1000000000 + estado.st_mtim.tv_nsec;
#endif
    return s;
}
#endif

constexpr int kMarcasRecordadas = 4096;

struct RegistroCambios
{
    CambiosPropios cambios;
    QVector<qint64> marcas = QVector<qint64>(kMarcasRecordadas, -1);
};

QMutex &bloqueoCambios()
{
    static QMutex bloqueo;
    return bloqueo;
}

QHash<QString, RegistroCambios> &registros()
{
    static QHash<QString, RegistroCambios> r;
    return r;
}

QString claveCambios(const QString &ruta)
{
    const QString clave = QDir::cleanPath(QFileInfo(ruta).absoluteFilePath());
#ifdef Q_OS_WIN
    return clave.toLower();
#else
    return clave;
#endif
}

} // namespace

Sello selloDe(const QString &ruta)
{
#ifdef Q_OS_WIN
    // Only the attributes are asked for: opens whatever another program is doing with the file.
    const HANDLE manija =
        CreateFileW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(ruta).utf16()),
                    FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const Sello s = selloDeManija(manija);
    if (manija != INVALID_HANDLE_VALUE)
        CloseHandle(manija);
    return s;
#else
    struct stat estado;
    if (::stat(QFile::encodeName(ruta).constData(), &estado) != 0)
        return Sello();
    return selloDeEstado(estado);
#endif
}

Sello selloDe(QFile &abierto)
{
    if (!abierto.isOpen())
        return Sello();
#ifdef Q_OS_WIN
    return selloDeManija(reinterpret_cast<HANDLE>(_get_osfhandle(abierto.handle())));
#else
    struct stat estado;
    if (::fstat(abierto.handle(), &estado) != 0)
        return Sello();
    return selloDeEstado(estado);
#endif
}

CambiosPropios cambiosPropios(const QString &ruta)
{
    QMutexLocker bloqueo(&bloqueoCambios());
    return registros().value(claveCambios(ruta)).cambios;
}

bool marcasDesde(const QString &ruta, quint64 desde, QVector<qint64> &posiciones)
{
    posiciones.clear();
    QMutexLocker bloqueo(&bloqueoCambios());
    const auto it = registros().constFind(claveCambios(ruta));
    const quint64 hechas = it == registros().constEnd() ? 0 : it->cambios.marcas;
    if (desde > hechas || hechas - desde > quint64(kMarcasRecordadas))
        return false;
    for (quint64 n = desde; n < hechas; ++n)
        posiciones.append(it->marcas.at(int(n % kMarcasRecordadas)));
    return true;
}

void anotarCambio(const QString &ruta, const Sello &antes, const Sello &despues, Cambio cambio,
                  qint64 posicion)
{
    QMutexLocker bloqueo(&bloqueoCambios());
    RegistroCambios &r = registros()[claveCambios(ruta)];
    if (cambio == Cambio::Reescritura || antes != r.cambios.ultimo)
        ++r.cambios.cortes;
    if (cambio == Cambio::Marca) {
        r.marcas[int(r.cambios.marcas % kMarcasRecordadas)] = posicion;
        ++r.cambios.marcas;
    }
    r.cambios.ultimo = despues;
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
