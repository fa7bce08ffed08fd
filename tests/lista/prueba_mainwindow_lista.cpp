// The main window's list members: format dialog, browse, column detection and lookup, row values,
// template filling with its counters, the field dialog and the preview with its step buttons.

#include "app/mainwindow.h"
#include "common/entorno_prueba.h"
#include "lista/add_word_to_sms.h"
#include "lista/cfg_lista.h"
#include "ui_add_word_to_sms.h"
#include "ui_cfg_lista.h"
#include "ui_mainwindow.h"

#include <QDate>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Runs `responder` on the next modal dialog of type T as soon as its exec() loop is running.
template <typename T> void alAbrirse(std::function<void(T *)> responder)
{
    auto *reloj = new QTimer;
    reloj->setInterval(0);
    QObject::connect(reloj, &QTimer::timeout, [reloj, responder] {
        if (T *d = qobject_cast<T *>(QApplication::activeModalWidget())) {
            reloj->stop();
            reloj->deleteLater();
            responder(d);
        }
    });
    reloj->start();
}

QStringList itemsDe(const QComboBox *combo)
{
    QStringList items;
    for (int k = 0; k < combo->count(); ++k)
        items << combo->itemText(k);
    return items;
}

QString hoy()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

class PruebaMainWindowLista : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

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
    void transformarCuenta();
    void verificarCampos_data();
    void verificarCampos();
    void obtenerColumnas();
    void buscarArchivo();
    void buscarArchivoCancelado();
    void formatoAceptado();
    void formatoCancelado();
    void agregarCampo_data();
    void agregarCampo();
    void agregarCampoCancelado();
    void vistaPrevia_data();
    void vistaPrevia();
    void vistaPreviaPasos();
    void vistaPreviaSinArchivo();

private:
    QString escribirLista(const QByteArray &bytes, const QString &nombre = QStringLiteral("lista.csv"));
    // Points the window at `ruta` with the given format and runs detection quietly.
    void prepararVentana(const QString &ruta, bool conHeader);

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> w;
    Ui::MainWindow *ui = nullptr;
};

void PruebaMainWindowLista::init()
{
    QSettings().clear();
    CuadroMensaje::limpiar();
    DialogoArchivo::limpiar();
    dir = std::make_unique<QTemporaryDir>();
    w = std::make_unique<MainWindow>();
    ui = w->formulario();
    w->tieneHeader = true;
    w->usarComa = true;
    w->usarTab = false;
    w->columnasDefecto = QStringList{"#1", "#2", "#3", "#4"};
    w->carpetaDatos = QDir(dir->path());
}

void PruebaMainWindowLista::cleanup()
{
    w.reset();
    dir.reset();
}

QString PruebaMainWindowLista::escribirLista(const QByteArray &bytes, const QString &nombre)
{
    const QString ruta = dir->filePath(nombre);
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write the list");
    f.write(bytes);
    return ruta;
}

void PruebaMainWindowLista::prepararVentana(const QString &ruta, bool conHeader)
{
    w->tieneHeader = conHeader;
    ui->ingresoLista->setText(ruta);
    if (conHeader)
        w->detectarColumnasConHeader(ruta, false);
    else
        w->detectarColumnasSinHeader(ruta, false);
}

void PruebaMainWindowLista::detectar_data()
{
    QTest::addColumn<bool>("conHeader");
    QTest::addColumn<QStringList>("celular");
    QTest::addColumn<QStringList>("fecha");
    QTest::addColumn<QString>("guardado");
    const QStringList conNombres{"nombre", "celular", "fecha", "#1", "#2", "#3"};
    QTest::newRow("con header") << true << conNombres << conNombres << "nombre,celular,fecha";
    QTest::newRow("sin header") << false << QStringList{"#1", "#2", "#3"}
                                << QStringList{"#1", "#2", "#3", "--inmediato--"} << "";
}

void PruebaMainWindowLista::detectar()
{
    QFETCH(bool, conHeader);
    QFETCH(QStringList, celular);
    QFETCH(QStringList, fecha);
    QFETCH(QString, guardado);
    ui->comboCelular->addItems({"viejo", "otro"});
    ui->comboFecha->addItem(QStringLiteral("viejo"));
    w->omitirGuardadoCelular = false;
    w->omitirGuardadoFecha = false;
    const QString ruta = escribirLista("nombre,celular,fecha\nAna,123,01/02/2024\nBeto,456\n");
    prepararVentana(ruta, conHeader);

    QCOMPARE(w->cantidadColumnas, 3);
    QCOMPARE(itemsDe(ui->comboCelular), celular);
    QCOMPARE(itemsDe(ui->comboFecha), fecha);
    QCOMPARE(w->columnasHeader, celular);
    QCOMPARE(ajustes::leer(ajustes::kHeaderList, QString()).toString(), guardado);
    // Raised so that the change the fill causes is not taken for the operator's choice.
    QVERIFY(w->omitirGuardadoCelular);
    QVERIFY(w->omitirGuardadoFecha);
    QVERIFY(CuadroMensaje::mostrados().isEmpty());
}

