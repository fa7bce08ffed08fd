#include "app/instalacion.h"

#include "ajustes/ajustes.h"
#include "nbsms_version.h"

#include <QDir>
#include <QFileInfo>

namespace instalacion {

QStringList lugaresAyuda(const QString &carpetaPrograma)
{
    const QString pagina =
        QLatin1String(ajustes::kCarpetaAyuda) + QLatin1Char('/') + QLatin1String(ajustes::kArchivoAyuda);
    const QDir programa(carpetaPrograma);
    QStringList lugares;
    lugares << programa.filePath(pagina);
    lugares << QDir::cleanPath(
        programa.filePath(QLatin1String(nbsms_version::kDatosRelativos) + QLatin1Char('/') + pagina));
    lugares << QDir(QLatin1String(nbsms_version::kDatosInstalados)).filePath(pagina);
    lugares.removeDuplicates();
    return lugares;
}

QString paginaAyuda(const QString &carpetaPrograma)
{
    for (const QString &lugar : lugaresAyuda(carpetaPrograma))
        if (QFileInfo(lugar).isFile())
            return lugar;
    return QString();
}

} // namespace instalacion
