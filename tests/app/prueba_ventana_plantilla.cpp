// The main window's template: filling with its counters, the reference check, the field dialog
// and the preview with its step buttons.

#include "common/ventana_prueba.h"
#include "lista/add_word_to_sms.h"
#include "ui_add_word_to_sms.h"

#include <QPushButton>
#include <QtTest>

using namespace ventana_prueba;

class PruebaVentanaPlantilla : public QObject, public VentanaPrueba
{
    Q_OBJECT

private slots:
    void init() { reiniciar(); }
    void cleanup() { liberar(); }

    void transformarCuenta();
    void verificarCampos_data();
    void verificarCampos();
    void agregarCampo_data();
    void agregarCampo();
    void agregarCampoCancelado();
    void vistaPrevia_data();
    void vistaPrevia();
    void vistaPreviaPasos();
    void vistaPreviaSinArchivo();
    void contador();
};

void PruebaVentanaPlantilla::transformarCuenta()
{
    prepararVentana(escribirLista("nombre,celular,deuda\n"), true);
    const QStringList ana{"Ana", "123", ""};
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [nombre]"), ana), QStringLiteral("Hola Ana"));
    QCOMPARE(w->transformarSms(QStringLiteral("Debe {deuda} y {deuda}"), ana), QString());
    QCOMPARE(w->transformarSms(QStringLiteral("[celular]{celular}"), QStringList{"Ana"}), QString());
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [apellido]"), ana), QString());
    QCOMPARE(w->transformarSms(QString(150, u'x'), ana), QString(140, u'x'));
    QCOMPARE(w->transformarSms(QString(140, u'x'), ana), QString(140, u'x'));
    QCOMPARE(w->transformarSms(QString(139, u'x') + QStringLiteral("\U0001F600"), ana), QString(139, u'x'));
    // Without the list file no reference resolves.
    ui->ingresoLista->setText(datos.filePath(QStringLiteral("otra.csv")));
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [nombre]"), ana), QString());
    QCOMPARE(w->transformarSms(QStringLiteral("Hola"), ana), QStringLiteral("Hola"));

    // "Enviar SMS" counts, once per message, those truncated and those missing a mandatory field
    // (two missing in one message count once; a row too short for the number has no number), and
    // tells them before anything is written.
    const QByteArray largo(150, 'x');
    const QByteArray casi = QByteArray(129, 'x') + QStringLiteral("\U0001F600").toUtf8();
    const QByteArray justo(130, 'x');
    const QString ruta =
        escribirLista("nombre,celular,deuda,texto\n"
                      "Ana,111,,corto\n"
                      "Beto,222,1," +
                      largo + "\nCarla\nDora,444,2," + casi + "\nEli,555,3," + justo + "\nFede,666,4,ok\n");
    prepararVentana(ruta, true);
    ui->comboCelular->setCurrentText(QStringLiteral("celular"));
    ui->comboFecha->setCurrentText(QStringLiteral("--inmediato--"));
    // "Debe 1 y 1" is 10 characters: Beto's message runs to 160, Dora's emoji straddles the 140th,
    // Eli's fills exactly 140.
    ui->editFormatoSMS->setPlainText(QStringLiteral("Debe {deuda} y {deuda}[texto]"));
    CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Ok);
    CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::Cancel);
    w->on_pushAgregarListaToOutbox_clicked();
    QCOMPARE(CuadroMensaje::textosMostrados(),
             (QStringList{"Desea agregar la lista a la bandeja de salida?",
                          "Se agregarán 4 SMS a la bandeja de salida.\n2 filas irán al archivo de errores:\n"
                          "  número vacío: 1\n  falta un campo obligatorio: 1\n"
                          "2 SMSs han sido truncados.\nA 1 SMS le falta al menos un campo obligatorio.\n"
                          "Desea enviar 4 SMS de todos modos?"}));
    QVERIFY(!QFile::exists(salidas()));
}

void PruebaVentanaPlantilla::verificarCampos_data()
{
    QTest::addColumn<bool>("conArchivo");
    QTest::addColumn<QString>("plantilla");
    QTest::addColumn<QString>("resultado");
    QTest::newRow("todo resuelve") << true << "Hola [nombre] {#2}"
                                   << "true";
    QTest::newRow("primera que falla") << true << "Hola [nombre] {x} [y]"
                                       << "x";
    QTest::newRow("sin archivo") << false << "Hola [nombre] {x}"
                                 << "nombre";
    QTest::newRow("sin referencias ni archivo") << false << "Hola"
                                                << "true";
}

void PruebaVentanaPlantilla::verificarCampos()
{
    QFETCH(bool, conArchivo);
    QFETCH(QString, plantilla);
    QFETCH(QString, resultado);
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    if (!conArchivo)
        QFile::remove(ruta);
    ui->editFormatoSMS->setPlainText(plantilla);
    QCOMPARE(w->verificarCampos(), resultado);
}

