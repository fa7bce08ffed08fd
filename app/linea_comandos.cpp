#include "app/linea_comandos.h"

#include "nbsms_version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace linea_comandos {

namespace {

const QString kVersion = QStringLiteral("version");
const QString kAyuda = QStringLiteral("help");
const QString kDetallado = QStringLiteral("verbose");
const QString kMinimizado = QLatin1String(kOpcionMinimizado);

void configurar(QCommandLineParser &parser)
{
    // "-reverse" is one option, as Qt reads it, not "-r -e -v ..." (which would ask for the version).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "linea_comandos", "Envío de SMS masivos y manuales a través de un gateway."));
    parser.addOption({{QStringLiteral("v"), kVersion},
                      QCoreApplication::translate("linea_comandos", "Muestra la versión y termina.")});
    parser.addOption({{QStringLiteral("h"), kAyuda},
                      QCoreApplication::translate("linea_comandos", "Muestra esta ayuda y termina.")});
    parser.addOption({kDetallado, QCoreApplication::translate(
                                      "linea_comandos", "Muestra también los mensajes de depuración.")});
    parser.addOption(
        {kMinimizado, QCoreApplication::translate("linea_comandos",
                                                  "Arranca oculto en la bandeja del sistema, sin cambiar "
                                                  "la opción guardada de iniciar minimizado.")});
}

// The options QGuiApplication, QApplication and the X11 platform take out of the command line
// themselves (with one dash or two).
bool opcionDeQt(const QString &nombre)
{
    static const QStringList opciones{QStringLiteral("platform"),
                                      QStringLiteral("platformpluginpath"),
                                      QStringLiteral("platformtheme"),
                                      QStringLiteral("plugin"),
                                      QStringLiteral("qwindowgeometry"),
                                      QStringLiteral("geometry"),
                                      QStringLiteral("qwindowtitle"),
                                      QStringLiteral("title"),
                                      QStringLiteral("qwindowicon"),
                                      QStringLiteral("icon"),
                                      QStringLiteral("reverse"),
                                      QStringLiteral("session"),
                                      QStringLiteral("testability"),
                                      QStringLiteral("qmljsdebugger"),
                                      QStringLiteral("style"),
                                      QStringLiteral("stylesheet"),
                                      QStringLiteral("widgetcount"),
                                      QStringLiteral("display"),
                                      QStringLiteral("name"),
                                      QStringLiteral("visual"),
                                      QStringLiteral("ncols"),
                                      QStringLiteral("cmap"),
                                      QStringLiteral("sync"),
                                      QStringLiteral("nograb"),
                                      QStringLiteral("dograb")};
    return opciones.contains(nombre);
}

} // namespace

Opciones leer(const QStringList &argumentos)
{
    QCommandLineParser parser;
    configurar(parser);
    const bool valida = parser.parse(argumentos);
    Opciones opciones;
    // As Qt's own process(): the version and the help win over any mistake beside them.
    if (parser.isSet(kVersion)) {
        opciones.accion = Accion::Version;
    } else if (parser.isSet(kAyuda)) {
        opciones.accion = Accion::Ayuda;
    }
    // A file handed over by the desktop ("Open with") is no reason not to start; an option
    // nobody knows is a mistake to tell.
    QStringList desconocidas;
    for (const QString &nombre : parser.unknownOptionNames()) {
        if (opcionDeQt(nombre))
            opciones.ignorados << nombre;
        else
            desconocidas << nombre;
    }
    if (opciones.accion == Accion::Iniciar &&
        (!desconocidas.isEmpty() || (!valida && parser.unknownOptionNames().isEmpty()))) {
        opciones.accion = Accion::Error;
        opciones.error = desconocidas.size() == 1
                             ? QCoreApplication::translate("QCommandLineParser", "Unknown option '%1'.")
                                   .arg(desconocidas.constFirst())
                         : desconocidas.isEmpty()
                             ? parser.errorText()
                             : QCoreApplication::translate("QCommandLineParser", "Unknown options: %1.")
                                   .arg(desconocidas.join(QStringLiteral(", ")));
    }
    opciones.ignorados += parser.positionalArguments();
    opciones.detallado = parser.isSet(kDetallado);
    opciones.minimizado = parser.isSet(kMinimizado);
    return opciones;
}

QString textoVersion()
{
    return QStringLiteral("nbsms %1\n").arg(QLatin1String(nbsms_version::kVersion));
}

QString textoAyuda()
{
    QCommandLineParser parser;
    configurar(parser);
    return parser.helpText();
}

} // namespace linea_comandos
