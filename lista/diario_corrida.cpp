#include "lista/diario_corrida.h"

#include "ajustes/archivo_seguro.h"

#include "lista/archivos_datos.h"
#include "lista/lectura_lista.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>

namespace diario_corrida {

namespace {

const char *nombreModo(corrida_lista::Modo modo)
{
    switch (modo) {
    case corrida_lista::Modo::Vigilada:
        return "vigilada";
    case corrida_lista::Modo::Armado:
        return "armado";
    case corrida_lista::Modo::Simple:
        break;
    }
    return "simple";
}

corrida_lista::Modo modoDe(const QString &nombre)
{
    if (nombre == QLatin1String("vigilada"))
        return corrida_lista::Modo::Vigilada;
    if (nombre == QLatin1String("armado"))
        return corrida_lista::Modo::Armado;
    return corrida_lista::Modo::Simple;
}

// JSON numbers are doubles: exact for any file size.
qint64 entero(const QJsonObject &o, const char *clave)
{
    const double valor = o.value(QLatin1String(clave)).toDouble(-1);
    // Beyond what a qint64 holds (or NaN) the cast would be undefined: such a journal is no good.
    return valor > -9.0e18 && valor < 9.0e18 ? static_cast<qint64>(valor) : -1;
}

} // namespace

bool identidad(const QString &ruta, qint64 &tamano, qint64 &modificada)
{
    const QFileInfo info(ruta);
    if (!info.exists())
        return false;
    tamano = info.size();
    modificada = info.fileTime(QFileDevice::FileModificationTime).toMSecsSinceEpoch();
    return true;
}

QString huella(const QStringList &lineas)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &linea : lineas) {
        hash.addData(reinterpret_cast<const char *>(linea.utf16()), linea.size() * 2);
        hash.addData("\n\0", 2);
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool mismasLineas(const Diario &diario, const QStringList &lineas)
{
    if (!diario.huellaLista.isEmpty())
        return huella(lineas) == diario.huellaLista;
    qint64 tamano = 0;
    qint64 modificada = 0;
    return identidad(diario.rutaLista, tamano, modificada) && tamano == diario.tamanoLista &&
           modificada == diario.modificadaLista;
}

bool mismaLista(const Diario &diario)
{
    qint64 tamano = 0;
    qint64 modificada = 0;
    if (!identidad(diario.rutaLista, tamano, modificada))
        return false;
    if (tamano == diario.tamanoLista && modificada == diario.modificadaLista)
        return true;
    QStringList lineas;
    return !diario.huellaLista.isEmpty() &&
           lista::leerLista(diario.rutaLista, lineas) == lista::Lectura::Bien &&
           huella(lineas) == diario.huellaLista;
}

qint64 tamanoActual(const QString &ruta)
{
    const QFileInfo info(ruta);
    return info.exists() ? info.size() : 0;
}

bool guardar(const QString &ruta, const Diario &d)
{
    QJsonObject o;
    o.insert(QStringLiteral("lista"), d.rutaLista);
    o.insert(QStringLiteral("tamanoLista"), double(d.tamanoLista));
    o.insert(QStringLiteral("modificadaLista"), double(d.modificadaLista));
    o.insert(QStringLiteral("huellaLista"), d.huellaLista);
    o.insert(QStringLiteral("modo"), QLatin1String(nombreModo(d.modo)));
    o.insert(QStringLiteral("filasPrevias"), d.filasPrevias);
    o.insert(QStringLiteral("agregadosPrevios"), d.agregadosPrevios);
    o.insert(QStringLiteral("salidas"), d.rutaSalidas);
    o.insert(QStringLiteral("tamanoSalidas"), double(d.tamanoSalidas));
    o.insert(QStringLiteral("errores"), d.rutaErrores);
    o.insert(QStringLiteral("tamanoErrores"), double(d.tamanoErrores));
    o.insert(QStringLiteral("plantilla"), d.plantilla);
    o.insert(QStringLiteral("celular"), d.columnaCelular);
    o.insert(QStringLiteral("fecha"), d.columnaFecha);
    o.insert(QStringLiteral("columnas"), QJsonArray::fromStringList(d.columnas));
    o.insert(QStringLiteral("cantidadColumnas"), d.cantidadColumnas);
    o.insert(QStringLiteral("hoy"), d.hoy);
    o.insert(QStringLiteral("cabecera"), d.tieneHeader);
    o.insert(QStringLiteral("coma"), d.usarComa);
    o.insert(QStringLiteral("tab"), d.usarTab);
    o.insert(QStringLiteral("puntoComa"), d.usarPuntoComa);
    o.insert(QStringLiteral("completa"), d.completa);
    const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Compact);
    return bytes.size() <= kTamanoMaximoDiario && archivos_datos::guardarEntero(ruta, bytes);
}

