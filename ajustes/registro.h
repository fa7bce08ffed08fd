#pragma once
// The program's logging categories, one per area. Debug lines are off unless the command line's
// --verbose or QT_LOGGING_RULES (e.g. "nbsms.gateway.debug=true") turn them on; warnings and
// errors always show.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(catAjustes) // nbsms.ajustes
Q_DECLARE_LOGGING_CATEGORY(catLista)   // nbsms.lista
Q_DECLARE_LOGGING_CATEGORY(catGateway) // nbsms.gateway
Q_DECLARE_LOGGING_CATEGORY(catEnvio)   // nbsms.envio
Q_DECLARE_LOGGING_CATEGORY(catApp)     // nbsms.app

namespace registro {

// Turns every debug line of the program on (--verbose). QT_LOGGING_RULES still has the last word.
void detallado();

// Windows: a program with a window has no console, and Qt gives its lines to the debugger; when
// the standard error is a file or a pipe (a test, `nbsms --verbose 2> registro.txt`) they go there,
// as on Unix. Call before the first line is logged.
void haciaErrorEstandar();

} // namespace registro
