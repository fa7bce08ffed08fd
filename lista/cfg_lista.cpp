#include "lista/cfg_lista.h"

#include "ajustes/ajustes.h"
#include "ui_cfg_lista.h"

cfg_lista::cfg_lista(QWidget *parent) : QDialog(parent), ui(new Ui::cfg_lista)
{
    // The form connects OK and Cancel to accept and reject, then the on_ slots by name.
    ui->setupUi(this);
    cargarAjustes(false);
}

cfg_lista::~cfg_lista()
{
    delete ui;
}

void cfg_lista::cargarAjustes(bool alCancelar)
{
    ui->checkCabecera->setChecked(ajustes::leerBool(ajustes::Clave::TieneHeader));
    // Cancelling shows a store without the quote flag as unticked, unlike opening.
    const bool comillas = alCancelar && !ajustes::contiene(ajustes::Clave::SeparaComillas)
                              ? false
                              : ajustes::leerBool(ajustes::Clave::SeparaComillas);
    ui->checkComillas->setChecked(comillas);
    // Both separators may be stored off; an exclusive radio button could not be unticked then.
    ui->usarComa->setAutoExclusive(false);
    ui->usarTabulador->setAutoExclusive(false);
    ui->usarComa->setChecked(ajustes::leerBool(ajustes::Clave::UsarComa));
    ui->usarTabulador->setChecked(ajustes::leerBool(ajustes::Clave::UsarTab));
    ui->usarComa->setAutoExclusive(true);
    ui->usarTabulador->setAutoExclusive(true);
}

void cfg_lista::on_buttonBox_accepted()
{
    ajustes::escribir(ajustes::Clave::TieneHeader, ui->checkCabecera->isChecked());
    ajustes::escribir(ajustes::Clave::SeparaComillas, ui->checkComillas->isChecked());
    ajustes::escribir(ajustes::Clave::UsarComa, ui->usarComa->isChecked());
    ajustes::escribir(ajustes::Clave::UsarTab, ui->usarTabulador->isChecked());
}

// Undoes the operator's changes.
void cfg_lista::on_buttonBox_rejected()
{
    cargarAjustes(true);
}
