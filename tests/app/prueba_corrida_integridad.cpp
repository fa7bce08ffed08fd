// A list run never adds a row twice nor loses one: a run cut short is finished from its next row,
// a write failure leaves the list where it is, no data file is used as another, and a list path
// that is no plain file is refused without reading it.

#include "common/archivos_prueba.h"
#include "common/ventana_prueba.h"

#include "envio/threads.h"
#include "lista/columnas.h"
#include "lista/corrida_lista.h"
#include "lista/diario_corrida.h"
#include "lista/lectura_lista.h"

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ventana_prueba;
using corrida_lista::Modo;

Q_DECLARE_METATYPE(corrida_lista::Modo)

using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

class PruebaCorridaIntegridad : public QObject, public VentanaPrueba
{
    Q_OBJECT

    QString diario() const { return datos.filePath(QLatin1String(ajustes::kArchivoCorrida)); }

    // A header and three rows, the second without a number; the window set up to send it.
    QString listaDeTres()
    {
        const QString lista = escribirLista("nombre,celular\nAna,111\nBeto,\nCarla,333\n");
        prepararVentana(lista, true);
        ui->comboCelular->setCurrentText(QStringLiteral("celular"));
        ui->comboFecha->setCurrentText(QStringLiteral("--inmediato--"));
        ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [nombre]"));
        return lista;
    }

    // Puts the window in `modo` and answers the two questions of an interactive run.
    void elegirModo(Modo modo)
    {
        ajustes::escribir(ajustes::Clave::CheckVerifPer, modo == Modo::Vigilada);
        ui->checkVerifPer->setChecked(modo == Modo::Armado);
        if (modo != Modo::Vigilada) {
            CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
            CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        }
    }

private slots:
    void init() { reiniciarParaCorridas(); }
    void cleanup() { liberar(); }

