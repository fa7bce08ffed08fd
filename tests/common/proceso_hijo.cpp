#include "common/proceso_hijo.h"

#include "app/instancia_unica.h"

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
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

void ProcesoHijo::setupChildProcess()
{
#ifdef Q_OS_LINUX
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
}
