// The history with the real program, run as an ordinary user (root writes any file whatever its
// modes, and would hide these faults). On Windows a read-only file is read-only to its owner too.

#include "ajustes/ajustes.h"
#include "historial/base_historial.h"
#include "tools/simulador/simulador_ngw.h"

#include "common/archivos_prueba.h"
#include "common/entorno_prueba.h"
#include "common/proceso_hijo.h"

#include <QDirIterator>
#include <QSqlDatabase>
#include <QSqlQuery>

#ifdef Q_OS_UNIX
#include <csignal>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
using archivos_prueba::escribir;
using archivos_prueba::leer;

#ifdef Q_OS_UNIX

// The program as "nobody" when the test runs as root; as the test's own user otherwise.
class ProcesoSinPrivilegios : public ProcesoHijo
{
public:
    uid_t uid = 0;
    gid_t gid = 0;

protected:
    void setupChildProcess() override
    {
        ProcesoHijo::setupChildProcess();
        if (::geteuid() == 0 && uid != 0) {
            ::setgroups(0, nullptr);
            if (::setgid(gid) != 0 || ::setuid(uid) != 0)
                ::_exit(127);
        }
    }
};

// Everything of this test's private folders becomes the user's the program runs as.
void entregar(const QString &raiz, uid_t uid, gid_t gid)
{
    ::lchown(QFile::encodeName(raiz).constData(), uid, gid);
    QDirIterator it(raiz, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        ::lchown(QFile::encodeName(it.next()).constData(), uid, gid);
}
#else
using ProcesoSinPrivilegios = ProcesoHijo;
#endif

QStringList enviados(const QString &ruta)
{
    QStringList filas;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("lectura"));
        db.setDatabaseName(ruta);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT numero, resultado FROM enviados ORDER BY id"));
            while (q.next())
                filas << q.value(0).toString() + QLatin1Char('|') + q.value(1).toString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("lectura"));
    return filas;
}

} // namespace

class PruebaHistorial : public QObject
{
    Q_OBJECT

private slots:
    // A history its owner cannot write when the program starts (modes from another program) is
    // made private first and opened after: the session's rows reach it.
    void soloLecturaAlArrancar()
    {
        const QDir datos(ajustes::carpetaUsuario().filePath(QLatin1String(ajustes::kCarpetaDatos)));
        QVERIFY(ajustes::carpetaUsuario().mkpath(QLatin1String(ajustes::kCarpetaDatos)));
        const QString ruta = datos.filePath(QLatin1String(ajustes::kArchivoHistorial));
        {
            historial::Historial base;
            QVERIFY(base.abrir(ruta));
            base.agregarEnviado(QStringLiteral("2026-06-15 09:00:00"), QStringLiteral("1"),
                                QStringLiteral("antes"), QStringLiteral("enviado"));
        }
        QVERIFY(QFile::setPermissions(ruta, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const QString salidas = datos.filePath(QLatin1String(ajustes::kArchivoSalidas));
        escribir(salidas, "e,1150001,,hola\n");

        simulador::SimuladorNgw gateway("k1");
        const int puerto = gateway.iniciar("127.0.0.1", 0);
        QVERIFY(puerto > 0);
        ajustes::escribir(ajustes::Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
        ajustes::escribir(ajustes::Clave::KeyGateway, QStringLiteral("key=k1"));
        ajustes::escribir(ajustes::Clave::EnvioActivado, true);

        ProcesoSinPrivilegios programa;
#ifdef Q_OS_UNIX
        if (::geteuid() == 0) {
            const passwd *nadie = ::getpwnam("nobody");
            if (!nadie)
                QSKIP("no user 'nobody' to run the program as");
            programa.uid = nadie->pw_uid;
            programa.gid = nadie->pw_gid;
            entregar(QFileInfo(ajustes::carpetaUsuario().path()).absolutePath(), programa.uid, programa.gid);
        }
#endif
        QVERIFY2(programa.arrancar(), qPrintable(programa.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(leer(salidas).startsWith("E,"), 20000);
#ifdef Q_OS_UNIX
        ::kill(static_cast<pid_t>(programa.processId()), SIGTERM);
#else
        programa.terminate(); // a close request, which ends it in order
#endif
        QVERIFY(programa.waitForFinished(20000));
        QCOMPARE(programa.exitCode(), 0);
        // Its owner may write it again (Windows: the read-only attribute is cleared).
        QVERIFY(QFileInfo(ruta).permissions() & QFileDevice::WriteOwner);
        QCOMPARE(enviados(ruta),
                 QStringList({QStringLiteral("1|enviado"), QStringLiteral("1150001|enviado")}));
    }
};

NBSMS_TEST_MAIN(PruebaHistorial)
#include "prueba_historial.moc"
