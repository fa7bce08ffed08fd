// nbsms-capturas: the README's pictures of the main window, to be remade after any change of the
// form:
//
//   nbsms-capturas [CARPETA]     (docs/capturas by default)
//
// writes lista.png (the list page with a preview), estado.png (the status page while sending)
// and configuracion.png (the configuration page). The window is built offscreen in a private
// home and settings store, with a sample list and a few sent, pending and received messages; it
// sends to the gateway simulator, in this process, on 127.0.0.1. The clock is fixed, so the
// pictures change only when the window does.

#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "ajustes/reloj.h"
#include "app/mainwindow.h"
#include "gateway/recibidos.h"
#include "lista/archivos_datos.h"
#include "tools/simulador/simulador_ngw.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFont>
#include <QLineEdit>
#include <QPixmap>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

const char kClave[] = "1234";
// How the paths read in the pictures, instead of the private folder's random name.
const char kCasa[] = "/home/operador";

const char kLista[] = "nombre,celular,vencimiento,monto\n"
                      "Ana Pérez,1155550101,10/12/2026,15.400\n"
                      "Bruno Díaz,1155550102,10/12/2026,8.250\n"
                      "Carla Gómez,1155550103,11/12/2026,22.900\n"
                      "Diego Ruiz,1155550104,11/12/2026,5.100\n";
const char kPlantilla[] = "Hola {nombre}, su cuota de $[monto] vence el [vencimiento]. "
                          "Consultas al 4555-0100. Velquor S.A.";

int fallar(const char *motivo)
{
    std::fprintf(stderr, "nbsms-capturas: %s\n", motivo);
    return 1;
}

bool escribir(const QString &ruta, const QByteArray &bytes)
{
    QFile archivo(ruta);
    return archivo.open(QIODevice::WriteOnly) && archivo.write(bytes) == bytes.size();
}

// Runs the event loop until `listo` holds or `ms` have passed.
bool esperar(const std::function<bool()> &listo, int ms)
{
    const QDeadlineTimer limite(ms);
    QEventLoop bucle;
    QTimer sondeo;
    QObject::connect(&sondeo, &QTimer::timeout, &bucle, [&] {
        if (listo() || limite.hasExpired())
            bucle.quit();
    });
    sondeo.start(50);
    if (!listo())
        bucle.exec();
    return listo();
}

// The outbox, the received messages and the list, as a day's work leaves them.
bool prepararDatos(const QDir &datos, const QString &hoy)
{
    const char *const nombres[] = {"Ana", "Bruno", "Carla", "Diego", "Elena", "Fabián", "Gisela", "Hugo"};
    QByteArray salidas;
    for (int i = 0; i < 8; ++i) {
        // The first three went out; the rest wait for the gateway.
        QByteArray linea = archivos_datos::lineaRegistroOutbox(
                               QStringLiteral("11555502%1").arg(i + 10), hoy,
                               QStringLiteral("Hola %1, su turno es el lunes a las 9. Velquor S.A.")
                                   .arg(QString::fromUtf8(nombres[i])))
                               .toUtf8();
        if (i < 3)
            linea[0] = 'E';
        salidas += linea + '\n';
    }
    const char *const mensajes[][2] = {{"1155550103", "Recibido, gracias"},
                                       {"1155550230", "Confirmo el turno"}};
    QByteArray entrada;
    for (const auto &m : mensajes)
        entrada +=
            recibidos::lineaRecibido(hoy, QLatin1String(m[0]), QString::fromUtf8(m[1])).toUtf8() + '\n';
    return escribir(datos.filePath(QLatin1String(ajustes::kArchivoSalidas)), salidas) &&
           escribir(datos.filePath(QLatin1String(ajustes::kArchivoRecibidos)), entrada) &&
           escribir(datos.filePath(QStringLiteral("clientes.csv")), QByteArray(kLista));
}

// A field as it reads in the pictures, without storing it: the private home becomes kCasa.
void mostrarRuta(QLineEdit *campo)
{
    const QSignalBlocker bloqueo(campo);
    campo->setText(campo->text().replace(ajustes::carpetaUsuario().path(), QLatin1String(kCasa)));
    campo->setCursorPosition(0);
}

bool guardar(MainWindow &ventana, const QDir &destino, const char *nombre)
{
    QCoreApplication::processEvents();
    const QString ruta = destino.filePath(QLatin1String(nombre));
    if (!ventana.grab().save(ruta, "PNG"))
        return false;
    std::printf("%s\n", QFile::encodeName(ruta).constData());
    return true;
}

