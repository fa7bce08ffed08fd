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
    // Why the command line was refused (Accion::Error).
    QString error;
    // What was not understood (unknown options by name, other arguments as given): ignored.
    QStringList ignorados;
};

// Reads the arguments, the program's path first. Qt's own options (-platform, -style...) are
// unknown here: before the application object has taken them out, they show among `ignorados`,
// so read again from QCoreApplication::arguments() after it.
Opciones leer(const QStringList &argumentos);

// What --version prints: "nbsms <version>".
QString textoVersion();
// What --help prints. Needs an application object.
QString textoAyuda();

} // namespace linea_comandos
