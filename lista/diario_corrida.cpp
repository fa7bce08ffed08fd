#include "lista/diario_corrida.h"

#include "ajustes/archivo_seguro.h"

#include "lista/archivos_datos.h"
#include "lista/lista_en_disco.h"

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

namespace {

// The fingerprint's state, line after line.
class Huella
{
public:
    void agregar(QStringView linea)
    {
        m_hash.addData(reinterpret_cast<const char *>(linea.utf16()), int(linea.size()) * 2);
        m_hash.addData("\n\0", 2);
    }
    QString texto() const { return QString::fromLatin1(m_hash.result().toHex()); }

private:
    QCryptographicHash m_hash{QCryptographicHash::Sha256};
};

} // namespace

QString huella(const QStringList &lineas)
{
    Huella h;
    for (const QString &linea : lineas)
        h.agregar(linea);
    return h.texto();
}

QString huella(const lista::ListaEnDisco &lista)
{
    Huella h;
    lista::ListaEnDisco::Recorrido r = lista.recorrer();
    while (r.siguiente())
        h.agregar(r.linea());
    return r.cambio() ? QString() : h.texto();
}

namespace {

bool mismaIdentidad(const Diario &diario)
{
    qint64 tamano = 0;
    qint64 modificada = 0;
    return identidad(diario.rutaLista, tamano, modificada) && tamano == diario.tamanoLista &&
           modificada == diario.modificadaLista;
}

} // namespace

bool mismasLineas(const Diario &diario, const QStringList &lineas)
{
    return diario.huellaLista.isEmpty() ? mismaIdentidad(diario) : huella(lineas) == diario.huellaLista;
}

bool mismasLineas(const Diario &diario, const lista::ListaEnDisco &lista)
{
    return diario.huellaLista.isEmpty() ? mismaIdentidad(diario) : huella(lista) == diario.huellaLista;
}

bool mismaLista(const Diario &diario)
{
    if (mismaIdentidad(diario))
        return true;
    lista::ListaEnDisco lista;
    return !diario.huellaLista.isEmpty() && lista.abrir(diario.rutaLista) == lista::Lectura::Bien &&
           huella(lista) == diario.huellaLista;
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

namespace {

// Whether the byte before `desde` is no line end; leaves the file at `desde`.
bool terminaAntesSinLinea(QFile &archivo, qint64 desde)
{
    char anterior = '\n';
    const bool sinLinea =
        desde > 0 && archivo.seek(desde - 1) && archivo.read(&anterior, 1) == 1 && anterior != '\n';
    archivo.seek(desde);
    return sinLinea;
}

} // namespace

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
    // A line begun before `desde` (left without its line end by a hand) is ended by the first line
    // end after it, which is no line of the run's.
    bool restoDeLinea = terminaAntesSinLinea(archivo, desde);
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
            lineas += restoDeLinea ? 0 : 1;
            restoDeLinea = false;
            finUltimaLinea = posicion + (p - inicio);
        }
        posicion += leidos;
    }
    if (finUltimaLinea == tamano)
        return true;
    const archivos_datos::Sello antes = archivos_datos::selloDe(archivo);
    const bool cortado = archivo.resize(finUltimaLinea);
    archivos_datos::anotarCambio(ruta, antes, archivos_datos::selloDe(archivo),
                                 archivos_datos::Cambio::Reescritura);
    return cortado;
}

namespace {

// The whole lines of the file after byte `desde`, without their line ends, one at a time; a last
// line without its line end is cut away from the file first. abrir() is false when the file is
// shorter than `desde` or cannot be read; a missing file has no lines when `desde` is 0.
class LineasDesde
{
public:
    bool abrir(const QString &ruta, qint64 desde)
    {
        if (!contarLineasDesde(ruta, desde, m_cantidad))
            return false;
        m_archivo.setFileName(ruta);
        if (m_cantidad == 0)
            return true;
        if (!m_archivo.open(QIODevice::ReadOnly) || !m_archivo.seek(desde))
            return false;
        if (terminaAntesSinLinea(m_archivo, desde))
            m_archivo.readLine();
        return true;
    }
    int cantidad() const { return m_cantidad; }
    // False after the last whole line (or when the file was cut meanwhile).
    bool siguiente(QByteArray &linea)
    {
        if (m_leidas >= m_cantidad)
            return false;
        linea = m_archivo.readLine();
        if (!linea.endsWith('\n'))
            return false;
        linea.chop(linea.endsWith("\r\n") ? 2 : 1);
        ++m_leidas;
        return true;
    }

private:
    QFile m_archivo;
    int m_cantidad = 0;
    int m_leidas = 0;
};

QByteArray sinRetorno(QByteArray bytes)
{
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return bytes;
}

} // namespace

