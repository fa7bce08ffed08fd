#include "lista/diario_corrida.h"

#include "ajustes/archivo_seguro.h"

#include "lista/archivos_datos.h"

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

bool mismaLista(const Diario &diario)
{
    qint64 tamano = 0;
    qint64 modificada = 0;
    return identidad(diario.rutaLista, tamano, modificada) && tamano == diario.tamanoLista &&
           modificada == diario.modificadaLista;
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

} // namespace diario_corrida
