// The main window's list columns: format dialog, browse, header detection in every encoding,
// the column lookup and the number and date of a row.

#include "common/ventana_prueba.h"
#include "lista/cfg_lista.h"
#include "ui_cfg_lista.h"

#include <QPushButton>
#include <QStandardPaths>
#include <QTextCodec>
#include <QtTest>

using namespace ventana_prueba;

class PruebaVentanaColumnas : public QObject, public VentanaPrueba
{
    Q_OBJECT

private slots:
    void init() { reiniciar(); }
    void cleanup() { liberar(); }

    void detectar_data();
    void detectar();
    void detectarFallo_data();
    void detectarFallo();
    void detectarVacio();
    void detectarCodificacion_data();
    void detectarCodificacion();
    void buscarColumna_data();
    void buscarColumna();
    void buscarSinArchivo();
    void valores_data();
    void valores();
    void obtenerColumnas();
    void buscarArchivo();
    void buscarArchivoCancelado();
    void columnasAlElegirLista_data();
    void columnasAlElegirLista();
    void formatoAceptado();
    void formatoCancelado();
};

void PruebaVentanaColumnas::detectar_data()
{
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<QStringList>("celular");
    QTest::addColumn<QStringList>("fecha");
    QTest::addColumn<QString>("guardado");
    const QStringList conNombres{"nombre", "celular", "fecha", "#1", "#2", "#3"};
    QTest::newRow("con header") << true << conNombres << conNombres + QStringList{"--inmediato--"}
                                << "nombre,celular,fecha";
    QTest::newRow("sin header") << false << QStringList{"#1", "#2", "#3"}
                                << QStringList{"#1", "#2", "#3", "--inmediato--"} << "";
}

void PruebaVentanaColumnas::detectar()
{
    QFETCH(bool, conHeader);
    QFETCH(QStringList, celular);
    QFETCH(QStringList, fecha);
    QFETCH(QString, guardado);
    usarHeader(conHeader);
    ui->comboCelular->addItems({"viejo", "otro"});
    ui->comboFecha->addItem(QStringLiteral("viejo"));
    ajustes::escribir(ajustes::Clave::ColumnaCelular, QStringLiteral("elegida"));
    ajustes::escribir(ajustes::Clave::ColumnaFecha, QStringLiteral("#3"));
    const QString ruta = escribirLista("nombre,celular,fecha\nAna,123,01/02/2024\nBeto,456\n");
    prepararVentana(ruta, conHeader);

    QCOMPARE(itemsDe(ui->comboCelular), celular);
    QCOMPARE(itemsDe(ui->comboFecha), fecha);
    // The columns the field dialog offers and references resolve against: three of them.
    QCOMPARE(w->obtenerColumnas(), celular);
    QCOMPARE(w->buscarColumna(QStringLiteral("#3")), 2);
    QCOMPARE(w->buscarColumna(QStringLiteral("#4")), -1);
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::HeaderList), guardado);
    // Emptying and refilling the combos is not the operator's choice: nothing is stored.
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaCelular), QStringLiteral("elegida"));
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaFecha), QStringLiteral("#3"));
    QVERIFY(CuadroMensaje::mostrados().isEmpty());
}

void PruebaVentanaColumnas::detectarFallo_data()
{
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<bool>("mostrar");
    QTest::addColumn<QString>("texto");
    QTest::newRow("con header, con cuadro")
        << true << true << "No se pudo abrir el archivo para detectar el header.";
    QTest::newRow("sin header, con cuadro")
        << false << true << "No se pudo abrir el archivo para detectar la cebecera.";
    QTest::newRow("con header, callado") << true << false << "";
    QTest::newRow("sin header, callado") << false << false << "";
}

