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

// What --version and --help print, or the usage error (exit status 2).
int responder(const linea_comandos::Opciones &opciones)
{
    switch (opciones.accion) {
    case linea_comandos::Accion::Version:
        std::fputs(linea_comandos::textoVersion().toLocal8Bit().constData(), stdout);
        return 0;
    case linea_comandos::Accion::Ayuda:
        std::fputs(linea_comandos::textoAyuda().toLocal8Bit().constData(), stdout);
        return 0;
    case linea_comandos::Accion::Error:
    case linea_comandos::Accion::Iniciar:
        break;
    }
    std::fprintf(stderr, "nbsms: %s\n%s\n", opciones.error.toLocal8Bit().constData(),
                 QCoreApplication::translate("linea_comandos", "nbsms --help muestra las opciones.")
                     .toLocal8Bit()
                     .constData());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // --version, --help and a mistaken option are answered before anything else exists: no
    // display is needed and the single-instance segment of a running instance is never touched.
    linea_comandos::Opciones opciones = linea_comandos::leer(argumentosDe(argc, argv));
    if (opciones.accion != linea_comandos::Accion::Iniciar) {
        QCoreApplication app(argc, argv);
        traducirQt(app);
        // Read again, now that Qt's own words (its usage lines, its errors) are in Spanish.
        opciones = linea_comandos::leer(QCoreApplication::arguments());
        return responder(opciones);
    }

    registro::haciaErrorEstandar();
    aislamiento::aplicar();
    privacidad::soloUsuario();
    instancia_unica::fijarAmbitoUsuario();
    // Nothing here draws with OpenGL: plain raster windows spare every start loading the GL
    // stack (on X11 a software renderer and its compiler).
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    QApplication a(argc, argv);
    QCoreApplication::setApplicationVersion(QLatin1String(nbsms_version::kVersion));
    traducirQt(a);
    // Once the application object exists, Qt's own options (-platform, -style...) are out of the
    // arguments; one it did not take is a mistake after all.
    opciones = linea_comandos::leer(QCoreApplication::arguments());
    if (opciones.accion != linea_comandos::Accion::Iniciar)
        return responder(opciones);

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