void PruebaVentanaPlantilla::agregarCampo_data()
{
    QTest::addColumn<bool>("conArchivo");
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("obligatorio");
    QTest::addColumn<QStringList>("ofrecidas");
    QTest::addColumn<QString>("plantilla");
    QTest::newRow("obligatorio") << true << "celular" << true << QStringList{"nombre", "celular", "#1", "#2"}
                                 << "Hola {celular}";
    QTest::newRow("comun") << true << "nombre" << false << QStringList{"nombre", "celular", "#1", "#2"}
                           << "Hola [nombre]";
    QTest::newRow("sin archivo") << false << "#3" << false << QStringList{"#1", "#2", "#3", "#4"}
                                 << "Hola [#3]";
}

void PruebaVentanaPlantilla::agregarCampo()
{
    QFETCH(bool, conArchivo);
    QFETCH(QString, texto);
    QFETCH(bool, obligatorio);
    QFETCH(QStringList, ofrecidas);
    QFETCH(QString, plantilla);
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    if (!conArchivo)
        QFile::remove(ruta);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola "));
    // The reference goes at the end even with the cursor at the start.
    QTextCursor cursor = ui->editFormatoSMS->textCursor();
    cursor.movePosition(QTextCursor::Start);
    ui->editFormatoSMS->setTextCursor(cursor);
    QStringList vistas;
    alAbrirse<add_word_to_sms>([&](add_word_to_sms *d) {
        for (int k = 0; k < d->formulario()->comboLabelsSMS->count(); ++k)
            vistas << d->formulario()->comboLabelsSMS->itemText(k);
        d->formulario()->comboLabelsSMS->setEditText(texto);
        d->formulario()->checkCampoObligatorio->setChecked(obligatorio);
        d->formulario()->buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    w->on_pushAgregarCampo_clicked();
    QCOMPARE(vistas, ofrecidas);
    QCOMPARE(ui->editFormatoSMS->toPlainText(), plantilla);
    QVERIFY(ui->editFormatoSMS->textCursor().atEnd());
}

void PruebaVentanaPlantilla::agregarCampoCancelado()
{
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola "));
    alAbrirse<add_word_to_sms>([](add_word_to_sms *d) {
        d->formulario()->comboLabelsSMS->setEditText(QStringLiteral("x"));
        d->formulario()->buttonBox->button(QDialogButtonBox::Cancel)->click();
    });
    w->on_pushAgregarCampo_clicked();
    QCOMPARE(ui->editFormatoSMS->toPlainText(), QStringLiteral("Hola "));
}

void PruebaVentanaPlantilla::vistaPrevia_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<int>("fila");
    QTest::addColumn<QString>("plantilla");
    QTest::addColumn<QString>("vista");
    QTest::addColumn<int>("filaFinal");
    QTest::addColumn<bool>("arriba");
    QTest::addColumn<bool>("abajo");
    const QByteArray tres("nombre,celular,deuda\nAna,123,\nBeto,456,10\n");
    QTest::newRow("primera fila de datos") << tres << true << 0 << "Hola [nombre]"
                                           << "Hola Ana" << 1 << true << false;
    QTest::newRow("por numero") << tres << true << 0 << "Hola [#1]"
                                << "Hola Ana" << 1 << true << false;
    QTest::newRow("hueco") << tres << true << 1 << "Debe [deuda] pesos"
                           << "Debe  pesos" << 1 << true << false;
    QTest::newRow("obligatorio vacio") << tres << true << 1 << "Debe {deuda} pesos"
                                       << "" << 1 << true << false;
    QTest::newRow("desconocida") << tres << true << 1 << "Hola [apellido]"
                                 << "" << 1 << true << false;
    QTest::newRow("corchete solo") << tres << true << 1 << "Precio [10"
                                   << "Precio 10" << 1 << true << false;
    QTest::newRow("ultima fila") << tres << true << 2 << "Hola [nombre]"
                                 << "Hola Beto" << 2 << false << true;
    QTest::newRow("pasada del final") << tres << true << 9 << "Hola [nombre]"
                                      << "Hola Beto" << 9 << false << true;
    QTest::newRow("sin header muestra la linea 0") << tres << false << 0 << "Hola [#1]"
                                                   << "Hola nombre" << 0 << true << false;
    QTest::newRow("fila corta") << QByteArray("nombre,celular,deuda\nAna\n") << true << 0
                                << "[nombre] {deuda}"
                                << "" << 1 << false << false;
    QTest::newRow("fila corta, hueco")
        << QByteArray("nombre,celular,deuda\nAna\n") << true << 0 << "[nombre]:[deuda]."
        << "Ana:." << 1 << false << false;
    QTest::newRow("archivo vacio") << QByteArray() << false << 0 << "Hola [#1]!"
                                   << "Hola !" << 0 << false << false;
}

void PruebaVentanaPlantilla::vistaPrevia()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, conHeader);
    QFETCH(int, fila);
    QFETCH(QString, plantilla);
    QFETCH(QString, vista);
    QFETCH(int, filaFinal);
    QFETCH(bool, arriba);
    QFETCH(bool, abajo);
    // An empty list leaves the columns as they were: a one-column list was read before it.
    if (bytes.isEmpty())
        prepararVentana(escribirLista("uno\n", QStringLiteral("una.csv")), conHeader);
    prepararVentana(escribirLista(bytes), conHeader);
    // The window starts at row 0; each step up is one row, wherever the list ends.
    for (int k = 0; k < fila; ++k)
        w->on_SmsListaUp_clicked();
    ui->SmsListaUp->setEnabled(true);
    ui->SmsListaDown->setEnabled(true);
    ui->editFormatoSMS->setPlainText(plantilla); // the change refreshes the preview
    QCOMPARE(ui->TransformadaSMS->toPlainText(), vista);
    QCOMPARE(ui->SmsListaUp->isEnabled(), arriba);
    QCOMPARE(ui->SmsListaDown->isEnabled(), abajo);
    QCOMPARE((conHeader ? 1 : 0) + pasosHastaLaPrimeraFila(), filaFinal);
}

