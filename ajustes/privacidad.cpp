#include "ajustes/privacidad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#endif
#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace privacidad {

namespace {

#ifdef Q_OS_UNIX
// Opened without following a link and without blocking on a pipe; the mode is changed through
// the descriptor, so the entry checked is the entry changed.
void ajustarArchivo(int carpeta, const char *nombre)
{
    const int fd = ::openat(carpeta, nombre, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat datos;
    const mode_t modo = S_IRUSR | S_IWUSR;
    if (::fstat(fd, &datos) == 0 && S_ISREG(datos.st_mode) && (datos.st_mode & 07777) != modo)
        ::fchmod(fd, modo);
    ::close(fd);
}
#endif

#ifdef Q_OS_WIN
// The owner's write access to a file is its read-only attribute there. Changed through a handle
// that does not follow a reparse point, so only a file of the folder itself is touched.
void permitirEscritura(const std::wstring &ruta)
{
    const HANDLE h = CreateFileW(ruta.c_str(), FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return;
    FILE_BASIC_INFO datos;
    const DWORD otros = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (GetFileType(h) == FILE_TYPE_DISK &&
        GetFileInformationByHandleEx(h, FileBasicInfo, &datos, sizeof datos) &&
        (datos.FileAttributes & FILE_ATTRIBUTE_READONLY) && !(datos.FileAttributes & otros)) {
        datos.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
        if (datos.FileAttributes == 0)
            datos.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        // Zero times are left as they are.
        datos.CreationTime.QuadPart = 0;
        datos.LastAccessTime.QuadPart = 0;
        datos.LastWriteTime.QuadPart = 0;
        datos.ChangeTime.QuadPart = 0;
        SetFileInformationByHandle(h, FileBasicInfo, &datos, sizeof datos);
    }
    CloseHandle(h);
}
#endif

} // namespace

void soloUsuario()
{
#ifdef Q_OS_UNIX
    ::umask(S_IRWXG | S_IRWXO);
#endif
}

void restringirCarpeta(const QString &carpeta)
{
#ifdef Q_OS_UNIX
    if (carpeta.isEmpty())
        return;
    const QByteArray ruta = QFile::encodeName(carpeta);
    const int fd = ::open(ruta.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    struct stat datos;
    if (::fstat(fd, &datos) == 0 && (datos.st_mode & 07777) != S_IRWXU)
        ::fchmod(fd, S_IRWXU);
    // The entries are read through the same descriptor: a folder swapped in meanwhile is not
    // the one walked.
    const int lectura = ::dup(fd);
    DIR *dir = lectura >= 0 ? ::fdopendir(lectura) : nullptr;
    if (!dir && lectura >= 0)
        ::close(lectura);
    while (dir) {
        const dirent *entrada = ::readdir(dir);
        if (!entrada)
            break;
        if (std::strcmp(entrada->d_name, ".") == 0 || std::strcmp(entrada->d_name, "..") == 0)
            continue;
        ajustarArchivo(fd, entrada->d_name);
    }
    if (dir)
        ::closedir(dir);
    ::close(fd);
#elif defined(Q_OS_WIN)
    // The folder's own ACL keeps it private; a file made read-only elsewhere (a copy from a CD, a
    // backup tool) would stay unwritable to the program all session.
    if (carpeta.isEmpty())
        return;
    const std::wstring base = QDir::toNativeSeparators(QDir(carpeta).absolutePath()).toStdWString() + L'\\';
    WIN32_FIND_DATAW entrada;
    const HANDLE busqueda =
        FindFirstFileExW((base + L'*').c_str(), FindExInfoBasic, &entrada, FindExSearchNameMatch, nullptr, 0);
    if (busqueda == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((entrada.dwFileAttributes & FILE_ATTRIBUTE_READONLY) &&
            !(entrada.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
            permitirEscritura(base + entrada.cFileName);
    } while (FindNextFileW(busqueda, &entrada));
    FindClose(busqueda);
#else
    Q_UNUSED(carpeta);
#endif
}

void restringirArchivo(const QString &ruta)
{
#ifdef Q_OS_UNIX
    if (ruta.isEmpty())
        return;
    const QFileInfo info(ruta);
    const int carpeta =
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (carpeta < 0)
        return;
    ajustarArchivo(carpeta, QFile::encodeName(info.fileName()).constData());
    ::close(carpeta);
#else
    Q_UNUSED(ruta);
#endif
}

} // namespace privacidad
