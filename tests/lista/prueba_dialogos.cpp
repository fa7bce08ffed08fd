// The list format dialog and the field dialog.

#include "common/entorno_prueba.h"
#include "lista/add_word_to_sms.h"
#include "lista/cfg_lista.h"
#include "lista/separar_linea.h"
#include "ui_add_word_to_sms.h"
#include "ui_cfg_lista.h"

#include <QPushButton>
#include <QSettings>
#include <QtTest>

namespace {
void pulsar(QDialogButtonBox *caja, QDialogButtonBox::StandardButton boton)
{
    caja->button(boton)->click();
}
} // namespace

class PruebaDialogos : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void formatoForma();
    void formatoAlAbrir_data();
    void formatoAlAbrir();
    void formatoAceptar_data();
    void formatoAceptar();
    void formatoCancelar_data();
    void formatoCancelar();
    void etiquetaForma();
    void etiqueta_data();
    void etiqueta();
    void etiquetaCancelada();
};

void PruebaDialogos::init()
{
    QSettings().clear();
}

void PruebaDialogos::formatoForma()
{
    cfg_lista d;
    Ui::cfg_lista *f = d.formulario();
    QCOMPARE(d.windowTitle(), QStringLiteral("Formato de lista"));
    QCOMPARE(d.size(), QSize(302, 180));
    QCOMPARE(f->groupBox_2->title(), QStringLiteral("Tipo de separador"));
    QCOMPARE(f->groupBox_3->title(), QStringLiteral("Formato de campos"));
    QCOMPARE(f->usarComa->text(), QStringLiteral("Coma"));
    QCOMPARE(f->usarComa->toolTip(), QStringLiteral("Tipo de separador \",\""));
    QCOMPARE(f->usarTabulador->text(), QStringLiteral("Tabulador"));
    QCOMPARE(f->usarTabulador->toolTip(), QStringLiteral("Tipo de separador \"TAB\""));
    QCOMPARE(f->checkCabecera->text(), QStringLiteral("Cabecera"));
    QCOMPARE(f->checkCabecera->toolTip(), QStringLiteral("Fila que indica nombre de columnas."));
    QCOMPARE(f->checkComillas->text(), QStringLiteral("Los campos estan encerrados por comillas"));
    QCOMPARE(f->checkComillas->toolTip(),
             QStringLiteral("Los campos tipo texto seran encerrados entre comillas."));
    QCOMPARE(f->usarComa->parentWidget(), f->groupBox_2);
    QCOMPARE(f->usarTabulador->parentWidget(), f->groupBox_2);
    QCOMPARE(f->checkCabecera->parentWidget(), f->groupBox_3);
    QCOMPARE(f->buttonBox->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(f->buttonBox->orientation(), Qt::Horizontal);
}

void PruebaDialogos::formatoAlAbrir_data()
{
    QTest::addColumn<QVariantList>("guardado"); // header, quotes, comma, tab; invalid = not stored
    QTest::addColumn<QVariantList>("cajas");
    QTest::newRow("almacen vacio") << QVariantList{{}, {}, {}, {}} << QVariantList{true, true, true, false};
    QTest::newRow("tab sin header") << QVariantList{false, false, false, true}
                                    << QVariantList{false, false, false, true};
    QTest::newRow("ningun separador")
        << QVariantList{true, true, false, false} << QVariantList{true, true, false, false};
}

static void guardar(const QVariantList &v)
{
    const ajustes::Clave claves[] = {ajustes::Clave::TieneHeader, ajustes::Clave::SeparaComillas,
                                     ajustes::Clave::UsarComa, ajustes::Clave::UsarTab};
    for (int k = 0; k < 4; ++k) {
        if (v.at(k).isValid())
            ajustes::escribir(claves[k], v.at(k));
    }
}

static QVariantList cajasDe(const cfg_lista &d)
{
    Ui::cfg_lista *f = d.formulario();
    return {f->checkCabecera->isChecked(), f->checkComillas->isChecked(), f->usarComa->isChecked(),
            f->usarTabulador->isChecked()};
}

void PruebaDialogos::formatoAlAbrir()
{
    QFETCH(QVariantList, guardado);
    QFETCH(QVariantList, cajas);
    guardar(guardado);
    cfg_lista d;
    QCOMPARE(cajasDe(d), cajas);
}

void PruebaDialogos::formatoAceptar_data()
{
    QTest::addColumn<bool>("cabecera");
    QTest::addColumn<bool>("comillas");
    QTest::addColumn<QString>("separador");
    QTest::newRow("tab, sin nada") << false << false << "\t";
    QTest::newRow("coma, todo") << true << true << ",";
    QTest::newRow("punto y coma") << true << false << ";";
}

void PruebaDialogos::formatoAceptar()
{
    QFETCH(bool, cabecera);
    QFETCH(bool, comillas);
    QFETCH(QString, separador);
    cfg_lista d;
    Ui::cfg_lista *f = d.formulario();
    QCOMPARE(f->usarPuntoComa->text(), QStringLiteral("Punto y coma"));
    QCOMPARE(f->usarPuntoComa->parentWidget(), f->groupBox_2);
    QVERIFY(!f->usarPuntoComa->isChecked()); // a store without the key reads as before
    f->checkCabecera->setChecked(cabecera);
    f->checkComillas->setChecked(comillas);
    (separador == "\t" ? f->usarTabulador : separador == ";" ? f->usarPuntoComa : f->usarComa)->click();
    pulsar(f->buttonBox, QDialogButtonBox::Ok);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(ajustes::leer(ajustes::Clave::TieneHeader), QVariant(cabecera));
    QCOMPARE(ajustes::leer(ajustes::Clave::SeparaComillas), QVariant(comillas));
    QCOMPARE(ajustes::leer(ajustes::Clave::UsarComa), QVariant(separador == ","));
    QCOMPARE(ajustes::leer(ajustes::Clave::UsarTab), QVariant(separador == "\t"));
    QCOMPARE(ajustes::leer(ajustes::Clave::UsarPuntoComa), QVariant(separador == ";"));
    QCOMPARE(QString(lista::separadorDe(lista::formatoGuardado())), separador);
}

void PruebaDialogos::formatoCancelar_data()
{
    QTest::addColumn<QVariantList>("guardado");
    QTest::addColumn<QVariantList>("cajas");
    // Cancelling reads the quote flag with a default of false.
    QTest::newRow("almacen vacio") << QVariantList{{}, {}, {}, {}} << QVariantList{true, false, true, false};
    QTest::newRow("guardado") << QVariantList{false, true, false, true}
                              << QVariantList{false, true, false, true};
    QTest::newRow("ningun separador")
        << QVariantList{true, true, false, false} << QVariantList{true, true, false, false};
}

void PruebaDialogos::formatoCancelar()
{
    QFETCH(QVariantList, guardado);
    QFETCH(QVariantList, cajas);
    guardar(guardado);
    cfg_lista d;
    Ui::cfg_lista *f = d.formulario();
    f->checkCabecera->toggle();
    f->checkComillas->toggle();
    (f->usarComa->isChecked() ? f->usarTabulador : f->usarComa)->click();
    pulsar(f->buttonBox, QDialogButtonBox::Cancel);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(cajasDe(d), cajas);
    // Nothing is written on cancel.
    QCOMPARE(ajustes::contiene(ajustes::Clave::UsarComa), guardado.at(2).isValid());
}

void PruebaDialogos::etiquetaForma()
{
    add_word_to_sms d;
    QCOMPARE(d.windowTitle(), QStringLiteral("Ingreso de etiqueta"));
    QCOMPARE(d.size(), QSize(180, 90));
    QVERIFY(d.formulario()->comboLabelsSMS->isEditable());
    QCOMPARE(d.formulario()->checkCampoObligatorio->text(), QStringLiteral("Campo obligatorio"));
    QCOMPARE(d.formulario()->buttonBox->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    d.cargarEtiquetas({"a", "b"});
    d.cargarEtiquetas({"#1"});
    QCOMPARE(d.formulario()->comboLabelsSMS->count(), 3);
    QCOMPARE(d.formulario()->comboLabelsSMS->itemText(2), QStringLiteral("#1"));
    QCOMPARE(d.getEtiqueta(), QString());
}

void PruebaDialogos::etiqueta_data()
{
    QTest::addColumn<QString>("texto");
    QTest::addColumn<bool>("obligatorio");
    QTest::addColumn<QString>("etiqueta");
    QTest::newRow("obligatorio") << "celular" << true << "{celular}";
    QTest::newRow("comun") << "celular" << false << "[celular]";
    QTest::newRow("escrito a mano") << "mi campo" << false << "[mi campo]";
    QTest::newRow("vacio") << "" << true << "{}";
}

void PruebaDialogos::etiqueta()
{
    QFETCH(QString, texto);
    QFETCH(bool, obligatorio);
    QFETCH(QString, etiqueta);
    add_word_to_sms d;
    d.cargarEtiquetas({"nombre", "celular"});
    d.formulario()->comboLabelsSMS->setEditText(texto);
    d.formulario()->checkCampoObligatorio->setChecked(obligatorio);
    pulsar(d.formulario()->buttonBox, QDialogButtonBox::Ok);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.getEtiqueta(), etiqueta);
}

void PruebaDialogos::etiquetaCancelada()
{
    add_word_to_sms d;
    d.cargarEtiquetas({"nombre"});
    pulsar(d.formulario()->buttonBox, QDialogButtonBox::Cancel);
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(d.getEtiqueta(), QString());
}

NBSMS_TEST_MAIN(PruebaDialogos)
#include "prueba_dialogos.moc"
