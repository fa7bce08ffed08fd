#include "ajustes/registro.h"
#include "servicio/servicio_envio.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "lista/archivos_datos.h"
#include "lista/corrida_lista.h"
#include "lista/lectura_lista.h"
#include "lista/numero_fecha.h"

#include <QDebug>
#include <QMutexLocker>

// The opt-out list: the history keeps it, the service holds its compare forms for the check
// before every hand-over. A number on it is never handed over; the records to it are cancelled
// once no list run counts the outbox's lines.

namespace servicio {

namespace {

QString ahoraTexto()
{
    return reloj::ahora().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The history's result of a record cancelled for an opt-out.
const QLatin1String kNoEnviadoBaja("no enviado: baja");

} // namespace

// At start and whenever the history read its list anew (a file opened at last, a new file after
// damage): the set is the history's list. A list shorter than the one last known is told.
void ServicioEnvio::leerBajas()
{
    const int conocidas = ajustes::leerEntero(ajustes::Clave::BajasEnVigor);
    if (!m_historial.bajasLeidas()) {
        // Unknown while some were in force: nothing is handed over until it is read.
        m_bajasConocidas = conocidas == 0;
        return;
    }
    int cantidad = 0;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        m_bajas.vaciar();
        // A number no longer on the list frees the records the search passed over for it.
        olvidarBusquedas();
        for (const historial::Baja &b : m_historial.bajas())
            m_bajas.agregar(b.digitos);
        cantidad = m_bajas.cantidad();
    }
    m_bajasConocidas = true;
    m_purgarBajas = cantidad > 0;
    if (cantidad < conocidas) {
        const QString texto =
            tr("La lista de bajas del historial %1 tiene %2 número(s), pero tenía %3. Revise "
               "la pestaña Bajas e importe la lista otra vez si la exportó.")
                .arg(m_historial.ruta())
                .arg(cantidad)
                .arg(conocidas);
        qCWarning(catApp).noquote() << texto;
        agregarLinea(texto);
        if (m_pool)
            emit avisoBajas(texto);
        else
            m_avisoBajasAlIniciar = texto;
    }
    if (cantidad != conocidas)
        ajustes::escribir(ajustes::Clave::BajasEnVigor, cantidad);
}

bool ServicioEnvio::dadoDeBaja(const QString &numero)
{
    QMutexLocker bloqueo(&m_bloqueo);
    return m_bajas.contiene(numero);
}

int ServicioEnvio::cantidadBajas()
{
    QMutexLocker bloqueo(&m_bloqueo);
    return m_bajas.cantidad();
}

// The numbers not on the list yet, each once, as the history's rows.
QVector<historial::Baja> ServicioEnvio::nuevasBajas(const QStringList &numeros, const char *origen,
                                                    const QStringList &textos, int &yaEstaban)
{
    QVector<historial::Baja> nuevas;
    bajas::Lista vistas(m_digitosNumero);
    const QString ahora = ahoraTexto();
    QMutexLocker bloqueo(&m_bloqueo);
    for (int i = 0; i < numeros.size(); ++i) {
        const QString &numero = numeros.at(i);
        const QString digitos = bajas::digitos(numero);
        if (digitos.isEmpty())
            continue;
        if (m_bajas.contiene(numero) || !vistas.agregar(numero)) {
            ++yaEstaban;
            continue;
        }
        nuevas.append({numero, digitos, ahora, QLatin1String(origen), textos.value(i)});
    }
    return nuevas;
}

// In the set at once (the worker's next check sees them), then in the history.
void ServicioEnvio::agregarBajas(const QVector<historial::Baja> &nuevas)
{
    if (nuevas.isEmpty())
        return;
    int cantidad = 0;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        for (const historial::Baja &b : nuevas)
            m_bajas.agregar(b.digitos);
        cantidad = m_bajas.cantidad();
    }
    m_purgarBajas = true;
    m_historial.agregarBajas(nuevas);
    // While the history's list is unknown, what was known stays the mark.
    if (!m_historial.bajasLeidas())
        cantidad = qMax(cantidad, ajustes::leerEntero(ajustes::Clave::BajasEnVigor));
    ajustes::escribir(ajustes::Clave::BajasEnVigor, cantidad);
}

// The messages a fetch brought, stored or not: those that ask for it put their number on the list.
void ServicioEnvio::bajasPorRespuesta(const QList<registro_sms> &mensajes)
{
    if (mensajes.isEmpty())
        return;
    const QStringList palabras = bajas::palabras(ajustes::leerTexto(ajustes::Clave::PalabrasBaja));
    QStringList numeros;
    QStringList textos;
    for (const registro_sms &r : mensajes) {
        if (bajas::pideBaja(r.mensaje, palabras)) {
            numeros << r.numero;
            textos << r.mensaje;
        }
    }
    if (numeros.isEmpty())
        return;
    int yaEstaban = 0;
    const QVector<historial::Baja> nuevas =
        nuevasBajas(numeros, historial::kOrigenRespuesta, textos, yaEstaban);
    agregarBajas(nuevas);
    if (nuevas.isEmpty())
        return;
    QStringList nombres;
    for (const historial::Baja &b : nuevas)
        nombres << b.numero;
    qCDebug(catApp).noquote() << "bajas por respuesta:" << nombres.join(QStringLiteral(", "));
    emit avisoBajas(nuevas.size() == 1
                        ? tr("%1 pidió la baja: no se le enviarán más mensajes.").arg(nombres.first())
                        : tr("%1 números pidieron la baja: no se les enviarán más mensajes (%2).")
                              .arg(nuevas.size())
                              .arg(nombres.join(QStringLiteral(", "))));
    const QString respuesta = ajustes::leerTexto(ajustes::Clave::TextoBaja).trimmed();
    if (!ajustes::leerBool(ajustes::Clave::ConfirmarBaja) || respuesta.isEmpty())
        return;
    // The number as the outbox holds it: the gateway's may come with spaces or dashes.
    for (const QString &numero : qAsConst(nombres)) {
        QString limpio;
        if (lista::limpiarNumero(numero, limpio))
            m_confirmaciones.append({limpio, respuesta});
    }
    confirmarBajas();
}