void PruebaVentanaColumnas::detectarFallo()
{
    QFETCH(bool, conHeader);
    QFETCH(bool, mostrar);
    QFETCH(QString, texto);
    // Columns of a list read before: one, named "queda".
    prepararVentana(escribirLista("queda\n"), true);
    const QStringList antes{"queda", "#1"};
    QCOMPARE(itemsDe(ui->comboCelular), antes);
    const QString ruta = datos.filePath(QStringLiteral("no-existe.csv"));
    if (conHeader)
        w->detectarColumnasConHeader(ruta, mostrar);
    else
        w->detectarColumnasSinHeader(ruta, mostrar);
    QCOMPARE(itemsDe(ui->comboCelular), antes);
    QCOMPARE(w->obtenerColumnas(), antes);
    QCOMPARE(w->buscarColumna(QStringLiteral("#1")), 0);
    QCOMPARE(w->buscarColumna(QStringLiteral("#2")), -1);
    if (texto.isEmpty()) {
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
    } else {
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().first().titulo, QStringLiteral("Error!"));
        QCOMPARE(CuadroMensaje::mostrados().first().texto, texto);
    }
}

void PruebaVentanaColumnas::detectarVacio()
{
    prepararVentana(escribirLista("queda\n"), true);
    const QStringList antes{"queda", "#1"};
    ajustes::escribir(ajustes::Clave::HeaderList, QStringLiteral("a,b"));
    const QString ruta = escribirLista(QByteArray(), QStringLiteral("vacia.csv"));
    w->detectarColumnasConHeader(ruta, true);
    QCOMPARE(itemsDe(ui->comboCelular), antes);
    QCOMPARE(w->obtenerColumnas(), antes);
    QCOMPARE(w->buscarColumna(QStringLiteral("#2")), -1);
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::HeaderList), QStringLiteral("a,b"));
    QVERIFY(CuadroMensaje::mostrados().isEmpty());
}

// Detection and preview read the list the same way, whatever its encoding.
void PruebaVentanaColumnas::detectarCodificacion_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("utf8") << QStringLiteral("año,celular\nMuñoz,123\n").toUtf8();
    QTest::newRow("utf8 con BOM") << "\xEF\xBB\xBF" + QStringLiteral("año,celular\r\nMuñoz,123\r\n").toUtf8();
    QTest::newRow("latin1") << QByteArray("a\xF1o,celular\r\nMu\xF1oz,123\r\n");
    // Spreadsheets' "Unicode text": UTF-16 with the byte-order mark that Qt's codec writes too.
    QTest::newRow("utf16le")
        << QTextCodec::codecForName("UTF-16LE")->fromUnicode(QStringLiteral("año,celular\r\nMuñoz,123\r\n"));
    QTest::newRow("utf16be")
        << QTextCodec::codecForName("UTF-16BE")->fromUnicode(QStringLiteral("año,celular\nMuñoz,123\n"));
}

void PruebaVentanaColumnas::detectarCodificacion()
{
    QFETCH(QByteArray, bytes);
    prepararVentana(escribirLista(bytes), true);
    QCOMPARE(ui->comboCelular->itemText(0), QStringLiteral("año"));
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::HeaderList), QStringLiteral("año,celular"));
    QCOMPARE(w->buscarColumna(QStringLiteral("año")), 0);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [año]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola Muñoz"));
}

void PruebaVentanaColumnas::buscarColumna_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<QString>("referencia");
    QTest::addColumn<int>("indice");
    const QByteArray lista("nombre,celular,fecha\n");
    QTest::newRow("nombre") << lista << true << "celular" << 1;
    QTest::newRow("numero") << lista << true << "#2" << 1;
    QTest::newRow("#4 de 3") << lista << true << "#4" << -1;
    QTest::newRow("sin header, numero") << lista << false << "#3" << 2;
    QTest::newRow("sin header, nombre") << lista << false << "celular" << -1;
    QTest::newRow("header llamado #1") << QByteArray("a,b,#1\n") << true << "#1" << 2;
    QTest::newRow("inmediato") << lista << true << "--inmediato--" << -1;
}

void PruebaVentanaColumnas::buscarColumna()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, conHeader);
    QFETCH(QString, referencia);
    QFETCH(int, indice);
    prepararVentana(escribirLista(bytes), conHeader);
    QCOMPARE(w->buscarColumna(referencia), indice);
}