void PruebaMainWindowLista::detectarFallo_data()
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

void PruebaMainWindowLista::detectarFallo()
{
    QFETCH(bool, conHeader);
    QFETCH(bool, mostrar);
    QFETCH(QString, texto);
    ui->comboCelular->addItem(QStringLiteral("queda"));
    w->columnasHeader = QStringList{"queda"};
    const QString ruta = dir->filePath(QStringLiteral("no-existe.csv"));
    if (conHeader)
        w->detectarColumnasConHeader(ruta, mostrar);
    else
        w->detectarColumnasSinHeader(ruta, mostrar);
    QCOMPARE(itemsDe(ui->comboCelular), QStringList{"queda"});
    QCOMPARE(w->columnasHeader, QStringList{"queda"});
    QCOMPARE(w->cantidadColumnas, 0);
    if (texto.isEmpty()) {
        QVERIFY(CuadroMensaje::mostrados().isEmpty());
    } else {
        QCOMPARE(CuadroMensaje::mostrados().size(), 1);
        QCOMPARE(CuadroMensaje::mostrados().first().titulo, QStringLiteral("Error!"));
        QCOMPARE(CuadroMensaje::mostrados().first().texto, texto);
    }
}

void PruebaMainWindowLista::detectarVacio()
{
    ui->comboCelular->addItem(QStringLiteral("queda"));
    w->columnasHeader = QStringList{"queda"};
    ajustes::escribir(ajustes::kHeaderList, QStringLiteral("a,b"));
    const QString ruta = escribirLista(QByteArray());
    w->detectarColumnasConHeader(ruta, true);
    QCOMPARE(itemsDe(ui->comboCelular), QStringList{"queda"});
    QCOMPARE(w->columnasHeader, QStringList{"queda"});
    QCOMPARE(ajustes::leer(ajustes::kHeaderList).toString(), QStringLiteral("a,b"));
    QVERIFY(CuadroMensaje::mostrados().isEmpty());
}

// Detection and preview read the list the same way, whatever its encoding.
void PruebaMainWindowLista::detectarCodificacion_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("utf8") << QStringLiteral("año,celular\nMuñoz,123\n").toUtf8();
    QTest::newRow("utf8 con BOM") << "\xEF\xBB\xBF" + QStringLiteral("año,celular\r\nMuñoz,123\r\n").toUtf8();
    QTest::newRow("latin1") << QByteArray("a\xF1o,celular\r\nMu\xF1oz,123\r\n");
}

void PruebaMainWindowLista::detectarCodificacion()
{
    QFETCH(QByteArray, bytes);
    prepararVentana(escribirLista(bytes), true);
    QCOMPARE(ui->comboCelular->itemText(0), QStringLiteral("año"));
    QCOMPARE(ajustes::leer(ajustes::kHeaderList).toString(), QStringLiteral("año,celular"));
    QCOMPARE(w->buscarColumna(QStringLiteral("año")), 0);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [año]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola Muñoz"));
}

void PruebaMainWindowLista::buscarColumna_data()
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

void PruebaMainWindowLista::buscarColumna()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, conHeader);
    QFETCH(QString, referencia);
    QFETCH(int, indice);
    prepararVentana(escribirLista(bytes), conHeader);
    QCOMPARE(w->buscarColumna(referencia), indice);
}

void PruebaMainWindowLista::buscarSinArchivo()
{
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    QCOMPARE(w->buscarColumna(QStringLiteral("celular")), 1);
    QVERIFY(QFile::remove(ruta));
    QCOMPARE(w->buscarColumna(QStringLiteral("celular")), -1);
    QCOMPARE(w->buscarColumna(QStringLiteral("#1")), -1);
}

void PruebaMainWindowLista::valores_data()
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

void PruebaMainWindowLista::valores()
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

