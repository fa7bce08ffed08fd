// The opt-out list as the operator handles it on the window: the "Bajas" tab (add, remove with a
// question, export and import back), the question before a manual send to a number on it, and
// each reply shown with the last message sent to that number before it, its conversation and reply.

#include "app/conversacion.h"
#include "common/archivos_prueba.h"
#include "common/ventana_prueba.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QtTest>

namespace {
using archivos_prueba::conFinDeLinea;
using archivos_prueba::leer;
} // namespace

class PruebaVentanaBajas : public QObject, public VentanaPrueba
{
    Q_OBJECT

    void mostrarPestana(QWidget *pagina)
    {
        ui->tabWidget->setCurrentWidget(pagina);
        QCOMPARE(ui->tabWidget->currentWidget(), pagina);
    }
    void agregar(const QString &numero)
    {
        ui->ingresoNumeroBaja->setText(numero);
        QTest::mouseClick(ui->botonAgregarBaja, Qt::LeftButton);
    }

private slots:
    void init() { reiniciar(); }
    void cleanup()
    {
        liberar();
        ajustes::escribir(ajustes::Clave::BajasEnVigor, 0);
    }

    void pestanaBajas()
    {
        servicio::ServicioEnvio *s = w->servicio();
        mostrarPestana(ui->tabBajas);
        agregar(QStringLiteral("+54 9 11 4567-8902"));
        agregar(QStringLiteral("011 4567 8902"));
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("ya estaba")));
        agregar(QStringLiteral("abc"));
        QCOMPARE(CuadroMensaje::textosMostrados(),
                 QStringList{QStringLiteral("«abc» no es un número de teléfono.")});
        QCOMPARE(s->cantidadBajas(), 1);
        QCOMPARE(ui->tablaBajas->model()->rowCount(), 1);
        QCOMPARE(ui->tablaBajas->model()->index(0, 2).data().toString(), QStringLiteral("a mano"));

        const QString exporte = datos.absoluteFilePath(QStringLiteral("bajas.csv"));
        DialogoArchivo::fijarSiguienteArchivo(exporte);
        QTest::mouseClick(ui->botonExportarBajas, Qt::LeftButton);
        QVERIFY(leer(exporte).contains("+54 9 11 4567-8902;a mano;"));

        // Removing asks; "No" keeps it.
        ui->tablaBajas->selectRow(0);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::No);
        QTest::mouseClick(ui->botonQuitarBaja, Qt::LeftButton);
        QCOMPARE(s->cantidadBajas(), 1);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Yes);
        QTest::mouseClick(ui->botonQuitarBaja, Qt::LeftButton);
        QCOMPARE(s->cantidadBajas(), 0);
        QCOMPARE(ui->tablaBajas->model()->rowCount(), 0);

        DialogoArchivo::fijarSiguienteArchivo(exporte);
        QTest::mouseClick(ui->botonImportarBajas, Qt::LeftButton);
        QCOMPARE(s->cantidadBajas(), 1);
        QCOMPARE(ui->tablaBajas->model()->index(0, 2).data().toString(), QStringLiteral("importada"));

        // A manual send to that number, in another form, asks first; only "Sí" queues it.
        ui->NumDestino->setText(QStringLiteral("1145678902"));
        ui->TextoManual->setPlainText(QStringLiteral("hola"));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::No);
        w->on_BotonEnviar_released();
        QVERIFY(!QFile::exists(salidas()) || leer(salidas()).isEmpty());
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Yes);
        w->on_BotonEnviar_released();
        QVERIFY(leer(salidas()).startsWith("e,1145678902,"));
    }

    void respuestaConContexto()
    {
        servicio::ServicioEnvio *s = w->servicio();
        const auto enviado = [s](const char *fecha, const char *numero, const char *mensaje,
                                 const char *resultado) {
            emit s->intentoTerminado(QLatin1String(fecha), QLatin1String(numero), QLatin1String(mensaje),
                                     QLatin1String(resultado));
        };
        enviado("2026-06-15 09:00:00", "5491145678902", "recordatorio 1", "enviado");
        enviado("2026-06-15 09:05:00", "1145678902", "recordatorio 2", "enviado");
        enviado("2026-06-15 09:06:00", "1145678902", "recordatorio 3", "error: Error al enviar SMS");
        enviado("2026-06-15 09:20:00", "1145678902", "recordatorio 4", "enviado");
        enviado("2026-06-15 09:07:00", "2245678902", "a otro", "enviado");
        emit s->mensajesRecibidos(QStringLiteral("2026-06-15 09:10:00"),
                                  {QStringLiteral("+54 9 11 4567-8902")}, {QStringLiteral("ya pagué")});
        emit s->mensajesRecibidos(QStringLiteral("2026-06-15 09:11:00"), {QStringLiteral("3345678902")},
                                  {QStringLiteral("¿quién es?")});
        QCoreApplication::processEvents();
        mostrarPestana(ui->tabRecibidos);
        const QAbstractItemModel *m = ui->tablaRecibidos->model();
        QTRY_COMPARE(m->rowCount(), 2);
        QCOMPARE(m->index(1, 3).data().toString(), QStringLiteral("2026-06-15 09:05:00"));
        QCOMPARE(m->index(1, 4).data().toString(), QStringLiteral("recordatorio 2"));
        QCOMPARE(m->index(0, 3).data().toString(), QString());

        // The filter finds the reply by the number as the list wrote it.
        ui->filtroRecibidos->setText(QStringLiteral("011 4567-8902"));
        w->aplicarFiltroRecibidos();
        QCOMPARE(m->rowCount(), 1);

        // The conversation holds every form of the number; the reply goes first in the outbox, to
        // the number as the outbox writes numbers.
        DialogoConversacion conversacion(*s, QStringLiteral("+54 9 11 4567-8902"));
        QCOMPARE(conversacion.findChild<QTableWidget *>(QStringLiteral("tablaConversacion"))->rowCount(), 5);
        conversacion.findChild<QPlainTextEdit *>(QStringLiteral("textoRespuesta"))
            ->setPlainText(QStringLiteral("Gracias"));
        QVERIFY(conversacion.responder());
        QVERIFY(leer(salidas()).startsWith("e,+5491145678902,"));
        QVERIFY(leer(salidas()).contains(",Gracias"));
    }
};

NBSMS_TEST_MAIN(PruebaVentanaBajas)
#include "prueba_ventana_bajas.moc"
