#pragma once
// Ending the program from outside goes through the same orderly path as "Salir".
// Unix: SIGTERM, SIGINT and SIGHUP only write a byte to a pipe, and the event loop quits when it
// reads it. A second signal, once the first has been taken, ends the process at once.
// Windows: a hidden window of class "NBsms_terminar" takes a close request (another program's
// WM_CLOSE: QProcess::terminate, taskkill without /F, the uninstaller) and quits the event loop;
// at the end of the session, when Windows ends the process as soon as its windows have answered,
// it runs the orderly end itself before answering.

#include <functional>

class QCoreApplication;

namespace senales {

// The hidden window's class: what an uninstaller looks for to ask a running NBsms to end.
inline constexpr char kClaseVentanaFin[] = "NBsms_terminar";

void salirConSenales(QCoreApplication &app);

// What ends the program in order (the window's end of the sending), for the end of the session;
// empty once that is no longer there.
void alTerminarSesion(std::function<void()> terminar);

} // namespace senales
