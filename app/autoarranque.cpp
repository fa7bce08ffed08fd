#include "app/autoarranque.h"

#include "app/linea_comandos.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

namespace autoarranque {

namespace {

QString texto(const char *fuente)
{
    return QCoreApplication::translate("autoarranque", fuente);
}

QString opcionMinimizado()
{
    return QStringLiteral("--") + QLatin1String(linea_comandos::kOpcionMinimizado);
}

// The escapes of a desktop entry's string values.
QString escaparTexto(const QString &valor)
{
    QString escapado;
    for (const QChar c : valor) {
        switch (c.unicode()) {
        case '\\':
            escapado += QLatin1String("\\\\");
            break;
        case '\n':
            escapado += QLatin1String("\\n");
            break;
        case '\t':
            escapado += QLatin1String("\\t");
            break;
        case '\r':
            escapado += QLatin1String("\\r");
            break;
        default:
            escapado += c;
        }
    }
    return escapado;
}

// One argument of Exec, always quoted: inside the quotes ", `, $ and \ take a backslash and a
// literal % is doubled (it would start a field code); the string escapes come on top of that.
QString argumentoExec(const QString &argumento)
{
    QString citado = QStringLiteral("\"");
    for (const QChar c : argumento) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            citado += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            citado += QLatin1Char('%');
        citado += c;
    }
    citado += QLatin1Char('"');
    return escaparTexto(citado);
}

#if defined(Q_OS_WIN)

const char kClaveRun[] = "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kValorRun[] = "NBsms";

#elif defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#define NBSMS_AUTOARRANQUE_XDG

QString archivoEntrada()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("autostart/nbsms.desktop"));
}

QString desescaparTexto(const QString &valor)
{
    QString claro;
    for (int i = 0; i < valor.size(); ++i) {
        const QChar c = valor.at(i);
        if (c != QLatin1Char('\\') || i + 1 == valor.size()) {
            claro += c;
            continue;
        }
        const QChar siguiente = valor.at(++i);
        switch (siguiente.unicode()) {
        case 's':
            claro += QLatin1Char(' ');
            break;
        case 'n':
            claro += QLatin1Char('\n');
            break;
        case 't':
            claro += QLatin1Char('\t');
            break;
        case 'r':
            claro += QLatin1Char('\r');
            break;
        default:
            claro += siguiente;
        }
    }
    return claro;
}

// Whether the desktop would run the entry at `ruta` when the session starts.
bool entradaActiva(const QString &ruta)
{
    QFile archivo(ruta);
    if (!archivo.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    bool enGrupo = false;
    bool hayGrupo = false;
    QString programa;
    while (!archivo.atEnd()) {
        const QString linea = QString::fromUtf8(archivo.readLine()).trimmed();
        if (linea.startsWith(QLatin1Char('['))) {
            enGrupo = linea == QLatin1String("[Desktop Entry]");
            hayGrupo = hayGrupo || enGrupo;
            continue;
        }
        const int igual = linea.indexOf(QLatin1Char('='));
        if (!enGrupo || igual < 0)
            continue;
        const QString clave = linea.left(igual).trimmed();
        const QString valor = desescaparTexto(linea.mid(igual + 1).trimmed());
        if (clave == QLatin1String("Hidden") && valor == QLatin1String("true"))
            return false;
        if (clave == QLatin1String("X-GNOME-Autostart-enabled") && valor == QLatin1String("false"))
            return false;
        if (clave == QLatin1String("TryExec"))
            programa = valor;
    }
    if (!hayGrupo)
        return false;
    if (programa.isEmpty())
        return true;
    if (QFileInfo(programa).isAbsolute())
        return QFileInfo(programa).isExecutable();
    return !QStandardPaths::findExecutable(programa).isEmpty();
}

#endif

} // namespace

QByteArray entradaEscritorio(const QString &programa)
{
    const QStringList lineas{
        QStringLiteral("[Desktop Entry]"),
        QStringLiteral("Type=Application"),
        QStringLiteral("Name=NBsms"),
        QStringLiteral("Comment=Envía SMS masivos y manuales a través de un gateway de la red local"),
        QStringLiteral("Exec=%1 %2").arg(argumentoExec(programa), opcionMinimizado()),
        // A program removed or moved since leaves an entry that the desktop skips.
        QStringLiteral("TryExec=%1").arg(escaparTexto(programa)),
        QStringLiteral("Icon=nbsms"),
        QStringLiteral("Terminal=false"),
        QStringLiteral("X-GNOME-Autostart-enabled=true"),
    };
    return lineas.join(QLatin1Char('\n')).toUtf8() + '\n';
}

#if defined(Q_OS_WIN)

bool disponible()
{
    return true;
}

QString ubicacion()
{
    return QLatin1String(kClaveRun) + QLatin1Char('\\') + QLatin1String(kValorRun);
}

bool activo()
{
    const QSettings run(QLatin1String(kClaveRun), QSettings::NativeFormat);
    return !run.value(QLatin1String(kValorRun)).toString().trimmed().isEmpty();
}

bool fijar(bool activar, const QString &programa, QString *error)
{
    QSettings run(QLatin1String(kClaveRun), QSettings::NativeFormat);
    if (activar) {
        run.setValue(QLatin1String(kValorRun),
                     QStringLiteral("\"%1\" %2").arg(QDir::toNativeSeparators(programa), opcionMinimizado()));
    } else {
        run.remove(QLatin1String(kValorRun));
    }
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    if (error) {
        *error = (activar ? texto("No se pudo agregar el inicio con la sesión en %1.")
                          : texto("No se pudo quitar el inicio con la sesión de %1."))
                     .arg(ubicacion());
    }
    return false;
}

#elif defined(NBSMS_AUTOARRANQUE_XDG)

bool disponible()
{
    return true;
}

QString ubicacion()
{
    return archivoEntrada();
}

bool activo()
{
    return entradaActiva(archivoEntrada());
}

bool fijar(bool activar, const QString &programa, QString *error)
{
    const QString ruta = archivoEntrada();
    QString motivo;
    if (!activar) {
        QFile entrada(ruta);
        if (!entrada.exists() && !QFileInfo(ruta).isSymLink())
            return true;
        if (entrada.remove())
            return true;
        motivo = texto("No se pudo quitar el inicio con la sesión (%1): %2").arg(ruta, entrada.errorString());
    } else {
        QDir().mkpath(QFileInfo(ruta).absolutePath());
        QSaveFile entrada(ruta);
        if (entrada.open(QIODevice::WriteOnly) && entrada.write(entradaEscritorio(programa)) >= 0 &&
            entrada.commit())
            return true;
        motivo =
            texto("No se pudo escribir el inicio con la sesión (%1): %2").arg(ruta, entrada.errorString());
    }
    if (error)
        *error = motivo;
    return false;
}

#else

bool disponible()
{
    return false;
}

QString ubicacion()
{
    return QString();
}

bool activo()
{
    return false;
}

bool fijar(bool, const QString &, QString *error)
{
    if (error)
        *error = texto("Este sistema no permite iniciar el programa con la sesión.");
    return false;
}

#endif

} // namespace autoarranque
