#include "app/ajustes.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

namespace ajustes {

QVariant leer(const char *clave, const QVariant &defecto)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    QVariant v = s.value(QLatin1String(clave), defecto);
    s.endGroup();
    return v;
}

void escribir(const char *clave, const QVariant &valor)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    s.setValue(QLatin1String(clave), valor);
    s.endGroup();
}

bool contiene(const char *clave)
{
    QSettings s;
    s.beginGroup(QLatin1String(kGrupo));
    const bool hay = s.contains(QLatin1String(clave));
    s.endGroup();
    return hay;
}

bool leerBool(const char *clave, bool defecto)
{
    const QVariant v = leer(clave);
    if (!v.isValid())
        return defecto;
    if (v.type() == QVariant::Bool)
        return v.toBool();
    const QString texto = v.toString().trimmed().toLower();
    if (texto == QLatin1String("true") || texto == QLatin1String("1"))
        return true;
    if (texto == QLatin1String("false") || texto == QLatin1String("0"))
        return false;
    qDebug().noquote() << "Ajuste no valido, se usa el valor por defecto:" << clave << v.toString();
    return defecto;
}

int leerEntero(const char *clave, int defecto, int minimo, int maximo)
{
    const QVariant v = leer(clave);
    if (!v.isValid())
        return defecto;
    bool ok = false;
    const qlonglong valor = v.toString().trimmed().toLongLong(&ok);
    if (ok && valor >= minimo && valor <= maximo)
        return static_cast<int>(valor);
    qDebug().noquote() << "Ajuste no valido, se usa el valor por defecto:" << clave << v.toString();
    return defecto;
}

int leerMascaraHorarios()
{
    return leerEntero(kCheckHorarios, kCheckHorariosDefecto, 0, kCheckHorariosDefecto);
}

void fijarIdentidad()
{
    QCoreApplication::setOrganizationName(QString::fromUtf8(kOrganizacion));
    QCoreApplication::setOrganizationDomain(QString::fromUtf8(kDominio));
    QCoreApplication::setApplicationName(QString::fromUtf8(kAplicacion));
}

QDir carpetaDatos()
{
    QDir dir = QDir::home();
    dir.cd(QLatin1String(kCarpetaDatos));
    return dir;
}

QDir prepararCarpetaDatos()
{
    QDir dir = QDir::home();
    qDebug() << "MyDocs str: " << QDir::homePath();
    qDebug() << "MyDocs path: " << dir.absolutePath();
    dir.mkdir(QLatin1String(kCarpetaDatos));
    dir.cd(QLatin1String(kCarpetaDatos));
    return dir;
}

QString rutaPorDefecto(const char *nombreArchivo)
{
    return carpetaDatos().absoluteFilePath(QString::fromUtf8(nombreArchivo));
}

QString resolverVacio(const QString &valor, const char *clave, const QString &rutaDefecto)
{
    if (valor != QLatin1String(kVacio))
        return valor;
    escribir(clave, rutaDefecto);
    return rutaDefecto;
}

} // namespace ajustes
