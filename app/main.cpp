#include "ajustes/aislamiento.h"
#include "ajustes/privacidad.h"
#include "ajustes/registro.h"
#include "app/instancia_unica.h"
#include "app/linea_comandos.h"
#include "app/mainwindow.h"
#include "app/senales.h"
#include "nbsms_version.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

namespace {

QStringList argumentosDe(int argc, char *argv[])
{
    QStringList argumentos;
    for (int i = 0; i < argc; ++i)
        argumentos << QString::fromLocal8Bit(argv[i]);
    return argumentos;
}

// Qt's own texts (the buttons of its dialogs) in Spanish: from "translations" beside the
// executable (a Windows folder), else from Qt's installed translations.
void traducirQt(QCoreApplication &app)
{
    auto *traductor = new QTranslator(&app);
    const QLocale espanol(QLocale::Spanish);
    const QString aqui =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("translations"));
    for (const QString &carpeta : {aqui, QLibraryInfo::location(QLibraryInfo::TranslationsPath)}) {
        if (traductor->load(espanol, QStringLiteral("qtbase"), QStringLiteral("_"), carpeta)) {
            QCoreApplication::installTranslator(traductor);
            return;
        }
    }
    delete traductor;
}

} // namespace

int main(int argc, char *argv[])
{
    // --version and --help answer before anything else exists: no display is needed and the
    // single-instance segment of a running instance is never touched.
    linea_comandos::Opciones opciones = linea_comandos::leer(argumentosDe(argc, argv));
    if (opciones.accion == linea_comandos::Accion::Version ||
        opciones.accion == linea_comandos::Accion::Ayuda) {
        QCoreApplication app(argc, argv);
        const QString texto = opciones.accion == linea_comandos::Accion::Version
                                  ? linea_comandos::textoVersion()
                                  : linea_comandos::textoAyuda();
        std::fputs(texto.toLocal8Bit().constData(), stdout);
        return 0;
    }

    registro::haciaErrorEstandar();
    aislamiento::aplicar();
    privacidad::soloUsuario();
    instancia_unica::fijarAmbitoUsuario();
    QApplication a(argc, argv);
    QCoreApplication::setApplicationVersion(QLatin1String(nbsms_version::kVersion));
    traducirQt(a);
    // Once the application object exists, Qt's own options (-platform, -style...) are out of the
    // arguments.
    if (!opciones.ignorados.isEmpty())
        opciones = linea_comandos::leer(QCoreApplication::arguments());
    if (opciones.accion == linea_comandos::Accion::Error) {
        std::fprintf(stderr, "nbsms: %s\nnbsms --help muestra las opciones.\n",
                     opciones.error.toLocal8Bit().constData());
        return 1;
    }

    if (opciones.detallado)
        registro::detallado();
    for (const QString &ignorado : qAsConst(opciones.ignorados))
        qCDebug(catApp).noquote() << "argumento desconocido, se ignora:" << ignorado;

    std::unique_ptr<QSharedMemory> segmento = instancia_unica::crearSegmento();
    if (!instancia_unica::iniciar(*segmento))
        return 0;
    senales::salirConSenales(a);

    int resultado = 0;
    {
        MainWindow w;
        senales::alTerminarSesion([&w] {
            QCoreApplication::quit();
            w.terminarEnvio();
        });
        w.mostrarAlArrancar(opciones.minimizado);
        resultado = a.exec();
        // A start from now on waits until this one has ended, instead of asking it to show.
        instancia_unica::anunciarCierre(*segmento);
        senales::alTerminarSesion(nullptr);
        w.terminarEnvio();
    }
    segmento.reset();
    return resultado;
}
