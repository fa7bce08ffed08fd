// nbsms-ajustes: reads or writes one key of the program's settings store, under the program's
// own identity and group, so that scripts never edit the store's file by hand.
//
//   nbsms-ajustes leer CLAVE           prints the stored value ("" when absent)
//   nbsms-ajustes escribir CLAVE VALOR  stores the value (bool_ and int_ keys typed as such)

#include "ajustes/ajustes.h"
#include "ajustes/privacidad.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

#include <cstdio>

namespace {

const char kAyuda[] = "Uso: nbsms-ajustes leer CLAVE\n"
                      "     nbsms-ajustes escribir CLAVE VALOR\n"
                      "Lee o escribe una clave del grupo cfg_lista de la configuración de NBsms.\n";

int fallar(const QString &mensaje)
{
    std::fprintf(stderr, "nbsms-ajustes: %s\n", mensaje.toLocal8Bit().constData());
    return 2;
}

// The value with the type its key's prefix names, or an invalid variant when it does not fit.
QVariant valorTipado(const QString &clave, const QString &texto)
{
    if (clave.startsWith(QLatin1String("bool_"))) {
        if (texto == QLatin1String("true") || texto == QLatin1String("1"))
            return true;
        if (texto == QLatin1String("false") || texto == QLatin1String("0"))
            return false;
        return QVariant();
    }
    if (clave.startsWith(QLatin1String("int_"))) {
        bool ok = false;
        const int n = texto.toInt(&ok);
        return ok ? QVariant(n) : QVariant();
    }
    return texto;
}

} // namespace

int main(int argc, char *argv[])
{
    // The store holds the gateway key in clear: what this tool creates is its user's alone, as
    // with the program.
    privacidad::soloUsuario();
    QCoreApplication app(argc, argv);
    ajustes::fijarIdentidad();
    const QStringList args = app.arguments().mid(1);

    if (args.value(0) == QLatin1String("--help") || args.value(0) == QLatin1String("-h")) {
        std::fputs(kAyuda, stdout);
        return 0;
    }
    const bool leer = args.size() == 2 && args.at(0) == QLatin1String("leer");
    const bool escribir = args.size() == 3 && args.at(0) == QLatin1String("escribir");
    if (!leer && !escribir) {
        std::fputs(kAyuda, stderr);
        return 2;
    }
    // Only the program's own keys: a mistyped name must not leave a stray entry in the store.
    const std::optional<ajustes::Clave> clave = ajustes::buscar(args.at(1));
    if (!clave)
        return fallar(QStringLiteral("clave desconocida: %1").arg(args.at(1)));

    if (leer) {
        const QString valor = ajustes::leerGuardado(*clave).toString();
        std::printf("%s\n", valor.toLocal8Bit().constData());
        return 0;
    }

    const QVariant valor = valorTipado(args.at(1), args.at(2));
    if (!valor.isValid())
        return fallar(QStringLiteral("valor inválido para %1: %2").arg(args.at(1), args.at(2)));
    QSettings s;
    s.beginGroup(QLatin1String(ajustes::kGrupo));
    s.setValue(QLatin1String(ajustes::nombre(*clave)), valor);
    s.endGroup();
    s.sync();
    if (s.status() != QSettings::NoError)
        return fallar(QStringLiteral("no se pudo guardar en %1").arg(s.fileName()));
    // A file written by an older tool, or by hand, is made private as the program makes it.
    privacidad::restringirArchivo(s.fileName());
    return 0;
}
