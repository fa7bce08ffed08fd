#include "app/senales.h"
#include "ajustes/registro.h"

#include <QCoreApplication>
#include <QDebug>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace senales {

#ifdef Q_OS_UNIX

namespace {

int g_tuberia[2] = {-1, -1};
constexpr int kSenales[] = {SIGTERM, SIGINT, SIGHUP};

// Only async-signal-safe work here.
extern "C" void alRecibir(int senal)
{
    const char byte = static_cast<char>(senal);
    const ssize_t escrito = ::write(g_tuberia[1], &byte, 1);
    (void)escrito;
}

void restaurarPorDefecto()
{
    for (int senal : kSenales)
        std::signal(senal, SIG_DFL);
}

} // namespace

void salirConSenales(QCoreApplication &app)
{
    if (::pipe(g_tuberia) != 0) {
        qCWarning(catApp) << "Sin tuberia para las senales de salida";
        return;
    }
    for (int fd : g_tuberia) {
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto *aviso = new QSocketNotifier(g_tuberia[0], QSocketNotifier::Read, &app);
    QObject::connect(aviso, &QSocketNotifier::activated, &app, [aviso, &app] {
        char byte = 0;
        while (::read(g_tuberia[0], &byte, 1) == 1) {
        }
        qCDebug(catApp) << "Senal de salida" << int(byte);
        aviso->setEnabled(false);
        restaurarPorDefecto();
        app.quit();
    });
    struct sigaction accion = {};
    accion.sa_handler = alRecibir;
    sigemptyset(&accion.sa_mask);
    accion.sa_flags = SA_RESTART;
    for (int senal : kSenales)
        ::sigaction(senal, &accion, nullptr);
}

#else

void salirConSenales(QCoreApplication &)
{
    // Windows ends a desktop program through its session, which the main window answers.
}

#endif

} // namespace senales
