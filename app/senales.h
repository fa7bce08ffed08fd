#pragma once
// Ending the program from outside goes through the same orderly path as "Salir": on Unix,
// SIGTERM, SIGINT and SIGHUP only write a byte to a pipe, and the event loop quits when it reads
// it. A second signal, once the first has been taken, ends the process at once.

class QCoreApplication;

namespace senales {

void salirConSenales(QCoreApplication &app);

} // namespace senales
