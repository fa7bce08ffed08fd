#include "lista/cfg_lista.h"

#include "ajustes/ajustes.h"
#include "ui_cfg_lista.h"

#include <utility>

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
    // Every separator may be stored off; an exclusive radio button could not be unticked then.
    const std::pair<QRadioButton *, ajustes::Clave> separadores[] = {
        {ui->usarComa, ajustes::Clave::UsarComa},
        {ui->usarPuntoComa, ajustes::Clave::UsarPuntoComa},
        {ui->usarTabulador, ajustes::Clave::UsarTab},
    };
    for (const auto &s : separadores)
        s.first->setAutoExclusive(false);
    for (const auto &s : separadores)
        s.first->setChecked(ajustes::leerBool(s.second));
    for (const auto &s : separadores)
        s.first->setAutoExclusive(true);
}

void cfg_lista::on_buttonBox_accepted()
{
    ajustes::escribir(ajustes::Clave::TieneHeader, ui->checkCabecera->isChecked());
    ajustes::escribir(ajustes::Clave::SeparaComillas, ui->checkComillas->isChecked());
    ajustes::escribir(ajustes::Clave::UsarComa, ui->usarComa->isChecked());
    ajustes::escribir(ajustes::Clave::UsarTab, ui->usarTabulador->isChecked());
    ajustes::escribir(ajustes::Clave::UsarPuntoComa, ui->usarPuntoComa->isChecked());
}

// Undoes the operator's changes.
void cfg_lista::on_buttonBox_rejected()
{
    cargarAjustes(true);
}
