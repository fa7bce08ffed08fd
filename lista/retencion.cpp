#include "lista/retencion.h"
#include "ajustes/archivo_seguro.h"
#include "ajustes/registro.h"

#include "lista/archivos_datos.h"
#include "lista/outbox.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstring>

namespace retencion {

namespace {

constexpr int kVersion = 1;
// Far more than any number of records in doubt an office could have.
constexpr qint64 kTamanoMaximo = qint64(64) << 20;

const char *nombreEstado(Estado estado)
{
    switch (estado) {
    case Estado::EnVuelo:
        return "en_vuelo";
    case Estado::Reenviar:
        return "reenviar";
    case Estado::EnDuda:
        break;
    }
    return "en_duda";
}

bool estadoDe(const QString &nombre, Estado &estado)
{
    for (Estado e : {Estado::EnVuelo, Estado::EnDuda, Estado::Reenviar}) {
        if (nombre == QLatin1String(nombreEstado(e))) {
            estado = e;
            return true;
        }
    }
    return false;
}

bool esPendiente(const char *datos, int largo)
{
    return largo >= 2 && datos[0] == 'e' && datos[1] == ',';
}

} // namespace

QByteArray serializar(const QVector<Entrada> &entradas)
{
    QJsonArray registros;
    for (const Entrada &e : entradas) {
        QJsonObject o;
        o.insert(QStringLiteral("linea"), QString::fromLatin1(e.linea.toBase64()));
        // For whoever opens the file: the identity is the bytes above.
        o.insert(QStringLiteral("texto"), QString::fromUtf8(e.linea));
        o.insert(QStringLiteral("estado"), QLatin1String(nombreEstado(e.estado)));
        o.insert(QStringLiteral("motivo"), e.motivo);
        o.insert(QStringLiteral("desde"), e.desde);
        if (e.gateway > 0)
            o.insert(QStringLiteral("gateway"), e.gateway);
        registros.append(o);
    }
    QJsonObject raiz;
    raiz.insert(QStringLiteral("version"), kVersion);
    raiz.insert(QStringLiteral("registros"), registros);
    return QJsonDocument(raiz).toJson(QJsonDocument::Indented);
}

bool deserializar(const QByteArray &bytes, QVector<Entrada> &entradas)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject raiz = doc.object();
    const QJsonValue registros = raiz.value(QLatin1String("registros"));
    if (raiz.value(QLatin1String("version")).toInt() != kVersion || !registros.isArray())
        return false;
    QVector<Entrada> leidas;
    for (const QJsonValue &v : registros.toArray()) {
        const QJsonObject o = v.toObject();
        Entrada e;
        const auto linea = QByteArray::fromBase64Encoding(
            o.value(QLatin1String("linea")).toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!v.isObject() || !linea || !esPendiente(linea.decoded.constData(), linea.decoded.size()) ||
            !estadoDe(o.value(QLatin1String("estado")).toString(), e.estado))
            return false;
        e.linea = linea.decoded;
        e.motivo = o.value(QLatin1String("motivo")).toString();
        e.desde = o.value(QLatin1String("desde")).toString();
        e.gateway = qMax(0, o.value(QLatin1String("gateway")).toInt());
        leidas.append(std::move(e));
    }
    entradas = std::move(leidas);
    return true;
}

bool hayPendientes(const QString &rutaSalidas)
{
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    outbox::LectorLineas lector(archivo);
    while (lector.siguiente()) {
        if (esPendiente(lector.datos(), lector.largo()))
            return true;
    }
    return false;
}

Omision::Omision(const QVector<Entrada> &entradas)
{
    for (int i = 0; i < entradas.size(); ++i) {
        auto grupo = std::find_if(m_grupos.begin(), m_grupos.end(),
                                  [&](const Grupo &g) { return g.linea == entradas.at(i).linea; });
        if (grupo == m_grupos.end()) {
            m_grupos.append(Grupo{entradas.at(i).linea, {}, 0});
            grupo = m_grupos.end() - 1;
        }
        grupo->entradas.append(i);
    }
}

