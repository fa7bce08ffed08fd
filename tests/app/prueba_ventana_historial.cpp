// The history, queue and received-messages tabs of the window: what they show, their filters,
// the export's bytes and the cancellation of pending records. Rows reach the history the way the
// program's do: reported by the worker and the connection, through the queued signals.

#include "app/avisos.h"
#include "envio/threads.h"
#include "gateway/conexion_ngw.h"

#include "common/archivos_prueba.h"
#include "common/ventana_prueba.h"
#include "lista/retencion.h"

#include <QItemSelectionModel>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QtTest>

namespace {
using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

const char kBom[] = "\xEF\xBB\xBF";
} // namespace

class PruebaVentanaHistorial : public QObject, public VentanaPrueba
{
    Q_OBJECT

    QString rutaExporte() const { return datos.absoluteFilePath(QStringLiteral("exporte.csv")); }

    void mostrarPestana(QWidget *pagina)
    {
        ui->tabWidget->setCurrentWidget(pagina);
        QCOMPARE(ui->tabWidget->currentWidget(), pagina);
    }

    void enviado(const char *fecha, const char *numero, const QString &mensaje, const QString &resultado)
    {
        emit w->servicio()->intentoTerminado(QLatin1String(fecha), QLatin1String(numero), mensaje, resultado);
    }

private slots:
    void init() { reiniciar(); }
    void cleanup() { liberar(); }

    void historial_data()
    {
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("separador"); // index of the combo
        QTest::addColumn<QString>("cuenta");
        QTest::addColumn<QByteArray>("exporte");
        const QByteArray cabecera = "Fecha y hora;Número;Mensaje;Resultado\r\n";
        QTest::newRow("todo ;") << ""
                                << "" << 0 << "3 mensajes, 1 con error"
                                << cabecera +
                                       "2026-06-15 10:02:00;1150002;dos;enviado\r\n"
                                       "2026-06-15 10:01:00;1160001;\"uno; \"\"citado\"\"\";error: Error al "
                                       "enviar SMS\r\n"
                                       "2026-06-15 10:00:00;1150001;\"cero\r\nlinea\";enviado\r\n";
        // A number matches in any written form, and by its last digits.
        QTest::newRow("numero ,")
            << "0001"
            << "" << 1 << "2 mensajes, 1 con error"
            << QByteArray("Fecha y hora,Número,Mensaje,Resultado\r\n"
                          "2026-06-15 10:01:00,1160001,\"uno; \"\"citado\"\"\",error: Error al "
                          "enviar SMS\r\n"
                          "2026-06-15 10:00:00,1150001,\"cero\r\nlinea\",enviado\r\n");
        QTest::newRow("numero escrito") << "(115) 00-02"
                                        << "" << 0 << "1 mensajes, 0 con error"
                                        << cabecera + "2026-06-15 10:02:00;1150002;dos;enviado\r\n";
        QTest::newRow("texto") << ""
                               << "CITADO" << 0 << "1 mensajes, 1 con error"
                               << cabecera +
                                      "2026-06-15 10:01:00;1160001;\"uno; \"\"citado\"\"\";error: Error al "
                                      "enviar SMS\r\n";
        QTest::newRow("nada") << "999"
                              << "" << 0 << "0 mensajes, 0 con error" << cabecera;
    }
    // Newest first, filtered by number and text, counted, and exported as shown.
    void historial()
    {
        QFETCH(QString, numero);
        QFETCH(QString, texto);
        QFETCH(int, separador);
        QFETCH(QString, cuenta);
        QFETCH(QByteArray, exporte);
        enviado("2026-06-15 10:00:00", "1150001", QStringLiteral("cero\r\nlinea"), QStringLiteral("enviado"));
        enviado("2026-06-15 10:01:00", "1160001", QStringLiteral("uno; \"citado\""),
                QStringLiteral("error: Error al enviar SMS"));
        enviado("2026-06-15 10:02:00", "1150002", QStringLiteral("dos"), QStringLiteral("enviado"));
        // The queued reports are written on the next turn of the event loop.
        QCoreApplication::processEvents();
        mostrarPestana(ui->tabHistorial);
        QCOMPARE(ui->labelCuentaHistorial->text(), QStringLiteral("3 mensajes, 1 con error"));
        ui->filtroNumeroHistorial->setText(numero);
        ui->filtroTextoHistorial->setText(texto);
        w->aplicarFiltroHistorial();
        QCOMPARE(ui->labelCuentaHistorial->text(), cuenta);
        QCOMPARE(ui->tablaHistorial->model()->rowCount(), int(exporte.count("\r\n20")));

        ui->separadorHistorial->setCurrentIndex(separador);
        DialogoArchivo::fijarSiguienteArchivo(rutaExporte());
        w->on_botonExportarHistorial_clicked();
        QCOMPARE(leer(rutaExporte()), QByteArray(kBom) + exporte);
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
    }