bool leer(const QString &ruta, Diario &d)
{
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadOnly) ||
        archivo.size() > kTamanoMaximoDiario)
        return false;
    const QJsonObject o = QJsonDocument::fromJson(archivo.readAll()).object();
    d.rutaLista = o.value(QLatin1String("lista")).toString();
    d.tamanoLista = entero(o, "tamanoLista");
    d.modificadaLista = entero(o, "modificadaLista");
    d.huellaLista = o.value(QLatin1String("huellaLista")).toString();
    d.modo = modoDe(o.value(QLatin1String("modo")).toString());
    d.filasPrevias = o.value(QLatin1String("filasPrevias")).toInt();
    d.agregadosPrevios = o.value(QLatin1String("agregadosPrevios")).toInt();
    d.rutaSalidas = o.value(QLatin1String("salidas")).toString();
    d.tamanoSalidas = entero(o, "tamanoSalidas");
    d.rutaErrores = o.value(QLatin1String("errores")).toString();
    d.tamanoErrores = entero(o, "tamanoErrores");
    d.plantilla = o.value(QLatin1String("plantilla")).toString();
    d.columnaCelular = o.value(QLatin1String("celular")).toString();
    d.columnaFecha = o.value(QLatin1String("fecha")).toString();
    d.columnas.clear();
    for (const QJsonValue &v : o.value(QLatin1String("columnas")).toArray())
        d.columnas << v.toString();
    d.cantidadColumnas = o.value(QLatin1String("cantidadColumnas")).toInt();
    d.hoy = o.value(QLatin1String("hoy")).toString();
    d.tieneHeader = o.value(QLatin1String("cabecera")).toBool(true);
    d.usarComa = o.value(QLatin1String("coma")).toBool(true);
    d.usarTab = o.value(QLatin1String("tab")).toBool(false);
    d.usarPuntoComa = o.value(QLatin1String("puntoComa")).toBool(false);
    d.completa = o.value(QLatin1String("completa")).toBool(false);
    return !d.rutaLista.isEmpty() && !d.rutaSalidas.isEmpty() && !d.rutaErrores.isEmpty() &&
           d.tamanoSalidas >= 0 && d.tamanoErrores >= 0 && d.filasPrevias >= 0 && d.agregadosPrevios >= 0;
}

bool contarLineasDesde(const QString &ruta, qint64 desde, int &lineas)
{
    lineas = 0;
    if (!QFile::exists(ruta) && !archivo_seguro::esEnlace(ruta))
        return desde == 0;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    const qint64 tamano = archivo.size();
    if (tamano < desde || !archivo.seek(desde))
        return false;
    qint64 finUltimaLinea = desde;
    qint64 posicion = desde;
    QByteArray bloque(1 << 16, Qt::Uninitialized);
    while (posicion < tamano) {
        const qint64 leidos = archivo.read(bloque.data(), bloque.size());
        if (leidos <= 0)
            return false;
        const char *inicio = bloque.constData();
        const char *p = inicio;
        const char *fin = inicio + leidos;
        while (const void *salto = std::memchr(p, '\n', static_cast<size_t>(fin - p))) {
            p = static_cast<const char *>(salto) + 1;
            ++lineas;
            finUltimaLinea = posicion + (p - inicio);
        }
        posicion += leidos;
    }
    return finUltimaLinea == tamano || archivo.resize(finUltimaLinea);
}

namespace {

// The whole lines of the file after byte `desde`, without their line ends; a last line without
// its line end is cut away from the file. False when the file is shorter than `desde` or cannot
// be read; a missing file has no lines when `desde` is 0.
bool lineasDesde(const QString &ruta, qint64 desde, QList<QByteArray> &lineas)
{
    lineas.clear();
    int cuenta = 0;
    if (!contarLineasDesde(ruta, desde, cuenta))
        return false;
    QFile archivo(ruta);
    if (cuenta == 0)
        return true;
    if (!archivo.open(QIODevice::ReadOnly) || !archivo.seek(desde))
        return false;
    lineas = archivo.readAll().split('\n');
    lineas.removeLast(); // after the last line end
    for (QByteArray &l : lineas) {
        if (l.endsWith('\r'))
            l.chop(1);
    }
    return lineas.size() == cuenta;
}

QByteArray sinRetorno(QByteArray bytes)
{
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return bytes;
}

} // namespace

Avance reconocerAvance(const Diario &d, const QStringList &lineas, const lista::ReglasFila &reglas)
{
    Avance avance;
    QList<QByteArray> registros;
    if (!lineasDesde(d.rutaSalidas, d.tamanoSalidas, registros)) {
        avance.lineasNuevas = -1;
        return avance;
    }
    avance.lineasNuevas = registros.size();
    QList<QByteArray> errores;
    bool erroresEnOrden = lineasDesde(d.rutaErrores, d.tamanoErrores, errores);
    const int desde = qMin((d.tieneHeader ? 1 : 0) + d.filasPrevias, lineas.size());
    int registro = 0;
    int error = 0;
    int ultimaHecha = desde - 1;
    for (int i = desde; i < lineas.size(); ++i) {
        const lista::ResultadoFila r = reglas.evaluar(lineas.at(i));
        if (r.motivo == lista::Motivo::Ninguno) {
            const QByteArray esperado =
                sinRetorno(archivos_datos::lineaRegistroOutbox(r.numero, r.fecha, r.mensaje).toUtf8());
            const QByteArray *escrito = registro < registros.size() ? &registros.at(registro) : nullptr;
            if (escrito && !escrito->isEmpty() && (escrito->at(0) == 'e' || escrito->at(0) == 'E') &&
                escrito->mid(1) == esperado.mid(1)) {
                ++registro;
                ultimaHecha = i;
                continue;
            }
            // Opted out when it was written: its line went to the errors file.
            if (erroresEnOrden && error < errores.size() &&
                errores.at(error) == sinRetorno(lineas.at(i).toUtf8())) {
                ++error;
                ultimaHecha = i;
                continue;
            }
            if (!escrito)
                break; // this row and every later one were not written
            return avance;
        } else if (erroresEnOrden && error < errores.size()) {
            erroresEnOrden = errores.at(error) == sinRetorno(lineas.at(i).toUtf8());
            if (erroresEnOrden) {
                ++error;
                ultimaHecha = i;
            }
        }
    }
    if (registro != registros.size())
        return avance;
    avance.reconocido = true;
    avance.hechas = ultimaHecha + 1 - desde;
    avance.agregados = registro;
    return avance;
}

} // namespace diario_corrida