int Omision::retenida(const char *datos, int largo)
{
    for (Grupo &g : m_grupos) {
        if (g.usadas < g.entradas.size() && g.linea.size() == largo &&
            std::memcmp(g.linea.constData(), datos, size_t(largo)) == 0)
            return g.entradas.at(g.usadas++);
    }
    return -1;
}

Apertura Retencion::abrir(const QString &ruta, bool hechoAntes, const QString &rutaSalidas,
                          const QString &ahora)
{
    m_ruta = ruta;
    m_entradas.clear();
    m_recuperadas.clear();
    m_confiable = true;
    // A pipe, a device or a link at the path is opened by nothing below: it reads as damaged.
    if (!QFile::exists(ruta) && !archivo_seguro::esEnlace(ruta)) {
        if (hechoAntes && hayPendientes(rutaSalidas)) {
            qCWarning(catLista).noquote() << "Falta el registro de mensajes en duda" << ruta;
            m_confiable = false;
            cambiado();
            m_sucio = false;
            return Apertura::Perdido;
        }
        cambiado();
        guardar();
        return Apertura::Nuevo;
    }
    QVector<Entrada> leidas;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadOnly) || archivo.size() > kTamanoMaximo ||
        !deserializar(archivo.readAll(), leidas)) {
        archivo.close();
        const QString aparte = ruta + QStringLiteral(".danado-") +
                               QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const bool apartado = QFile::rename(ruta, aparte);
        qCWarning(catLista).noquote() << "Registro de mensajes en duda ilegible" << ruta
                                      << (apartado ? QStringLiteral("apartado como ") + aparte : QString());
        m_confiable = false;
        cambiado();
        m_sucio = false;
        return Apertura::Danado;
    }
    m_entradas = std::move(leidas);
    for (Entrada &e : m_entradas) {
        if (e.estado != Estado::EnVuelo)
            continue;
        e.estado = Estado::EnDuda;
        e.motivo = QCoreApplication::translate("retencion",
                                               "el programa se cerró sin conocer la respuesta del gateway");
        e.desde = ahora;
        m_recuperadas.append(e);
    }
    const int leidasAntes = m_entradas.size();
    conciliar(rutaSalidas);
    // One whose line is no longer pending was marked sent before the end: nothing to tell.
    m_recuperadas.erase(std::remove_if(m_recuperadas.begin(), m_recuperadas.end(),
                                       [this](const Entrada &e) { return !retiene(e.linea); }),
                        m_recuperadas.end());
    const bool cambio = m_entradas.size() != leidasAntes || !m_recuperadas.isEmpty();
    cambiado();
    m_sucio = cambio;
    guardar();
    return Apertura::Leido;
}

int Retencion::buscar(const QByteArray &linea, Estado estado, int gateway) const
{
    int otra = -1;
    for (int i = 0; i < m_entradas.size(); ++i) {
        const Entrada &e = m_entradas.at(i);
        if (e.estado != estado || e.linea != linea)
            continue;
        if (gateway == 0 || e.gateway == gateway)
            return i;
        if (otra < 0)
            otra = i;
    }
    return otra;
}

int Retencion::enDudaDe(int gateway) const
{
    return gateway >= 0 && gateway < kGateways ? m_cuentaGateway[size_t(gateway)].load() : 0;
}

void Retencion::cambiado()
{
    m_sucio = true;
    int cuenta = 0;
    std::array<int, kGateways> porGateway{};
    for (const Entrada &e : qAsConst(m_entradas)) {
        if (e.estado == Estado::EnVuelo)
            continue;
        ++cuenta;
        if (e.gateway >= 0 && e.gateway < kGateways)
            porGateway[size_t(e.gateway)] += 1;
    }
    m_cuenta = cuenta;
    for (size_t i = 0; i < porGateway.size(); ++i)
        m_cuentaGateway[i] = porGateway[i];
    m_version += 1;
}

