#include "common/proceso_hijo.h"

#include "app/instancia_unica.h"
#include "app/senales.h"

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString ProcesoHijo::programa()
{
    return qEnvironmentVariable("NBSMS_BIN_DIR") + QStringLiteral("/nbsms");
}

bool ProcesoHijo::arrancar(const QStringList &argumentos, QProcessEnvironment entorno)
{
    entorno.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    setProcessEnvironment(entorno);
    if (processChannelMode() == QProcess::SeparateChannels)
        setProcessChannelMode(QProcess::MergedChannels);
    start(programa(), argumentos);
    return waitForStarted(10000);
}

void ProcesoHijo::matar()
{
    if (state() != QProcess::NotRunning) {
        kill();
        waitForFinished(10000);
    }
    auto segmento = instancia_unica::crearSegmento();
    segmento->attach();
    segmento->detach();
}

bool ProcesoHijo::terminarSesion()
{
    bool encontrada = false;
#ifdef Q_OS_WIN
    struct Busqueda
    {
        DWORD proceso;
        HWND ventana;
    } busqueda{static_cast<DWORD>(processId()), nullptr};
    EnumWindows(
        [](HWND ventana, LPARAM datos) -> BOOL {
            auto *b = reinterpret_cast<Busqueda *>(datos);
            DWORD proceso = 0;
            GetWindowThreadProcessId(ventana, &proceso);
            wchar_t clase[64] = {};
            GetClassNameW(ventana, clase, 64);
            if (proceso != b->proceso ||
                QString::fromWCharArray(clase) != QLatin1String(senales::kClaseVentanaFin))
                return TRUE;
            b->ventana = ventana;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&busqueda));
    if (busqueda.ventana) {
        DWORD_PTR respuesta = 0;
        SendMessageTimeoutW(busqueda.ventana, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000,
                            &respuesta);
        SendMessageTimeoutW(busqueda.ventana, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000,
                            &respuesta);
        encontrada = true;
    }
#endif
    kill();
    return encontrada;
}

void ProcesoHijo::setupChildProcess()
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
}
