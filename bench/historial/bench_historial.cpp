// What the history tabs cost in the real window (offscreen, private HOME): a history of a
// million rows and an outbox of 100,000 pending records, as a year of an office's traffic.
//   - opening the "Historial" tab (first page and counts), filtering it by number and by text;
//   - adding one row the way the worker's report does (queued signal, one commit);
//   - opening the "Bandeja" tab (and the resident memory it adds, where /proc tells it), scrolling
//     to its end, filtering it, and cancelling 10,000 selected records (every other row);
//   - opening the "Recibidos" tab.
//   bench_historial [filas=1000000] [pendientes=100000]

#include "tests/common/carpeta_privada.h"

#include "ajustes/ajustes.h"
#include "app/mainwindow.h"
#include "envio/threads.h"
#include "ui/dialogos.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

QString numero(int k)
{
    return QStringLiteral("11%1").arg(40000000 + k % 10000);
}

// The rows go in through a connection of the bench's own, in one transaction, into the file
// with the program's schema (made by opening a window on it first).
bool llenarHistorial(const QString &ruta, int filas)
{
    bool bien = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("llenar"));
        db.setDatabaseName(ruta);
        bien = db.open() && db.transaction();
        QSqlQuery q(db);
        bien =
            bien && q.prepare(QStringLiteral("INSERT INTO enviados (fecha_hora, numero, mensaje, resultado) "
                                             "VALUES (?, ?, ?, ?)"));
        const QDateTime inicio(QDate(2025, 6, 1), QTime(8, 0));
        for (int k = 0; bien && k < filas; ++k) {
            q.bindValue(0, inicio.addSecs(qint64(k) * 30).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            q.bindValue(1, numero(k));
            q.bindValue(
                2, QStringLiteral("Estimado cliente %1: su cuota de junio vence el dia 10. Gracias.").arg(k));
            q.bindValue(3, k % 20 == 0 ? QStringLiteral("error: Error al enviar SMS")
                                       : QStringLiteral("enviado"));
            bien = q.exec();
        }
        QSqlQuery r(db);
        bien =
            bien &&
            r.prepare(QStringLiteral("INSERT INTO recibidos (fecha_hora, numero, mensaje) VALUES (?, ?, ?)"));
        for (int k = 0; bien && k < filas / 20; ++k) {
            r.bindValue(0, QStringLiteral("2026-01-01 10:00:00"));
            r.bindValue(1, numero(k));
            r.bindValue(2, QStringLiteral("Respuesta %1").arg(k));
            bien = r.exec();
        }
        bien = bien && db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("llenar"));
    return bien;
}

bool escribirSalidas(const QString &ruta, int pendientes)
{
    QByteArray bytes;
    bytes.reserve(pendientes * 90);
    for (int k = 0; k < pendientes; ++k)
        bytes += QStringLiteral("e,%1,--inmediato--,Estimado cliente %2: su cuota vence el dia 10.\n")
                     .arg(numero(k))
                     .arg(k)
                     .toUtf8();
    QFile f(ruta);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

double ms(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e6;
}

// A field of /proc/self/status in KiB; -1 where there is none.
qint64 memoriaKb(const char *campo)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &linea : status.readAll().split('\n')) {
        if (linea.startsWith(campo))
            return linea.mid(int(qstrlen(campo))).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// The peak of resident memory starts again from what is resident now (Linux 4.0 and later).
void reiniciarPico()
{
    QFile limpiar(QStringLiteral("/proc/self/clear_refs"));
    if (limpiar.open(QIODevice::WriteOnly))
        limpiar.write("5");
}

} // namespace

