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
    // A file handed over by the desktop ("Open with"), an option of another version: the program
    // starts all the same.
    opciones.ignorados = parser.unknownOptionNames();
    if (!valida && opciones.ignorados.isEmpty())
        opciones.ignorados << parser.errorText();
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
