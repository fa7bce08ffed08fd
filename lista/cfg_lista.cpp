#include "lista/cfg_lista.h"

#include "app/ajustes.h"
#include "ui_cfg_lista.h"

cfg_lista::cfg_lista(QWidget *parent) : QDialog(parent), ui(new Ui::cfg_lista)
{
    // The form connects OK and Cancel to accept and reject, then the on_ slots by name.
    ui->setupUi(this);
    cargarAjustes(ajustes::kSeparaComillasDefecto);
}

cfg_lista::~cfg_lista()
{
    delete ui;
}

void cfg_lista::cargarAjustes(bool comillasDefecto)
{
    ui->checkCabecera->setChecked(ajustes::leerBool(ajustes::kTieneHeader, ajustes::kTieneHeaderDefecto));
    ui->checkComillas->setChecked(ajustes::leerBool(ajustes::kSeparaComillas, comillasDefecto));
    // Both separators may be stored off; an exclusive radio button could not be unticked then.
    ui->usarComa->setAutoExclusive(false);
    ui->usarTabulador->setAutoExclusive(false);
    ui->usarComa->setChecked(ajustes::leerBool(ajustes::kUsarComa, ajustes::kUsarComaDefecto));
    ui->usarTabulador->setChecked(ajustes::leerBool(ajustes::kUsarTab, ajustes::kUsarTabDefecto));
    ui->usarComa->setAutoExclusive(true);
    ui->usarTabulador->setAutoExclusive(true);
}

void cfg_lista::on_buttonBox_accepted()
{
    ajustes::escribir(ajustes::kTieneHeader, ui->checkCabecera->isChecked());
    ajustes::escribir(ajustes::kSeparaComillas, ui->checkComillas->isChecked());
    ajustes::escribir(ajustes::kUsarComa, ui->usarComa->isChecked());
    ajustes::escribir(ajustes::kUsarTab, ui->usarTabulador->isChecked());
}

// Undoes the operator's changes; a store without the quote flag shows it unticked here.
void cfg_lista::on_buttonBox_rejected()
{
    cargarAjustes(false);
}