void Retencion::anotarEnVuelo(const QByteArray &linea, const QString &ahora, int gateway)
{
    const int pedido = buscar(linea, Estado::Reenviar, gateway);
    if (pedido >= 0) {
        m_entradas[pedido].estado = Estado::EnVuelo;
        m_entradas[pedido].gateway = gateway;
    } else {
        Entrada e;
        e.linea = linea;
        e.estado = Estado::EnVuelo;
        e.desde = ahora;
        e.gateway = gateway;
        m_entradas.append(std::move(e));
    }
    cambiado();
}

void Retencion::resolver(const QByteArray &linea, bool incierto, const QString &motivo, const QString &ahora,
                         int gateway)
{
    const int i = buscar(linea, Estado::EnVuelo, gateway);
    if (i < 0)
        return;
    if (incierto) {
        m_entradas[i].estado = Estado::EnDuda;
        m_entradas[i].motivo = motivo;
        m_entradas[i].desde = ahora;
    } else {
        m_entradas.remove(i);
    }
    cambiado();
}

bool Retencion::pedirReenvio(const QByteArray &linea)
{
    const int i = buscar(linea, Estado::EnDuda);
    if (i < 0)
        return false;
    m_entradas[i].estado = Estado::Reenviar;
    cambiado();
    return true;
}

bool Retencion::quitar(const QByteArray &linea)
{
    int i = buscar(linea, Estado::EnDuda);
    if (i < 0)
        i = buscar(linea, Estado::Reenviar);
    if (i < 0)
        return false;
    m_entradas.remove(i);
    cambiado();
    return true;
}

bool Retencion::retiene(const QByteArray &linea) const
{
    return buscar(linea, Estado::EnDuda) >= 0 || buscar(linea, Estado::Reenviar) >= 0;
}

void Retencion::olvidarReenvio(const QByteArray &linea)
{
    const int i = buscar(linea, Estado::Reenviar);
    if (i < 0)
        return;
    m_entradas.remove(i);
    cambiado();
}

bool Retencion::reenvioPedido(QByteArray &linea) const
{
    for (const Entrada &e : m_entradas) {
        if (e.estado == Estado::Reenviar) {
            linea = e.linea;
            return true;
        }
    }
    return false;
}

bool Retencion::conciliar(const QString &rutaSalidas)
{
    if (m_entradas.isEmpty())
        return true;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, rutaSalidas, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    QVector<bool> vistas(m_entradas.size(), false);
    Omision omision(m_entradas);
    outbox::LectorLineas lector(archivo);
    while (lector.siguiente()) {
        if (!esPendiente(lector.datos(), lector.largo()))
            continue;
        const int i = omision.retenida(lector.datos(), lector.largo());
        if (i >= 0)
            vistas[i] = true;
    }
    if (lector.fallo())
        return false;
    QVector<Entrada> quedan;
    for (int i = 0; i < m_entradas.size(); ++i) {
        if (vistas.at(i) || m_entradas.at(i).estado == Estado::EnVuelo)
            quedan.append(m_entradas.at(i));
        else
            qCDebug(catLista).noquote()
                << "en duda ya no pendiente:" << QString::fromUtf8(m_entradas.at(i).linea);
    }
    if (quedan.size() != m_entradas.size()) {
        m_entradas = std::move(quedan);
        cambiado();
    }
    return true;
}

void Retencion::empezarDeNuevo()
{
    m_entradas.clear();
    m_recuperadas.clear();
    m_confiable = true;
    cambiado();
}

bool Retencion::guardar()
{
    if (!m_sucio)
        return true;
    if (!m_confiable || m_ruta.isEmpty())
        return false;
    if (!archivos_datos::guardarEntero(m_ruta, serializar(m_entradas)))
        return false;
    m_sucio = false;
    return true;
}

} // namespace retencion