void PruebaVentanaColumnas::buscarSinArchivo()
{
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    QCOMPARE(w->buscarColumna(QStringLiteral("celular")), 1);
    QVERIFY(QFile::remove(ruta));
    QCOMPARE(w->buscarColumna(QStringLiteral("celular")), -1);
    QCOMPARE(w->buscarColumna(QStringLiteral("#1")), -1);
}

void PruebaVentanaColumnas::valores_data()
{
    QTest::addColumn<QString>("celular");
    QTest::addColumn<QString>("fecha");
    QTest::addColumn<QStringList>("campos");
    QTest::addColumn<QString>("numero");
    QTest::addColumn<QString>("dia");
    const QStringList fila{"Ana", "123", "05/07/2024"};
    QTest::newRow("columnas por nombre") << "celular"
                                         << "fecha" << fila << "123"
                                         << "05/07/2024";
    QTest::newRow("columnas por numero") << "#2"
                                         << "#3" << fila << "123"
                                         << "05/07/2024";
    QTest::newRow("inmediato") << "celular"
                               << "--inmediato--" << fila << "123" << hoy();
    QTest::newRow("fecha vacia") << "celular"
                                 << "" << fila << "123" << hoy();
    QTest::newRow("fecha no es columna") << "celular"
                                         << "cuando" << fila << "123" << hoy();
    QTest::newRow("fila corta") << "celular"
                                << "fecha" << QStringList{"Ana"} << "" << hoy();
    QTest::newRow("celular no es columna") << "telefono"
                                           << "fecha" << fila << ""
                                           << "05/07/2024";
    QTest::newRow("fecha vacia en la fila") << "celular"
                                            << "fecha" << QStringList{"Ana", "1", ""} << "1"
                                            << "";
}

void PruebaVentanaColumnas::valores()
{
    QFETCH(QString, celular);
    QFETCH(QString, fecha);
    QFETCH(QStringList, campos);
    QFETCH(QString, numero);
    QFETCH(QString, dia);
    prepararVentana(escribirLista("nombre,celular,fecha\n"), true);
    ui->comboCelular->setEditText(celular);
    ui->comboFecha->setEditText(fecha);
    QCOMPARE(w->valorCelular(campos), numero);
    QCOMPARE(w->valorFecha(campos), dia);
}

void PruebaVentanaColumnas::obtenerColumnas()
{
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    QCOMPARE(w->obtenerColumnas(), (QStringList{"nombre", "celular", "#1", "#2"}));
    QFile::remove(ruta);
    QCOMPARE(w->obtenerColumnas(), (QStringList{"#1", "#2", "#3", "#4"}));
}

void PruebaVentanaColumnas::buscarArchivo()
{
    const QString ruta = escribirLista("nombre,celular\nAna,1\n");
    usarHeader(false);
    DialogoArchivo::fijarSiguienteArchivo(ruta);
    w->on_BuscarArchivo_clicked();
    QCOMPARE(DialogoArchivo::pedidos().size(), 1);
    QCOMPARE(DialogoArchivo::pedidos().first().titulo, QStringLiteral("Abrir lista"));
    // No list before: the documents folder (the home folder without one), never the data folder.
    const QString documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QCOMPARE(DialogoArchivo::pedidos().first().carpeta,
             QFileInfo(documentos).isDir() ? documentos : ajustes::carpetaUsuario().absolutePath());
    QCOMPARE(DialogoArchivo::pedidos().first().filtro,
             QStringLiteral("Listas (*.csv *.txt);;Todos los archivos (*)"));
    QCOMPARE(ui->ingresoLista->text(), ruta);
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ListaNombreFila), ruta);
    QCOMPARE(itemsDe(ui->comboFecha), (QStringList{"#1", "#2", "--inmediato--"}));

    // A chosen file that cannot be read shows the box and keeps the columns.
    DialogoArchivo::fijarSiguienteArchivo(datos.filePath(QStringLiteral("borrada.csv")));
    w->on_BuscarArchivo_clicked();
    // The dialog opens where the last list came from.
    QCOMPARE(DialogoArchivo::pedidos().at(1).carpeta, QFileInfo(ruta).absolutePath());
    QCOMPARE(CuadroMensaje::textosMostrados(),
             QStringList{"No se pudo abrir el archivo para detectar la cebecera."});
    QCOMPARE(itemsDe(ui->comboCelular), (QStringList{"#1", "#2"}));
}