int main(int argc, char *argv[])
{
    auto raiz = carpeta_privada::aislar(QStringLiteral("nbsms-bench"));
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    ajustes::fijarIdentidad();
    CuadroMensaje::activarModoPrueba(true);
    const int filas = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int pendientes = argc > 2 ? std::atoi(argv[2]) : 100000;

    const QDir datos = ajustes::prepararCarpetaDatos();
    const QString rutaHistorial = datos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoHistorial));
    {
        MainWindow w;
    } // the file with its schema
    QElapsedTimer t;
    t.start();
    if (!llenarHistorial(rutaHistorial, filas) ||
        !escribirSalidas(datos.absoluteFilePath(QString::fromLatin1(ajustes::kArchivoSalidas)), pendientes)) {
        std::printf("no se pudieron preparar los datos\n");
        return 1;
    }
    std::printf("datos: %d filas de historial, %d recibidos, %d pendientes (%.0f ms)\n", filas, filas / 20,
                pendientes, ms(t));

    auto w = std::make_unique<MainWindow>();
    Ui::MainWindow *ui = w->formulario();
    w->show();
    QCoreApplication::processEvents();

    t.start();
    ui->tabWidget->setCurrentWidget(ui->tabHistorial);
    QCoreApplication::processEvents();
    std::printf(
        "Historial: abrir la pestana (primera pagina y cuentas): %.1f ms (objetivo < 200) [%s, %d filas "
        "cargadas]\n",
        ms(t), qPrintable(ui->labelCuentaHistorial->text()), ui->tablaHistorial->model()->rowCount());

    const struct
    {
        const char *que;
        QString numero;
        QString texto;
    } filtros[] = {{"numero completo", numero(4321), QString()},
                   {"numero, prefijo de 7 cifras", numero(4321).left(7), QString()},
                   {"texto (informativo: recorre la tabla)", QString(), QStringLiteral("cliente 4321:")}};
    for (const auto &f : filtros) {
        ui->filtroNumeroHistorial->setText(f.numero);
        ui->filtroTextoHistorial->setText(f.texto);
        t.start();
        w->aplicarFiltroHistorial();
        QCoreApplication::processEvents();
        std::printf("Historial: filtrar por %s: %.1f ms%s [%s]\n", f.que, ms(t),
                    f.texto.isEmpty() ? " (objetivo < 100)" : "",
                    qPrintable(ui->labelCuentaHistorial->text()));
    }
    ui->filtroNumeroHistorial->clear();
    ui->filtroTextoHistorial->clear();
    ui->desdeHistorial->setDate(QDate(2025, 9, 1));
    ui->hastaHistorial->setDate(QDate(2025, 9, 30));
    t.start();
    ui->checkFechasHistorial->setChecked(true);
    QCoreApplication::processEvents();
    std::printf("Historial: filtrar por un mes: %.1f ms [%s]\n", ms(t),
                qPrintable(ui->labelCuentaHistorial->text()));
    ui->checkFechasHistorial->setChecked(false);

    constexpr int kAgregadas = 2000;
    t.start();
    for (int k = 0; k < kAgregadas; ++k) {
        emit w->servicio()->intentoTerminado(QStringLiteral("2026-06-15 10:00:00"), numero(k),
                                             QStringLiteral("Mensaje agregado %1").arg(k),
                                             QStringLiteral("enviado"));
        QCoreApplication::processEvents();
    }
    std::printf("Historial: agregar una fila (senal encolada y su commit): %.3f ms por fila (objetivo < 1)\n",
                ms(t) / kAgregadas);

    const qint64 antesKb = memoriaKb("VmRSS:");
    reiniciarPico();
    t.start();
    ui->tabWidget->setCurrentWidget(ui->tabBandeja);
    QCoreApplication::processEvents();
    std::printf("Bandeja: abrir la pestana con %d pendientes: %.1f ms (objetivo < 300) [%s]\n", pendientes,
                ms(t), qPrintable(ui->labelCuentaBandeja->text()));
    std::printf(
        "Bandeja: memoria residente agregada: %.1f MiB al abrirla, pico %.1f MiB (objetivo: hasta 50)\n",
        (memoriaKb("VmRSS:") - antesKb) / 1024.0, (memoriaKb("VmHWM:") - antesKb) / 1024.0);

    t.start();
    ui->tablaBandeja->scrollToBottom();
    QCoreApplication::processEvents();
    std::printf("Bandeja: ir al final: %.1f ms [%s]\n", ms(t),
                qPrintable(ui->tablaBandeja->model()
                               ->index(ui->tablaBandeja->model()->rowCount() - 1, 2)
                               .data()
                               .toString()));
    ui->tablaBandeja->scrollToTop();
    ui->filtroBandeja->setText(QStringLiteral("cliente 4321:"));
    t.start();
    w->aplicarFiltroBandeja();
    QCoreApplication::processEvents();
    std::printf("Bandeja: filtrar por texto: %.1f ms [%s]\n", ms(t),
                qPrintable(ui->labelCuentaBandeja->text()));
    ui->filtroBandeja->clear();
    w->aplicarFiltroBandeja();
    QCoreApplication::processEvents();

    const int aCancelar = qMin(10000, ui->tablaBandeja->model()->rowCount() / 2);
    QItemSelection seleccion;
    for (int k = 0; k < aCancelar; ++k)
        seleccion.select(ui->tablaBandeja->model()->index(2 * k, 0),
                         ui->tablaBandeja->model()->index(2 * k, 3));
    ui->tablaBandeja->selectionModel()->select(seleccion, QItemSelectionModel::ClearAndSelect);
    CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
    t.start();
    w->on_botonCancelarBandeja_clicked();
    QCoreApplication::processEvents();
    std::printf("Bandeja: cancelar %d seleccionados (uno de cada dos): %.1f ms (objetivo < 1000) [%s]\n",
                aCancelar, ms(t), qPrintable(ui->labelCuentaBandeja->text()));

    t.start();
    ui->tabWidget->setCurrentWidget(ui->tabRecibidos);
    QCoreApplication::processEvents();
    std::printf("Recibidos: abrir la pestana: %.1f ms [%s]\n", ms(t),
                qPrintable(ui->labelCuentaRecibidos->text()));

    w.reset();
    return 0;
}