void PruebaMainWindowLista::transformarCuenta()
{
    prepararVentana(escribirLista("nombre,celular,deuda\n"), true);
    const QStringList ana{"Ana", "123", ""};
    w->truncados = 0;
    w->faltaObligatorio = 0;
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [nombre]"), ana), QStringLiteral("Hola Ana"));
    QCOMPARE(w->transformarSms(QStringLiteral("Debe {deuda} y {deuda}"), ana), QString());
    QCOMPARE(w->faltaObligatorio, 1);
    QCOMPARE(w->transformarSms(QStringLiteral("[celular]{celular}"), QStringList{"Ana"}), QString());
    QCOMPARE(w->faltaObligatorio, 2);
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [apellido]"), ana), QString());
    QCOMPARE(w->faltaObligatorio, 2);
    QCOMPARE(w->truncados, 0);
    QCOMPARE(w->transformarSms(QString(150, u'x'), ana), QString(140, u'x'));
    QCOMPARE(w->transformarSms(QString(140, u'x'), ana), QString(140, u'x'));
    QCOMPARE(w->transformarSms(QString(139, u'x') + QStringLiteral("\U0001F600"), ana), QString(139, u'x'));
    QCOMPARE(w->truncados, 2);
    // Without the list file no reference resolves.
    ui->ingresoLista->setText(dir->filePath(QStringLiteral("otra.csv")));
    QCOMPARE(w->transformarSms(QStringLiteral("Hola [nombre]"), ana), QString());
    QCOMPARE(w->transformarSms(QStringLiteral("Hola"), ana), QStringLiteral("Hola"));
}

void PruebaMainWindowLista::verificarCampos_data()
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

void PruebaMainWindowLista::verificarCampos()
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

void PruebaMainWindowLista::obtenerColumnas()
{
    const QString ruta = escribirLista("nombre,celular\n");
    prepararVentana(ruta, true);
    QCOMPARE(w->obtenerColumnas(), (QStringList{"nombre", "celular", "#1", "#2"}));
    QFile::remove(ruta);
    QCOMPARE(w->obtenerColumnas(), (QStringList{"#1", "#2", "#3", "#4"}));
}

void PruebaMainWindowLista::buscarArchivo()
{
    const QString ruta = escribirLista("nombre,celular\nAna,1\n");
    w->tieneHeader = false;
    DialogoArchivo::fijarSiguienteArchivo(ruta);
    w->on_BuscarArchivo_clicked();
    QCOMPARE(DialogoArchivo::pedidos().size(), 1);
    QCOMPARE(DialogoArchivo::pedidos().first().titulo, QStringLiteral("Abrir lista"));
    QCOMPARE(DialogoArchivo::pedidos().first().carpeta, QDir(dir->path()).absolutePath());
    QCOMPARE(DialogoArchivo::pedidos().first().filtro, QStringLiteral("CSV Files (*.csv)"));
    QCOMPARE(ui->ingresoLista->text(), ruta);
    QCOMPARE(ajustes::leer(ajustes::kListaNombreFila).toString(), ruta);
    QCOMPARE(itemsDe(ui->comboFecha), (QStringList{"#1", "#2", "--inmediato--"}));

    // A chosen file that cannot be read shows the box and keeps the columns.
    DialogoArchivo::fijarSiguienteArchivo(dir->filePath(QStringLiteral("borrada.csv")));
    w->on_BuscarArchivo_clicked();
    QCOMPARE(CuadroMensaje::textosMostrados(),
             QStringList{"No se pudo abrir el archivo para detectar la cebecera."});
    QCOMPARE(itemsDe(ui->comboCelular), (QStringList{"#1", "#2"}));
}

void PruebaMainWindowLista::buscarArchivoCancelado()
{
    ui->ingresoLista->setText(QStringLiteral("antes.csv"));
    ajustes::escribir(ajustes::kListaNombreFila, QStringLiteral("antes.csv"));
    DialogoArchivo::fijarSiguienteArchivo(QString());
    w->on_BuscarArchivo_clicked();
    QCOMPARE(ui->ingresoLista->text(), QStringLiteral("antes.csv"));
    QCOMPARE(ajustes::leer(ajustes::kListaNombreFila).toString(), QStringLiteral("antes.csv"));
    QCOMPARE(ui->comboCelular->count(), 0);
}

