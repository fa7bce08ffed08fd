#pragma once
// The program's command line. --version and --help are answered before anything else is built:
// they need no display and never reach the single-instance guard, so they work from any
// terminal and leave a running instance alone.

#include <QString>
#include <QStringList>

namespace linea_comandos {

enum class Accion { Iniciar, Version, Ayuda, Error };

// The option that starts this run in the tray ("--minimizado"), as the session's autostart passes it.
inline constexpr char kOpcionMinimizado[] = "minimizado";

struct Opciones
{
    Accion accion = Accion::Iniciar;
    // --verbose: every diagnostic line, not only warnings and errors.
    bool detallado = false;
    // --minimizado: this run starts in the tray only, as with the stored "start minimized"
    // option, which it leaves as it is (the session's autostart entry passes it).
    bool minimizado = false;
    // Why the command line was refused (Accion::Error): an option neither the program nor Qt
    // knows. In the application's language once its translator is installed.
    QString error;
    // What is ignored: arguments that are no option (a file handed over by "Open with"), and
    // Qt's own options (-platform, -style...) by name, until the application object has taken
    // them out.
    QStringList ignorados;
};

// Reads the arguments, the program's path first. Qt's own options pass, so that this can be
// read before the application object exists (without a display an unknown option is told, not
// a crash); read again from QCoreApplication::arguments() after it.
Opciones leer(const QStringList &argumentos);

// What --version prints: "nbsms <version>".
QString textoVersion();
// What --help prints. Needs an application object.
QString textoAyuda();

} // namespace linea_comandos
