// What the window does for a list's integrity: no data file can be chosen as another one, and a
// list path that is no plain file is refused without reading it, by detection, the preview and a
// run. The run's own integrity is the service's (tests/servicio/prueba_corrida.cpp).

#include "common/archivos_prueba.h"
#include "common/ventana_prueba.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ventana_prueba;
using archivos_prueba::escribir;

class PruebaCorridaIntegridad : public QObject, public VentanaPrueba
{
    Q_OBJECT

private slots:
    void init() { reiniciarParaCorridas(); }
    void cleanup() { liberar(); }

    // No data file can be chosen as another one.
    void rutaDeDatosRechazadaAlBuscar_data()
    {
        QTest::addColumn<QString>("boton");
        QTest::addColumn<QString>("elegida");
        QTest::addColumn<QString>("rol");
        QTest::addColumn<QString>("ya"); // the data file it already is; empty: accepted
        QTest::newRow("errores en la bandeja") << "BuscarCarpetaOuts"
                                               << "salidas"
                                               << "el archivo de errores"
                                               << "la bandeja de salida";
        QTest::newRow("backup en la bandeja") << "BuscarCarpetaBackups"
                                              << "salidas"
                                              << "el backup de la lista"
                                              << "la bandeja de salida";
        QTest::newRow("backup en errores") << "BuscarCarpetaBackups"
                                           << "errores.csv"
                                           << "el backup de la lista"
                                           << "el archivo de errores";
        QTest::newRow("recibidos en el temporal") << "BuscarInbox"
                                                  << "compactando.csv"
                                                  << "el archivo de recibidos"
                                                  << "el temporal de compactacion";
        QTest::newRow("backup en el registro de la corrida")
            << "BuscarCarpetaBackups" << QString::fromLatin1(ajustes::kArchivoCorrida)
            << "el backup de la lista"
            << "el registro de la corrida de lista";
        QTest::newRow("errores en otro archivo") << "BuscarCarpetaOuts"
                                                 << "otros.csv"
                                                 << "el archivo de errores"
                                                 << "";
    }
    void rutaDeDatosRechazadaAlBuscar()
    {
        QFETCH(QString, boton);
        QFETCH(QString, elegida);
        QFETCH(QString, rol);
        QFETCH(QString, ya);
        const QString ruta = elegida == QLatin1String("salidas") ? salidas() : datos.filePath(elegida);
        auto *pulsador = w->findChild<QAbstractButton *>(boton);
        QVERIFY(pulsador);
        const QLineEdit *campo = boton == QLatin1String("BuscarCarpetaOuts")      ? ui->ingresoErrores
                                 : boton == QLatin1String("BuscarCarpetaBackups") ? ui->ingresoBackups
                                                                                  : ui->ingresoInbox;
        const QString antes = campo->text();
        DialogoArchivo::fijarSiguienteArchivo(ruta);
        pulsador->click();
        if (ya.isEmpty()) {
            QVERIFY(textos().isEmpty());
            QCOMPARE(campo->text(), ruta);
            return;
        }
        QCOMPARE(textos(),
                 QStringList{QStringLiteral("%1 no puede ser %2: ese archivo ya es %3.").arg(ruta, rol, ya)});
        QCOMPARE(CuadroMensaje::mostrados().first().titulo, QStringLiteral("Error!"));
        QCOMPARE(campo->text(), antes);
    }

    // A list path that is no plain file, or a list too large to read whole: detection and the
    // preview (also at start-up) neither hang nor crash, and a run refuses it saying why.
    void listaQueNoEsUnArchivoComun_data()
    {
        QTest::addColumn<QString>("tipo");
        QTest::addColumn<QString>("rechazo");
        const QString comun = QStringLiteral("La lista %1 no es un archivo comun: no se puede agregar.");
#ifdef Q_OS_UNIX
        QTest::newRow("tuberia") << "tuberia" << comun;
        QTest::newRow("dispositivo") << "/dev/zero" << comun;
#endif
        QTest::newRow("carpeta") << "carpeta" << comun;
        QTest::newRow("1 GB disperso") << "disperso"
                                       << "La lista %1 es demasiado grande: el limite es de 512 MB.";
        QTest::newRow("linea de 2 MB") << "linea"
                                       << "La lista %1 tiene una linea de mas de 1 MB: no se puede agregar.";
    }
    void listaQueNoEsUnArchivoComun()
    {
        QFETCH(QString, tipo);
        QFETCH(QString, rechazo);
        const QString ruta = tipo.startsWith(QLatin1Char('/')) ? tipo : datos.filePath(tipo);
        if (tipo == QLatin1String("carpeta")) {
            QVERIFY(QDir().mkpath(ruta));
        } else if (tipo == QLatin1String("disperso")) {
            QFile f(ruta);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QVERIFY(f.resize(qint64(1) << 30));
        } else if (tipo == QLatin1String("linea")) {
            escribir(ruta, QByteArray(2 << 20, 'x') + "\n1\n");
        } else if (tipo == QLatin1String("tuberia")) {
#ifdef Q_OS_UNIX
            QCOMPARE(::mkfifo(QFile::encodeName(ruta).constData(), 0600), 0);
#endif
        }
        ajustes::escribir(ajustes::Clave::ListaNombreFila, ruta);
        ajustes::escribir(ajustes::Clave::FormatoSms, QStringLiteral("Hola [#1]"));
        {
            MainWindow alArrancar;
            QCOMPARE(alArrancar.formulario()->ingresoLista->text(), ruta);
        }

        ui->ingresoLista->setText(ruta);
        w->detectarColumnasConHeader(ruta, true);
        QCOMPARE(textos(), QStringList{"No se pudo abrir el archivo para detectar el header."});
        ui->editFormatoSMS->setPlainText(QStringLiteral("Hola"));
        QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola"));

        CuadroMensaje::limpiar();
        ui->comboCelular->setCurrentText(QStringLiteral("#1"));
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos(), QStringList{rechazo.arg(ruta)});
        QVERIFY(!QFile::exists(salidas()));
    }
};

NBSMS_TEST_MAIN(PruebaCorridaIntegridad)
#include "prueba_corrida_integridad.moc"
