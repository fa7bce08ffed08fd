#include "ajustes/registro.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

Q_LOGGING_CATEGORY(catAjustes, "nbsms.ajustes", QtWarningMsg)
Q_LOGGING_CATEGORY(catLista, "nbsms.lista", QtWarningMsg)
Q_LOGGING_CATEGORY(catGateway, "nbsms.gateway", QtWarningMsg)
Q_LOGGING_CATEGORY(catEnvio, "nbsms.envio", QtWarningMsg)
Q_LOGGING_CATEGORY(catApp, "nbsms.app", QtWarningMsg)

namespace registro {

void detallado()
{
    QLoggingCategory::setFilterRules(QStringLiteral("nbsms.*.debug=true\nnbsms.*.info=true"));
}

void haciaErrorEstandar()
{
#ifdef Q_OS_WIN
    const DWORD tipo = GetFileType(GetStdHandle(STD_ERROR_HANDLE));
    if ((tipo == FILE_TYPE_DISK || tipo == FILE_TYPE_PIPE) &&
        qEnvironmentVariableIsEmpty("QT_FORCE_STDERR_LOGGING"))
        qputenv("QT_FORCE_STDERR_LOGGING", "1");
#endif
}

} // namespace registro
