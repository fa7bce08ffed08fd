// Adding a list to the outbox in its three runs as the window asks and tells, manual send, and the
// window's part in a list's integrity: no data file chosen as another one, a list path that is no
// plain file refused by detection, the preview and a run. The run itself is tested against the
// service (tests/servicio).

#include "common/archivos_prueba.h"
#include "common/ventana_prueba.h"

#include "lista/corrida_lista.h"
#include "lista/detalle_lista.h"

#include <QClipboard>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace ventana_prueba;

using archivos_prueba::conFinDeLinea;
using archivos_prueba::escribir;
using archivos_prueba::leer;

class PruebaCorrida : public QObject, public VentanaPrueba
{
    Q_OBJECT

    // A list with a header and three rows, the second without a number.
    void listaDeTres(const QString &plantilla = QStringLiteral("Hola [nombre]"))
    {
        prepararVentana(escribirLista("nombre,celular\nAna,111\nBeto,\nCarla,333\n"), true);
        ui->comboCelular->setCurrentText(QStringLiteral("celular"));
        ui->comboFecha->setCurrentText(QStringLiteral("--inmediato--"));
        ui->editFormatoSMS->setPlainText(plantilla);
    }

private slots:
    void init() { reiniciarParaCorridas(); }
    void cleanup() { liberar(); }

    void textoConfirmacion_data()
    {
        QTest::addColumn<int>("truncados");
        QTest::addColumn<int>("falta");
        QTest::addColumn<int>("filas");
        QTest::addColumn<QString>("texto");
        QTest::newRow("limpio") << 0 << 0 << 3 << "Desea enviar 3 SMS?";
        QTest::newRow("uno y uno") << 1 << 1 << 2
                                   << "1 SMS ha sido truncado.\nA 1 SMS le falta al menos un campo "
                                      "obligatorio.\nDesea enviar 2 SMS de todos modos?";
        QTest::newRow("varios") << 2 << 1 << 5
                                << "2 SMSs han sido truncados.\nA 1 SMS le falta al menos un campo "
                                   "obligatorio.\nDesea enviar 5 SMS de todos modos?";
        QTest::newRow("solo faltan") << 0 << 3 << 4
                                     << "A 3 SMSs les falta al menos un campo obligatorio.\nDesea enviar 4 "
                                        "SMS de todos modos?";
    }
    void textoConfirmacion()
    {
        QFETCH(int, truncados);
        QFETCH(int, falta);
        QFETCH(int, filas);
        QFETCH(QString, texto);
        QCOMPARE(corrida_lista::textoConfirmacion(truncados, falta, filas), texto);
    }

