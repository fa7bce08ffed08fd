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

#ifdef Q_OS_WIN
#include <QPointer>

#include <windows.h>
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

void alTerminarSesion(std::function<void()>)
{
    // The end of the session comes as a signal.
}

#elif defined(Q_OS_WIN)

namespace {

QPointer<QCoreApplication> g_aplicacion;
std::function<void()> g_terminarSesion;

LRESULT CALLBACK procedimiento(HWND ventana, UINT mensaje, WPARAM w, LPARAM l)
{
    switch (mensaje) {
    case WM_CLOSE:
        qCDebug(catApp) << "Pedido de cierre";
        if (g_aplicacion)
            QMetaObject::invokeMethod(g_aplicacion, &QCoreApplication::quit, Qt::QueuedConnection);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Windows ends the process once this returns: nothing may be left for the event loop.
        if (w && g_terminarSesion) {
            qCDebug(catApp) << "Fin de la sesion";
            const std::function<void()> terminar = std::move(g_terminarSesion);
            g_terminarSesion = nullptr;
            terminar();
        }
        return 0;
    default:
        return DefWindowProcW(ventana, mensaje, w, l);
    }
}

} // namespace

void salirConSenales(QCoreApplication &app)
{
    g_aplicacion = &app;
    const std::wstring clase = QString::fromLatin1(kClaseVentanaFin).toStdWString();
    WNDCLASSW tipo = {};
    tipo.lpfnWndProc = procedimiento;
    tipo.hInstance = GetModuleHandleW(nullptr);
    tipo.lpszClassName = clase.c_str();
    // A top-level window (never shown), not a message-only one: close requests and the end of the
    // session reach only top-level windows.
    if (!RegisterClassW(&tipo) || !CreateWindowExW(0, clase.c_str(), L"NBsms", WS_OVERLAPPED, 0, 0, 0, 0,
                                                   nullptr, nullptr, tipo.hInstance, nullptr))
        qCWarning(catApp) << "Sin ventana para los pedidos de cierre:" << GetLastError();
}

void alTerminarSesion(std::function<void()> terminar)
{
    g_terminarSesion = std::move(terminar);
}

#else

void salirConSenales(QCoreApplication &) {}

void alTerminarSesion(std::function<void()>) {}

#endif

} // namespace senales
