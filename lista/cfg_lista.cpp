#include "lista/cfg_lista.h"

#include "ajustes/ajustes.h"
#include "ui_cfg_lista.h"

#include <utility>

cfg_lista::cfg_lista(QWidget *parent) : QDialog(parent), m_ui(new Ui::cfg_lista)
{
    // The form connects OK and Cancel to accept and reject, then the on_ slots by name.
    m_ui->setupUi(this);
    cargarAjustes(false);
}

cfg_lista::~cfg_lista()
{
    delete m_ui;
}

void cfg_lista::cargarAjustes(bool alCancelar)
{
    m_ui->checkCabecera->setChecked(ajustes::leerBool(ajustes::Clave::TieneHeader));
    // Cancelling shows a store without the quote flag as unticked, unlike opening.
    const bool comillas = alCancelar && !ajustes::contiene(ajustes::Clave::SeparaComillas)
                              ? false
                              : ajustes::leerBool(ajustes::Clave::SeparaComillas);
    m_ui->checkComillas->setChecked(comillas);
    // Every separator may be stored off; an exclusive radio button could not be unticked then.
    const std::pair<QRadioButton *, ajustes::Clave> separadores[] = {
        {m_ui->usarComa, ajustes::Clave::UsarComa},
        {m_ui->usarPuntoComa, ajustes::Clave::UsarPuntoComa},
        {m_ui->usarTabulador, ajustes::Clave::UsarTab},
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
    ajustes::escribir(ajustes::Clave::TieneHeader, m_ui->checkCabecera->isChecked());
    ajustes::escribir(ajustes::Clave::SeparaComillas, m_ui->checkComillas->isChecked());
    ajustes::escribir(ajustes::Clave::UsarComa, m_ui->usarComa->isChecked());
    ajustes::escribir(ajustes::Clave::UsarTab, m_ui->usarTabulador->isChecked());
    ajustes::escribir(ajustes::Clave::UsarPuntoComa, m_ui->usarPuntoComa->isChecked());
}

// Undoes the operator's changes.
void cfg_lista::on_buttonBox_rejected()
{
    cargarAjustes(true);
}