namespace {

// `siguiente(linea)` gives the data rows of the pass from its first, in order, and false after
// the last; `completa()` tells afterwards whether every row was read.
template <typename Siguiente, typename Completa>
Avance reconocer(const Diario &d, Siguiente &&siguiente, Completa &&completa, const lista::ReglasFila &reglas)
{
    Avance avance;
    LineasDesde registros;
    if (!registros.abrir(d.rutaSalidas, d.tamanoSalidas)) {
        avance.lineasNuevas = -1;
        return avance;
    }
    avance.lineasNuevas = registros.cantidad();
    LineasDesde errores;
    bool erroresEnOrden = errores.abrir(d.rutaErrores, d.tamanoErrores);
    int registro = 0;
    int hechas = 0;
    QStringView linea;
    QByteArray escrito;
    bool hayEscrito = false;
    QByteArray anotada;
    bool hayAnotada = false;
    // The errors file's next line, read once and kept until a row takes it.
    const auto siguienteAnotada = [&]() {
        if (!hayAnotada && erroresEnOrden)
            hayAnotada = errores.siguiente(anotada);
        return hayAnotada;
    };
    for (int i = 0; siguiente(linea); ++i) {
        const lista::ResultadoFila r = reglas.evaluar(linea);
        if (r.motivo == lista::Motivo::Ninguno) {
            if (!hayEscrito && registro < registros.cantidad()) {
                if (!registros.siguiente(escrito))
                    return avance;
                hayEscrito = true;
            }
            const QByteArray esperado =
                sinRetorno(archivos_datos::lineaRegistroOutbox(r.numero, r.fecha, r.mensaje).toUtf8());
            if (hayEscrito && !escrito.isEmpty() && (escrito.at(0) == 'e' || escrito.at(0) == 'E') &&
                escrito.mid(1) == esperado.mid(1)) {
                hayEscrito = false;
                ++registro;
                hechas = i + 1;
                continue;
            }
            // Opted out when it was written: its line went to the errors file.
            if (siguienteAnotada() && anotada == sinRetorno(linea.toUtf8())) {
                hayAnotada = false;
                hechas = i + 1;
                continue;
            }
            if (!hayEscrito)
                break; // this row and every later one were not written
            return avance;
        } else if (siguienteAnotada()) {
            erroresEnOrden = anotada == sinRetorno(linea.toUtf8());
            hayAnotada = false;
            if (erroresEnOrden)
                hechas = i + 1;
        }
    }
    if (registro != registros.cantidad() || !completa())
        return avance;
    avance.reconocido = true;
    avance.hechas = hechas;
    avance.agregados = registro;
    return avance;
}

} // namespace

Avance reconocerAvance(const Diario &d, const QStringList &lineas, const lista::ReglasFila &reglas)
{
    int i = qMin((d.tieneHeader ? 1 : 0) + d.filasPrevias, lineas.size());
    const auto siguiente = [&](QStringView &linea) {
        if (i >= lineas.size())
            return false;
        linea = lineas.at(i++);
        return true;
    };
    return reconocer(
        d, siguiente, [] { return true; }, reglas);
}

Avance reconocerAvance(const Diario &d, const lista::ListaEnDisco &lista, const lista::ReglasFila &reglas)
{
    lista::ListaEnDisco::Recorrido r = lista.recorrer((d.tieneHeader ? 1 : 0) + d.filasPrevias);
    const auto siguiente = [&](QStringView &linea) {
        if (!r.siguiente())
            return false;
        linea = r.linea();
        return true;
    };
    return reconocer(
        d, siguiente, [&r] { return !r.cambio(); }, reglas);
}

} // namespace diario_corrida
