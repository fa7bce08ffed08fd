#include "app/instancia_unica.h"
#include "ajustes/aislamiento.h"
#include "ajustes/registro.h"

#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <cstring>

namespace instancia_unica {

namespace {

int tamanoToken()
{
    return QString::fromLatin1(kCorriendo).length();
}

} // namespace

void fijarAmbitoUsuario()
{
#if defined(Q_OS_UNIX)
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty() && QDir(runtime).exists())
        qputenv("TMPDIR", QFile::encodeName(runtime));
#endif
}

std::unique_ptr<QSharedMemory> crearSegmento()
{
    QString clave = QString::fromLatin1(kClave);
    // A test run's programs guard among themselves, never against the user's running instance
    // (on Windows the session's names are shared by every program of the user).
    if (aislamiento::activo())
        clave += QLatin1Char('_') + QFileInfo(aislamiento::raiz()).fileName();
    return std::make_unique<QSharedMemory>(clave);
}

void escribirToken(QSharedMemory &segmento, const char *token)
{
    segmento.lock();
    if (void *datos = segmento.data()) {
        const int n = qMin(segmento.size(), tamanoToken());
        std::memcpy(datos, token, static_cast<size_t>(n));
    }
    segmento.unlock();
}

namespace {

constexpr int kSondeoMs = 50;

QByteArray leerToken(QSharedMemory &segmento)
{
    segmento.lock();
    const char *datos = static_cast<const char *>(segmento.constData());
    const QByteArray token = datos ? QByteArray(datos, qMin(segmento.size(), tamanoToken())) : QByteArray();
    segmento.unlock();
    return token;
}

// Creates the segment, or takes over one nobody holds any more (its instance was killed or has
// just ended): our detach makes it disappear, while one held by a live instance stays.
bool crear(QSharedMemory &segmento)
{
    const int n = tamanoToken();
    if (segmento.isAttached())
        segmento.detach();
    segmento.attach(QSharedMemory::ReadWrite);
    if (segmento.create(n, QSharedMemory::ReadWrite))
        return true;
    if (segmento.error() != QSharedMemory::AlreadyExists)
        return false;
    segmento.detach();
    return segmento.create(n, QSharedMemory::ReadWrite);
}

} // namespace

bool iniciar(QSharedMemory &segmento)
{
    if (crear(segmento)) {
        escribirToken(segmento, kCorriendo);
        return true;
    }
    // Only a segment that exists and can be reached means another instance is running; any other
    // failure (no runtime folder, no permission) must not keep the program from ever starting.
    if (segmento.error() != QSharedMemory::AlreadyExists || !segmento.attach(QSharedMemory::ReadWrite)) {
        qCDebug(catApp).noquote() << "Instancia unica sin control:" << segmento.errorString();
        return true;
    }
    bool cerrando = leerToken(segmento) == kCerrando;
    if (!cerrando)
        escribirToken(segmento, kRestaurar);
    QElapsedTimer espera;
    espera.start();
    for (;;) {
        const QByteArray token = segmento.isAttached() ? leerToken(segmento) : QByteArray();
        cerrando = cerrando || token == kCerrando;
        if (!cerrando && (token == kCorriendo || espera.elapsed() >= kEsperaRespuestaMs))
            return false; // answered, or busy: either way it runs
        if (cerrando && espera.elapsed() >= kEsperaCierreMs) {
            qCWarning(catApp) << "La instancia anterior no termino de cerrarse; no se inicia otra";
            return false;
        }
        QThread::msleep(kSondeoMs);
        // Our own attachment must not keep an ending instance's segment alive.
        if (crear(segmento)) {
            if (cerrando)
                qCDebug(catApp) << "La instancia anterior termino; esta es la primera";
            escribirToken(segmento, kCorriendo);
            return true;
        }
        if (segmento.error() != QSharedMemory::AlreadyExists)
            return true;
        segmento.attach(QSharedMemory::ReadWrite);
    }
}

void anunciarCierre(QSharedMemory &segmento)
{
    if (segmento.isAttached())
        escribirToken(segmento, kCerrando);
}

bool atenderPedido(const std::function<void()> &restaurar)
{
    const int n = tamanoToken();
    std::unique_ptr<QSharedMemory> segmento = crearSegmento();
    if (segmento->isAttached())
        segmento->detach();
    segmento->attach(QSharedMemory::ReadWrite);
    if (segmento->create(n, QSharedMemory::ReadWrite))
        return false; // the segment had vanished; the new one goes with this object
    bool atendido = false;
    segmento->lock();
    const char *datos = static_cast<const char *>(segmento->constData());
    if (datos && segmento->size() >= n && std::memcmp(datos, kRestaurar, static_cast<size_t>(n)) == 0) {
        if (restaurar)
            restaurar();
        std::memcpy(segmento->data(), kCorriendo, static_cast<size_t>(n));
        atendido = true;
    }
    segmento->unlock();
    return atendido;
}

QByteArray leerContenido()
{
    std::unique_ptr<QSharedMemory> segmento = crearSegmento();
    if (!segmento->attach(QSharedMemory::ReadOnly))
        return {};
    segmento->lock();
    QByteArray contenido(static_cast<const char *>(segmento->constData()),
                         qMin(segmento->size(), tamanoToken()));
    segmento->unlock();
    segmento->detach();
    return contenido;
}

} // namespace instancia_unica
