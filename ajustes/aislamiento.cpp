#include "ajustes/aislamiento.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace aislamiento {

namespace {

#ifdef Q_OS_WIN
const wchar_t *ancho(const QString &texto)
{
    return reinterpret_cast<const wchar_t *>(texto.utf16());
}

bool g_aplicado = false;
#endif

} // namespace

QString raiz()
{
    const QString carpeta = qEnvironmentVariable(kVariable);
    return carpeta.isEmpty() ? QString() : QDir::cleanPath(QDir(carpeta).absolutePath());
}

bool activo()
{
    return !raiz().isEmpty();
}

QString claveRegistro()
{
    if (!activo())
        return QString();
    return QStringLiteral("Software\\NBsms pruebas\\") + QFileInfo(raiz()).fileName();
}

void aplicar()
{
#ifdef Q_OS_WIN
    if (g_aplicado || !activo())
        return;
    // Created under the real per-user hive first, then put in its place for this process.
    const QString clave = claveRegistro();
    HKEY privada = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, ancho(clave), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &privada,
                        nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, privada) != ERROR_SUCCESS) {
        // A test run that cannot be kept away from the user's registry must not go on.
        qFatal("No se pudo aislar el registro en HKEY_CURRENT_USER\\%s", qPrintable(clave));
    }
    RegCloseKey(privada);
    g_aplicado = true;
#endif
}

void crear(const QString &carpeta)
{
    QDir().mkpath(carpeta + QStringLiteral("/home"));
    qputenv(kVariable, QFile::encodeName(QDir(carpeta).absolutePath()));
    aplicar();
}

void deshacer()
{
#ifdef Q_OS_WIN
    if (!g_aplicado)
        return;
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    g_aplicado = false;
    RegDeleteTreeW(HKEY_CURRENT_USER, ancho(claveRegistro()));
    // The common parent goes with the last run (it stays while another run has its key there).
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\NBsms pruebas");
#endif
}

} // namespace aislamiento
