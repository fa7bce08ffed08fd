#include "app/instancia_unica.h"
#include "ajustes/aislamiento.h"
#include "ajustes/registro.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

bool iniciar(QSharedMemory &segmento)
{
    const int n = tamanoToken();
    if (segmento.isAttached())
        segmento.detach();
    segmento.attach(QSharedMemory::ReadWrite);
    bool creado = segmento.create(n, QSharedMemory::ReadWrite);
    if (!creado && segmento.error() == QSharedMemory::AlreadyExists) {
        // A segment nobody holds any more (its instance was killed) disappears with our
        // detach; one held by a live instance stays and the second create fails again.
        segmento.detach();
        creado = segmento.create(n, QSharedMemory::ReadWrite);
    }
    if (creado) {
        escribirToken(segmento, kCorriendo);
        return true;
    }
    // Only a segment that exists and can be reached means another instance is running; any other
    // failure (no runtime folder, no permission) must not keep the program from ever starting.
    if (segmento.error() == QSharedMemory::AlreadyExists && segmento.attach(QSharedMemory::ReadWrite)) {
        escribirToken(segmento, kRestaurar);
        return false;
    }
    qCDebug(catApp).noquote() << "Instancia unica sin control:" << segmento.errorString();
    return true;
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