void PruebaMainWindowLista::formatoAceptado()
{
    const QString ruta = escribirLista("nombre\tcelular\nAna\t1\n");
    ui->ingresoLista->setText(ruta);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [#1]"));
    alAbrirse<cfg_lista>([](cfg_lista *d) {
        QVERIFY(!d->parentWidget());
        d->formulario()->checkCabecera->setChecked(false);
        d->formulario()->usarTabulador->click();
        d->formulario()->buttonBox->button(QDialogButtonBox::Ok)->click();
    });
    w->filaVistaPrevia = 0;
    w->on_cfgLista_clicked();
    QCOMPARE(w->tieneHeader, false);
    QCOMPARE(w->separaComillas, true);
    QCOMPARE(w->usarComa, false);
    QCOMPARE(w->usarTab, true);
    QCOMPARE(itemsDe(ui->comboCelular), (QStringList{"#1", "#2"}));
    // The preview now starts at line 0, the former header.
    QCOMPARE(w->filaVistaPrevia, 0);
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola nombre"));
}

void PruebaMainWindowLista::formatoCancelado()
{
    ajustes::escribir(ajustes::kTieneHeader, false);
    const QString ruta = escribirLista("nombre,celular\n");
    ui->ingresoLista->setText(ruta);
    ui->TransformadaSMS->setPlainText(QStringLiteral("sin tocar"));
    alAbrirse<cfg_lista>(
        [](cfg_lista *d) { d->formulario()->buttonBox->button(QDialogButtonBox::Cancel)->click(); });
    w->on_cfgLista_clicked();
    QCOMPARE(w->tieneHeader, true);
    QCOMPARE(ui->comboCelular->count(), 0);
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("sin tocar"));
}

void PruebaMainWindowLista::agregarCampo_data()
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

void PruebaMainWindowLista::agregarCampo()
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

void PruebaMainWindowLista::agregarCampoCancelado()
{
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola "));
    alAbrirse<add_word_to_sms>([](add_word_to_sms *d) {
        d->formulario()->comboLabelsSMS->setEditText(QStringLiteral("x"));
        d->formulario()->buttonBox->button(QDialogButtonBox::Cancel)->click();
    });
    w->on_pushAgregarCampo_clicked();
    QCOMPARE(ui->editFormatoSMS->toPlainText(), QStringLiteral("Hola "));
}

void PruebaMainWindowLista::vistaPrevia_data()
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

void PruebaMainWindowLista::vistaPrevia()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, conHeader);
    QFETCH(int, fila);
    QFETCH(QString, plantilla);
    QFETCH(QString, vista);
    QFETCH(int, filaFinal);
    QFETCH(bool, arriba);
    QFETCH(bool, abajo);
    prepararVentana(escribirLista(bytes), conHeader);
    if (bytes.isEmpty()) {
        // An empty list leaves the columns as they were; say a one-column list was read before.
        w->columnasHeader = QStringList{"#1"};
        w->cantidadColumnas = 1;
    }
    w->filaVistaPrevia = fila;
    ui->SmsListaUp->setEnabled(true);
    ui->SmsListaDown->setEnabled(true);
    ui->editFormatoSMS->setPlainText(plantilla); // the change refreshes the preview
    QCOMPARE(ui->TransformadaSMS->toPlainText(), vista);
    QCOMPARE(w->filaVistaPrevia, filaFinal);
    QCOMPARE(ui->SmsListaUp->isEnabled(), arriba);
    QCOMPARE(ui->SmsListaDown->isEnabled(), abajo);
}

void PruebaMainWindowLista::vistaPreviaPasos()
{
    prepararVentana(escribirLista("nombre\nAna\nBeto\nCarla\n"), true);
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [nombre]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola Ana"));
    QVERIFY(!ui->SmsListaDown->isEnabled());
    QVERIFY(ui->SmsListaUp->isEnabled());

    struct Paso
    {
        bool subir;
        const char *vista;
        int fila;
        bool arriba;
        bool abajo;
    };
    const Paso pasos[] = {
        {true, "Hola Beto", 2, true, true},
        {true, "Hola Carla", 3, false, true},
        {false, "Hola Beto", 2, true, true},
        {false, "Hola Ana", 1, true, false},
    };
    for (const Paso &p : pasos) {
        QTest::mouseClick(p.subir ? ui->SmsListaUp : ui->SmsListaDown, Qt::LeftButton);
        QCOMPARE(ui->TransformadaSMS->toPlainText(), QString::fromUtf8(p.vista));
        QCOMPARE(w->filaVistaPrevia, p.fila);
        QCOMPARE(ui->SmsListaUp->isEnabled(), p.arriba);
        QCOMPARE(ui->SmsListaDown->isEnabled(), p.abajo);
    }
}

void PruebaMainWindowLista::vistaPreviaSinArchivo()
{
    ui->ingresoLista->setText(dir->filePath(QStringLiteral("no-existe.csv")));
    w->filaVistaPrevia = 5;
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QStringLiteral("Hola"));
    ui->editFormatoSMS->setPlainText(QStringLiteral("Hola [#1]"));
    QCOMPARE(ui->TransformadaSMS->toPlainText(), QString());
    QCOMPARE(w->filaVistaPrevia, 5);
}

NBSMS_TEST_MAIN(PruebaMainWindowLista)
#include "prueba_mainwindow_lista.moc"
