#include "lista/add_word_to_sms.h"

#include "ui_add_word_to_sms.h"

add_word_to_sms::add_word_to_sms(QWidget *parent) : QDialog(parent), ui(new Ui::add_word_to_sms)
{
    // The form connects OK and Cancel to accept and reject, then the on_ slots by name.
    ui->setupUi(this);
}

add_word_to_sms::~add_word_to_sms()
{
    delete ui;
}

void add_word_to_sms::cargarEtiquetas(const QStringList &etiquetas)
{
    ui->comboLabelsSMS->addItems(etiquetas);
}

QString add_word_to_sms::getEtiqueta() const
{
    return etiqueta;
}

void add_word_to_sms::on_buttonBox_accepted()
{
    const bool obligatorio = ui->checkCampoObligatorio->isChecked();
    etiqueta = (obligatorio ? QStringLiteral("{") : QStringLiteral("[")) + ui->comboLabelsSMS->currentText() +
               (obligatorio ? QStringLiteral("}") : QStringLiteral("]"));
}