    void bandeja_data()
    {
        QTest::addColumn<QString>("filtro");
        QTest::addColumn<QString>("cuenta");
        QTest::addColumn<QByteArray>("quedan");
        QTest::newRow("todos") << ""
                               << "3 pendiente(s)" << QByteArray("E,1,01/01/2020,ya\n");
        QTest::newRow("filtrados") << "hola"
                                   << "2 de 3 pendiente(s)" << QByteArray("E,1,01/01/2020,ya\ne,3,,chau\n");
    }
    // The pending records, filtered; the selected ones cancelled out of the outbox.
    void bandeja()
    {
        QFETCH(QString, filtro);
        QFETCH(QString, cuenta);
        QFETCH(QByteArray, quedan);
        escribir(salidas(), "E,1,01/01/2020,ya\ne,2,,hola, uno\ne,3,,chau\ne,4,15/06/2026,HOLA dos\n");
        w->servicio()->recontar(false);
        mostrarPestana(ui->tabBandeja);
        ui->filtroBandeja->setText(filtro);
        w->aplicarFiltroBandeja();
        QCOMPARE(ui->labelCuentaBandeja->text(), cuenta);
        const QAbstractItemModel *m = ui->tablaBandeja->model();
        QCOMPARE(m->index(0, 2).data().toString(), QStringLiteral("hola, uno"));
        QCOMPARE(m->index(0, 3).data().toInt(), 2);

        ui->tablaBandeja->selectAll();
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Yes);
        w->on_botonCancelarBandeja_clicked();
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(leer(salidas()), conFinDeLinea(quedan));
        QCOMPARE(w->servicio()->instantanea().pendientes, quedan.count("\ne,"));
        QCOMPARE(m->rowCount(), 0);
        // Each cancelled record leaves its trace in the history.
        QCoreApplication::processEvents();
        mostrarPestana(ui->tabHistorial);
        const QAbstractItemModel *h = ui->tablaHistorial->model();
        QCOMPARE(h->rowCount(), 4 - 1 - quedan.count("\ne,"));
        for (int fila = 0; fila < h->rowCount(); ++fila)
            QCOMPARE(h->index(fila, 3).data().toString(), QStringLiteral("cancelado"));
    }

    // The table is reloaded while the question is open (the worker sent the first record):
    // what is cancelled is the record that was chosen, not whatever now has its row number.
    void cancelarTrasRecarga_data()
    {
        QTest::addColumn<int>("fila");
        QTest::addColumn<QByteArray>("quedan");
        QTest::newRow("en medio") << 2 << QByteArray("E,1,,uno\ne,2,,dos\ne,4,,cuatro\n");
        QTest::newRow("la ultima") << 3 << QByteArray("E,1,,uno\ne,2,,dos\ne,3,,tres\n");
    }
    void cancelarTrasRecarga()
    {
        QFETCH(int, fila);
        QFETCH(QByteArray, quedan);
        escribir(salidas(), "e,1,,uno\ne,2,,dos\ne,3,,tres\ne,4,,cuatro\n");
        mostrarPestana(ui->tabBandeja);
        ui->tablaBandeja->selectRow(fila);
        CuadroMensaje::fijarAlMostrar([this] {
            escribir(salidas(), "E,1,,uno\ne,2,,dos\ne,3,,tres\ne,4,,cuatro\n");
            // Looking at the tab again reloads it at once (the poll's reload is paced).
            mostrarPestana(ui->tab);
            mostrarPestana(ui->tabBandeja);
            QCOMPARE(ui->tablaBandeja->model()->rowCount(), 3);
        });
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Yes);
        w->on_botonCancelarBandeja_clicked();
        CuadroMensaje::fijarAlMostrar({});
        QCOMPARE(leer(salidas()), conFinDeLinea(quedan));
    }

    // A record the gateway may have sent is marked on the queue, counted on the state line and in
    // the tray's tooltip and told once; the operator sends it once more, or marks it sent.
    void enDuda()
    {
        escribir(salidas(), "e,1,,uno\ne,2,,dos\ne,3,,tres\n");
        retencion::Entrada entrada;
        entrada.linea = "e,2,,dos";
        entrada.motivo = QStringLiteral("El gateway no respondió en 30 s");
        escribir(datos.filePath(QLatin1String(ajustes::kArchivoEnDuda)), retencion::serializar({entrada}));
        construir();
        w->PoleoArchivo();
        QVERIFY2(ui->labelEstado->text().endsWith(QStringLiteral(" · 1 SMS en duda")),
                 qPrintable(ui->labelEstado->text()));
        QVERIFY(w->findChild<QSystemTrayIcon *>()->toolTip().endsWith(QStringLiteral("SMS en duda: 1")));
        QCOMPARE(w->statusBar()->currentMessage(), avisos::textoEnDuda(1));
        w->statusBar()->clearMessage();
        w->PoleoArchivo();
        QVERIFY(w->statusBar()->currentMessage().isEmpty());

        mostrarPestana(ui->tabBandeja);
        QCOMPARE(ui->labelCuentaBandeja->text(), QStringLiteral("3 pendiente(s), 1 en duda"));
        QVERIFY(!ui->labelEnDudaBandeja->isHidden());
        const QAbstractItemModel *m = ui->tablaBandeja->model();
        QCOMPARE(m->index(1, 4).data().toString(),
                 QStringLiteral("En duda: el gateway pudo haberlo enviado"));
        QVERIFY(!m->index(0, 4).data().isValid());
        ui->checkSoloEnDuda->setChecked(true);
        QCOMPARE(m->rowCount(), 1);

        ui->tablaBandeja->selectRow(0);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_botonReenviarBandeja_clicked();
        QCOMPARE(m->index(0, 4).data().toString(), QStringLiteral("En duda: se enviará otra vez"));
        ui->tablaBandeja->selectRow(0);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_botonMarcarBandeja_clicked();
        QCOMPARE(leer(salidas()), QByteArray("e,1,,uno\nE,2,,dos\ne,3,,tres\n"));
        QCOMPARE(w->servicio()->instantanea().situacion.enDuda, 0);
        QCOMPARE(m->rowCount(), 0);
        w->PoleoArchivo();
        QVERIFY(ui->labelEnDudaBandeja->isHidden());

        QCoreApplication::processEvents();
        mostrarPestana(ui->tabHistorial);
        ui->filtroTextoHistorial->setText(QStringLiteral("dos"));
        w->aplicarFiltroHistorial();
        QCOMPARE(ui->tablaHistorial->model()->index(0, 3).data().toString(),
                 QStringLiteral("marcado como enviado por el operador"));
        QCOMPARE(ui->tablaHistorial->model()->index(1, 3).data().toString(),
                 QStringLiteral("en duda: el operador pidió enviarlo otra vez"));
    }

    // New messages counted in the tab's title until it is looked at; filter and export.
    void recibidos()
    {
        // What was seen of a history file since set aside does not hide the new file's messages.
        ajustes::escribir(ajustes::Clave::RecibidosVistos, 350);
        servicio::ServicioEnvio *s = w->servicio();
        emit s->mensajesRecibidos(QStringLiteral("2026-06-15 09:00:00"), {QStringLiteral("1150001")},
                                  {QStringLiteral("hola")});
        emit s->mensajesRecibidos(QStringLiteral("2026-06-15 09:05:00"), {QStringLiteral("1160002")},
                                  {QStringLiteral("otro, 1150001")});
        const int indice = ui->tabWidget->indexOf(ui->tabRecibidos);
        QTRY_COMPARE(ui->tabWidget->tabText(indice), QStringLiteral("Recibidos (2)"));
        mostrarPestana(ui->tabRecibidos);
        QCOMPARE(ui->tabWidget->tabText(indice), QStringLiteral("Recibidos"));
        QCOMPARE(ui->labelCuentaRecibidos->text(), QStringLiteral("2 mensajes"));
        QCOMPARE(ui->tablaRecibidos->model()->index(0, 1).data().toString(), QStringLiteral("1160002"));

        ui->filtroRecibidos->setText(QStringLiteral("1150001"));
        w->aplicarFiltroRecibidos();
        QCOMPARE(ui->labelCuentaRecibidos->text(), QStringLiteral("2 mensajes"));
        ui->filtroRecibidos->setText(QStringLiteral("hol"));
        ui->separadorRecibidos->setCurrentIndex(1);
        DialogoArchivo::fijarSiguienteArchivo(rutaExporte());
        w->on_botonExportarRecibidos_clicked();
        QCOMPARE(leer(rutaExporte()),
                 QByteArray(kBom) + "Fecha y hora,Número,Mensaje\r\n2026-06-15 09:00:00,1150001,hola\r\n");

        // Seen stays seen in the next window.
        mostrarPestana(ui->tab);
        construir();
        QCOMPARE(ui->tabWidget->tabText(indice), QStringLiteral("Recibidos"));
    }
};

NBSMS_TEST_MAIN(PruebaVentanaHistorial)
#include "prueba_ventana_historial.moc"