    void corridaSimple()
    {
        listaDeTres();
        QCOMPARE(w->servicio()->instantanea().pendientes, 0);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        ui->pushAgregarListaToOutbox->click();
        QCOMPARE(textos(),
                 (QStringList{"Desea agregar la lista a la bandeja de salida?",
                              "Se agregarán 2 SMS a la bandeja de salida.\n1 fila irá al archivo de "
                              "errores:\n  número vacío: 1\nDesea enviar 2 SMS de todos modos?",
                              "Se agregaron 2 SMSs al buzon de salida.\n1 fila fue al archivo de "
                              "errores " +
                                  errores() + "."}));
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Atencion!"));
        const QString fecha = hoy();
        QCOMPARE(
            leer(salidas()),
            conFinDeLinea(QStringLiteral("e,111,%1,Hola Ana\ne,333,%1,Hola Carla\n").arg(fecha).toUtf8()));
        QCOMPARE(leer(errores()), conFinDeLinea("Beto,\n"));
        QCOMPARE(w->servicio()->instantanea().pendientes, 2);
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::FormatoSms), QStringLiteral("Hola [nombre]"));
        // The list stays and the watch stays off.
        QVERIFY(QFile::exists(ui->ingresoLista->text()));
        QVERIFY(!w->leerVerifPer());
    }

    void corridaSimpleCancelada_data()
    {
        QTest::addColumn<int>("respuestasOk");
        QTest::newRow("en la pregunta") << 0;
        QTest::newRow("en la confirmacion") << 1;
    }
    void corridaSimpleCancelada()
    {
        QFETCH(int, respuestasOk);
        listaDeTres();
        for (int i = 0; i < respuestasOk; ++i)
            CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Cancel);
        ui->pushAgregarListaToOutbox->click();
        QCOMPARE(textos().size(), respuestasOk + 1);
        QVERIFY(!QFile::exists(salidas()));
        QVERIFY(!QFile::exists(errores()));
    }

    void validacion_data()
    {
        QTest::addColumn<QString>("lista");
        QTest::addColumn<QString>("celular");
        QTest::addColumn<QString>("fecha");
        QTest::addColumn<QString>("plantilla");
        QTest::addColumn<QString>("texto");
        QTest::newRow("sin lista") << "-"
                                   << "celular"
                                   << ""
                                   << "x"
                                   << "Debe ingresar una lista a procesar";
        QTest::newRow("sin celular") << ""
                                     << ""
                                     << ""
                                     << "x"
                                     << "Debe ingresar o seleccionar un campo celular";
        QTest::newRow("sin mensaje") << ""
                                     << "celular"
                                     << ""
                                     << ""
                                     << "Debe ingresar un mensaje";
        QTest::newRow("lista ausente") << "ausente.csv"
                                       << "celular"
                                       << ""
                                       << "x"
                                       << "No se pudo abrir lista a procesar";
        QTest::newRow("celular desconocido") << ""
                                             << "movil"
                                             << ""
                                             << "x"
                                             << "No existe columna 'movil' en la lista seleccionada";
        QTest::newRow("fecha desconocida") << ""
                                           << "celular"
                                           << "dia"
                                           << "x"
                                           << "No existe columna 'dia' en la lista seleccionada";
        QTest::newRow("campo desconocido") << ""
                                           << "celular"
                                           << "--inmediato--"
                                           << "Hola [apellido]"
                                           << "No existe columna 'apellido' en la lista seleccionada";
    }
    void validacion()
    {
        QFETCH(QString, lista);
        QFETCH(QString, celular);
        QFETCH(QString, fecha);
        QFETCH(QString, plantilla);
        QFETCH(QString, texto);
        listaDeTres(plantilla);
        if (lista == QLatin1String("-"))
            ui->ingresoLista->clear();
        else if (!lista.isEmpty())
            ui->ingresoLista->setText(datos.filePath(lista));
        ui->comboCelular->setCurrentText(celular);
        ui->comboFecha->setCurrentText(fecha);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos(), QStringList{texto});
        QCOMPARE(CuadroMensaje::mostrados().at(0).titulo, QStringLiteral("Error!"));
        QVERIFY(!QFile::exists(salidas()));
        // The template is saved before any check.
        QCOMPARE(ajustes::leerTexto(ajustes::Clave::FormatoSms), plantilla);
    }

    // A number or date that would change the request or break the outbox record: the row goes to
    // the errors file as it was read.
    void filaQueRomperiaElRegistroVaAErrores_data()
    {
        QTest::addColumn<QByteArray>("fila");
        QTest::newRow("ampersand en el numero") << QByteArray("Ana,11&msg=hola,01/01/2020");
        QTest::newRow("coma en el numero") << QByteArray("Ana,\"111,222\",01/01/2020");
        QTest::newRow("coma en la fecha") << QByteArray("Ana,111,\"lunes, 05/03/2030\"");
        QTest::newRow("NUL en el numero") << QByteArray("Ana,1") + '\0' + "11,01/01/2020";
        QTest::newRow("CR en el numero") << QByteArray("Ana,1\r11,01/01/2020");
        QTest::newRow("CR en la fecha") << QByteArray("Ana,111,01/01\r/2020");
    }
    void filaQueRomperiaElRegistroVaAErrores()
    {
        QFETCH(QByteArray, fila);
        prepararVentana(escribirLista("nombre,celular,fecha\n" + fila + "\nBeto,222,01/01/2020\n"), true);
        ui->comboCelular->setCurrentText(QStringLiteral("celular"));
        ui->comboFecha->setCurrentText(QStringLiteral("fecha"));
        ui->editFormatoSMS->setPlainText(QStringLiteral("x"));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(leer(errores()), conFinDeLinea(fila + '\n'));
        QCOMPARE(leer(salidas()), conFinDeLinea("e,222,01/01/2020,x\n"));
    }

    // Every row is checked before the question: bad numbers and dates never reach the outbox, the
    // operator sees how many rows go where and why, and the detail lists them to copy.
    void resumenYDetalle()
    {
        prepararVentana(escribirLista("nombre,celular,vence\n"
                                      "Ana,11-5566-7788,2030-03-05\n"
                                      "Beto,abc12345,05/03/2030\n"
                                      "\n"
                                      "Carla,+54 9 11 4455 6677,Juan\n"
                                      "Ana,1155667788,05-03-2030\n"
                                      "Dora,,05/03/2030\n"),
                        true);
        ui->comboCelular->setCurrentText(QStringLiteral("celular"));
        ui->comboFecha->setCurrentText(QStringLiteral("vence"));
        ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [nombre]"));
        QStringList filas;
        QString copiado;
        alAbrirse<detalle_lista>([&](detalle_lista *d) {
            QAbstractItemModel *m = d->tabla()->model();
            for (int r = 0; r < m->rowCount(); ++r) {
                QStringList celdas;
                for (int c = 0; c < 3; ++c)
                    celdas << m->index(r, c).data().toString();
                filas << celdas.join(QLatin1Char('|'));
            }
            d->findChild<QPushButton *>(QStringLiteral("copiar"))->click();
            copiado = QApplication::clipboard()->text();
            d->reject();
        });
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(CuadroMensaje::kVerDetalle);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_pushAgregarListaToOutbox_clicked();

        const QString resumen =
            "Se agregarán 2 SMS a la bandeja de salida.\n"
            "4 filas irán al archivo de errores:\n"
            "  fila vacía: 1\n  número vacío: 1\n  número no válido: 1\n  fecha ilegible: 1\n"
            "1 fila repite el número y el mensaje de una fila anterior.\n"
            "Ningún SMS se enviará hoy: 2 se enviarán más adelante (hasta el 05/03/2030).\n"
            "Desea enviar 2 SMS de todos modos?";
        QCOMPARE(textos(),
                 (QStringList{"Desea agregar la lista a la bandeja de salida?", resumen, resumen,
                              "Se agregaron 2 SMSs al buzon de salida.\n4 filas fueron al archivo de "
                              "errores " +
                                  errores() + "."}));
        QCOMPARE(filas,
                 (QStringList{"3|Beto,abc12345,05/03/2030|número no válido", "4||fila vacía",
                              "5|Carla,+54 9 11 4455 6677,Juan|fecha ilegible",
                              "6|Ana,1155667788,05-03-2030|repite el número y el mensaje de la línea 2",
                              "7|Dora,,05/03/2030|número vacío"}));
        QVERIFY(copiado.startsWith("Línea\tFila\tMotivo\n3\tBeto,abc12345,05/03/2030\tnúmero no válido\n"));
        QCOMPARE(copiado.count(QLatin1Char('\n')), 6);
        // Cleaned numbers and dates in the outbox; the other rows, as read and in order, in the errors file.
        QCOMPARE(leer(salidas()),
                 conFinDeLinea("e,1155667788,05/03/2030,Hola Ana\ne,1155667788,05/03/2030,Hola Ana\n"));
        QCOMPARE(
            leer(errores()),
            conFinDeLinea("Beto,abc12345,05/03/2030\n\nCarla,+54 9 11 4455 6677,Juan\nDora,,05/03/2030\n"));
    }

    // A progress dialog left alive pops up over the confirmation later and takes its focus.
    void sinProgresoDuranteLasPreguntas()
    {
        listaDeTres();
        QList<int> progresos;
        CuadroMensaje::fijarAlMostrar([&] { progresos << w->findChildren<QProgressDialog *>().size(); });
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().size(), 3);
        QCOMPARE(progresos, (QList<int>{0, 0, 0}));
    }

    void salidasQueNoAbrenAvisaUnaVez()
    {
        listaDeTres();
        bloquearSalidas();
        ui->ingresoErrores->setText(datos.filePath(QStringLiteral("tampoco/errores.csv")));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_pushAgregarListaToOutbox_clicked();
        // Row 1 fails on the outbox, which ends the writing pass: one box, and the report counts 0.
        QCOMPARE(textos().mid(2), (QStringList{"No se pudo abrir salidas.\n" + salidas(),
                                               "Se agregaron 0 SMSs al buzon de salida."}));
    }

    // A row with a line in neither file would be lost: the pass stops as for the outbox.
    void erroresQueNoAbrenDetienenLaEscritura()
    {
        prepararVentana(escribirLista("nombre,celular\nA,\nB,\nC,\nD,9\n"), true);
        ui->comboCelular->setCurrentText(QStringLiteral("celular"));
        ui->comboFecha->setCurrentText(QString());
        ui->editFormatoSMS->setPlainText(QStringLiteral("x"));
        ui->ingresoErrores->setText(datos.filePath(QStringLiteral("no/existe/errores.csv")));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().mid(2), (QStringList{"No se pudo abrir el archivo de errores.",
                                               "Se agregaron 0 SMSs al buzon de salida."}));
        QVERIFY(!QFile::exists(salidas()));
    }

    void armadoSinLista_data()
    {
        QTest::addColumn<QString>("plantilla");
        QTest::addColumn<int>("respuesta");
        QTest::addColumn<bool>("vigila");
        QTest::newRow("ok") << "x" << int(QMessageBox::Ok) << true;
        QTest::newRow("cancel") << "x" << int(QMessageBox::Cancel) << false;
        QTest::newRow("ok sin mensaje") << "" << int(QMessageBox::Ok) << false;
    }
    void armadoSinLista()
    {
        QFETCH(QString, plantilla);
        QFETCH(int, respuesta);
        QFETCH(bool, vigila);
        ui->ingresoLista->setText(datos.filePath(QStringLiteral("llegara.csv")));
        ui->comboCelular->setCurrentText(QStringLiteral("#2"));
        ui->editFormatoSMS->setPlainText(plantilla);
        ui->checkVerifPer->setChecked(true);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::StandardButton(respuesta));
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().first(), QStringLiteral("No se pudo abrir lista a procesar\nCuando se detecte sera "
                                                  "procesada segun parametros aqui establecidos"));
        QCOMPARE(w->leerVerifPer(), vigila);
        QCOMPARE(ui->pushAgregarListaToOutbox->isEnabled(), !vigila);
        if (respuesta == QMessageBox::Ok && plantilla.isEmpty())
            QCOMPARE(textos().last(), QStringLiteral("Debe ingresar un mensaje"));
    }

    void armadoConListaYLuegoVigilada()
    {
        listaDeTres();
        ui->checkVerifPer->setChecked(true);
        escribir(backup(), "viejo");
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        const QString lista = ui->ingresoLista->text();
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().last(),
                 "Se agregaron 2 SMS al buzon de salida.\n1 fila fue al archivo de errores " + errores() +
                     ".");
        QVERIFY(w->leerVerifPer());
        QVERIFY(!QFile::exists(lista));
        QCOMPARE(leer(backup()), QByteArray("nombre,celular\nAna,111\nBeto,\nCarla,333\n"));

        // A new list at the watched path: imported without a single box, then moved away.
        CuadroMensaje::limpiar();
        escribir(lista, "nombre,celular\nDora,444\nEli,\n");
        w->on_pushAgregarListaToOutbox_clicked();
        QVERIFY(textos().isEmpty());
        QVERIFY(leer(salidas()).endsWith(
            conFinDeLinea(QStringLiteral("e,444,%1,Hola Dora\n").arg(hoy()).toUtf8())));
        QCOMPARE(leer(backup()), QByteArray("nombre,celular\nDora,444\nEli,\n"));
        // Told outside the window (the status bar where there is no tray).
        QCOMPARE(
            w->statusBar()->currentMessage(),
            QStringLiteral("Lista importada: 1 SMS agregado(s) a la bandeja de salida, 1 fila(s) al archivo "
                           "de errores."));
        QVERIFY(!QFile::exists(lista));
    }

    void vigiladaQueNoPuedeApartarLaLista()
    {
        listaDeTres();
        ajustes::escribir(ajustes::Clave::CheckVerifPer, true);
        // The backup path is a folder: neither rename nor copy can put the list there.
        QDir(datos.path()).mkdir(QStringLiteral("backup.csv"));
        const QString lista = ui->ingresoLista->text();
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(textos().size(), 1);
        QVERIFY(textos().first().contains(lista));
        // The watch is off, so the list is never imported a second time.
        QVERIFY(!w->leerVerifPer());
        const QByteArray despues = leer(salidas());
        w->PoleoArchivo();
        w->PoleoArchivo();
        QCOMPARE(leer(salidas()), despues);
    }

    void corridaVigiladaNoSeSolapa()
    {
        listaDeTres();
        ajustes::escribir(ajustes::Clave::CheckVerifPer, true);
        bloquearSalidas();
        // While the box of the first run is open, the poll (or anything else) tries another.
        int anidadas = 0;
        CuadroMensaje::fijarAlMostrar([&] {
            CuadroMensaje::fijarAlMostrar(nullptr);
            ++anidadas;
            w->on_pushAgregarListaToOutbox_clicked();
        });
        w->on_pushAgregarListaToOutbox_clicked();
        QCOMPARE(anidadas, 1);
        QCOMPARE(textos().size(), 1); // the nested call showed nothing and wrote nothing
    }

    void envioManual_data()
    {
        QTest::addColumn<QString>("numero");
        QTest::addColumn<QString>("texto");
        QTest::addColumn<int>("respuesta");
        QTest::addColumn<QStringList>("mostrados");
        QTest::addColumn<QString>("registro");
        QTest::newRow("cancelado sin numero")
            << ""
            << "x" << int(QMessageBox::Cancel) << QStringList{"Enviar mensaje?"} << "";
        QTest::newRow("sin numero") << ""
                                    << "x" << int(QMessageBox::Ok)
                                    << QStringList{"Enviar mensaje?", "Debe ingresar un numero de destino."}
                                    << "";
        QTest::newRow("simple") << "123"
                                << "Hola" << int(QMessageBox::Ok) << QStringList{"Enviar mensaje?"}
                                << "e,123,%1,Hola\n";
        QTest::newRow("comas y lineas")
            << "123"
            << "a,b\ndos\ntres" << int(QMessageBox::Ok) << QStringList{"Enviar mensaje?"}
            << "e,123,%1,a,b&enter&dos&enter&tres\n";
        QTest::newRow("vacio") << "9"
                               << "" << int(QMessageBox::Ok) << QStringList{"Enviar mensaje?"} << "e,9,%1,\n";
        QTest::newRow("texto con &num=")
            << "123"
            << "Pague&Num=1199" << int(QMessageBox::Ok)
            << QStringList{"Enviar mensaje?",
                           "El mensaje no se envió: contiene «&num=», que el gateway tomaría como parte del "
                           "pedido y podría mandar el texto a otro número.\nQuítelo o sepárelo con un "
                           "espacio "
                           "(por ejemplo «& num=») y vuelva a intentarlo."}
            << "";
    }
    void envioManual()
    {
        QFETCH(QString, numero);
        QFETCH(QString, texto);
        QFETCH(int, respuesta);
        QFETCH(QStringList, mostrados);
        QFETCH(QString, registro);
        ui->NumDestino->setText(numero);
        ui->TextoManual->setPlainText(texto);
        QCOMPARE(w->servicio()->instantanea().pendientes, 0);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::StandardButton(respuesta));
        QTest::mouseClick(ui->BotonEnviar, Qt::LeftButton);
        QCOMPARE(textos(), mostrados);
        QCOMPARE(CuadroMensaje::mostrados().last().titulo, QStringLiteral("Envio manual"));
        QCOMPARE(leer(salidas()), conFinDeLinea(registro.arg(hoy()).toUtf8()));
        QCOMPARE(w->servicio()->instantanea().pendientes, registro.isEmpty() ? 0 : 1);
    }

    void envioManualSinSalidas()
    {
        bloquearSalidas();
        ui->NumDestino->setText(QStringLiteral("1"));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_BotonEnviar_released();
        QCOMPARE(CuadroMensaje::mostrados().last().titulo, QStringLiteral("Error!"));
        QCOMPARE(textos().last(), QStringLiteral("No se pudo abrir salidas %1").arg(salidas()));
    }

    void envioManualCompacta_data()
    {
        QTest::addColumn<int>("enviados");
        QTest::addColumn<int>("lineas");
        QTest::newRow("1000") << 1000 << 1001;
        QTest::newRow("1001") << 1001 << 1;
    }
    void envioManualCompacta()
    {
        QFETCH(int, enviados);
        QFETCH(int, lineas);
        QByteArray previo;
        for (int i = 0; i < enviados; ++i)
            previo += "E,1,01/01/2020,viejo\n";
        escribir(salidas(), previo);
        // A manual send does not recount: the worker's counter decides.
        w->servicio()->recontar(false);
        QCOMPARE(w->servicio()->instantanea().enviados, enviados);
        ui->NumDestino->setText(QStringLiteral("5"));
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_BotonEnviar_released();
        QCOMPARE(leer(salidas()).count('\n'), lineas);
    }

    // An urgent message goes before every pending record; the next one is not urgent again.
    void envioManualUrgente()
    {
        escribir(salidas(), "E,1,01/01/2020,viejo\ne,2,01/01/2020,espera\n");
        ui->NumDestino->setText(QStringLiteral("3"));
        ui->TextoManual->setPlainText(QStringLiteral("ya, primero"));
        ui->checkUrgente->setChecked(true);
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
        w->on_BotonEnviar_released();
        QCOMPARE(
            leer(salidas()),
            conFinDeLinea(QStringLiteral("e,3,%1,ya, primero\nE,1,01/01/2020,viejo\ne,2,01/01/2020,espera\n")
                              .arg(hoy())
                              .toUtf8()));
        QCOMPARE(w->servicio()->instantanea().pendientes, 1);
        QVERIFY(!ui->checkUrgente->isChecked());
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
                                                  << "el temporal de compactación";
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
        const QString comun = QStringLiteral("La lista %1 no es un archivo común: no se puede agregar.");
#ifdef Q_OS_UNIX
        QTest::newRow("tuberia") << "tuberia" << comun;
        QTest::newRow("dispositivo") << "/dev/zero" << comun;
#endif
        QTest::newRow("carpeta") << "carpeta" << comun;
        QTest::newRow("1 GB disperso") << "disperso"
                                       << "La lista %1 es demasiado grande: el límite es de 512 MB.";
        QTest::newRow("linea de 2 MB") << "linea"
                                       << "La lista %1 tiene una línea de más de 1 MB: no se puede agregar.";
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

NBSMS_TEST_MAIN(PruebaCorrida)
#include "prueba_corrida.moc"