void PruebaVentanaColumnas::buscarArchivoCancelado()
{
    ui->ingresoLista->setText(QStringLiteral("antes.csv"));
    ajustes::escribir(ajustes::Clave::ListaNombreFila, QStringLiteral("antes.csv"));
    DialogoArchivo::fijarSiguienteArchivo(QString());
    w->on_BuscarArchivo_clicked();
    QCOMPARE(ui->ingresoLista->text(), QStringLiteral("antes.csv"));
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ListaNombreFila), QStringLiteral("antes.csv"));
    QCOMPARE(ui->comboCelular->count(), 0);
}

// After a list is chosen: a stored column choice that fits it stays; otherwise the phone column
// found by its name and "--inmediato--", always offered; what is shown is stored. A list read as
// one column is offered the separator its first line holds. The preview shows the new list.
void PruebaVentanaColumnas::columnasAlElegirLista_data()
{
    QTest::addColumn<QByteArray>("primeras"); // header and first row
    QTest::addColumn<QString>("celularGuardada");
    QTest::addColumn<QString>("fechaGuardada");
    QTest::addColumn<int>("respuesta"); // to the separator offer; -1: none expected
    QTest::addColumn<QString>("celular");
    QTest::addColumn<QString>("fecha");
    QTest::addColumn<QString>("vista");
    QTest::newRow("la eleccion sirve") << QByteArray("nombre,celular,vence\nAna,111,01/01/2030") << "celular"
                                       << "vence" << -1 << "celular"
                                       << "vence"
                                       << "Hola Ana";
    QTest::newRow("por su nombre") << QStringLiteral("Nombre,Teléfono Móvil,Fecha\nBeto,222,x").toUtf8()
                                   << "tel"
                                   << "dia" << -1 << QStringLiteral("Teléfono Móvil") << "--inmediato--"
                                   << "Hola Beto";
    QTest::newRow("celular antes que numero") << QByteArray("numero_cliente,CELULAR\nCata,1") << ""
                                              << "" << -1 << "CELULAR"
                                              << "--inmediato--"
                                              << "Hola Cata";
    QTest::newRow("numero") << QStringLiteral("nombre,Número\nDino,1").toUtf8() << "celular"
                            << "--inmediato--" << -1 << QStringLiteral("Número") << "--inmediato--"
                            << "Hola Dino";
    QTest::newRow("ninguna") << QByteArray("a,b\nEva,1") << "celular"
                             << "#2" << -1 << ""
                             << "#2"
                             << "Hola Eva";
    QTest::newRow("punto y coma aceptado") << QByteArray("nombre;celular\nFer;3") << ""
                                           << "" << int(QMessageBox::Ok) << "celular"
                                           << "--inmediato--"
                                           << "Hola Fer";
    QTest::newRow("punto y coma rechazado") << QByteArray("nombre;celular\nFer;3") << ""
                                            << "" << int(QMessageBox::Cancel) << "nombre;celular"
                                            << "--inmediato--"
                                            << "Hola Fer;3";
}