// The answers to opt-outs go first in the outbox, as urgent messages; while a list run is open
// they wait for its end.
void ServicioEnvio::confirmarBajas()
{
    while (!m_confirmaciones.isEmpty() && !corridaAbierta() && m_trabajador) {
        const QPair<QString, QString> c = m_confirmaciones.first();
        const Manual r = agregarManual(c.first, c.second, true, true);
        if (r == Manual::CorridaPendiente)
            return;
        m_confirmaciones.removeFirst();
        if (r == Manual::NoAbre)
            agregarLinea(
                tr("No se pudo poner en la bandeja de salida la confirmación de baja a %1.").arg(c.first));
    }
}

AltaBaja ServicioEnvio::agregarBaja(const QString &numero)
{
    QString limpio;
    if (!lista::limpiarNumero(numero.trimmed(), limpio))
        return AltaBaja::NoEsNumero;
    int yaEstaban = 0;
    const QVector<historial::Baja> nuevas =
        nuevasBajas({numero.trimmed()}, historial::kOrigenMano, {QString()}, yaEstaban);
    if (nuevas.isEmpty())
        return AltaBaja::YaEstaba;
    agregarBajas(nuevas);
    return AltaBaja::Agregada;
}

int ServicioEnvio::quitarBaja(const QString &numero)
{
    const QString clave = bajas::claveNumero(numero, m_digitosNumero);
    if (clave.isEmpty())
        return 0;
    const int quitadas = m_historial.quitarBajas(clave, m_digitosNumero, ahoraTexto());
    int cantidad = 0;
    {
        QMutexLocker bloqueo(&m_bloqueo);
        m_bajas.quitar(numero);
        olvidarBusquedas();
        cantidad = m_bajas.cantidad();
    }
    if (m_historial.bajasLeidas())
        ajustes::escribir(ajustes::Clave::BajasEnVigor, cantidad);
    qCDebug(catApp).noquote() << "baja quitada por el operador:" << numero << quitadas;
    return quitadas;
}

ImportacionBajas ServicioEnvio::importarBajas(const QString &ruta)
{
    ImportacionBajas r;
    QStringList lineas;
    const lista::Lectura lectura = lista::leerLista(ruta, lineas);
    if (lectura != lista::Lectura::Bien) {
        r.error = lectura == lista::Lectura::NoAbre ? tr("No se pudo abrir %1").arg(ruta)
                                                    : corrida_lista::textoListaRechazada(lectura, ruta);
        return r;
    }
    const QStringList numeros = bajas::numerosDeLista(lineas, r.ignoradas);
    const QVector<historial::Baja> nuevas =
        nuevasBajas(numeros, historial::kOrigenImportada, QStringList(), r.yaEstaban);
    agregarBajas(nuevas);
    r.agregadas = nuevas.size();
    return r;
}

// Under the lock: the check before a hand-over.
bool ServicioEnvio::deBaja(const char *linea, int largo) const
{
    return m_bajas.contieneLinea(linea, largo) && !m_exentos.contains(QByteArray::fromRawData(linea, largo));
}

// Under the lock, never while a list run is open: the records go through the outbox's atomic
// rewrite, the record with the gateway stays, and each is told to the history.
bool ServicioEnvio::cancelarDeBaja(const QVector<QByteArray> &lineas)
{
    QVector<outbox::Referencia> registros;
    registros.reserve(lineas.size());
    for (const QByteArray &linea : lineas)
        registros.append({-1, linea});
    const outbox::ResultadoCancelacion r = quitarDeSalida(registros);
    if (r.resultado != outbox::ResultadoCompactacion::Hecha) {
        qCWarning(catEnvio) << "no se pudieron cancelar los SMS a numeros dados de baja";
        return false;
    }
    // The record with the gateway may still go out: only those taken out are told.
    for (const QByteArray &linea : r.quitadas)
        informarLinea(linea, kNoEnviadoBaja);
    qCDebug(catEnvio) << "cancelados por baja:" << r.cancelados;
    return r.cancelados > 0;
}

// At the worker's turn after the list grew (under the lock): every pending record to a number on
// it is cancelled, those dated later too.
void ServicioEnvio::purgarBajas()
{
    if (!m_purgarBajas || corridaAbierta())
        return;
    m_purgarBajas = false;
    if (m_bajas.cantidad() == 0)
        return;
    // One record at a time: the outbox may hold a million.
    QVector<QByteArray> lineas;
    if (!outbox::recorrerPendientes(m_rutaSalidas, [this, &lineas](outbox::RegistroPendiente &p) {
            if (deBaja(p.linea.constData(), p.linea.size()))
                lineas.append(p.linea);
        }))
        return;
    if (!lineas.isEmpty())
        cancelarDeBaja(lineas);
}

} // namespace servicio
