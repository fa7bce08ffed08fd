#include "ajustes/registro.h"
#include "historial/base_historial.h"

#include "lista/archivos_datos.h"

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

// The rows waiting for the file: kept in memory within a bound, and at the end in the side file
// that the next start loads.

namespace historial {

namespace {

// The side file: a JSON array of rows, each {"r": received, "f", "n", "m", "x": result}; an
// opt-out {"t": "baja", "f", "n", "m": its text, "x": its origin, "d": digits}, one taken off
// {"t": "quitada", "f", "d": compare form, "c": its digits}.
constexpr qint64 kMaxArchivoEspera = qint64(64) << 20;
const QLatin1String kTipoBaja("baja");
const QLatin1String kTipoQuitada("quitada");

} // namespace

void Historial::recortarEspera()
{
    int demas = m_espera.size() - kMaxEnEspera;
    if (demas <= 0)
        return;
    // The oldest messages go; an opt-out never does, as a send could follow from its loss.
    int quitadasCargadas = 0;
    int i = 0;
    while (demas > 0 && i < m_espera.size()) {
        const Tipo tipo = m_espera.at(i).tipo;
        if (tipo != Tipo::Enviado && tipo != Tipo::Recibido) {
            ++i;
            continue;
        }
        if (i < m_cargadas)
            ++quitadasCargadas;
        m_espera.remove(i);
        --demas;
        ++m_descartadas;
    }
    m_cargadas = qMax(0, m_cargadas - quitadasCargadas);
}

void Historial::cargarEspera()
{
    const QString ruta = rutaEspera(m_ruta);
    if (!QFile::exists(ruta))
        return;
    QFile archivo;
    if (!archivos_datos::abrirDatos(archivo, ruta, QIODevice::ReadOnly))
        return;
    if (archivo.size() > kMaxArchivoEspera) {
        qCWarning(catApp).noquote() << ruta << "es demasiado grande para ser del historial: no se carga.";
        return;
    }
    QJsonParseError error;
    const QJsonDocument documento = QJsonDocument::fromJson(archivo.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !documento.isArray()) {
        qCWarning(catApp).noquote() << ruta << "no se puede leer:" << error.errorString();
        return;
    }
    const QJsonArray filas = documento.array();
    QVector<Fila> cargadas;
    cargadas.reserve(filas.size());
    for (const QJsonValue &v : filas) {
        const QJsonObject o = v.toObject();
        const QString tipo = o.value(QLatin1String("t")).toString();
        Fila f;
        if (tipo == kTipoBaja)
            f.tipo = Tipo::Baja;
        else if (tipo == kTipoQuitada)
            f.tipo = Tipo::Quitada;
        else
            f.tipo = o.value(QLatin1String("r")).toBool() ? Tipo::Recibido : Tipo::Enviado;
        f.fechaHora = o.value(QLatin1String("f")).toString();
        f.numero = o.value(QLatin1String("n")).toString();
        f.mensaje = o.value(QLatin1String("m")).toString();
        f.resultado = o.value(QLatin1String("x")).toString();
        f.digitos = o.value(QLatin1String("d")).toString();
        f.cifras = o.value(QLatin1String("c")).toInt();
        f.gateway = o.value(QLatin1String("g")).toInt(1);
        cargadas.append(std::move(f));
    }
    qCDebug(catApp).noquote() << "historial:" << cargadas.size() << "registro(s) en espera desde" << ruta;
    // Older than anything reported since: they go first.
    cargadas += m_espera;
    m_espera.swap(cargadas);
    m_cargadas = m_espera.size() - cargadas.size();
    // Nothing to write from it: an empty side file is done with.
    if (m_cargadas == 0)
        QFile::remove(ruta);
}

void Historial::guardarEspera()
{
    if (m_ruta.isEmpty() || m_espera.isEmpty())
        return;
    const QString ruta = rutaEspera(m_ruta);
    QJsonArray filas;
    for (const Fila &f : qAsConst(m_espera)) {
        QJsonObject o;
        o.insert(QLatin1String("f"), f.fechaHora);
        switch (f.tipo) {
        case Tipo::Enviado:
        case Tipo::Recibido:
            o.insert(QLatin1String("r"), f.tipo == Tipo::Recibido);
            o.insert(QLatin1String("n"), f.numero);
            o.insert(QLatin1String("m"), f.mensaje);
            if (f.tipo == Tipo::Enviado)
                o.insert(QLatin1String("x"), f.resultado);
            if (f.gateway != 1)
                o.insert(QLatin1String("g"), f.gateway);
            break;
        case Tipo::Baja:
            o.insert(QLatin1String("t"), kTipoBaja);
            o.insert(QLatin1String("n"), f.numero);
            o.insert(QLatin1String("m"), f.mensaje);
            o.insert(QLatin1String("x"), f.resultado);
            o.insert(QLatin1String("d"), f.digitos);
            break;
        case Tipo::Quitada:
            o.insert(QLatin1String("t"), kTipoQuitada);
            o.insert(QLatin1String("d"), f.digitos);
            o.insert(QLatin1String("c"), f.cifras);
            break;
        }
        filas.append(o);
    }
    if (archivos_datos::guardarEntero(ruta, QJsonDocument(filas).toJson(QJsonDocument::Compact))) {
        qCWarning(catApp).noquote() << "historial:" << m_espera.size()
                                    << "registro(s) no se pudieron escribir y quedan en" << ruta
                                    << "para el próximo arranque";
        m_cargadas = m_espera.size();
    } else {
        qCCritical(catApp).noquote() << "historial:" << m_espera.size()
                                     << "registro(s) no se pudieron escribir"
                                     << "ni guardar en" << ruta << "y se pierden";
    }
}

} // namespace historial