void PruebaVentanaPlantilla::vistaPreviaPasos()
{
    prepararVentana(escribirLista("nombre\nAna\nBeto\nCarla\n"), true);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [nombre]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola Ana"));
    QVERIFY(!ui->SmsListaDown->isEnabled());
    QVERIFY(ui->SmsListaUp->isEnabled());

    // Every line of the list is another name: the preview tells the row.
    struct Paso
    {
        bool subir;
        const char *vista;
        bool arriba;
        bool abajo;
    };
    const Paso pasos[] = {
        {true, "Hola Beto", true, true},
        {true, "Hola Carla", false, true},
        {false, "Hola Beto", true, true},
        {false, "Hola Ana", true, false},
    };
    for (const Paso &p : pasos) {
        QTest::mouseClick(p.subir ? ui->SmsListaUp : ui->SmsListaDown, Qt::LeftButton);
        QCOMPARE(ui->TransformadaSMS->toPlainText(), QString::fromUtf8(p.vista));
        QCOMPARE(ui->SmsListaUp->isEnabled(), p.arriba);
        QCOMPARE(ui->SmsListaDown->isEnabled(), p.abajo);
    }
}

// A list that is not there keeps the preview at the row it was on.
void PruebaVentanaPlantilla::vistaPreviaSinArchivo()
{
    const QString ruta = datos.filePath(QStringLiteral("llegara.csv"));
    ui->ingresoLista->setText(ruta);
    for (int k = 0; k < 5; ++k)
        w->on_SmsListaUp_clicked();
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola"));
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [#1]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QString());
    // Once the list is there, the preview shows row 5.
    escribirLista("n\nf1\nf2\nf3\nf4\nf5\nf6\n", QStringLiteral("llegara.csv"));
    w->detectarColumnasConHeader(ruta, false);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [n]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola f5"));
}

// The template counter: the previewed message and the longest of the list against 140, the cut
// part struck through in the preview; the manual message has its own counter.
void PruebaVentanaPlantilla::contador()
{
    const QByteArray largo(150, 'y');
    prepararVentana(escribirLista("nombre,texto\nAna,corto\nBeto," + largo + "\nCarla,\n"), true);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [nombre] {texto}"));
    QCOMPARE(ui->labelContadorSms->text().section(QLatin1Char('\n'), 0, 1),
             QStringLiteral("14/140 caracteres\nel más largo de la lista: 160"));
    w->on_SmsListaUp_clicked();
    QCOMPARE(ui->labelContadorSms->text().section(QLatin1Char('\n'), 0, 1),
             QStringLiteral("160/140 caracteres\nel más largo de la lista: 160"));
    // Which row the preview shows, and why a run would refuse it.
    QCOMPARE(ui->labelContadorSms->text().section(QLatin1Char('\n'), 2),
             QStringLiteral("fila 2 de 3: no se agregará (número no válido)"));
    // The whole message is shown; from the 141st character on it is struck through.
    QTextCursor cursor(ui->TransformadaSMS->document());
    QCOMPARE(ui->TransformadaSMS->toPlainText().size(), 160);
    cursor.setPosition(140);
    QVERIFY(!cursor.charFormat().fontStrikeOut());
    cursor.setPosition(141);
    QVERIFY(cursor.charFormat().fontStrikeOut());
    cursor.movePosition(QTextCursor::End);
    QVERIFY(cursor.charFormat().fontStrikeOut());
    // A mandatory field empty in a row: no message there, and none counted.
    ui->editFormatoSMS->setPlainText(QStringLiteral("{texto}"));
    QCOMPARE(ui->labelContadorSms->text().section(QLatin1Char('\n'), 0, 1),
             QStringLiteral("150/140 caracteres\nel más largo de la lista: 150"));

    ui->TextoManual->setPlainText(QString(141, u'z'));
    QCOMPARE(ui->labelContadorManual->text(), QStringLiteral("141 caracteres (más de 140)"));
    ui->TextoManual->setPlainText(QStringLiteral("Hola"));
    QCOMPARE(ui->labelContadorManual->text(), QStringLiteral("4 caracteres"));
}

NBSMS_TEST_MAIN(PruebaVentanaPlantilla)
#include "prueba_ventana_plantilla.moc"
