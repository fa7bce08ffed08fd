#include "lista/add_word_to_sms.h"

#include "ui_add_word_to_sms.h"

#include <QApplication>
#include <QFontMetrics>

add_word_to_sms::add_word_to_sms(QWidget *parent) : QDialog(parent), m_ui(new Ui::add_word_to_sms)
{
    // The form connects OK and Cancel to accept and reject, then the on_ slots by name.
    m_ui->setupUi(this);
}

void add_word_to_sms::showEvent(QShowEvent *evento)
{
    // Title bars write in bold, beside an icon and three buttons: about twenty more characters.
    QFont negrita = QApplication::font("QMdiSubWindowTitleBar");
    negrita.setBold(true);
    const QFontMetrics medida(negrita);
    const int ancho = medida.horizontalAdvance(windowTitle()) + 20 * medida.averageCharWidth();
    if (width() < ancho)
        resize(ancho, height());
    QDialog::showEvent(evento);
}

add_word_to_sms::~add_word_to_sms()
{
    delete m_ui;
}

void add_word_to_sms::cargarEtiquetas(const QStringList &etiquetas)
{
    m_ui->comboLabelsSMS->addItems(etiquetas);
}

QString add_word_to_sms::getEtiqueta() const
{
    return m_etiqueta;
}

void add_word_to_sms::on_buttonBox_accepted()
{
    const bool obligatorio = m_ui->checkCampoObligatorio->isChecked();
    m_etiqueta = (obligatorio ? QStringLiteral("{") : QStringLiteral("[")) +
                 m_ui->comboLabelsSMS->currentText() +
                 (obligatorio ? QStringLiteral("}") : QStringLiteral("]"));
}