    // What a killed program leaves: the journal, the rows done so far and perhaps a cut line. The
    // run is finished at the next start from the next row, with the inputs it began with.
    void corridaCortadaSeCompleta_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::addColumn<QByteArray>("cortada");
        QTest::newRow("vigilada") << Modo::Vigilada << QByteArray();
        QTest::newRow("armado, linea cortada") << Modo::Armado << QByteArray("e,444,01/0");
        QTest::newRow("simple, linea cortada") << Modo::Simple << QByteArray("e");
    }
    void corridaCortadaSeCompleta()
    {
        QFETCH(Modo, modo);
        QFETCH(QByteArray, cortada);
        const QString lista =
            escribirLista("nombre,celular\nAna,111\nBeto,\nCarla,333\nDora,444\nEli,\nFede,666\n");
        prepararVentana(lista, true);
        const QByteArray previo("E,1,01/01/2020,viejo\n");
        escribir(salidas(), previo);
        escribir(errores(), "viejo\n");

        diario_corrida::Diario d;
        d.rutaLista = lista;
        QVERIFY(diario_corrida::identidad(lista, d.tamanoLista, d.modificadaLista));
        d.modo = modo;
        d.rutaSalidas = salidas();
        d.tamanoSalidas = previo.size();
        d.rutaErrores = errores();
        d.tamanoErrores = 6;
        d.plantilla = QStringLiteral("Hola [nombre]");
        d.columnaCelular = QStringLiteral("celular");
        d.columnaFecha = QStringLiteral("--inmediato--");
        d.columnas = w->obtenerColumnas();
        d.cantidadColumnas = 2;
        d.hoy = QStringLiteral("01/02/2030");
        QVERIFY(diario_corrida::guardar(diario(), d));
        escribir(salidas(), "e,111,01/02/2030,Hola Ana\ne,333,01/02/2030,Hola Carla\n" + cortada, true);
        escribir(errores(), "Beto,\n", true);
        // The window shows something else by now: the run still goes on as it began.
        ui->editFormatoSMS->setPlainText(QStringLiteral("otra"));
        elegirModo(modo);
        CuadroMensaje::limpiar();

        QVERIFY(w->reanudarCorridaPendiente());
        // What the cut run wrote stays as it was; the rest, as the program writes it.
        QCOMPARE(leer(salidas()),
                 previo + "e,111,01/02/2030,Hola Ana\ne,333,01/02/2030,Hola Carla\n" +
                     conFinDeLinea("e,444,01/02/2030,Hola Dora\ne,666,01/02/2030,Hola Fede\n"));
        QCOMPARE(leer(errores()), "viejo\nBeto,\n" + conFinDeLinea("Eli,\n"));
        QCOMPARE(w->servicio()->instantanea().pendientes, 4);
        QVERIFY(!QFile::exists(diario()));
        QCOMPARE(QFile::exists(lista), modo == Modo::Simple);
        QCOMPARE(w->leerVerifPer(), modo != Modo::Simple);
        // Told once, except a watched run, which never asks nor reports.
        if (modo == Modo::Vigilada)
            QVERIFY(textos().isEmpty());
        else
            QCOMPARE(textos(), QStringList{corrida_lista::textoCorridaCompletada(lista, 3, 4, 2, errores())});
        QVERIFY(!w->reanudarCorridaPendiente());
    }

    // A watched run killed after two records and an error line, then the list touched or saved
    // again, or the errors file cut, removed or added to: the rows done are recognised by the
    // records they wrote, and every row is queued once, also after the poll's next ticks. A list
    // whose rows changed cannot be completed: the watch goes off, the list stays, the operator is
    // told how many records went in.
    void corridaCortadaConArchivosCambiados_data()
    {
        QTest::addColumn<QString>("falla");
        QTest::addColumn<bool>("erroresPrevios");
        QTest::addColumn<QByteArray>("erroresAlFinal");
        QTest::newRow("lista tocada") << "tocada" << true << QByteArray("viejo\nBeto,\nEli,\n");
        QTest::newRow("lista guardada otra vez") << "guardada" << true << QByteArray("viejo\nBeto,\nEli,\n");
        QTest::newRow("errores cortado") << "cortado" << true << QByteArray("viejo\nEli,\n");
        QTest::newRow("errores borrado") << "borrado" << true << QByteArray("Eli,\n");
        QTest::newRow("errores nuevo borrado") << "borrado" << false << QByteArray("Eli,\n");
        QTest::newRow("errores con una linea mas")
            << "agregado" << true << QByteArray("viejo\nBeto,\nnota\nBeto,\nEli,\n");
        QTest::newRow("lista cambiada") << "cambiada" << true << QByteArray("viejo\nBeto,\n");
    }
    void corridaCortadaConArchivosCambiados()
    {
        QFETCH(QString, falla);
        QFETCH(bool, erroresPrevios);
        QFETCH(QByteArray, erroresAlFinal);
        const QByteArray contenido("nombre,celular\nAna,111\nBeto,\nCarla,333\nDora,444\nEli,\nFede,666\n");
        const QString lista = escribirLista(contenido);
        prepararVentana(lista, true);
        const QByteArray previo("E,1,01/01/2020,viejo\n");
        escribir(salidas(), previo);
        if (erroresPrevios)
            escribir(errores(), "viejo\n");
        diario_corrida::Diario d;
        d.rutaLista = lista;
        QVERIFY(diario_corrida::identidad(lista, d.tamanoLista, d.modificadaLista));
        QStringList lineas;
        QVERIFY(lista::leerLineasLista(lista, lineas));
        d.huellaLista = diario_corrida::huella(lineas);
        d.modo = Modo::Vigilada;
        d.rutaSalidas = salidas();
        d.tamanoSalidas = previo.size();
        d.rutaErrores = errores();
        d.tamanoErrores = erroresPrevios ? 6 : 0;
        d.plantilla = QStringLiteral("Hola [nombre]");
        d.columnaCelular = QStringLiteral("celular");
        d.columnaFecha = QStringLiteral("--inmediato--");
        d.columnas = w->obtenerColumnas();
        d.cantidadColumnas = 2;
        d.hoy = QStringLiteral("01/02/2030");
        QVERIFY(diario_corrida::guardar(diario(), d));
        const QByteArray hechos("e,111,01/02/2030,Hola Ana\nE,333,01/02/2030,Hola Carla\n");
        escribir(salidas(), hechos, true);
        escribir(errores(), "Beto,\n", true);

        QFile archivoLista(lista);
        if (falla == QLatin1String("tocada")) {
            QVERIFY(archivoLista.open(QIODevice::ReadWrite));
            QVERIFY(archivoLista.setFileTime(QDateTime::currentDateTime().addSecs(3600),
                                             QFileDevice::FileModificationTime));
        } else if (falla == QLatin1String("guardada")) {
            escribir(lista, "\xEF\xBB\xBF" + QByteArray(contenido).replace("\n", "\r\n"));
        } else if (falla == QLatin1String("cambiada")) {
            escribir(lista, QByteArray(contenido).replace("666", "667"));
        } else if (falla == QLatin1String("cortado")) {
            QVERIFY(QFile::resize(errores(), 6));
        } else if (falla == QLatin1String("borrado")) {
            QVERIFY(QFile::remove(errores()));
        } else if (falla == QLatin1String("agregado")) {
            escribir(errores(), "nota\nBeto,\n", true);
        }
        elegirModo(Modo::Vigilada);
        CuadroMensaje::limpiar();
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);

        QVERIFY(w->reanudarCorridaPendiente());
        for (int tick = 0; tick < 3; ++tick)
            w->PoleoArchivo();
        QVERIFY(!QFile::exists(diario()));
        QCOMPARE(leer(errores()), erroresAlFinal);
        if (falla == QLatin1String("cambiada")) {
            QCOMPARE(leer(salidas()), previo + hechos);
            QVERIFY(QFile::exists(lista));
            QVERIFY(!w->leerVerifPer());
            QCOMPARE(textos().size(), 1);
            QVERIFY2(textos().first().contains(QStringLiteral("Se habían agregado 2 SMS")),
                     qPrintable(textos().first()));
            return;
        }
        QCOMPARE(leer(salidas()),
                 previo + hechos + "e,444,01/02/2030,Hola Dora\ne,666,01/02/2030,Hola Fede\n");
        QVERIFY(!QFile::exists(lista));
        QVERIFY(w->leerVerifPer());
        QVERIFY(textos().isEmpty());
    }

    // A run finished from its journal splits its list with the journal's format and columns; the
    // window's own list is then run with its own.
    void corridaReanudadaDejaElFormatoDeLaVentana()
    {
        const QString lista = listaDeTres();
        const QString otra = datos.filePath(QStringLiteral("otra.csv"));
        escribir(otra, "celular;nombre\n222;Eva\n");
        diario_corrida::Diario d;
        d.rutaLista = otra;
        QVERIFY(diario_corrida::identidad(otra, d.tamanoLista, d.modificadaLista));
        d.rutaSalidas = salidas();
        d.rutaErrores = errores();
        d.plantilla = QStringLiteral("Chau [nombre]");
        d.columnaCelular = QStringLiteral("celular");
        d.columnaFecha = QStringLiteral("--inmediato--");
        d.columnas = QStringList{"celular", "nombre", "#1", "#2"};
        d.cantidadColumnas = 2;
        d.hoy = QStringLiteral("01/02/2030");
        d.usarComa = false;
        d.usarPuntoComa = true;
        QVERIFY(diario_corrida::guardar(diario(), d));
        QVERIFY(w->reanudarCorridaPendiente());
        QCOMPARE(leer(salidas()), conFinDeLinea("e,222,01/02/2030,Chau Eva\n"));

        elegirModo(Modo::Simple);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(leer(salidas()),
                 conFinDeLinea(
                     QStringLiteral("e,222,01/02/2030,Chau Eva\ne,111,%1,Hola Ana\ne,333,%1,Hola Carla\n")
                         .arg(hoy())
                         .toUtf8()));
        QVERIFY(QFile::exists(lista));
    }

    // The list replaced by a new export with its columns in another order after it was chosen:
    // the run takes the columns by name from the file it reads.
    void listaReemplazadaTrasElegirla()
    {
        const QString lista = listaDeTres();
        escribir(lista, "celular,nombre\n222,Eva\n");
        elegirModo(Modo::Simple);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(leer(salidas()), conFinDeLinea(QStringLiteral("e,222,%1,Hola Eva\n").arg(hoy()).toUtf8()));
    }

    // A journal as large as a header of very many columns makes is read back whole. One that cannot
    // be read at all is not dropped in silence: the rows it had done are unknown, so the watch
    // stops rather than add the list again.
    void diarioGrandeOIlegible()
    {
        diario_corrida::Diario d;
        d.rutaLista = datos.filePath(QStringLiteral("lista.csv"));
        d.rutaSalidas = salidas();
        d.rutaErrores = errores();
        d.columnas = lista::referenciasNumericas(200000);
        QVERIFY(diario_corrida::guardar(diario(), d));
        QVERIFY(QFileInfo(diario()).size() > (1 << 20));
        diario_corrida::Diario leido;
        QVERIFY(diario_corrida::leer(diario(), leido));
        QCOMPARE(leido.columnas, d.columnas);

        escribir(diario(), "{\"lista\": \"");
        elegirModo(Modo::Vigilada);
        CuadroMensaje::limpiar();
        QVERIFY(w->reanudarCorridaPendiente());
        QVERIFY(!QFile::exists(diario()));
        QVERIFY(!w->leerVerifPer());
        QCOMPARE(textos().size(), 1);
    }

    // A write failure stops the writing pass: the list is not moved, the watch is off, and it is
    // said once. The next press adds the rest only.
    void escrituraDetenidaDejaLaLista_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::newRow("vigilada") << Modo::Vigilada;
        QTest::newRow("armado") << Modo::Armado;
    }
    void escrituraDetenidaDejaLaLista()
    {
        QFETCH(Modo, modo);
        const QString lista = listaDeTres();
        escribir(backup(), "viejo");
        ui->ingresoErrores->setText(datos.filePath(QStringLiteral("no/existe/errores.csv")));
        elegirModo(modo);
        w->on_pushAgregarListaToOutbox_clicked();
        QVERIFY(QFile::exists(lista));
        QCOMPARE(leer(backup()), QByteArray("viejo"));
        QVERIFY(!w->leerVerifPer());
        QCOMPARE(textos().size(), modo == Modo::Vigilada ? 1 : 3);
        QCOMPARE(textos().last(),
                 corrida_lista::textoEscrituraDetenida(
                     QStringLiteral("No se pudo abrir el archivo de errores."), lista, 1, modo));
        QCOMPARE(leer(salidas()), conFinDeLinea(QStringLiteral("e,111,%1,Hola Ana\n").arg(hoy()).toUtf8()));

        CuadroMensaje::limpiar();
        ui->ingresoErrores->setText(errores());
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(
            leer(salidas()),
            conFinDeLinea(QStringLiteral("e,111,%1,Hola Ana\ne,333,%1,Hola Carla\n").arg(hoy()).toUtf8()));
        QCOMPARE(leer(errores()), conFinDeLinea("Beto,\n"));
        QVERIFY(!QFile::exists(lista));
        QCOMPARE(textos(), QStringList{corrida_lista::textoCorridaCompletada(lista, 1, 2, 1, errores())});
    }

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

    // A path set by other means is refused when a run would use it: nothing is written or moved.
    void rutaDeDatosRechazadaAlAgregar_data()
    {
        QTest::addColumn<Modo>("modo");
        QTest::addColumn<QString>("campo");
        QTest::newRow("backup en la bandeja, armado") << Modo::Armado << "backup";
        QTest::newRow("backup en la bandeja, vigilada") << Modo::Vigilada << "backup";
        QTest::newRow("errores en la bandeja, simple") << Modo::Simple << "errores";
    }
    void rutaDeDatosRechazadaAlAgregar()
    {
        QFETCH(Modo, modo);
        QFETCH(QString, campo);
        const QString lista = listaDeTres();
        const QByteArray pendiente("e,9,01/01/2020,pendiente\n");
        escribir(salidas(), pendiente);
        QLineEdit *editado = campo == QLatin1String("backup") ? ui->ingresoBackups : ui->ingresoErrores;
        editado->setText(salidas());
        elegirModo(modo);
        CuadroMensaje::limpiar();
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().size(), 1);
        QVERIFY(textos().first().endsWith(QStringLiteral("ese archivo ya es la bandeja de salida.")));
        QCOMPARE(leer(salidas()), pendiente);
        QVERIFY(QFile::exists(lista));
        QVERIFY(!w->leerVerifPer());
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
