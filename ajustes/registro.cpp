#include "ajustes/registro.h"

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

} // namespace registro