int capturar(const QDir &destino)
{
    const QDir datos = ajustes::prepararCarpetaDatos();
    reloj::fijar([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 30)); });
    if (!prepararDatos(datos, reloj::hoyTexto()))
        return fallar("no se pudieron escribir los datos de ejemplo");

    simulador::SimuladorNgw gateway(kClave);
    const int puerto = gateway.iniciar("127.0.0.1", 0);
    if (puerto < 0)
        return fallar("el simulador no pudo escuchar en 127.0.0.1");

    using ajustes::Clave;
    ajustes::escribir(Clave::TieneHeader, true);
    ajustes::escribir(Clave::UsarComa, true);
    ajustes::escribir(Clave::ListaNombreFila, datos.filePath(QStringLiteral("clientes.csv")));
    ajustes::escribir(Clave::ColumnaCelular, QStringLiteral("celular"));
    ajustes::escribir(Clave::ColumnaFecha, QStringLiteral("vencimiento"));
    ajustes::escribir(Clave::FormatoSms, QString::fromUtf8(kPlantilla));
    ajustes::escribir(Clave::IpGateway, QStringLiteral("127.0.0.1:%1").arg(puerto));
    ajustes::escribir(Clave::KeyGateway, QStringLiteral("key=") + QLatin1String(kClave));
    ajustes::escribir(Clave::EnvioActivado, true);

    int resultado = 0;
    {
        MainWindow ventana;
        Ui::MainWindow *ui = ventana.formulario();
        ventana.show();

        // The list page, its preview on the second row of the list.
        ui->tabWidget->setCurrentIndex(1);
        ventana.on_SmsListaUp_clicked();
        ui->TransformadaSMS->moveCursor(QTextCursor::Start);
        mostrarRuta(ui->ingresoLista);
        if (!guardar(ventana, destino, "lista.png"))
            resultado = fallar("no se pudo guardar lista.png");

        // The status page with a message on its way: two go out at once, then the gateway takes
        // its time over the third (its room check, then the message), long enough for the poll
        // to show it.
        ui->tabWidget->setCurrentIndex(2);
        servicio::ServicioEnvio *envio = ventana.servicio();
        const int antes = envio->instantanea().enviados;
        if (!esperar([&] { return envio->instantanea().enviados >= antes + 2; }, 30000))
            resultado = fallar("el envío al simulador no avanzó");
        gateway.fijarDemora(std::chrono::milliseconds(10000));
        const QString enviando = QCoreApplication::translate("MainWindow", "Enviando SMS");
        if (!esperar([&] { return ui->labelEstado->text() == enviando; }, 25000))
            resultado = fallar("el estado nunca mostró el envío");
        if (resultado == 0 && !guardar(ventana, destino, "estado.png"))
            resultado = fallar("no se pudo guardar estado.png");

        // The configuration page, with the gateway as an office would have it.
        ui->tabWidget->setCurrentIndex(3);
        {
            const QSignalBlocker bloqueo(ui->IPGateway);
            ui->IPGateway->setText(QStringLiteral("192.168.0.20"));
        }
        for (QLineEdit *campo : {ui->ingresoErrores, ui->ingresoBackups, ui->ingresoInbox})
            mostrarRuta(campo);
        if (!guardar(ventana, destino, "configuracion.png"))
            resultado = fallar("no se pudo guardar configuracion.png");

        gateway.detener();
        ventana.terminarEnvio();
    }
    return resultado;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString carpeta = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/capturas");
    if (argc > 2 || carpeta.startsWith(QLatin1Char('-'))) {
        std::fputs("Uso: nbsms-capturas [CARPETA]\n"
                   "Guarda lista.png, estado.png y configuracion.png de la ventana principal en CARPETA\n"
                   "(por defecto docs/capturas).\n",
                   stderr);
        return 2;
    }
    QDir destino(QDir(carpeta).absolutePath());
    if (!destino.mkpath(QStringLiteral(".")))
        return fallar("no se pudo crear la carpeta de destino");

    auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-capturas"));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int resultado = 0;
    {
        QApplication app(argc, argv);
        ajustes::fijarIdentidad();
        // The font Qt gives a Linux desktop without a theme of its own; the offscreen platform's
        // is larger than any desktop's.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
        // No box may wait for an answer that nobody gives; any one shown spoils the pictures.
        CuadroMensaje::activarModoPrueba(true);
        resultado = capturar(destino);
        if (resultado == 0 && !CuadroMensaje::mostrados().isEmpty()) {
            for (const CuadroMensaje::Mostrado &caja : CuadroMensaje::mostrados())
                std::fprintf(stderr, "%s: %s\n", caja.titulo.toLocal8Bit().constData(),
                             caja.texto.toLocal8Bit().constData());
            resultado = fallar("la ventana mostró un aviso");
        }
    }
    raiz.reset();
    return resultado;
}