void PruebaVentanaColumnas::columnasAlElegirLista()
{
    QFETCH(QByteArray, primeras);
    QFETCH(QString, celularGuardada);
    QFETCH(QString, fechaGuardada);
    QFETCH(int, respuesta);
    QFETCH(QString, celular);
    QFETCH(QString, fecha);
    QFETCH(QString, vista);
    // The preview on the third row of the list chosen before.
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [#1]"));
    prepararVentana(escribirLista("x\nvieja 1\nvieja 2\nvieja 3\n", QStringLiteral("vieja.csv")), true);
    for (int k = 0; k < 3; ++k)
        w->on_SmsListaUp_clicked();
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola vieja 3"));
    QVERIFY(!ui->SmsListaUp->isEnabled());
    ajustes::escribir(ajustes::Clave::ColumnaCelular, celularGuardada);
    ajustes::escribir(ajustes::Clave::ColumnaFecha, fechaGuardada);
    if (respuesta >= 0)
        CuadroMensaje::fijarSiguienteRespuesta(QMessageBox::StandardButton(respuesta));

    DialogoArchivo::fijarSiguienteArchivo(escribirLista(primeras + "\notra\notra\n"));
    w->on_BuscarArchivo_clicked();
    QCOMPARE(CuadroMensaje::mostrados().size(), respuesta >= 0 ? 1 : 0);
    QCOMPARE(lista::formatoGuardado().usarPuntoComa, respuesta == QMessageBox::Ok);
    QCOMPARE(ui->comboCelular->currentText(), celular);
    QCOMPARE(ui->comboFecha->currentText(), fecha);
    QVERIFY(itemsDe(ui->comboFecha).contains(QStringLiteral("--inmediato--")));
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaCelular), celular);
    QCOMPARE(ajustes::leerTexto(ajustes::Clave::ColumnaFecha), fecha);
    QCOMPARE(ui->TransformadaSMS->toPlainText(), vista);
    QVERIFY(!ui->SmsListaDown->isEnabled());
    QVERIFY(ui->SmsListaUp->isEnabled());
}

// The accepted format is stored and the window reads the list by it at once: TAB-separated (the
// commas stay inside the fields), without a header.
void PruebaVentanaColumnas::formatoAceptado()
{
    // The template first: with no list yet the preview stays at line 0.
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [#1]"));
    ui->ingresoLista->setText(escribirLista("nombre,x\tcelular\nAna,y\t1\n"));
    alAbrirse<cfg_lista>([](cfg_lista *d) {
        QVERIFY(!d->parentWidget());
        d->formulario()->checkCabecera->setChecked(false);
        d->formulario()->usarTabulador->click();
        d->formulario()->buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    w->on_cfgLista_clicked();
    const lista::FormatoLista guardado = lista::formatoGuardado();
    QCOMPARE(guardado.tieneHeader, false);
    QCOMPARE(guardado.separaComillas, true);
    QCOMPARE(guardado.usarComa, false);
    QCOMPARE(guardado.usarTab, true);
    QCOMPARE(itemsDe(ui->comboCelular), (QStringList{"#1", "#2"}));
    QCOMPARE(itemsDe(ui->comboFecha), (QStringList{"#1", "#2", "--inmediato--"}));
    // The preview starts at line 0, the former header, split at the TAB only.
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola nombre,x"));
    QVERIFY(!ui->SmsListaDown->isEnabled());
    w->on_SmsListaUp_clicked();
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola Ana,y"));
}

// A cancelled dialog changes nothing in the window, even when the store says otherwise.
void PruebaVentanaColumnas::formatoCancelado()
{
    ajustes::escribir(ajustes::Clave::TieneHeader, false);
    const QString ruta = escribirLista("nombre,celular\n");
    ui->ingresoLista->setText(ruta);
    ui->TransformadaSMS->setPlainText(QStringLiteral("sin tocar"));
    alAbrirse<cfg_lista>(
        [](cfg_lista *d) { d->formulario()->buttonBox->button(QDialogButtonBox::Cancel)->click(); });
    w->on_cfgLista_clicked();
    QCOMPARE(ui->comboCelular->count(), 0);
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("sin tocar"));
    // The window still reads lists with a header: the names come first.
    DialogoArchivo::fijarSiguienteArchivo(ruta);
    w->on_BuscarArchivo_clicked();
    QCOMPARE(itemsDe(ui->comboCelular), (QStringList{"nombre", "celular", "#1", "#2"}));
}

NBSMS_TEST_MAIN(PruebaVentanaColumnas)
#include "prueba_ventana_columnas.moc"
